#pragma once
// Skylark's window, "BHO updater": the date of the last update, and "Update",
// which runs an update on a worker while the window shows its progress.

#include <windows.h>

#include <string>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Dialog.h"
#include "shared/win/Handles.h"
#include "shared/win/Workers.h"
#include "skylark/UpdateRun.h"

namespace tidewell {

// "AppPath" from the profile; when missing, the folder of a file the user
// picks, with "bhodb.mdb", remembered in "AppPath". Empty when cancelled.
std::string FindDatabasePath(HWND owner);

class CSkylarkDialog : public Dialog {
 public:
  CSkylarkDialog();
  ~CSkylarkDialog() override;

  // False when a worker did not end in time and still uses the database.
  bool WorkersEnded() const { return workersEnded_; }
  CADODatabase& Database() { return database_; }

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  void OnDestroy() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  void OnUpdate();
  void OnExit();
  void Finish(const UpdateOutcome& outcome);
  void SetStatus(const std::string& text);
  void SetProgress(int position);

  CADODatabase database_;
  WorkerGroup workers_;
  StopSource runStop_;
  bool running_ = false;
  bool exitPending_ = false;
  bool workersEnded_ = true;
  UniqueIcon bigIcon_, smallIcon_;
};

}  // namespace tidewell
