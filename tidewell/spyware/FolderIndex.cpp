#include "tidewell/spyware/FolderIndex.h"

#include "shared/win/Utf8.h"

namespace tidewell {

namespace {

DWORD ListFromDisk(const std::string& folder, const std::function<bool(const FolderEntry&)>& visit) {
  ForEachFolderEntry(folder, visit);
  return GetLastError();
}

// A folder that is not there (or a drive without its medium) holds nothing to probe for.
bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_NOT_READY ||
         error == ERROR_INVALID_NAME;
}

}  // namespace

FolderIndex::FolderIndex(FolderLister lister) : lister_(lister ? std::move(lister) : ListFromDisk) {}

std::optional<DWORD> FolderIndex::Find(const std::string& path) {
  size_t cut = path.find_last_of('\\');
  if (cut == std::string::npos || cut + 1 == path.size()) return std::nullopt;
  Listing& listing = ListingOf(path.substr(0, cut + 1));  // "C:\" keeps its separator
  if (!listing.scope.Contains(path)) return std::nullopt;
  std::string name = UpperCaseName(std::string_view(path).substr(cut + 1));
  auto found = listing.entries.find(name);
  if (found != listing.entries.end()) return found->second;
  if (!listing.refused) return std::nullopt;
  DWORD attributes = PathAttributes(path);
  std::optional<DWORD> probed;
  if (attributes != INVALID_FILE_ATTRIBUTES) probed = attributes;
  listing.entries.emplace(name, probed);
  return probed;
}

FolderIndex::Listing& FolderIndex::ListingOf(const std::string& folder) {
  std::string key = UpperCaseName(folder);
  auto known = listings_.find(key);
  if (known != listings_.end()) return known->second;
  Listing& listing = listings_.try_emplace(key, folder).first->second;
  if (!listing.scope.Valid()) return listing;
  DWORD error = lister_(listing.scope.Folder(), [&](const FolderEntry& entry) {
    listing.entries.emplace(UpperCaseName(entry.name), entry.attributes);
    return true;
  });
  listing.refused = error != ERROR_SUCCESS && !IsMissing(error);
  return listing;
}

}  // namespace tidewell
