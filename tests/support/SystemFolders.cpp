#include "tests/support/SystemFolders.h"

#include <windows.h>

#include "shared/win/Environment.h"

namespace tidewell::test {

std::string Environment(const char* name) { return EnvironmentVariable(name, 1023).value_or(""); }

std::string SystemFolder() {
  char path[MAX_PATH] = {};
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  return std::string(path, length < MAX_PATH ? length : 0);
}

std::string WindowsFolder() {
  char path[MAX_PATH] = {};
  UINT length = GetWindowsDirectoryA(path, MAX_PATH);
  return std::string(path, length < MAX_PATH ? length : 0);
}

}  // namespace tidewell::test
