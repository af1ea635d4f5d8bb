#include "shared/win/AppFolder.h"

#include <windows.h>

#include <vector>

#include "shared/win/AppPaths.h"

namespace tidewell {

std::string GetProgramPath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::string GetDatabasePath() { return DatabasePathForProgram(GetProgramPath()); }

std::string GetAppFolder() { return AppFolderOfDatabase(GetDatabasePath()); }

}  // namespace tidewell
