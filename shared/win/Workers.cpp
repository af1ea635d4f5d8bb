#include "shared/win/Workers.h"

#include <atomic>
#include <thread>
#include <vector>

#include "shared/win/Handles.h"

namespace tidewell {

struct StopToken::State {
  std::atomic<bool> stopped{false};
  UniqueHandle event{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

bool StopToken::StopRequested() const { return state_ && state_->stopped.load(); }

HANDLE StopToken::Event() const { return state_ ? state_->event.Get() : nullptr; }

bool StopToken::WaitFor(DWORD milliseconds) const {
  if (!state_) {
    Sleep(milliseconds);
    return false;
  }
  if (state_->stopped.load()) return true;
  WaitForSingleObject(state_->event.Get(), milliseconds);
  return state_->stopped.load();
}

StopSource::StopSource() : state_(std::make_shared<StopToken::State>()) {}

void StopSource::RequestStop() const {
  state_->stopped.store(true);
  SetEvent(state_->event.Get());
}

bool StopSource::StopRequested() const { return state_->stopped.load(); }

struct WorkerGroup::Worker {
  StopSource own;  // the caller's source, or a copy of the group's
  UniqueHandle done{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  std::thread thread;
};

WorkerGroup::WorkerGroup() = default;

WorkerGroup::~WorkerGroup() { StopAndWait(); }

bool WorkerGroup::Start(std::function<void(const StopToken&)> work) { return Start(stop_, std::move(work)); }

bool WorkerGroup::Start(const StopSource& own, std::function<void(const StopToken&)> work) {
  std::lock_guard lock(mutex_);
  if (stopped_) return false;
  Reap();
  auto worker = std::make_unique<Worker>();
  worker->own = own;
  if (!worker->done) return false;
  HANDLE done = worker->done.Get();
  StopToken token = own.Token();
  // The event is duplicated so a worker that outlives a timed-out wait
  // never signals a handle the group has closed.
  HANDLE signal = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), done, GetCurrentProcess(), &signal, 0, FALSE, DUPLICATE_SAME_ACCESS))
    return false;
  worker->thread = std::thread([work = std::move(work), token, signal] {
    work(token);
    SetEvent(signal);
    CloseHandle(signal);
  });
  workers_.push_back(std::move(worker));
  return true;
}

void WorkerGroup::Reap() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (WaitForSingleObject((*it)->done.Get(), 0) == WAIT_OBJECT_0) {
      (*it)->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

void WorkerGroup::RequestStop() {
  std::lock_guard lock(mutex_);
  stopped_ = true;
  stop_.RequestStop();
  for (const auto& worker : workers_) worker->own.RequestStop();
}

bool WorkerGroup::StopAndWait(DWORD milliseconds) {
  RequestStop();
  std::lock_guard lock(mutex_);
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  bool all = true;
  for (const auto& worker : workers_) {
    ULONGLONG now = GetTickCount64();
    DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    if (WaitForSingleObject(worker->done.Get(), left) != WAIT_OBJECT_0) all = false;
  }
  for (auto& worker : workers_) {
    if (WaitForSingleObject(worker->done.Get(), 0) == WAIT_OBJECT_0)
      worker->thread.join();
    else
      worker->thread.detach();
  }
  workers_.clear();
  return all;
}

int WorkerGroup::Running() const {
  std::lock_guard lock(mutex_);
  int running = 0;
  for (const auto& worker : workers_)
    if (WaitForSingleObject(worker->done.Get(), 0) != WAIT_OBJECT_0) ++running;
  return running;
}

}  // namespace tidewell
