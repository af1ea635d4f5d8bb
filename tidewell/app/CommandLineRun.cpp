#include "tidewell/app/CommandLineRun.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/db/ConnectionString.h"
#include "shared/win/AppFolder.h"
#include "shared/win/AppPaths.h"
#include "shared/win/Utf8.h"
#include "tidewell/report/CommandLine.h"
#include "tidewell/report/MachineReport.h"

namespace tidewell {
namespace {

std::vector<std::string> ProgramArguments() {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!words) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(Utf8FromWideLossy(words[i]));
  LocalFree(words);
  return arguments;
}

// A window program has no console of its own: it writes to the one it was
// started from, or to where its output was sent, or nowhere.
void SayOnConsole(const std::string& text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!out || out == INVALID_HANDLE_VALUE) {
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return;
  }
  DWORD written = 0;
  std::wstring wide = WideFromUtf8(text);
  if (!WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr))
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

int WriteReport(const std::string& file) {
  std::string databasePath = DatabasePathForProgram(GetProgramPath());
  CADODatabase database;
  if (!database.Open(BuildConnectionString(databasePath))) {
    SayOnConsole("Tidewell: cannot open the database " + databasePath + "\r\n");
    return 1;
  }
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::string error;
  bool written = WriteMachineReport(database, databasePath, file, error);
  if (SUCCEEDED(com)) CoUninitialize();
  if (!written) {
    SayOnConsole("Tidewell: " + error + "\r\n");
    return 1;
  }
  return 0;
}

}  // namespace

std::optional<int> RunCommandLine() {
  CommandRequest request = ParseCommandArguments(ProgramArguments());
  switch (request.kind) {
    case CommandRequest::Kind::Start:
      return std::nullopt;
    case CommandRequest::Kind::Report:
      return WriteReport(request.file);
    case CommandRequest::Kind::Usage:
      SayOnConsole(CommandUsageText());
      return 0;
    case CommandRequest::Kind::Invalid:
      break;
  }
  SayOnConsole(CommandUsageText());
  return 1;
}

}  // namespace tidewell
