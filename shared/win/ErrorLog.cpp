#include "shared/win/ErrorLog.h"

#include <windows.h>

#include "shared/win/AppFolder.h"
#include "shared/win/Handles.h"
#include "shared/win/Utf8.h"

namespace tidewell {

void AppendErrorLog(const std::string& text) {
  std::wstring path = WideFromUtf8(GetAppFolder() + kErrorLogFileName);
  UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace tidewell
