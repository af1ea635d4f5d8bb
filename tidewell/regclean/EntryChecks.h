#pragma once
// Whether the file or program a registry entry names can be found. Nothing
// is ever started: a program is looked for as the system would look for it,
// and a library's second chance loads it as data, never running its code.

#include <string>

#include "shared/win/Registry.h"

namespace tidewell {

// Variables expanded in place; in the 32-bit view the program-files
// variables are those a 32-bit program sees.
std::string ExpandForView(const std::string& text, RegistryView view);

// A file or folder at a full path, as a program of the view sees it (its
// System32 is SysWOW64 for the 32-bit view of a 64-bit program).
bool PathExistsInView(const std::string& path, RegistryView view);

// The file test: invalid only when the prepared text is a full path naming
// nothing. libraryChance: a path that is not found as written still counts
// when the system loads it as a library data file (it adds ".dll").
bool IsMissingFile(const std::string& text, RegistryView view, bool libraryChance);

// The start test without the start: invalid only when no way the system
// would read the command line leads to an existing program file (full path,
// search path, or App Paths for a bare name). Texts with an unexpanded
// variable or only blanks are never invalid.
bool IsMissingProgram(const std::string& command, RegistryView view);

}  // namespace tidewell
