#pragma once
// Scratch registry keys, the database rows and a message pump for the tests
// of the registry backup and the startup manager.

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Dialog.h"
#include "tests/support/MessagePump.h"
#include "tidewell/shell/MainWindow.h"

namespace tidewell::test {

// HKCU\Software\TidewellTests\c\<name>, emptied on creation and removed on
// destruction. ShortPath() is the form reg.exe takes ("HKCU\...").
class ScratchKey {
 public:
  explicit ScratchKey(const std::string& name);
  ~ScratchKey();
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;

  HKEY Key() const { return key_; }
  const std::string& Path() const { return path_; }  // below HKEY_CURRENT_USER
  std::string ShortPath() const { return "HKCU\\" + path_; }

 private:
  std::string path_;
  HKEY key_ = nullptr;
};

// A value name no other test run uses.
std::string UniqueName(const std::string& prefix);
// The last part of a path (UTF-8).
inline std::string FileName(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

// Runs "reg.exe <arguments>" hidden and waits; its exit code.
DWORD RunReg(const std::string& arguments);
// Whether a process of that file name runs.
bool IsRunning(const char* exeName);
// Waits until no reg.exe runs any more.
bool WaitForRegExe(std::chrono::milliseconds timeout);

struct RegbkRow {
  int32_t time = 0;
  std::string file;
  std::string comment;
};
std::vector<RegbkRow> RegbkRows(CADODatabase& database);
struct EventRecord {
  int32_t time = 0;
  std::string text;
};
std::vector<EventRecord> Events(CADODatabase& database);

std::string ReadWholeFile(const std::string& path);
bool FileExists(const std::string& path);


// A dialog with the shared list (1050) standing in for the main window.
class TestMainWindow : public Dialog, public IMainWindow {
 public:
  explicit TestMainWindow(CADODatabase& database);
  ~TestMainWindow() override;

  CADODatabase& Database() override { return database_; }
  WorkerGroup& Workers() override { return workers_; }
  HWND Window() const override { return Handle(); }
  HWND Tree() const override { return nullptr; }
  HWND List() const override;
  HWND StatusLine() const override { return nullptr; }
  HWND Button(int id) const override { return Item(id); }
  int SelectedTab() const override { return tab; }
  void SetStatus(const std::string&) override {}

  int tab = 2;

 private:
  CADODatabase& database_;
  WorkerGroup workers_;
};

std::vector<std::string> ColumnTitles(HWND list);
int ItemImage(HWND list, int row);
void SelectRow(HWND list, int row);

}  // namespace tidewell::test
