#pragma once
// The rules that place the program's files beside it, apart from asking
// Windows where the program is, so they build and are tested everywhere.

#include <string>
#include <string_view>

namespace tidewell {

inline constexpr const char* kDatabaseFileName = "bhodb.mdb";

// "C:\Tools\Tidewell.exe" -> "C:\Tools\\bhodb.mdb".
std::string DatabasePathForProgram(std::string_view programPath);

// "C:\Tools\\bhodb.mdb" -> "C:\Tools\" (the folder, with one trailing backslash).
std::string AppFolderOfDatabase(std::string_view databasePath);

}  // namespace tidewell
