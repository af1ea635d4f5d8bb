#pragma once
// The programs Windows starts at logon from the two Run keys: listed,
// disabled (backed up as a .reg file, then removed) or deleted outright,
// described from the processes table, and an unknown one sent to the web site.

#include <windows.h>

#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Registry.h"

namespace tidewell {

inline constexpr const char* kRunKeyPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\";
inline constexpr int kStartupRootMachine = 100;  // HKEY_LOCAL_MACHINE
inline constexpr int kStartupRootUser = 101;     // HKEY_CURRENT_USER

struct StartupEntry {
  std::string name;     // the value name; empty for the unnamed value
  std::string command;  // the value data
  int root = 0;         // kStartupRootMachine or kStartupRootUser
  // The machine Run key's registry view on 64-bit Windows; the current
  // user's Run key is one key for both views.
  RegistryView view = RegistryView::Native;
};

// HKEY_CURRENT_USER's entries first, then HKEY_LOCAL_MACHINE's (the 64-bit
// view's before the 32-bit view's), each in the key's own order. A key
// that cannot be opened gives none.
std::vector<StartupEntry> ListStartupEntries();

// A list row's item data: the root code, plus kStartupView32Flag for an
// entry of the 32-bit view of 64-bit Windows.
inline constexpr int kStartupView32Flag = 1000;
LPARAM StartupItemData(const StartupEntry& entry);
// Root code and view of a row's item data.
void ReadStartupItemData(LPARAM data, StartupEntry& entry);
// "32-bit" / "64-bit" for a machine entry where two views exist, else "".
std::string StartupViewText(const StartupEntry& entry);

// Each asks first and returns false when nothing was done (nothing selected:
// an entry with both texts empty; or the user said No). owner owns the prompts.
// Disable deletes the value only once its backup holds it; otherwise it says
// why and changes nothing. Delete keeps the value as an action of its own,
// so the Backup manager can put it back. view: the registry view the entry
// was listed from.
bool DisableStartupEntry(CADODatabase& database, const std::string& appFolder, const StartupEntry& entry,
                         HWND owner = nullptr);
bool DeleteStartupEntry(CADODatabase& database, const std::string& appFolder, const StartupEntry& entry,
                        HWND owner = nullptr);

// "Description: " and what the processes table or the program file's version
// information says about the program the command starts, or the "Unknown
// (Right-click ...)" text.
std::string DescribeStartupCommand(CADODatabase& database, const std::string& command);
// Whether a description is the one that offers "Submit information".
bool IsUnknownStartupDescription(const std::string& description);

// A string (such as "CompanyName") of a file's version information, in its
// first translation; empty when it has none.
std::string VersionString(const std::string& path, const char* name);
// The "Comments" string of a file's version information; empty when it has none.
std::string VersionComments(const std::string& path);

// Sends name and path to the product web site; the message the user gets:
// "Information submited" for any answer, "Unable to connect to server" for none.
std::string SendStartupInfo(const std::string& host, const std::string& name, const std::string& path);

}  // namespace tidewell
