#include "tests/tidewell/bho/BhoTestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <objbase.h>
#include <tlhelp32.h>

#include "resources/resource.h"
#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/win/Registry.h"
#include "shared/win/TreeView.h"
#include "shared/win/Utf8.h"
#include "tests/support/TestFolder.h"
#include "tidewell/shell/Messages.h"
#include "tidewell/bho/BhoCatalog.h"
#include "tidewell/bho/BhoUninstaller.h"

namespace tidewell::test {

namespace {
constexpr int kTestMainWindowTemplate = 9001;
}

std::string NewClassId() {
  GUID guid{};
  CoCreateGuid(&guid);
  char text[64];
  snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
           static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
           guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

RegisteredBho::RegisteredBho(std::optional<std::string> file, std::string clsid, RegistryView view)
    : clsid_(std::move(clsid)) {
  EXPECT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + clsid_, KEY_ALL_ACCESS, view));
  if (file) {
    UniqueKey inproc = CreateKey(HKEY_CLASSES_ROOT, "CLSID\\" + clsid_ + "\\InprocServer32", KEY_ALL_ACCESS, view);
    EXPECT_TRUE(inproc);
    WriteString(inproc.Get(), "", *file, file->find('%') != std::string::npos ? REG_EXPAND_SZ : REG_SZ);
  }
}

RegisteredBho::~RegisteredBho() { RemoveBhoKeys(clsid_); }

std::string Shown(const std::string& name) {
  return BhoTextInView(name, sizeof(void*) == 8 ? RegistryView::Bits64 : RegistryView::Bits32);
}

void RemoveBhoKeys(const std::string& clsid) {
  for (RegistryView view : {RegistryView::Bits32, RegistryView::Bits64}) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + clsid, view);
    DeleteKeyTree(HKEY_CLASSES_ROOT, "CLSID\\" + clsid, view);
  }
}

bool KeyExists(HKEY root, const std::string& path, RegistryView view) {
  return static_cast<bool>(OpenKey(root, path, KEY_READ, view));
}

void InsertBhoRow(CADODatabase& database, const std::string& clsid, const std::string& name, const std::string& risk,
                  const std::string& comments, int modified) {
  CADORecordset insert(database);
  insert.Open(FormatSql("insert into BHOS(clsid,name,risk,files,comments,modified) values('%s','%s','%s','','%s',%d)",
                        clsid, name, risk, comments, modified));
  ASSERT_EQ(CountRows(database, FormatSql("select * from BHOS where clsid='%s'", clsid)), 1);
}

int CountRows(CADODatabase& database, const std::string& statement) {
  CADORecordset rows(database);
  return rows.Open(statement) ? static_cast<int>(rows.RecordCount()) : 0;
}


std::string FixtureDll() { return Utf8FromPath(ProgramFolder() / "test_bho.dll"); }

bool CopyFixtureDll(const std::string& to) {
  return CopyFileW(WideFromUtf8(FixtureDll()).c_str(), WideFromUtf8(to).c_str(), TRUE) != FALSE;
}
std::string FixtureHost() { return (ProgramFolder() / "test_bho_host.exe").string(); }

HostProcess::HostProcess(const std::string& dll) {
  std::string command = "\"" + FixtureHost() + "\" \"" + dll + "\"";
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
  while (std::chrono::steady_clock::now() < end) {
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

TestMainWindow::TestMainWindow(CADODatabase* database) : database_(database) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  EXPECT_TRUE(Create(GetModuleHandleA(nullptr), kTestMainWindowTemplate, nullptr));
}

TestMainWindow::~TestMainWindow() {
  workers_.StopAndWait();
  Destroy();
}

HWND TestMainWindow::Tree() const { return Item(IDC_BHO_TREE); }


std::vector<std::string> TestMainWindow::TopLevelTexts() const {
  std::vector<std::string> texts;
  for (HTREEITEM item = TreeView_GetRoot(Tree()); item; item = TreeView_GetNextSibling(Tree(), item))
    texts.push_back(TreeItemText(Tree(), item));
  return texts;
}

HTREEITEM TestMainWindow::FindTopLevel(const std::string& text) const {
  for (HTREEITEM item = TreeView_GetRoot(Tree()); item; item = TreeView_GetNextSibling(Tree(), item))
    if (TreeItemText(Tree(), item) == text) return item;
  return nullptr;
}

std::vector<std::string> TestMainWindow::ChildTexts(const std::string& parentText) const {
  std::vector<std::string> texts;
  HTREEITEM parent = FindTopLevel(parentText);
  if (!parent) return texts;
  for (HTREEITEM item = TreeView_GetChild(Tree(), parent); item; item = TreeView_GetNextSibling(Tree(), item))
    texts.push_back(TreeItemText(Tree(), item));
  return texts;
}

INT_PTR TestMainWindow::OnMessage(UINT message, WPARAM, LPARAM, bool& handled) {
  if (message == WM_REFRESH_BHOS) {
    ++refreshes;
    if (onRefresh) onRefresh();
    handled = true;
  } else if (message == WM_START_KEY_WATCH) {
    ++keyWatchStarts;
    handled = true;
  } else if (message == WM_NOTIFIER_CLICKED) {
    ++notifierClicks;
    handled = true;
  }
  return 0;
}

}  // namespace tidewell::test
