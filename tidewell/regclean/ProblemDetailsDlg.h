#pragma once
// The "Details" dialog: the problem rows of one category (or of all), each
// with a check box; "Repair selected items" marks the checked rows.

#include <windows.h>

#include <optional>
#include <string>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Dialog.h"
#include "tidewell/regclean/CategoryText.h"

namespace tidewell {

class CProblemDetailsDlg : public Dialog {
 public:
  // category: nothing for all types.
  CProblemDetailsDlg(CADODatabase& database, std::optional<Category> category);

  // After DoModal: whether rows were marked and their repair is to start.
  bool RepairRequested() const { return repairRequested_; }
  std::optional<Category> GetCategory() const { return category_; }

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  void OnSize(UINT type, int width, int height) override;

 private:
  void Fill();
  void OnSelectAll();
  void OnRepairSelected();

  CADODatabase& database_;
  std::optional<Category> category_;
  bool repairRequested_ = false;
};

}  // namespace tidewell
