#include "tidewell/startup/RunKeyWatch.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"
#include "tidewell/backup/RegistryBackup.h"
#include "tidewell/removal/RemovalService.h"

namespace tidewell {
namespace {

constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kPrefix = "runwatch-";

void AddRunValue(const std::string& name) {
  ASSERT_TRUE(WriteString(CreateKey(HKEY_CURRENT_USER, kRunKey).Get(), name, "C:\\planted\\" + name + ".exe"));
}

void DeleteRunValue(const std::string& name) {
  if (UniqueKey key = OpenKey(HKEY_CURRENT_USER, kRunKey, KEY_SET_VALUE)) RegDeleteValueA(key.Get(), name.c_str());
}

// What earlier runs of this test may have left in the prefix's Run key.
void DeleteOwnRunValues() {
  UniqueKey key = OpenKey(HKEY_CURRENT_USER, kRunKey, KEY_READ);
  if (!key) return;
  for (const RegistryValue& value : Values(key.Get()))
    if (value.name.rfind(kPrefix, 0) == 0) DeleteRunValue(value.name);
}

// The watch on a thread of its own, with every popup text it gave.
class RunningWatch {
 public:
  RunningWatch() {
    UniqueHandle ready(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    thread_ = std::thread([this, event = ready.Get()] {
      WatchRunKeys([this](const std::string& text) {
        std::lock_guard lock(mutex_);
        texts_.push_back(text);
      }, stop_.Token(), kRunWatchBatchMs, [event] { SetEvent(event); });
      SetEvent(event);  // also when the keys could not be watched
    });
    EXPECT_EQ(WaitForSingleObject(ready.Get(), 10000), WAIT_OBJECT_0);
  }
  ~RunningWatch() { Stop(); }

  // Waits out a batch, then ends the watch.
  std::vector<std::string> TextsAfterTheBatch() {
    Sleep(kRunWatchBatchMs + 2000);
    Stop();
    std::lock_guard lock(mutex_);
    return texts_;
  }

 private:
  void Stop() {
    stop_.RequestStop();
    if (thread_.joinable()) thread_.join();
  }

  StopSource stop_;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> texts_;
};

class RunKeyWatchTest : public ::testing::Test {
 protected:
  RunKeyWatchTest() {
    DeleteOwnRunValues();
    EXPECT_TRUE(database.Open(app.ConnectionString()));
  }
  ~RunKeyWatchTest() override { DeleteOwnRunValues(); }

  // Removes the value as Tidewell's Delete does; the action it kept.
  std::string RemoveKept(const std::string& name) {
    RemovalAction action(database, RemovalGuards{app.Text(), {}}, "Deleted startup entry (" + name + ")");
    EXPECT_TRUE(action.Remove(Piece::Value(RegistryLocation{HKEY_CURRENT_USER, kRunKey}, name)).gone);
    EXPECT_TRUE(action.Commit());
    return action.Folder() + "\\removal.manifest";
  }
  void Disable(const std::string& name) {
    test::ScriptedPrompt script{IDYES, IDOK};
    EXPECT_TRUE(DisableStartupEntry(database, app.Text(), StartupEntry{name, "C:\\x.exe", kStartupRootUser}));
  }
  // Puts back what Disable kept, as the Backup manager does.
  void Reenable(const std::string& name) {
    CRegistryBackup backup(database, app.Text());
    int restored = 0;
    for (const BackupEntry& entry : backup.ListBackups())
      if (entry.name.find("(" + name + ")") != std::string::npos)
        restored += backup.ImportBackup(entry.name, entry.time).notRestored.empty();
    EXPECT_EQ(restored, 1);
  }

  test::TestAppFolder app;
  CADODatabase database;
  std::string prefix = test::UniqueName("runwatch");
};

TEST_F(RunKeyWatchTest, AdditionsOfOneBatchMakeOnePopupAndNeitherRemovalsNorRestoresMakeAny) {
  std::string one = prefix + "-one", two = prefix + "-two", three = prefix + "-three";
  struct Row {
    const char* what;
    std::vector<std::string> plantedBefore;  // in the key before the watch starts
    enum { None, Action, RegFile } restore;  // how Tidewell took plantedBefore away, to put it back while watched
    std::vector<std::string> removed;
    std::vector<std::string> added;          // within a second
    std::vector<std::string> texts;
  };
  const Row rows[] = {
      {"three added", {}, Row::None, {}, {one, two, three}, {"3 new startup entries"}},
      {"one added", {}, Row::None, {}, {one}, {"New startup entry: " + one}},
      {"one removed, one added", {two}, Row::None, {two}, {one}, {"New startup entry: " + one}},
      {"one restored, one added", {two}, Row::Action, {}, {one}, {"New startup entry: " + one}},
      {"one re-enabled, one added", {three}, Row::RegFile, {}, {one}, {"New startup entry: " + one}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    DeleteOwnRunValues();
    for (const std::string& name : row.plantedBefore) AddRunValue(name);
    std::vector<std::string> manifests;
    for (const std::string& name : row.plantedBefore) {
      if (row.restore == Row::Action) manifests.push_back(RemoveKept(name));
      if (row.restore == Row::RegFile) Disable(name);
    }
    RunningWatch watch;
    for (const std::string& manifest : manifests) EXPECT_EQ(RestoreAction(manifest).restored, 1);
    if (row.restore == Row::RegFile)
      for (const std::string& name : row.plantedBefore) Reenable(name);
    for (const std::string& name : row.removed) DeleteRunValue(name);
    for (const std::string& name : row.added) {
      AddRunValue(name);
      Sleep(300);
    }
    EXPECT_EQ(watch.TextsAfterTheBatch(), row.texts);
  }
}

}  // namespace
}  // namespace tidewell
