#include "tidewell/app/SkylarkStart.h"

#include <shellapi.h>

#include "shared/win/Prompt.h"

namespace tidewell {

bool StartSkylarkBeside(HWND owner, const std::string& programPath) {
  // By its full path: the current folder is wherever Tidewell was started
  // from, or wherever a file dialog last left it.
  std::string folder = programPath.substr(0, programPath.find_last_of("\\/") + 1);
  std::string program = folder + kSkylarkFileName;
  auto code = reinterpret_cast<INT_PTR>(
      ShellExecuteA(owner, "open", program.c_str(), nullptr, folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL));
  if (code > 32) return true;
  std::string text = GetFileAttributesA(program.c_str()) == INVALID_FILE_ATTRIBUTES
                         ? "Could not start the definitions updater: " + program + " is missing."
                         : "Could not start the definitions updater " + program + " (error " + std::to_string(code) + ").";
  Prompt(owner, text, "Tidewell", MB_OK | MB_ICONEXCLAMATION);
  return false;
}

}  // namespace tidewell
