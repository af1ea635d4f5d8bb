#pragma once
// "BHO Information": a BHO's file, class ID and last write time, and its
// editable name, risk and comments, saved to BHOS.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Dialog.h"
#include "shared/win/Handles.h"
#include "shared/win/Workers.h"
#include "tidewell/bho/BhoSubmission.h"
#include "shared/win/Registry.h"

namespace tidewell {

// Where the dialog was opened from; decides the last-write-time source.
enum class BhoInfoSource {
  TreeItem,  // class key's time, else the BHO key's
  Notifier,  // the BHO key's time
};

struct BhoInfoFields {
  std::string comments;
  std::string name;
  std::string clsid;
  std::string file;
  std::string risk;
  std::string lastWriteTime;  // formatted, or "unknown"
};

// The fields for the class ID as the dialog shows them.
// The tree knows the view its item came from; the notifier's class ID is
// looked up in the views.
BhoInfoFields LoadBhoInfo(CADODatabase& database, const std::string& clsid, BhoInfoSource source,
                          std::optional<RegistryView> view = std::nullopt);

class CBhoInfoDialog : public Dialog {
 public:
  // requestRefresh rebuilds the BHO list without blocking the UI thread.
  CBhoInfoDialog(CADODatabase& database, BhoInfoFields fields, std::function<void()> requestRefresh);

  // Returns the record as stored.
  BhoRecordFields SaveChanges();
  void CloseDialog();
  // "Submit to Tidewell server": saves, then sends the record on a worker.
  void SubmitBhoRecord();
  bool Changed() const { return changed_; }

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  void OnTimer(UINT_PTR id) override;
  void OnDestroy() override;

 private:
  std::string ItemText(int id) const;
  void ShowSigner();
  void SubmissionAnswered(const BhoRecordFields& fields, const HttpResponse& response);

  CADODatabase& database_;
  BhoInfoFields fields_;
  std::function<void()> requestRefresh_;
  bool changed_ = false;
  bool initialising_ = false;
  UniqueGdi<HFONT> submitFont_;
  WorkerGroup workers_;
  std::string submittedName_;  // shown with "(submited)" once the pause is over
};

// Fills and shows the dialog modally.
void ShowBhoInfo(HWND owner, CADODatabase& database, const std::string& clsid, BhoInfoSource source,
                 std::function<void()> requestRefresh, std::optional<RegistryView> view = std::nullopt);

}  // namespace tidewell
