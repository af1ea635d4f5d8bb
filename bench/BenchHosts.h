#pragma once
// test_bho_host.exe processes that each hold one DLL loaded, for the
// benchmarks that need a machine with many module holders. They are ended
// and waited for when the holder goes.

#include <windows.h>

#include <string>
#include <vector>

namespace tidewell::bench {

class HostProcesses {
 public:
  HostProcesses() = default;
  ~HostProcesses() {
    for (PROCESS_INFORMATION& host : hosts_) {
      TerminateProcess(host.hProcess, 0);
      WaitForSingleObject(host.hProcess, 5000);
      CloseHandle(host.hProcess);
      CloseHandle(host.hThread);
    }
  }
  HostProcesses(const HostProcesses&) = delete;
  HostProcesses& operator=(const HostProcesses&) = delete;

  void Start(const std::string& hostProgram, const std::string& dll) {
    std::string command = "\"" + hostProgram + "\" \"" + dll + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                       &info))
      hosts_.push_back(info);
  }

 private:
  std::vector<PROCESS_INFORMATION> hosts_;
};

}  // namespace tidewell::bench
