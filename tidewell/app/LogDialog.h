#pragma once
// "Tidewell Log": every event, newest first, read once when it opens.

#include "shared/db/AdoDatabase.h"
#include "shared/win/Dialog.h"

namespace tidewell {

class CLogDialog : public Dialog {
 public:
  explicit CLogDialog(CADODatabase& database) : database_(database) {}

 protected:
  bool OnInit() override;

 private:
  CADODatabase& database_;
};

// Shows the viewer modally over the owner.
void ShowLog(HWND owner, CADODatabase& database);

}  // namespace tidewell
