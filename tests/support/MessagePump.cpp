#include "tests/support/MessagePump.h"

#include <windows.h>

namespace tidewell::test {

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(10);
  }
  return true;
}

void PumpFor(std::chrono::milliseconds time) {
  auto end = std::chrono::steady_clock::now() + time;
  PumpUntil([&] { return std::chrono::steady_clock::now() > end; }, time + std::chrono::seconds(1));
}

}  // namespace tidewell::test
