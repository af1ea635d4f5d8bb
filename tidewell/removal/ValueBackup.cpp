#include "tidewell/removal/ValueBackup.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <vector>

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/win/FileSystem.h"
#include "shared/win/Handles.h"
#include "shared/win/RegistryLocation.h"
#include "shared/win/Utf8.h"
#include "tidewell/removal/BackupText.h"
#include "tidewell/removal/RegFileText.h"

namespace tidewell {

namespace {

constexpr int kFileNameAttempts = 1000;

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;  // as stored; strings in UTF-16
};

std::vector<uint8_t> LittleEndianBytes(const std::wstring& wide) {
  std::vector<uint8_t> bytes;
  bytes.reserve(wide.size() * 2);
  for (wchar_t c : wide) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
  }
  return bytes;
}

// Read through the wide API, so string data comes as the registry holds it
// and restores byte for byte; any length.
std::optional<RawValue> ReadRawValue(const ValueBackupRequest& request) {
  UniqueKey key = OpenKey(request.root, request.keyPath, KEY_QUERY_VALUE, request.view);
  if (!key) return std::nullopt;
  std::wstring name = WideFromUtf8(request.valueName);
  RawValue value;
  DWORD length = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    length = static_cast<DWORD>(value.data.size());
    LONG result = RegQueryValueExW(key.Get(), name.c_str(), nullptr, &value.type,
                                   value.data.empty() ? nullptr : value.data.data(), &length);
    if (result == ERROR_SUCCESS && (!value.data.empty() || length == 0)) {
      value.data.resize(length);
      return value;
    }
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) return std::nullopt;
    value.data.resize(length + 2);
  }
  return std::nullopt;
}

// A REG_SZ that the quoted form carries exactly: one terminated line of text.
std::optional<std::string> QuotableString(const std::vector<BYTE>& data) {
  if (data.size() < 2 || data.size() % 2 != 0) return std::nullopt;
  std::wstring wide(data.size() / 2, L'\0');
  std::memcpy(wide.data(), data.data(), data.size());
  if (wide.back() != L'\0') return std::nullopt;
  wide.pop_back();
  if (wide.find(L'\0') != std::wstring::npos) return std::nullopt;
  auto text = Utf8FromWide(wide);
  if (!text || NeedsHexForm(*text)) return std::nullopt;
  return text;
}

struct ValueLineText {
  std::string line;
  bool unicodeFile = false;  // string data in hex form is read as UTF-16 only from a UTF-16 file
};

ValueLineText ValueLine(const std::string& name, const RawValue& value) {
  switch (value.type) {
    case REG_SZ:
      if (auto text = QuotableString(value.data)) return {RegStringValueLine(name, *text)};
      return {RegHexValueLine(name, REG_SZ, value.data), true};
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ: return {RegHexValueLine(name, value.type, value.data), true};
    case REG_DWORD:
      if (value.data.size() == sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, value.data.data(), sizeof number);
        return {RegDwordValueLine(name, number)};
      }
      break;
    default: break;
  }
  return {RegHexValueLine(name, value.type, value.data)};
}

std::string FileBytes(const ValueBackupRequest& request, const std::optional<RawValue>& value) {
  std::optional<ValueLineText> line;
  if (value) line = ValueLine(request.valueName, *value);
  std::string text = ValueBackupFileText(request.rootText, RegistryLocation{request.root, request.keyPath, request.view}.ViewPath(),
                                         line ? std::optional(line->line) : std::nullopt);
  // reg.exe reads 8-bit text in a code page of its own, and a restore reads
  // it back as UTF-8: beyond ASCII, only UTF-16 means the same to both.
  bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii && !(line && line->unicodeFile)) return text;
  std::vector<uint8_t> bytes = LittleEndianBytes(WideFromUtf8(text));
  return std::string("\xFF\xFE", 2) + std::string(bytes.begin(), bytes.end());
}

std::string WithNumber(const std::string& fileName, int number) {
  if (number <= 1) return fileName;
  std::string stem = fileName.substr(0, fileName.size() - 4);  // without ".reg"
  return stem + " (" + std::to_string(number) + ").reg";
}

// Creates a file of a name no earlier backup in the folder holds.
UniqueHandle CreateNewFile(const std::string& folder, const std::string& fileName, std::string& path) {
  for (int number = 1; number <= kFileNameAttempts; ++number) {
    path = CollapseDoubledBackslashes(folder + "\\" + WithNumber(fileName, number));
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return file;
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  path.clear();
  return {};
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size() && FlushFileBuffers(file);
}

bool FileHolds(const std::string& path, const std::string& bytes) {
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  std::string read(bytes.size() + 1, '\0');
  DWORD count = 0;
  if (!ReadFile(file.Get(), read.data(), static_cast<DWORD>(read.size()), &count, nullptr)) return false;
  read.resize(count);
  return read == bytes;
}

}  // namespace

ValueBackupResult WriteValueBackupFile(const std::string& folder, const ValueBackupRequest& request) {
  CreateDirectoryA(folder.c_str(), nullptr);
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  int random = std::rand() % 1000;
  ValueBackupResult result;
  UniqueHandle file = CreateNewFile(folder, ValueBackupFileName(request.valueName, request.keyPath, random), result.file);
  if (!file) return result;

  std::optional<RawValue> value = ReadRawValue(request);
  std::string bytes = FileBytes(request, value);
  bool written = WriteAll(file.Get(), bytes);
  file.Reset();
  if (!written) {
    DeleteFileIn(result.file);  // a cut file would restore a cut value
    result.file.clear();
    return result;
  }
  result.holdsValue = value.has_value() && FileHolds(result.file, bytes);
  return result;
}

ValueBackupResult WriteValueBackup(CADODatabase& database, const std::string& appFolder,
                                   const ValueBackupRequest& request) {
  std::string folder = appFolder;
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  CreateDirectoryA(CollapseDoubledBackslashes(folder + kBackupRootFolder).c_str(), nullptr);
  ValueBackupResult result =
      WriteValueBackupFile(CollapseDoubledBackslashes(folder + BackupFolderName(request.backupTime)), request);
  if (result.file.empty()) return result;

  if (!database.IsOpen()) database.Open("", "", "");
  CADORecordset recordset(database);
  bool filed = recordset.Open(FormatSql("insert into regbk(dattm,file,comment) values(%d,'%s','%s')",
                                        request.backupTime, result.file, request.comment)) ||
               recordset.GetLastError() == 0;
  result.holdsValue = result.holdsValue && filed;
  return result;
}

}  // namespace tidewell
