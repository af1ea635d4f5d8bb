#pragma once
// After reg.exe imported a file: does the registry hold what the file says?
// reg.exe alone cannot tell; it reports success after importing part of a file.

#include <string>
#include <vector>

#include "tidewell/removal/RegFileReader.h"

namespace tidewell {

// What the registry does not hold as the file says, one text each: the key
// ("HKEY_CURRENT_USER\Software\Tool") or the value in it
// ("HKEY_CURRENT_USER\Software\Tool: Path", "(Default)" for the unnamed one). Keys and values the
// file deletes must be gone. Read where the machine's own reg.exe writes: the
// 64-bit view wherever there are two, whose Wow6432Node holds the 32-bit one.
std::vector<std::string> NotInRegistry(const std::vector<RegFileKey>& keys);

}  // namespace tidewell
