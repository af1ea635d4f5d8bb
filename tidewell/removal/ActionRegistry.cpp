// Keys and values of an action: each real copy exported or written to a file
// of the action folder, the file read back and compared with the registry,
// and only then the copy deleted.

#include <windows.h>

#include "shared/win/FileSystem.h"
#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tidewell/removal/CheckedFile.h"
#include "tidewell/removal/RegFileReader.h"
#include "tidewell/removal/RemovalActionImpl.h"
#include "tidewell/removal/RestoreCheck.h"
#include "tidewell/removal/ValueBackup.h"

namespace tidewell {

namespace {

int ViewNumber(RegistryView view) {
  switch (view) {
    case RegistryView::Bits32: return 32;
    case RegistryView::Bits64: return 64;
    case RegistryView::Native: break;
  }
  return 0;
}

// The file parses whole, names `mustHold` and the registry holds all of it.
bool FileMatchesRegistry(const std::string& file, const std::string& mustHold) {
  std::optional<std::vector<RegFileKey>> keys = ReadRegFile(ReadSmallFile(file));
  if (!keys || keys->empty()) return false;
  bool named = false;
  for (const RegFileKey& key : *keys) named = named || SameNameIgnoringCase(key.path, mustHold);
  return named && NotInRegistry(*keys).empty();
}

KeptPiece RegistryPiece(KeptKind kind, const RegistryLocation& copy, std::string kept) {
  KeptPiece piece;
  piece.kind = kind;
  piece.hive = ShortHiveName(copy.hive);
  piece.view = ViewNumber(copy.view);
  piece.keyPath = copy.path;
  piece.kept = std::move(kept);
  return piece;
}

bool ValueExists(const RegistryLocation& copy, const std::string& name) {
  UniqueKey key = copy.Open(KEY_QUERY_VALUE);
  return key && RegQueryValueExW(key.Get(), WideFromUtf8(name).c_str(), nullptr, nullptr, nullptr, nullptr) ==
                    ERROR_SUCCESS;
}

std::string DeleteRefusal(const RegistryLocation& copy) {
  UniqueKey probe;
  LONG opened = RegOpenKeyExW(copy.hive, WideFromUtf8(copy.path).c_str(), 0, DELETE | ViewAccess(copy.view),
                              probe.Put());
  return opened == ERROR_ACCESS_DENIED ? kAccessDenied : "it could not be deleted";
}

}  // namespace

PieceOutcome RemovalAction::Impl::Key(RemovalAction& action, const RegistryLocation& key, bool remove) {
  bool kept = action.keptIds_.count(Id(Piece::Key(key))) > 0;
  for (const RegistryLocation& copy : key.RealCopies()) {
    if (!copy.Exists()) continue;
    if (!kept) {
      std::string folder = ReadyFolder(action);
      if (folder.empty()) return {false, kKeepFailed};
      std::string name = "key" + std::to_string(++action.keptFiles_) + ".reg";
      std::string file = folder + "\\" + name;
      std::optional<DWORD> code =
          RunRegTool(action.hooks_.regTool, "export \"" + copy.ToolName() + "\" \"" + file + "\" /y", folder,
                     StopToken{}, OnStop::End);
      if (!code || *code != 0 || !FileMatchesRegistry(file, copy.FileName())) {
        DeleteFileW(LongPath(file).c_str());
        return {false, kKeepFailed};
      }
      action.kept_.push_back(RegistryPiece(KeptKind::Key, copy, name));
    }
    if (remove && !copy.Delete()) return {false, DeleteRefusal(copy)};
  }
  return {true, {}};
}

bool RemovalAction::Impl::KeepValue(RemovalAction& action, const RegistryLocation& copy, const std::string& name,
                                    KeptKind kind) {
  std::string folder = ReadyFolder(action);
  if (folder.empty()) return false;
  ValueBackupRequest request;
  request.root = copy.hive;
  request.rootText = RootKeyName(copy.hive);
  request.keyPath = copy.path + "\\";
  request.valueName = name;
  request.backupTime = action.time_;
  request.comment = action.comment_;
  request.view = copy.view;
  ValueBackupResult written = WriteValueBackupFile(folder, request);
  if (!written.holdsValue || !FileMatchesRegistry(written.file, copy.FileName())) {
    if (!written.file.empty()) DeleteFileW(LongPath(written.file).c_str());
    return false;
  }
  action.kept_.push_back(RegistryPiece(kind, copy, written.file.substr(folder.size() + 1)));
  action.kept_.back().valueName = name;
  return true;
}

bool RemovalAction::Impl::Write(RemovalAction& action, const RegistryLocation& key, const std::string& name,
                                DWORD type, const std::vector<BYTE>& data) {
  if (key.IsMerged() || ValueExists(key, name)) return false;
  UniqueKey opened = key.Create(KEY_SET_VALUE);
  std::wstring wide = WideFromUtf8(name);
  if (!opened || RegSetValueExW(opened.Get(), wide.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size())) !=
                     ERROR_SUCCESS)
    return false;
  if (KeepValue(action, key, name, KeptKind::Written)) return true;
  // Unkept, it could never be taken back: it does not stay.
  RegDeleteValueW(opened.Get(), wide.c_str());
  return false;
}

PieceOutcome RemovalAction::Impl::Value(RemovalAction& action, const RegistryLocation& key, const std::string& name,
                                        bool remove) {
  bool kept = action.keptIds_.count(Id(Piece::Value(key, name))) > 0;
  for (const RegistryLocation& copy : key.RealCopies()) {
    if (!ValueExists(copy, name)) continue;
    if (!kept && !KeepValue(action, copy, name, KeptKind::Value)) return {false, kKeepFailed};
    if (!remove) continue;
    UniqueKey opened = copy.Open(KEY_SET_VALUE);
    LONG deleted = opened ? RegDeleteValueW(opened.Get(), WideFromUtf8(name).c_str()) : ERROR_ACCESS_DENIED;
    if (deleted == ERROR_ACCESS_DENIED) return {false, kAccessDenied};
    if (ValueExists(copy, name)) return {false, "it could not be deleted"};
  }
  return {true, {}};
}

}  // namespace tidewell
