#pragma once
// test_bho_host.exe from the build folder, holding a DLL loaded for as long
// as a test needs a process that uses it.

#include <windows.h>

#include <chrono>
#include <string>

#include "shared/win/Handles.h"

namespace tidewell::test {

class HostProcess {
 public:
  explicit HostProcess(const std::string& dll);
  ~HostProcess();  // ends the process if it still runs
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  DWORD Id() const { return id_; }
  bool Running() const;
  // Waits until the DLL shows among the process's modules (the host ends at
  // once when it cannot load it).
  bool WaitUntilLoaded(const std::string& dll, std::chrono::milliseconds timeout) const;

 private:
  UniqueHandle process_;
  DWORD id_ = 0;
};

}  // namespace tidewell::test
