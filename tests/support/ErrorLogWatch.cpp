#include "tests/support/ErrorLogWatch.h"

#include <windows.h>

#include "shared/win/AppFolder.h"
#include "shared/win/ErrorLog.h"
#include "shared/win/Handles.h"
#include "tests/support/TestFolder.h"

namespace tidewell::test {

ErrorLogWatch::ErrorLogWatch() : path_(GetAppFolder() + kErrorLogFileName), before_(ReadWholeFile(path_)) {}

ErrorLogWatch::~ErrorLogWatch() {
  if (before_.empty()) {
    DeleteFileA(path_.c_str());
    return;
  }
  UniqueHandle file(CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  if (file) WriteFile(file.Get(), before_.data(), static_cast<DWORD>(before_.size()), &written, nullptr);
}

std::string ErrorLogWatch::Added() const {
  std::string now = ReadWholeFile(path_);
  return now.starts_with(before_) ? now.substr(before_.size()) : now;
}

}  // namespace tidewell::test
