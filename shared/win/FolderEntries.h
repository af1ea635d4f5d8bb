#pragma once
// One folder's entries, as FindFirstFile gives them, without "." and "..".
// The walks that recurse decide themselves about links and subfolders.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "shared/win/Handles.h"

namespace tidewell {

inline uint64_t EntrySize(const WIN32_FIND_DATAA& entry) {
  return (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
}

// Calls visit(entry, path) for each entry of folder (path: folder\name)
// until visit returns false. False when the walk was cut short that way.
template <class Visit>
bool ForEachFolderEntry(const std::string& folder, Visit&& visit) {
  std::string base = folder;
  if (!base.empty() && base.back() != '\\') base += '\\';
  WIN32_FIND_DATAA entry{};
  UniqueFindHandle find(FindFirstFileA((base + "*.*").c_str(), &entry));
  if (!find) return true;
  do {
    std::string_view name = entry.cFileName;
    if (name == "." || name == "..") continue;
    if (!visit(static_cast<const WIN32_FIND_DATAA&>(entry), base + entry.cFileName)) return false;
  } while (FindNextFileA(find.Get(), &entry));
  return true;
}

}  // namespace tidewell
