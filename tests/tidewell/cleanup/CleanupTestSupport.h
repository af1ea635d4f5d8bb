#pragma once
// Planting files in scratch folders, the link fixture the build makes, and
// the reboot's pending deletes a cleanup schedules.

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/TestFolder.h"

namespace tidewell::test {

inline void PlantFile(const std::filesystem::path& path, size_t length) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << std::string(length, 'x');
}

// Wine cannot make a symbolic link from a Windows program, so the build makes
// one (a Linux one, which Wine shows as a reparse point, like the profile's
// Desktop): "clean-me\link" points at "target", both in the build folder.
inline std::filesystem::path LinkFixture() {
  return (ProgramFolder() / ".." / "cleanup-link-fixture").lexically_normal();
}

// Under Wine every drive's recycle bin is the Linux trash below XDG_DATA_HOME:
// the tests touch it only where that points at the build's scratch folder.
inline bool TrashIsScratch() {
  char xdg[MAX_PATH] = {};
  GetEnvironmentVariableA("XDG_DATA_HOME", xdg, MAX_PATH);
  return std::string(xdg).ends_with("tidewell-scratch-data");
}

// Moves a file into the recycle bin.
inline bool BinFile(const std::filesystem::path& file) {
  std::string from = file.string() + '\0';
  SHFILEOPSTRUCTA operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  return SHFileOperationA(&operation) == 0;
}

inline constexpr const char* kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// The reboot's pending renames: pairs of source and target (empty: delete).
inline std::vector<std::wstring> PendingRenames(HKEY key) {
  DWORD size = 0;
  if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return {};
  std::wstring data(size / sizeof(wchar_t), L'\0');
  RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
  std::vector<std::wstring> strings;
  for (size_t at = 0; at < data.size();) {
    size_t end = std::min(data.find(L'\0', at), data.size());
    strings.push_back(data.substr(at, end - at));
    at = end + 1;
  }
  strings.resize(strings.size() / 2 * 2);  // the list's closing terminator is no entry
  return strings;
}

inline bool NamesFile(const std::wstring& source, const std::wstring& file) {
  return source.size() >= file.size() && _wcsicmp(source.c_str() + source.size() - file.size(), file.c_str()) == 0;
}

inline void WritePendingRenames(HKEY key, const std::vector<std::wstring>& strings) {
  if (strings.empty()) {
    RegDeleteValueW(key, L"PendingFileRenameOperations");
    return;
  }
  std::wstring data;
  for (const std::wstring& text : strings) data += text + L'\0';
  data += L'\0';
  RegSetValueExW(key, L"PendingFileRenameOperations", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                 static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

// Takes one file's entries out again and leaves everyone else's.
inline void RemovePendingRenamesOf(HKEY key, const std::wstring& file) {
  std::vector<std::wstring> strings = PendingRenames(key), kept;
  for (size_t i = 0; i < strings.size(); i += 2)
    if (!NamesFile(strings[i], file)) kept.insert(kept.end(), {strings[i], strings[i + 1]});
  WritePendingRenames(key, kept);
}

}  // namespace tidewell::test
