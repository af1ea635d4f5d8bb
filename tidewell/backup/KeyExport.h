#pragma once
// What a backup of whole keys exports, as plain data, so the feature that
// knows the keys can say them without a window or the registry at hand.

#include <string>
#include <vector>

namespace tidewell {

// A key in reg.exe's short-root form ("HKCR\CLSID") and its file's base name.
struct KeyExport {
  std::string key;
  std::string fileBase;
};

// One "Backup" button's backup: its comment, and the keys in export order.
struct CategoryBackupRequest {
  std::string comment;
  std::vector<KeyExport> keys;
};

}  // namespace tidewell
