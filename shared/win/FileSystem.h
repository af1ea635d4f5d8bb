#pragma once
// Folder walks and deletes in UTF-8 over the wide file functions. A listed
// name is handed on only when it converts exactly and is a plain name, and
// every change is refused unless its path lies below the folder it was
// found in: a name must never steer a delete out of its folder.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tidewell {

struct FolderEntry {
  std::string name;  // a plain name, exactly as the file system holds it
  std::string path;  // the folder's full path, "\", the name
  DWORD attributes = 0;
  uint64_t size = 0;

  bool IsFolder() const { return attributes & FILE_ATTRIBUTE_DIRECTORY; }
  // Junctions and symbolic links: never entered, never deleted through.
  bool IsLink() const { return attributes & FILE_ATTRIBUTE_REPARSE_POINT; }
};

// Not empty, not only dots, and no "\", "/", ":" or "?" (nor a control
// character): a name that cannot climb out of its folder or name a stream.
bool IsPlainName(std::string_view name);

// The folder's full path without a trailing separator ("C:\" keeps its
// own); empty when it is not an absolute path that can be made whole.
std::string FullFolderPath(const std::string& folder);

// The wide path with the \\?\ prefix, so that no name is trimmed or
// reinterpreted; path must be a full path.
std::wstring LongPath(const std::string& path);

// Calls visit for each entry of the folder whose name is plain, until visit
// returns false (then false). Other names are skipped and counted in
// `unreadable`. Entry paths start with FullFolderPath(folder). A folder that
// cannot be listed is visited as empty, with GetLastError() telling why.
bool ForEachFolderEntry(const std::string& folder, const std::function<bool(const FolderEntry&)>& visit,
                        uint32_t* unreadable = nullptr);

// GetFileAttributes through the long path; INVALID_FILE_ATTRIBUTES with the
// error of the look-up when it fails.
DWORD PathAttributes(const std::string& path);
// A look-up says "not found": the only proof that a delete took effect.
bool IsGone(const std::string& path);

// Changes confined to one folder: each refuses (false, nothing done) a path
// that is not below the folder, compared after making both whole.
class FolderScope {
 public:
  explicit FolderScope(const std::string& folder);

  bool Valid() const { return !folder_.empty(); }
  const std::string& Folder() const { return folder_; }
  // Below the folder, and every part after it a plain name.
  bool Contains(const std::string& path) const;

  // True only when a look-up afterwards finds the file gone.
  bool DeleteFile(const std::string& path) const;
  // An empty folder; true only when it is gone.
  bool RemoveFolder(const std::string& path) const;
  bool SetAttributes(const std::string& path, DWORD attributes) const;
  // Deletion at the next restart (needs administrator rights).
  bool ScheduleDelete(const std::string& path) const;

 private:
  std::string folder_;
};

// The folder that holds a path ("C:\\" for "C:\\x"); empty without one.
std::string ParentFolder(const std::string& path);

// One file named by a whole path (read from the registry, say), deleted
// within its own folder; true only when it is gone. A path that climbs
// ("..") or is not absolute is refused.
bool DeleteFileIn(const std::string& path);

}  // namespace tidewell
