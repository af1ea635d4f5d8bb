#include "shared/win/UiThread.h"

#include <memory>

namespace tidewell {

bool PostToWindow(HWND window, std::function<void()> task) {
  // A null window would post to the calling thread's queue, where nobody runs it.
  if (!window || !IsWindow(window)) return false;
  auto payload = std::make_unique<std::function<void()>>(std::move(task));
  if (!PostMessageA(window, kRunOnUiThreadMessage, 0, reinterpret_cast<LPARAM>(payload.get()))) return false;
  payload.release();  // the UI thread owns it now
  return true;
}

void RunPostedTask(LPARAM payload) {
  std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(payload));
  if (task && *task) (*task)();
}

void DropPostedTasks(HWND window) {
  MSG message;
  while (PeekMessageA(&message, window, kRunOnUiThreadMessage, kRunOnUiThreadMessage, PM_REMOVE))
    std::unique_ptr<std::function<void()>>(reinterpret_cast<std::function<void()>*>(message.lParam));
}

}  // namespace tidewell
