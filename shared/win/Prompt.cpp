#include "shared/win/Prompt.h"

#include "shared/win/UiThread.h"

#include <deque>
#include <mutex>
#include <utility>

namespace tidewell {

namespace {
std::mutex handlerMutex;
PromptHandler& Handler() {
  static PromptHandler handler;
  return handler;
}
}  // namespace

int Prompt(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  PromptHandler handler;
  {
    std::lock_guard lock(handlerMutex);
    handler = Handler();
  }
  if (handler) return handler(PromptRequest{owner, text, caption, type});
  return MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}

bool PostPrompt(HWND window, std::string text, std::string caption, UINT type) {
  PromptRequest request{window, std::move(text), std::move(caption), type};
  return PostToWindow(window, [request = std::move(request)] {
    // A box's own message loop runs the next posted box; it waits here
    // instead, so the boxes come one after another in the order posted.
    thread_local std::deque<PromptRequest> waiting;
    thread_local bool showing = false;
    waiting.push_back(request);
    if (showing) return;
    showing = true;
    while (!waiting.empty()) {
      PromptRequest next = std::move(waiting.front());
      waiting.pop_front();
      Prompt(next.owner, next.text, next.caption, next.type);
    }
    showing = false;
  });
}

PromptHandler SetPromptHandler(PromptHandler handler) {
  std::lock_guard lock(handlerMutex);
  return std::exchange(Handler(), std::move(handler));
}

}  // namespace tidewell
