#pragma once
// The registry cleaner's engine: a category's scan fills table problems with
// the entries whose file is missing; its repair backs each marked entry up,
// deletes it once the backup is verified, and removes its row. Both report
// progress through a sink and never touch a window.

#include <windows.h>

#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/RegistryLocation.h"
#include "shared/win/Workers.h"
#include "tidewell/backup/RegistryBackup.h"
#include "tidewell/regclean/CategoryText.h"

namespace tidewell {

class CleanerSink {
 public:
  virtual void Status(const std::string& text) = 0;  // the dialog's status line
  virtual void Found(int count) = 0;                 // the row's count field
 protected:
  ~CleanerSink() = default;
};

struct ScanResult {
  int found = 0;
  bool stopped = false;
  int unreadable = 0;  // values skipped because they could not be read: the scan is incomplete
};

// Clears the category's earlier rows, walks its entries in every registry
// view, stores the invalid ones (in batches) and writes the scan event,
// "(incomplete)" when the token stopped it. One scan or repair of a
// category runs at a time; a second waits for the first.
ScanResult ScanCategory(CADODatabase& database, Category category, const StopToken& token, CleanerSink& sink);

struct RepairResult {
  int repaired = 0;  // backed up and really gone
  int failed = 0;    // left in place; the row went back to state 0
  int valid = 0;     // judged again and no longer invalid: kept, its row dropped
};

// Where a key really lives: HKCR's user and machine copies. The registry
// answers; a test can present copies of its own.
class KeyCopies {
 public:
  virtual ~KeyCopies() = default;
  virtual std::vector<RegistryLocation> Of(const RegistryLocation& key) const { return key.RealCopies(); }
};

// Repairs the rows of the category with state 1. Each entry is judged again
// first, and only one still invalid is touched; only keys and values
// strictly below the category's own location, each only after its backup
// holds it. A key row is repaired in each real copy that is itself invalid,
// never through the merged HKCR view. Writes "Repaired n ..." when n > 0.
RepairResult RepairCategory(CADODatabase& database, CRegistryBackup& backup, Category category,
                            const StopToken& token, CleanerSink& sink, const KeyCopies* copies = nullptr);

// Whether a scan or repair of the category runs, or waits to, anywhere in the program.
bool CategoryBusy(Category category);

// Rows of the category still to review (state 0), for the count field.
int CountProblems(CADODatabase& database, Category category);

// Runs a statement; false when it failed.
bool ExecuteStatement(CADODatabase& database, const std::string& statement);

}  // namespace tidewell
