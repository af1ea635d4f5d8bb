#pragma once
// Existence checks of candidate paths, answered from one listing per distinct
// folder instead of one system call per candidate. A folder that refuses its
// listing (Vista's compatibility junctions such as "Application Data" deny it
// to everyone, yet lead on) is asked once about each candidate instead.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

#include "shared/win/FileSystem.h"

namespace tidewell {

// Visits the folder's entries; ERROR_SUCCESS, or why the folder could not be listed.
using FolderLister =
    std::function<DWORD(const std::string& folder, const std::function<bool(const FolderEntry&)>& visit)>;

class FolderIndex {
 public:
  // Without a lister the folders are listed from the disk.
  explicit FolderIndex(FolderLister lister = {});

  // The attributes of the path's entry, or nothing when it does not exist or
  // is no plain name below a whole folder path: only what a removal confined
  // to that folder could reach is ever reported.
  std::optional<DWORD> Find(const std::string& path);

 private:
  struct Listing {
    explicit Listing(const std::string& folder) : scope(folder) {}
    FolderScope scope;
    bool refused = false;
    std::unordered_map<std::string, std::optional<DWORD>> entries;  // upper-case name -> attributes
  };

  Listing& ListingOf(const std::string& folder);

  FolderLister lister_;
  std::unordered_map<std::string, Listing> listings_;
};

}  // namespace tidewell
