#pragma once
// The "Backup manager" tab: the backups in the shared list, "Restore" and
// "Delete" for the selected one, and the window's "Registry backup" and
// "Restore manager" buttons. Backups and restores ask on the UI thread, wait
// for reg.exe on one of the main window's workers behind the wait box, and
// answer on the UI thread again.

#include <functional>

#include "tidewell/backup/RegistryBackup.h"
#include "tidewell/shell/MainWindow.h"
#include "tidewell/shell/Page.h"

namespace tidewell {

class BackupPage : public IPage {
 public:
  explicit BackupPage(IMainWindow& main) : main_(main) {}

  PageLayout Layout() const override;
  void Shown() override;
  bool OnCommand(int id) override;

  // The general registry backup; `then` runs on the UI thread once it has
  // answered, or was declined.
  void RunRegistryBackup(std::function<void()> then = {});
  void RestoreSelected();
  void DeleteSelected();
  // The main window's backups: the wait box while reg.exe runs, and the list
  // refilled while this page holds it. Usable from worker threads.
  CRegistryBackup MainWindowBackup();

 private:
  void Fill();

  IMainWindow& main_;
  WindowReach list_;  // lapses when another page takes the list
};

}  // namespace tidewell
