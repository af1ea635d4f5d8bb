#include "tests/tidewell/backup/BackupTestSupport.h"

#include <commctrl.h>
#include <tlhelp32.h>
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "shared/db/AdoRecordset.h"
#include "shared/win/Handles.h"
#include "shared/win/Utf8.h"

namespace tidewell::test {

namespace {
constexpr int kTestMainWindow = 900;
constexpr int kSharedList = 1050;
}  // namespace

ScratchKey::ScratchKey(const std::string& name) : path_("Software\\TidewellTests\\c\\" + name) {
  RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr) !=
      ERROR_SUCCESS)
    ADD_FAILURE() << "cannot create " << path_;
}

ScratchKey::~ScratchKey() {
  if (key_) RegCloseKey(key_);
  RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
}

std::string UniqueName(const std::string& prefix) {
  static std::atomic<int> counter{0};
  return prefix + "-c-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-" +
         std::to_string(counter++);
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

std::vector<RegbkRow> RegbkRows(CADODatabase& database) {
  std::vector<RegbkRow> rows;
  CADORecordset recordset(database);
  if (!recordset.Open("select * from regbk") || recordset.RecordCount() == 0) return rows;
  recordset.MoveFirst();
  while (!recordset.IsEOF()) {
    RegbkRow row;
    int time = 0;
    recordset.GetFieldInt("dattm", time);
    row.time = time;
    recordset.GetField("file", row.file);
    recordset.GetField("comment", row.comment);
    rows.push_back(row);
    recordset.MoveNext();
  }
  return rows;
}

std::vector<EventRecord> Events(CADODatabase& database) {
  std::vector<EventRecord> rows;
  CADORecordset recordset(database);
  if (!recordset.Open("select * from [Events]") || recordset.RecordCount() == 0) return rows;
  recordset.MoveFirst();
  while (!recordset.IsEOF()) {
    EventRecord row;
    int time = 0;
    recordset.GetFieldInt("dtm", time);
    row.time = time;
    recordset.GetField("event", row.text);
    rows.push_back(row);
    recordset.MoveNext();
  }
  return rows;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TestMainWindow::TestMainWindow(CADODatabase& database) : database_(database) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  if (!Create(GetModuleHandleA(nullptr), kTestMainWindow, nullptr)) ADD_FAILURE() << "no test main window";
  ListView_SetExtendedListViewStyle(List(), LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
}

TestMainWindow::~TestMainWindow() { Destroy(); }

HWND TestMainWindow::List() const { return Item(kSharedList); }

std::vector<std::string> ColumnTitles(HWND list) {
  std::vector<std::string> titles;
  for (int index = 0;; ++index) {
    char text[128] = "";
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT;
    column.pszText = text;
    column.cchTextMax = sizeof text;
    if (!ListView_GetColumn(list, index, &column)) break;
    titles.push_back(text);
  }
  return titles;
}

int ItemImage(HWND list, int row) {
  LVITEMA item{};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  ListView_GetItem(list, &item);
  return item.iImage;
}

void SelectRow(HWND list, int row) {
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  if (row < 0) return;
  ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetSelectionMark(list, row);
}

}  // namespace tidewell::test
