#pragma once
// The "Details" dialog: the problem rows of one category (or of all), each
// with a check box; "Repair selected items" marks the checked rows, except
// those of a category that is busy scanning or repairing.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Dialog.h"
#include "tidewell/regclean/CategoryText.h"

namespace tidewell {

class CProblemDetailsDlg : public Dialog {
 public:
  using BusyTest = std::function<bool(Category)>;
  // category: nothing for all types. busy: whether a category's rows must
  // not be marked now; none: never.
  CProblemDetailsDlg(CADODatabase& database, std::optional<Category> category, BusyTest busy = {});

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
  BusyTest busy_;
  std::unordered_map<int, Category> categoryOfRow_;  // by problems.ID
  bool repairRequested_ = false;
};

}  // namespace tidewell
