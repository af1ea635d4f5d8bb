#include "shared/win/FileSystem.h"

#include "shared/win/Handles.h"
#include "shared/win/Utf8.h"

namespace tidewell {

namespace {

bool IsDriveRoot(std::string_view path) { return path.size() == 3 && path[1] == ':' && path[2] == '\\'; }

bool IsAbsolute(std::string_view path) {
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return true;
  return path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '?' && path[2] != '.';
}

// Every part after the drive or share is a plain name, so the path means
// the same with or without the \\?\ prefix.
bool IsWholePath(std::string_view path) {
  if (!IsAbsolute(path)) return false;
  size_t start = path[1] == ':' ? 3 : 2;
  while (start < path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (!IsPlainName(path.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

bool NotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace

bool IsPlainName(std::string_view name) {
  if (name.empty() || name.find_first_not_of('.') == std::string_view::npos) return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == '\\' || c == '/' || c == ':' || c == '?') return false;
  return true;
}

std::string FullFolderPath(const std::string& folder) {
  if (!IsAbsolute(folder)) return {};
  // A path made of plain names is whole already; GetFullPathName would trim
  // a name's trailing dots and blanks and so name another folder.
  std::string trimmed = folder;
  while (trimmed.size() > 3 && trimmed.back() == '\\') trimmed.pop_back();
  if (IsWholePath(trimmed) && !WideFromUtf8(trimmed).empty()) return trimmed;
  std::wstring wide = WideFromUtf8(folder);
  if (wide.empty()) return {};
  DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) return {};
  std::wstring full(length, L'\0');
  length = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
  if (length == 0 || length >= full.size()) return {};
  full.resize(length);
  std::string text = Utf8FromWide(full).value_or(std::string());
  while (text.size() > 3 && text.back() == '\\') text.pop_back();
  if (!IsAbsolute(text) || (!IsDriveRoot(text) && !IsWholePath(text))) return {};
  return text;
}

std::wstring LongPath(const std::string& path) {
  std::wstring wide = WideFromUtf8(path);
  if (wide.empty()) return {};
  if (wide.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + wide.substr(2);
  return L"\\\\?\\" + wide;
}

bool ForEachFolderEntry(const std::string& folder, const std::function<bool(const FolderEntry&)>& visit,
                        uint32_t* unreadable) {
  std::string base = FullFolderPath(folder);
  if (base.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return true;
  }
  if (base.back() != '\\') base += '\\';
  WIN32_FIND_DATAW found{};
  UniqueFindHandle find(FindFirstFileExW(LongPath(base + "*").c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!find) return true;  // GetLastError() says why
  FolderEntry entry;
  do {
    std::wstring_view wide = found.cFileName;
    if (wide == L"." || wide == L"..") continue;
    std::optional<std::string> name = Utf8FromWide(wide);
    if (!name || !IsPlainName(*name)) {
      if (unreadable) ++*unreadable;
      continue;
    }
    entry.name = std::move(*name);
    entry.path = base + entry.name;
    entry.attributes = found.dwFileAttributes;
    entry.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    if (!visit(entry)) return false;
  } while (FindNextFileW(find.Get(), &found));
  SetLastError(ERROR_SUCCESS);
  return true;
}

DWORD PathAttributes(const std::string& path) {
  std::wstring wide = IsWholePath(path) ? LongPath(path) : WideFromUtf8(path);
  if (wide.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_FILE_ATTRIBUTES;
  }
  return GetFileAttributesW(wide.c_str());
}

bool IsGone(const std::string& path) {
  return PathAttributes(path) == INVALID_FILE_ATTRIBUTES && NotFound(GetLastError());
}

FolderScope::FolderScope(const std::string& folder) : folder_(FullFolderPath(folder)) {}

bool FolderScope::Contains(const std::string& path) const {
  if (folder_.empty() || !IsWholePath(path)) return false;
  size_t length = folder_.back() == '\\' ? folder_.size() : folder_.size() + 1;
  if (path.size() <= length || path[length - 1] != '\\') return false;
  return SameNameIgnoringCase(std::string_view(path).substr(0, folder_.size()), folder_);
}

bool FolderScope::DeleteFile(const std::string& path) const {
  if (!Contains(path)) return false;
  std::wstring wide = LongPath(path);
  if (!DeleteFileW(wide.c_str()) && GetLastError() == ERROR_ACCESS_DENIED) {
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY) && SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
      DeleteFileW(wide.c_str());
  }
  return IsGone(path);
}

bool FolderScope::RemoveFolder(const std::string& path) const {
  if (!Contains(path)) return false;
  RemoveDirectoryW(LongPath(path).c_str());
  return IsGone(path);
}

bool FolderScope::SetAttributes(const std::string& path, DWORD attributes) const {
  return Contains(path) && SetFileAttributesW(LongPath(path).c_str(), attributes);
}

bool FolderScope::ScheduleDelete(const std::string& path) const {
  return Contains(path) && MoveFileExW(LongPath(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

std::string ParentFolder(const std::string& path) {
  size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return {};
  return slash == 2 && path[1] == ':' ? path.substr(0, 3) : path.substr(0, slash);
}

bool DeleteFileIn(const std::string& path) {
  std::string folder = ParentFolder(path);
  return !folder.empty() && FolderScope(folder).DeleteFile(path);
}

}  // namespace tidewell
