#include "tidewell/app/ReportSaving.h"

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <optional>

#include "shared/db/ConnectionString.h"
#include "shared/win/Prompt.h"
#include "shared/win/Utf8.h"
#include "tidewell/report/MachineReport.h"
#include "tidewell/report/ReportText.h"

namespace tidewell {
namespace {

// The file the user picks, starting in Documents with today's name.
std::optional<std::string> AskReportFile(HWND owner) {
  SYSTEMTIME today{};
  GetLocalTime(&today);
  std::wstring name = WideFromUtf8(DefaultReportFileName(today.wYear, today.wMonth, today.wDay));
  wchar_t file[MAX_PATH * 4] = {};
  name.copy(file, std::size(file) - 1);
  wchar_t documents[MAX_PATH] = {};
  bool haveDocuments = SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents));
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = L"Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
  dialog.lpstrFile = file;
  dialog.nMaxFile = static_cast<DWORD>(std::size(file));
  dialog.lpstrInitialDir = haveDocuments ? documents : nullptr;
  dialog.lpstrDefExt = L"txt";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&dialog)) return std::nullopt;
  return Utf8FromWide(file);
}

}  // namespace

void SaveReportAs(IMainWindow& window, const std::string& databasePath) {
  std::optional<std::string> file = AskReportFile(window.Window());
  if (file) WriteReportInBackground(window, databasePath, *file);
}

void WriteReportInBackground(IMainWindow& window, const std::string& databasePath, const std::string& file) {
  WindowReach reach = window.Reach();
  window.SetStatus("Writing the report...");
  window.Workers().Start([&window, reach, databasePath, file](const StopToken& stop) {
    CADODatabase database;
    std::string error = "Cannot open the database " + databasePath;
    bool written = database.Open(BuildConnectionString(databasePath)) &&
                   WriteMachineReport(database, databasePath, file, error, stop);
    if (stop.StopRequested()) return;
    // Runs only while the window lives, so the window may be used there.
    reach.Post([&window, written, error, file] {
      HWND owner = window.Window();
      window.SetStatus("");
      if (!written) {
        Prompt(owner, error, "Tidewell", MB_OK | MB_ICONERROR);
        return;
      }
      if (Prompt(owner, "The report was saved to " + file + ".\n\nOpen it now?", "Tidewell",
                 MB_YESNO | MB_ICONQUESTION) == IDYES)
        ShellExecuteW(owner, L"open", WideFromUtf8(file).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    });
  });
}

}  // namespace tidewell
