#include "tests/support/HostProcess.h"

#include <tlhelp32.h>
#include <gtest/gtest.h>

#include "shared/win/Utf8.h"
#include "tests/support/TestFolder.h"

namespace tidewell::test {

HostProcess::HostProcess(const std::string& dll) {
  std::string command = "\"" + Utf8FromPath(ProgramFolder() / "test_bho_host.exe") + "\" \"" + dll + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                     &info)) {
    process_.Reset(info.hProcess);
    UniqueHandle thread(info.hThread);
    id_ = info.dwProcessId;
  }
  EXPECT_TRUE(process_) << command;
}

HostProcess::~HostProcess() {
  if (Running()) {
    TerminateProcess(process_.Get(), 0);
    WaitForSingleObject(process_.Get(), 5000);
  }
}

bool HostProcess::Running() const { return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }

bool HostProcess::WaitUntilLoaded(const std::string& dll, std::chrono::milliseconds timeout) const {
  auto end = std::chrono::steady_clock::now() + timeout;
  while (Running() && std::chrono::steady_clock::now() < end) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, id_));
    MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    if (snapshot && Module32First(snapshot.Get(), &module)) {
      do {
        if (SameNameIgnoringCase(module.szExePath, dll)) return true;
      } while (Module32Next(snapshot.Get(), &module));
    }
    Sleep(50);
  }
  return false;
}

}  // namespace tidewell::test
