#pragma once
// File and folder changes made through a handle that was checked first: it
// is no link and its final path is the one asked for, so a junction or a
// symbolic link swapped in never steers a move or a delete elsewhere.

#include <windows.h>

#include <cstdint>
#include <string>

#include "shared/win/Handles.h"

namespace tidewell {

struct FileFacts {
  DWORD attributes = 0;
  uint64_t created = 0, accessed = 0, written = 0;  // FILETIME values
};

enum class CheckedStatus { Done, Gone, Link, AccessDenied, InUse, Taken, NotFile, Failed };

// Opens the file or folder (not following a link) with the access, and
// checks it; Link when it is one or its final path is another.
CheckedStatus OpenChecked(const std::string& path, DWORD access, UniqueHandle& handle);
bool ReadFacts(HANDLE handle, FileFacts& facts);
// Sets the times and attributes of a file or folder by its name.
bool ApplyFacts(const std::string& path, const FileFacts& facts);

// Moves the file to `to` (a whole path on any volume, not there yet): a
// rename through its checked handle, else a copy that is compared byte for
// byte before the original is deleted.
CheckedStatus MoveChecked(const std::string& path, const std::string& to, FileFacts& facts);
// Puts a kept file back at `to` with its times and attributes, making
// missing folders above it; Taken when something is there again.
CheckedStatus MoveBackChecked(const std::string& kept, const std::string& to, const FileFacts& facts);
// Copies the file to `to` and compares the copy.
CheckedStatus CopyChecked(const std::string& path, const std::string& to, FileFacts& facts);
// Deletes a file (read-only too) or an empty folder through its checked handle.
CheckedStatus DeleteChecked(const std::string& path, bool folder);

// Removes a link itself by its name, never what it points to; true when it is gone.
bool RemoveLinkByName(const std::string& path, bool folder);

// Makes the folder and every missing folder above it.
bool MakeFolders(const std::string& folder);
// A file's bytes, up to 256 MB; empty when it cannot be read whole.
std::string ReadSmallFile(const std::string& path);
// Whether two files hold the same bytes.
bool SameFileBytes(const std::string& a, const std::string& b);

CheckedStatus StatusOfError(DWORD error);

}  // namespace tidewell
