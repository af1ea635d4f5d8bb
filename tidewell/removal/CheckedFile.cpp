#include "tidewell/removal/CheckedFile.h"

#include <cstring>
#include <vector>

#include "shared/win/FileSystem.h"

namespace tidewell {

namespace {

uint64_t TimeValue(const LARGE_INTEGER& time) { return static_cast<uint64_t>(time.QuadPart); }

std::wstring WithoutLongPrefix(std::wstring path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

bool SameWidePath(const std::wstring& a, const std::wstring& b) {
  std::wstring left = WithoutLongPrefix(a), right = WithoutLongPrefix(b);
  return CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(),
                              static_cast<int>(right.size()), TRUE) == CSTR_EQUAL;
}

// The handle is the entry itself: no reparse tag, and the name it was opened by.
bool IsPlainEntry(HANDLE handle, const std::string& path) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) {
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || tag.ReparseTag != 0) return false;
  } else {
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
        (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return false;
  }
  std::vector<wchar_t> final(1024);
  DWORD length = GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length >= final.size()) {
    final.resize(length + 1);
    length = GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()),
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  if (length == 0 || length >= final.size()) return false;
  std::wstring finalPath(final.data(), length), asked = LongPath(FullFolderPath(path));
  if (SameWidePath(finalPath, asked)) return true;
  // A short (8.3) name in the path asked for is the same entry, spelled long.
  std::wstring plain = WithoutLongPrefix(asked);  // Wine spells no short name out behind the prefix
  std::vector<wchar_t> longName(plain.size() + MAX_PATH);
  DWORD longLength = GetLongPathNameW(plain.c_str(), longName.data(), static_cast<DWORD>(longName.size()));
  return longLength > 0 && longLength < longName.size() &&
         SameWidePath(finalPath, std::wstring(longName.data(), longLength));
}

bool SetBasic(HANDLE handle, const FileFacts& facts) {
  FILE_BASIC_INFO basic{};
  basic.CreationTime.QuadPart = static_cast<LONGLONG>(facts.created);
  basic.LastAccessTime.QuadPart = static_cast<LONGLONG>(facts.accessed);
  basic.LastWriteTime.QuadPart = static_cast<LONGLONG>(facts.written);
  basic.ChangeTime.QuadPart = 0;  // the system's own
  basic.FileAttributes = facts.attributes ? facts.attributes : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
}

bool RenameThrough(HANDLE handle, const std::string& to) {
  // The NT form, which the rename takes as it is.
  std::wstring target = L"\\??\\" + WithoutLongPrefix(LongPath(to));
  std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = FALSE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  std::memcpy(rename->FileName, target.data(), target.size() * sizeof(wchar_t));
  return SetFileInformationByHandle(handle, FileRenameInfo, rename, static_cast<DWORD>(buffer.size()));
}

bool DeleteThrough(HANDLE handle, const FileFacts& facts) {
  if (facts.attributes & FILE_ATTRIBUTE_READONLY) {
    FileFacts writable = facts;
    writable.attributes &= ~FILE_ATTRIBUTE_READONLY;
    if (!SetBasic(handle, writable)) return false;
  }
  FILE_DISPOSITION_INFO disposition{TRUE};
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
}

}  // namespace

CheckedStatus StatusOfError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return CheckedStatus::Gone;
    case ERROR_ACCESS_DENIED: return CheckedStatus::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return CheckedStatus::InUse;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return CheckedStatus::Taken;
    default: return CheckedStatus::Failed;
  }
}

CheckedStatus OpenChecked(const std::string& path, DWORD access, UniqueHandle& handle) {
  std::string full = FullFolderPath(path);
  if (full.empty()) return CheckedStatus::Failed;
  DWORD attributes = PathAttributes(full);
  if (attributes == INVALID_FILE_ATTRIBUTES) return StatusOfError(GetLastError());
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return CheckedStatus::Link;
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  handle = UniqueHandle(CreateFileW(LongPath(full).c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return StatusOfError(GetLastError());
  if (!IsPlainEntry(handle.Get(), full)) {
    handle.Reset();
    return CheckedStatus::Link;
  }
  return CheckedStatus::Done;
}

bool ReadFacts(HANDLE handle, FileFacts& facts) {
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) return false;
  facts.attributes = basic.FileAttributes;
  facts.created = TimeValue(basic.CreationTime);
  facts.accessed = TimeValue(basic.LastAccessTime);
  facts.written = TimeValue(basic.LastWriteTime);
  return true;
}

bool ApplyFacts(const std::string& path, const FileFacts& facts) {
  UniqueHandle handle;
  if (OpenChecked(path, FILE_WRITE_ATTRIBUTES | FILE_READ_ATTRIBUTES, handle) != CheckedStatus::Done) return false;
  return SetBasic(handle.Get(), facts);
}

CheckedStatus MoveChecked(const std::string& path, const std::string& to, FileFacts& facts) {
  UniqueHandle handle;
  CheckedStatus opened = OpenChecked(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, handle);
  if (opened != CheckedStatus::Done) return opened;
  if (!ReadFacts(handle.Get(), facts)) return CheckedStatus::Failed;
  if (facts.attributes & FILE_ATTRIBUTE_DIRECTORY) return CheckedStatus::NotFile;
  if (RenameThrough(handle.Get(), to)) return CheckedStatus::Done;
  DWORD error = GetLastError();
  if (error != ERROR_NOT_SAME_DEVICE) return StatusOfError(error);
  handle.Reset();
  // Another volume: a verified copy, then the original goes.
  FileFacts copied;
  if (CheckedStatus copy = CopyChecked(path, to, copied); copy != CheckedStatus::Done) return copy;
  return DeleteChecked(path, false);
}

CheckedStatus MoveBackChecked(const std::string& kept, const std::string& to, const FileFacts& facts) {
  UniqueHandle handle;
  CheckedStatus opened = OpenChecked(kept, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, handle);
  if (opened != CheckedStatus::Done) return opened;
  // The times go with the file; set first, they need no second open. A
  // file moved out by a rename still has them.
  FileFacts now;
  bool same = ReadFacts(handle.Get(), now) && now.attributes == facts.attributes && now.created == facts.created &&
              now.accessed == facts.accessed && now.written == facts.written;
  if (!same && !SetBasic(handle.Get(), facts)) return CheckedStatus::Failed;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (RenameThrough(handle.Get(), to)) return CheckedStatus::Done;
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return CheckedStatus::Taken;
    if (error == ERROR_NOT_SAME_DEVICE) break;
    if (error != ERROR_PATH_NOT_FOUND || attempt > 0 || !MakeFolders(ParentFolder(to))) return StatusOfError(error);
  }
  handle.Reset();
  if (PathAttributes(to) != INVALID_FILE_ATTRIBUTES) return CheckedStatus::Taken;
  if (!MakeFolders(ParentFolder(to)) ||
      !MoveFileExW(LongPath(FullFolderPath(kept)).c_str(), LongPath(to).c_str(), MOVEFILE_COPY_ALLOWED))
    return StatusOfError(GetLastError());
  ApplyFacts(to, facts);
  return CheckedStatus::Done;
}

CheckedStatus CopyChecked(const std::string& path, const std::string& to, FileFacts& facts) {
  UniqueHandle handle;
  CheckedStatus opened = OpenChecked(path, GENERIC_READ, handle);
  if (opened != CheckedStatus::Done) return opened;
  if (!ReadFacts(handle.Get(), facts)) return CheckedStatus::Failed;
  if (facts.attributes & FILE_ATTRIBUTE_DIRECTORY) return CheckedStatus::NotFile;
  if (!CopyFileW(LongPath(FullFolderPath(path)).c_str(), LongPath(to).c_str(), TRUE))
    return StatusOfError(GetLastError()) == CheckedStatus::AccessDenied ? CheckedStatus::AccessDenied
                                                                         : CheckedStatus::Failed;
  if (!SameFileBytes(path, to)) {
    SetFileAttributesW(LongPath(to).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(LongPath(to).c_str());
    return CheckedStatus::Failed;
  }
  return CheckedStatus::Done;
}

CheckedStatus DeleteChecked(const std::string& path, bool folder) {
  UniqueHandle handle;
  CheckedStatus opened = OpenChecked(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, handle);
  if (opened != CheckedStatus::Done) return opened;
  FileFacts facts;
  if (!ReadFacts(handle.Get(), facts)) return CheckedStatus::Failed;
  if (((facts.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder) return CheckedStatus::NotFile;
  if (!DeleteThrough(handle.Get(), facts)) return StatusOfError(GetLastError());
  handle.Reset();
  return IsGone(path) ? CheckedStatus::Done : CheckedStatus::Failed;
}

bool RemoveLinkByName(const std::string& path, bool folder) {
  std::wstring wide = LongPath(path);
  if (folder)
    RemoveDirectoryW(wide.c_str());
  else
    DeleteFileW(wide.c_str());
  return IsGone(path);
}

bool MakeFolders(const std::string& folder) {
  std::string full = FullFolderPath(folder);
  if (full.empty()) return false;
  DWORD attributes = PathAttributes(full);
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  std::string parent = ParentFolder(full);
  if (parent.empty() || parent == full || !MakeFolders(parent)) return false;
  return CreateDirectoryW(LongPath(full).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::string ReadSmallFile(const std::string& path) {
  UniqueHandle file(
      CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > (256 << 20)) return {};
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() && (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                         read != bytes.size()))
    return {};
  return bytes;
}

bool SameFileBytes(const std::string& a, const std::string& b) {
  UniqueHandle left(CreateFileW(LongPath(FullFolderPath(a)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  UniqueHandle right(CreateFileW(LongPath(FullFolderPath(b)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!left || !right) return false;
  std::vector<char> one(1 << 16), two(1 << 16);
  while (true) {
    DWORD readOne = 0, readTwo = 0;
    if (!ReadFile(left.Get(), one.data(), static_cast<DWORD>(one.size()), &readOne, nullptr) ||
        !ReadFile(right.Get(), two.data(), static_cast<DWORD>(two.size()), &readTwo, nullptr))
      return false;
    if (readOne != readTwo || std::memcmp(one.data(), two.data(), readOne) != 0) return false;
    if (readOne == 0) return true;
  }
}

}  // namespace tidewell
