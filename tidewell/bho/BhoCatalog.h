#pragma once
// What the machine and the BHOS table say about one class ID: its name, risk,
// file and last write time; and the table that maps tree items to class IDs.

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Handles.h"
#include "shared/win/Registry.h"

namespace tidewell {

inline constexpr const char* kBhoKeyPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

// The machine's BHO registration key. A machine on which no BHO was ever
// registered has none: it is created then, empty, so that listing shows no
// BHOs instead of an error and the watcher can see the first registration.
// Empty only when the key can be neither opened nor created. On 64-bit
// Windows each registry view has its own (32-bit Internet Explorer's BHOs
// are in the 32-bit one).
UniqueKey OpenBhoRegistrationKey(REGSAM access, RegistryView view = RegistryView::Native);

// The first view (of RegistryViews()) whose BHO key has the class ID; Native
// when none has it. For a class ID that came without its view.
RegistryView BhoViewOf(const std::string& clsid);

// The name as a row shows it: a BHO of the 32-bit view on 64-bit Windows
// says so, since the same class may be registered in both views.
std::string BhoTextInView(const std::string& name, RegistryView view);

struct BhoRow {
  std::string name;
  std::string risk;
  std::string files;
  std::string comments;
  int modified = 0;
};

inline constexpr const char* kSelectBhoForListing = "select * from bhos where clsid='%s'";
inline constexpr const char* kSelectBhoForInformation = "select * from BHOS where CLSID='%s'";

// The BHOS row of the class ID, if any, found by the given statement (one
// "%s" for the class ID); the database is reopened if closed.
std::optional<BhoRow> FindBhoRow(CADODatabase& database, const std::string& clsid,
                                 const char* statement = kSelectBhoForListing);

// The row's name (possibly empty), or "Unknown BHO" without a row.
std::string BhoName(CADODatabase& database, const std::string& clsid);
// The tree image of the row's risk word; unknown without a row.
int BhoRiskImage(CADODatabase& database, const std::string& clsid);
// The class's InprocServer32 path (in the class's registry view) with its
// first variable expanded as that view's programs see it and its system
// folder as this program reaches it;
// empty when the key or value cannot be read.
std::string BhoFile(const std::string& clsid, RegistryView view = RegistryView::Native);
// The BHO key's last write time in seconds since 1970; 0 when unreadable.
int64_t BhoLastWriteTime(const std::string& clsid, RegistryView view = RegistryView::Native);
// The last write time of any key in seconds since 1970; 0 when unreadable.
int64_t KeyLastWriteTime(HKEY root, const std::string& path, RegistryView view = RegistryView::Native);

// The class IDs of the tree's BHO items; an item's data is its index here.
// Listing and deep scan share it and may run at once: each Add takes its own
// index, and a full table refuses further items instead of overrunning.
class ClassIdTable {
 public:
  static constexpr int kCapacity = 500;

  void Restart() { next_.store(0); }
  std::optional<int> Add(const std::string& clsid, RegistryView view = RegistryView::Native);
  // Empty for an index that was never filled or lies outside the table.
  std::string At(LPARAM index) const;
  // The registry view the item's class ID was found in.
  RegistryView ViewAt(LPARAM index) const;

 private:
  struct Entry {
    std::string clsid;
    RegistryView view = RegistryView::Native;
  };
  mutable std::mutex mutex_;
  std::array<Entry, kCapacity> entries_;
  std::atomic<int> next_{0};
};

}  // namespace tidewell
