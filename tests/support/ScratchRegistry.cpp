#include "tests/support/ScratchRegistry.h"

#include <tlhelp32.h>
#include <gtest/gtest.h>

#include <atomic>

#include "shared/win/Utf8.h"
#include "tests/support/MessagePump.h"

namespace tidewell::test {

std::string UniqueName(const std::string& prefix) {
  static std::atomic<int> counter{0};
  return prefix + "-c-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-" +
         std::to_string(counter++);
}

ScratchKey::ScratchKey(const std::string& name) : path_("Software\\TidewellTests\\c\\" + name) {
  DeleteKeyTree(HKEY_CURRENT_USER, path_);
  key_ = CreateKey(HKEY_CURRENT_USER, path_);
  if (!key_) ADD_FAILURE() << "cannot create " << path_;
}

ScratchKey::~ScratchKey() {
  key_.Reset();
  DeleteKeyTree(HKEY_CURRENT_USER, path_);
}

bool KeyExists(HKEY root, const std::string& path, RegistryView view) {
  return static_cast<bool>(OpenKey(root, path, KEY_READ, view));
}

DWORD RunReg(const std::string& arguments) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  std::string line = "reg.exe " + arguments;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return static_cast<DWORD>(-1);
  UniqueHandle processHandle(process.hProcess), thread(process.hThread);
  WaitForSingleObject(processHandle.Get(), 60000);
  DWORD code = static_cast<DWORD>(-1);
  GetExitCodeProcess(processHandle.Get(), &code);
  return code;
}

bool IsRunning(const char* exeName) {
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry))
    if (SameNameIgnoringCase(entry.szExeFile, exeName)) return true;
  return false;
}

bool WaitForRegExe(std::chrono::milliseconds timeout) {
  return PumpUntil([] { return !IsRunning("reg.exe"); }, timeout);
}

}  // namespace tidewell::test
