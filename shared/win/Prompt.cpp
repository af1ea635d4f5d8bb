#include "shared/win/Prompt.h"

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

PromptHandler SetPromptHandler(PromptHandler handler) {
  std::lock_guard lock(handlerMutex);
  return std::exchange(Handler(), std::move(handler));
}

}  // namespace tidewell
