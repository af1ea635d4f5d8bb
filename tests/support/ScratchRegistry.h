#pragma once
// Scratch registry keys and names no other test run uses, and reg.exe run as
// the programs run it.

#include <windows.h>

#include <chrono>
#include <string>

#include "shared/win/Handles.h"
#include "shared/win/Registry.h"

namespace tidewell::test {

// "<prefix>-c-<process>-<tick>-<n>".
std::string UniqueName(const std::string& prefix);

// HKCU\Software\TidewellTests\c\<name>, emptied on creation and removed on
// destruction. ShortPath() is the form reg.exe takes ("HKCU\...").
class ScratchKey {
 public:
  explicit ScratchKey(const std::string& name);
  ~ScratchKey();
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;

  HKEY Key() const { return key_.Get(); }
  const std::string& Path() const { return path_; }  // below HKEY_CURRENT_USER
  std::string ShortPath() const { return "HKCU\\" + path_; }

 private:
  std::string path_;
  UniqueKey key_;
};

bool KeyExists(HKEY root, const std::string& path, RegistryView view = RegistryView::Native);

// Runs "reg.exe <arguments>" hidden and waits; its exit code.
DWORD RunReg(const std::string& arguments);
// Whether a process of that file name runs.
bool IsRunning(const char* exeName);
// Pumps messages until no reg.exe runs any more.
bool WaitForRegExe(std::chrono::milliseconds timeout);

}  // namespace tidewell::test
