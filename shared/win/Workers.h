#pragma once
// Every worker thread of a window belongs to a WorkerGroup. A worker polls its
// StopToken (or waits on its event) and ends soon after a stop is requested;
// the owner stops the group and waits for it, bounded, before it destroys
// what the workers use (the database above all).

#include <windows.h>

#include <functional>
#include <list>
#include <memory>
#include <mutex>

namespace tidewell {

class StopToken {
 public:
  StopToken() = default;  // a token that is never stopped

  bool StopRequested() const;
  // A manual-reset event, set once a stop is requested; for
  // WaitForMultipleObjects beside the worker's own handles. Null for the
  // never-stopped token.
  HANDLE Event() const;
  // Sleeps up to `milliseconds`; true when a stop was requested meanwhile.
  bool WaitFor(DWORD milliseconds) const;

 private:
  friend class StopSource;
  struct State;
  explicit StopToken(std::shared_ptr<State> state) : state_(std::move(state)) {}
  std::shared_ptr<State> state_;
};

// One stop request for one or more workers: a run of a scan, say, that a
// "Stop" button ends without touching the window's other workers.
class StopSource {
 public:
  StopSource();
  void RequestStop() const;
  bool StopRequested() const;
  StopToken Token() const { return StopToken(state_); }

 private:
  std::shared_ptr<StopToken::State> state_;
};

class WorkerGroup {
 public:
  WorkerGroup();  // out of line: Worker is complete only in the .cpp
  ~WorkerGroup();  // stops and waits (the default bound)
  WorkerGroup(const WorkerGroup&) = delete;
  WorkerGroup& operator=(const WorkerGroup&) = delete;

  static constexpr DWORD kDefaultWaitMs = 5000;

  // Runs work on a new thread with the group's token; false (and nothing
  // started) once the group has been stopped.
  bool Start(std::function<void(const StopToken&)> work);
  // As Start, with a token of the caller's own that the group's stop also
  // sets: the worker ends on whichever comes first.
  bool Start(const StopSource& own, std::function<void(const StopToken&)> work);

  // Asks every worker to stop; later Starts are refused.
  void RequestStop();
  // RequestStop, then waits up to `milliseconds` for every worker to end.
  // False when some worker is still running: it has been let go, and the
  // caller must not destroy what that worker uses (ending the process is
  // the safe way out).
  bool StopAndWait(DWORD milliseconds = kDefaultWaitMs);
  // Workers still running.
  int Running() const;

 private:
  struct Worker;
  void Reap();  // joins the workers that have ended; caller holds mutex_

  mutable std::mutex mutex_;
  StopSource stop_;
  std::list<std::unique_ptr<Worker>> workers_;
  bool stopped_ = false;
};

}  // namespace tidewell
