#pragma once
// Registered test BHOs, a stand-in main window and a message pump for the
// BHO manager's tests.

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "shared/db/AdoDatabase.h"
#include "shared/win/Dialog.h"
#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "tests/support/MessagePump.h"
#include "tidewell/shell/MainWindow.h"

namespace tidewell::test {

// A fresh class ID for one test object, so no two tests share a key.
std::string NewClassId();

// A BHO registered under the BHO key for the life of the object: with a
// class key whose InprocServer32 holds `file` (none when nullopt), both in
// the given registry view.
class RegisteredBho {
 public:
  RegisteredBho(std::optional<std::string> file, std::string clsid = NewClassId(),
                RegistryView view = RegistryView::Native);
  ~RegisteredBho();
  RegisteredBho(const RegisteredBho&) = delete;
  RegisteredBho& operator=(const RegisteredBho&) = delete;
  const std::string& Clsid() const { return clsid_; }

 private:
  std::string clsid_;
};

// A name as the tree shows a BHO this build registers: the 32-bit build
// writes into the 32-bit view, whose items say so.
std::string Shown(const std::string& name);

// Removes the BHO key and class key of the class ID, in every view.
void RemoveBhoKeys(const std::string& clsid);
bool KeyExists(HKEY root, const std::string& path, RegistryView view = RegistryView::Native);

// A BHOS row, written straight into the test database.
void InsertBhoRow(CADODatabase& database, const std::string& clsid, const std::string& name, const std::string& risk,
                  const std::string& comments = "", int modified = 0);
int CountRows(CADODatabase& database, const std::string& statement);


// The test BHO DLL and the process that loads it, from the build folder.
std::string FixtureDll();
// Copies it to a path (UTF-8); false when it could not.
bool CopyFixtureDll(const std::string& to);
std::string FixtureHost();
// The fixed class ID the test BHO DLL registers.
inline constexpr const char* kFixtureClsid = "{D1A5E7B0-4C2F-4E8A-9B61-7F3C2D0E5A11}";

// A process that has the DLL loaded, ended on destruction.
class HostProcess {
 public:
  explicit HostProcess(const std::string& dll);
  ~HostProcess();
  DWORD Id() const { return id_; }
  bool Running() const;
  // Waits until the DLL shows among the process's modules.
  bool WaitUntilLoaded(const std::string& dll, std::chrono::milliseconds timeout) const;

 private:
  UniqueHandle process_;
  DWORD id_ = 0;
};

// A stand-in for the main window with the controls the BHO manager uses,
// recording the private messages it receives.
// The main window's BHO tab as the BHO manager sees it. Workers run in the
// window's own group; the database is the test's (none where no manager runs).
class TestMainWindow : public Dialog, public IMainWindow {
 public:
  explicit TestMainWindow(CADODatabase* database = nullptr);
  ~TestMainWindow() override;
  CADODatabase& Database() override { return *database_; }
  WorkerGroup& Workers() override { return workers_; }
  HWND Window() const override { return Handle(); }
  HWND Tree() const override;
  HWND List() const override { return nullptr; }
  HWND StatusLine() const override { return Item(IDC_STATUS_LINE); }
  HWND Button(int id) const override { return Item(id); }
  int SelectedTab() const override { return 0; }
  void SetStatus(const std::string& text) override { SetWindowTextA(StatusLine(), text.c_str()); }
  std::function<void()> onRefresh;  // run for each WM_REFRESH_BHOS
  int refreshes = 0;
  int keyWatchStarts = 0;
  int notifierClicks = 0;

  // Top-level item texts, and the child texts of the item with the text.
  std::vector<std::string> TopLevelTexts() const;
  std::vector<std::string> ChildTexts(const std::string& parentText) const;
  HTREEITEM FindTopLevel(const std::string& text) const;

 protected:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  CADODatabase* database_;
  WorkerGroup workers_;
};

}  // namespace tidewell::test
