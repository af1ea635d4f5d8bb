#pragma once
// Whether the file or program a registry entry names can be found. Nothing
// is ever started: a program is looked for as the system would look for it,
// and a library's second chance loads it as data, never running its code.
// An entry is judged invalid only when every look-up says "not found": a
// path behind an unreachable share, on a drive that is not there, refused
// or malformed is left alone, since nothing proves its file is gone.

#include <string>

#include "shared/win/Registry.h"

namespace tidewell {

// What looking for one path tells.
enum class Presence {
  Found,
  Missing,  // the look-up said "not found" and the path's volume answers
  Unknown,  // refused, not ready, unreachable: cannot tell
  BadName,  // no file could have this name
};

// Variables expanded in place, as a program of the view sees them: the
// program-files variables of the other view's programs differ from this
// build's (ProgramFiles(x86) for a 32-bit entry in the 64-bit build,
// ProgramW6432 for a 64-bit entry in the 32-bit build).
std::string ExpandForView(const std::string& text, RegistryView view);

// A file (or, unless fileOnly, a folder) at a full path, looked for where a
// program of the view finds it (its System32 may be SysWOW64 or Sysnative).
Presence LookUpInView(const std::string& path, RegistryView view, bool fileOnly = false);

// The file test: invalid only when the prepared text is a full path that is
// missing. libraryChance: a path that is not found as written still counts
// when the system loads it as a library data file (it adds ".dll").
bool IsMissingFile(const std::string& text, RegistryView view, bool libraryChance);

// The start test without the start: invalid only when every way the system
// would read the command line (full path, search path, or App Paths for a
// bare name) leads to a missing program. A reading that cannot be a name is
// passed over; any that cannot be told leaves the entry unjudged. Texts
// with an unexpanded variable or only blanks are never invalid.
bool IsMissingProgram(const std::string& command, RegistryView view);

}  // namespace tidewell
