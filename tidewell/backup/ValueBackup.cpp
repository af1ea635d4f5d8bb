#include "tidewell/backup/ValueBackup.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <vector>

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/win/Registry.h"
#include "tidewell/backup/BackupText.h"
#include "tidewell/backup/RegFileText.h"

namespace tidewell {

namespace {

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

// The value as stored, whatever its length: a long command line must not
// lose its backup.
std::optional<RawValue> ReadRawValue(HKEY root, const std::string& keyPath, const std::string& name,
                                     RegistryView view) {
  UniqueKey key = OpenKey(root, keyPath, KEY_READ, view);
  if (!key) return std::nullopt;
  RawValue value;
  DWORD length = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    LONG result = RegQueryValueExA(key.Get(), name.c_str(), nullptr, &value.type,
                                   value.data.empty() ? nullptr : value.data.data(), &length);
    if (result == ERROR_SUCCESS && !value.data.empty()) {
      value.data.resize(length);
      return value;
    }
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) return std::nullopt;
    value.data.resize(length + 2);
    length = static_cast<DWORD>(value.data.size());
  }
  return std::nullopt;
}

std::string StringData(const std::vector<BYTE>& data) {
  std::string text(data.begin(), data.end());
  if (size_t end = text.find('\0'); end != std::string::npos) text.resize(end);
  return text;
}

// UTF-16 (little endian), from the ANSI code page.
std::wstring Wide(const std::string& text) {
  int count = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(count, 0)), L'\0');
  if (count > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), count);
  return wide;
}

std::vector<uint8_t> LittleEndianBytes(const std::wstring& wide) {
  std::vector<uint8_t> bytes;
  for (wchar_t c : wide) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
  }
  return bytes;
}

struct ValueLineText {
  std::string line;
  bool unicodeFile = false;  // hex(1) data is UTF-16 only in a UTF-16 file, for every reg.exe
};

std::optional<ValueLineText> ValueLine(const ValueBackupRequest& request) {
  auto value = ReadRawValue(request.root, request.keyPath, request.valueName, request.view);
  if (!value) return std::nullopt;
  if (value->type == REG_SZ) {
    std::string data = StringData(value->data);
    // A line break would end the quoted line early and restore only its first part.
    if (NeedsHexForm(data))
      return ValueLineText{RegHexValueLine(request.valueName, REG_SZ, LittleEndianBytes(Wide(data) + L'\0')), true};
    return ValueLineText{RegStringValueLine(request.valueName, data)};
  }
  if (value->type == REG_DWORD && value->data.size() >= sizeof(DWORD)) {
    DWORD number = 0;
    std::memcpy(&number, value->data.data(), sizeof number);
    return ValueLineText{RegDwordValueLine(request.valueName, number)};
  }
  return std::nullopt;
}

std::string FileBytes(const ValueBackupRequest& request) {
  auto line = ValueLine(request);
  std::string text =
      ValueBackupFileText(request.rootText, request.keyPath, line ? std::optional(line->line) : std::nullopt);
  if (!line || !line->unicodeFile) return text;
  std::vector<uint8_t> bytes = LittleEndianBytes(Wide(text));
  return std::string("\xFF\xFE", 2) + std::string(bytes.begin(), bytes.end());
}

}  // namespace

std::string WriteValueBackup(CADODatabase& database, const std::string& appFolder, const ValueBackupRequest& request) {
  std::string folder = appFolder;
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  CreateDirectoryA(CollapseDoubledBackslashes(folder + kBackupRootFolder).c_str(), nullptr);
  std::string backupFolder = CollapseDoubledBackslashes(folder + BackupFolderName(request.backupTime));
  CreateDirectoryA(backupFolder.c_str(), nullptr);

  std::srand(static_cast<unsigned>(std::time(nullptr)));
  int random = std::rand() % 1000;
  std::string path =
      CollapseDoubledBackslashes(backupFolder + "\\" + ValueBackupFileName(request.valueName, request.keyPath, random));

  std::string text = FileBytes(request);
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }

  if (!database.IsOpen()) database.Open("", "", "");
  CADORecordset recordset(database);
  recordset.Open(FormatSql("insert into regbk(dattm,file,comment) values(%d,'%s','%s')", request.backupTime, path,
                           request.comment));
  return path;
}

}  // namespace tidewell
