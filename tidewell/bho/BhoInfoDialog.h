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

  void SaveChanges();
  void CloseDialog();
  bool Changed() const { return changed_; }

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;

 private:
  std::string ItemText(int id) const;

  CADODatabase& database_;
  BhoInfoFields fields_;
  std::function<void()> requestRefresh_;
  bool changed_ = false;
  bool initialising_ = false;
  UniqueGdi<HFONT> submitFont_;
};

// Fills and shows the dialog modally.
void ShowBhoInfo(HWND owner, CADODatabase& database, const std::string& clsid, BhoInfoSource source,
                 std::function<void()> requestRefresh, std::optional<RegistryView> view = std::nullopt);

}  // namespace tidewell
