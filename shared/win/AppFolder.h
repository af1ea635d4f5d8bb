#pragma once
// Where the running program lives: its database and definitions sit beside it.

#include <string>

namespace tidewell {

// Full path of the running program file.
std::string GetProgramPath();

// The program's folder with its trailing backslash, then "\bhodb.mdb":
// C:\Tools\\bhodb.mdb. The doubled backslash is kept wherever this is stored.
std::string GetDatabasePath();

// The program's folder with one trailing backslash: C:\Tools\ .
std::string GetAppFolder();

}  // namespace tidewell
