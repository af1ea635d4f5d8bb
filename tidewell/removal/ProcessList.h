#pragma once
// A snapshot of the running processes with their owners.

#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

namespace tidewell {

struct ProcessRecord {
  PROCESSENTRY32 entry{};
  std::string owner;
};

class CProcessList {
 public:
  // A list made on a worker names the window that tells the user of a
  // failure; without one the message box is shown in place.
  explicit CProcessList(HWND reportTo = nullptr) : reportTo_(reportTo) {}

  // False when no snapshot could be taken; the user has been told why.
  bool Refresh();
  static bool GetProcessOwner(DWORD processId, std::string& user, std::string& domain);

  size_t ProcessCount() const { return processes_.size(); }
  const ProcessRecord& Process(size_t index) const { return processes_[index]; }

 private:
  void Report(const char* text) const;

  std::vector<ProcessRecord> processes_;
  HWND reportTo_ = nullptr;
};

// Whether two file paths name the same text without regard to case, as the
// file system compares names.
bool SamePathIgnoringCase(const std::string& a, const std::string& b);

}  // namespace tidewell
