#include "tests/support/SystemFolders.h"

#include <windows.h>

namespace tidewell::test {

std::string Environment(const char* name) {
  char value[1024] = {};
  DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length < sizeof value ? std::string(value, length) : std::string();
}

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
