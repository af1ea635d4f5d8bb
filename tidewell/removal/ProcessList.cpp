#include "tidewell/removal/ProcessList.h"

#include <cstring>
#include <memory>

#include "shared/win/Handles.h"
#include "shared/win/Prompt.h"
#include "shared/win/Utf8.h"

namespace tidewell {

bool SamePathIgnoringCase(const std::string& a, const std::string& b) {
  return SameNameIgnoringCase(a, b);
}

void CProcessList::Report(const char* text) const {
  if (reportTo_)
    PostPrompt(reportTo_, text, "", MB_OK);
  else
    Prompt(nullptr, text, "", MB_OK);
}

bool CProcessList::Refresh() {
  processes_.clear();
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) {
    Report("CreateToolhelp32Snapshot (of processes)");
    return false;
  }
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  if (!Process32First(snapshot.Get(), &entry)) {
    Report("Process32First");
    return false;
  }
  do {
    ProcessRecord record;
    record.entry = entry;
    std::string domain;
    GetProcessOwner(entry.th32ProcessID, record.owner, domain);
    bool system = std::strcmp(entry.szExeFile, "System") == 0 || std::strcmp(entry.szExeFile, "[System Process]") == 0;
    if (!system && entry.th32ProcessID != 0) processes_.push_back(std::move(record));
    entry.dwSize = sizeof entry;
  } while (Process32Next(snapshot.Get(), &entry));
  return true;
}

bool CProcessList::GetProcessOwner(DWORD processId, std::string& user, std::string& domain) {
  UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
  if (!process) {
    user = "NETWORK/LOCAL SERVICE";
    return true;
  }
  UniqueHandle token;
  if (!OpenProcessToken(process.Get(), TOKEN_QUERY, token.Put())) return true;
  DWORD size = 0;
  GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return true;
  auto buffer = std::make_unique<BYTE[]>(size);
  if (!GetTokenInformation(token.Get(), TokenUser, buffer.get(), size, &size)) return true;
  char name[100] = {}, domainName[100] = {};
  DWORD nameLength = sizeof name, domainLength = sizeof domainName;
  SID_NAME_USE use;
  auto* tokenUser = reinterpret_cast<TOKEN_USER*>(buffer.get());
  LookupAccountSidA(nullptr, tokenUser->User.Sid, name, &nameLength, domainName, &domainLength, &use);
  user = name;
  domain = domainName;
  if (user.empty()) user = "SYSTEM";
  return true;
}

}  // namespace tidewell
