#pragma once
// Every message box of both programs goes through Prompt, so that tests can
// answer it from a script and read exactly what the user would have read.

#include <windows.h>

#include <functional>
#include <string>

namespace tidewell {

struct PromptRequest {
  HWND owner = nullptr;
  std::string text;
  std::string caption;
  UINT type = MB_OK;  // buttons and icon, as for MessageBoxA
};

// The answer: IDOK, IDYES, IDNO, IDCANCEL, ...
int Prompt(HWND owner, const std::string& text, const std::string& caption, UINT type = MB_OK);

// For workers, which never show a window: the box is shown on the UI thread
// of `window` (and owned by it), after every box posted before it has been
// answered. False when the window is gone.
bool PostPrompt(HWND window, std::string text, std::string caption, UINT type = MB_OK);

using PromptHandler = std::function<int(const PromptRequest&)>;

// Replaces the message box; an empty handler restores it. Returns the previous one.
PromptHandler SetPromptHandler(PromptHandler handler);

}  // namespace tidewell
