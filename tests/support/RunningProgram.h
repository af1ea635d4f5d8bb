#pragma once
// Starts one of the built programs as a user would and finds its windows.

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "shared/win/Handles.h"

namespace tidewell::test {

std::string WindowText(HWND window);
std::string WindowClass(HWND window);
// Texts of the window's direct children, in Z order.
std::vector<std::string> ChildTexts(HWND window);

class RunningProgram {
 public:
  // Starts program (a full path) with the given working folder and the
  // arguments after its name; check Started().
  RunningProgram(const std::string& program, const std::string& workingFolder, const std::string& arguments = {});
  ~RunningProgram();  // ends the program if it is still running

  bool Started() const { return static_cast<bool>(process_); }
  // The first visible top-level window of the program whose caption is the
  // given text (any caption when empty), waited for up to the timeout.
  HWND WaitForWindow(const std::string& caption, std::chrono::milliseconds timeout);
  // The exit code, or nothing if the program still runs after the timeout.
  std::optional<DWORD> WaitForExit(std::chrono::milliseconds timeout);

 private:
  UniqueHandle process_;
  DWORD processId_ = 0;
};

}  // namespace tidewell::test
