// Putting an action's pieces back, and freeing what it kept.

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <optional>

#include "shared/win/FileSystem.h"
#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tidewell/removal/BackupText.h"
#include "tidewell/removal/CheckedFile.h"
#include "tidewell/removal/RegFileReader.h"
#include "tidewell/removal/RemovalService.h"
#include "tidewell/removal/RestoreCheck.h"

namespace tidewell {

namespace {

constexpr ULONGLONG kRestoredLatelyMs = 60 * 1000;
// How long a restore is remembered at all, for RestoredSince.
constexpr ULONGLONG kRestoresRememberedMs = 24 * 60 * 60 * 1000ull;

struct RestoredKey {
  RegistryLocation key;
  std::optional<std::string> value;  // set when only this value came back
  ULONGLONG at = 0;
};

std::mutex& RestoredMutex() {
  static std::mutex mutex;
  return mutex;
}
std::vector<RestoredKey>& RestoredKeys() {
  static std::vector<RestoredKey> keys;
  return keys;
}

void NoteRestored(const RegistryLocation& key, std::optional<std::string> value) {
  std::lock_guard lock(RestoredMutex());
  ULONGLONG now = GetTickCount64();
  auto& keys = RestoredKeys();
  auto stale = [&](const RestoredKey& old) { return now - old.at > kRestoresRememberedMs; };
  keys.erase(std::remove_if(keys.begin(), keys.end(), stale), keys.end());
  keys.push_back({key, std::move(value), now});
}

RegistryView ViewOfNumber(int number) {
  return number == 32 ? RegistryView::Bits32 : number == 64 ? RegistryView::Bits64 : RegistryView::Native;
}

// Writes what the file holds into the registry without reg.exe: keys made in
// the view the file names them in (the 64-bit one, whose Wow6432Node holds
// the 32-bit keys), values only where none is there again. `value` set: only
// that value. Whole when every key opened and every value was written or found.
enum class Import { Whole, Taken, Failed };
Import ImportRegFile(const std::string& file, const std::string* value) {
  std::optional<std::vector<RegFileKey>> keys = ReadRegFile(ReadSmallFile(file));
  if (!keys || keys->empty()) return Import::Failed;
  bool taken = false;
  REGSAM view = HasTwoViews() ? KEY_WOW64_64KEY : 0;
  bool whole = true;
  for (const RegFileKey& key : *keys) {
    if (key.deleted) continue;
    size_t slash = key.path.find('\\');
    std::optional<HKEY> hive = HiveOfName(key.path.substr(0, slash));
    if (!hive || slash == std::string::npos || *hive == HKEY_CLASSES_ROOT) {
      whole = false;
      continue;
    }
    UniqueKey created;
    if (RegCreateKeyExW(*hive, WideFromUtf8(key.path.substr(slash + 1)).c_str(), 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE | view, nullptr, created.Put(), nullptr) != ERROR_SUCCESS) {
      whole = false;
      continue;
    }
    for (const RegFileValue& data : key.values) {
      if (data.deleted || (value && !SameNameIgnoringCase(data.name, *value))) continue;
      std::wstring name = WideFromUtf8(data.name);
      if (RegQueryValueExW(created.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        taken = true;  // set again meanwhile: never overwritten
        continue;
      }
      if (RegSetValueExW(created.Get(), name.c_str(), 0, data.type, data.data.data(),
                         static_cast<DWORD>(data.data.size())) != ERROR_SUCCESS)
        whole = false;
    }
  }
  if (!whole) return Import::Failed;
  return taken && value ? Import::Taken : Import::Whole;
}

size_t Depth(const std::string& path) { return static_cast<size_t>(std::count(path.begin(), path.end(), '\\')); }

FileFacts FactsOf(const KeptPiece& piece) { return {piece.attributes, piece.created, piece.accessed, piece.written}; }

std::string DisplayOf(const KeptPiece& piece) {
  if (piece.kind == KeptKind::File || piece.kind == KeptKind::Folder) return piece.path;
  std::optional<HKEY> hive = HiveOfName(piece.hive);
  std::string key = RegistryLocation{hive.value_or(nullptr), piece.keyPath, ViewOfNumber(piece.view)}.DisplayName();
  if (piece.kind == KeptKind::Key) return key;
  return key + ": " + (piece.valueName.empty() ? "(Default)" : piece.valueName);
}

// Deletes a value the action wrote while it holds what was written; "" when
// done (also when it is gone already), else why it stays.
std::string UndoWritten(const std::string& file, const KeptPiece& piece) {
  std::optional<std::vector<RegFileKey>> keys = ReadRegFile(ReadSmallFile(file));
  std::optional<HKEY> hive = HiveOfName(piece.hive);
  if (!keys || keys->empty() || !hive) return ": what was written in its place could not be read";
  RegistryLocation place{*hive, piece.keyPath, ViewOfNumber(piece.view)};
  UniqueKey key = place.Open(KEY_QUERY_VALUE | KEY_SET_VALUE);
  std::wstring name = WideFromUtf8(piece.valueName);
  if (!key || RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return {};
  if (!NotInRegistry(*keys).empty()) return ": the value written in its place was changed since";
  return RegDeleteValueW(key.Get(), name.c_str()) == ERROR_SUCCESS ? "" : ": the value written in its place stays";
}

// The action folder of a manifest: "...\BKUP\reg<digits>", else empty.
std::string ActionFolderOf(const std::string& manifest) {
  if (!IsActionManifest(manifest)) return {};
  std::string folder = ParentFolder(FullFolderPath(manifest));
  std::string root = ParentFolder(folder);
  if (folder.empty() || root.empty()) return {};
  std::string name = folder.substr(root.size() + (root.back() == '\\' ? 0 : 1));
  std::string rootName = root.substr(root.find_last_of('\\') + 1);
  bool timed = name.size() > 3 && SameNameIgnoringCase(name.substr(0, 3), "reg") &&
               name.find_first_not_of("0123456789", 3) == std::string::npos;
  return timed && SameNameIgnoringCase(rootName, kBackupRootFolder) ? folder : std::string();
}

// Deletes a folder tree that Tidewell made; links inside are removed by name only.
void EmptyKeptFolder(const std::string& folder) {
  ForEachFolderEntry(folder, [](const FolderEntry& entry) {
    if (entry.IsLink()) {
      RemoveLinkByName(entry.path, entry.IsFolder());
    } else if (entry.IsFolder()) {
      EmptyKeptFolder(entry.path);
      DeleteChecked(entry.path, true);
    } else {
      DeleteChecked(entry.path, false);
    }
    return true;
  });
}

}  // namespace

bool IsActionManifest(const std::string& file) {
  size_t cut = file.find_last_of("\\/");
  return SameNameIgnoringCase(cut == std::string::npos ? file : file.substr(cut + 1), kActionManifestName);
}

ActionRestoreResult RestoreAction(const std::string& manifest) {
  ActionRestoreResult result;
  std::string folder = ParentFolder(FullFolderPath(manifest));
  ParsedManifest parsed = ParseManifest(ReadSmallFile(manifest));
  if (folder.empty() || !parsed.headerFound) {
    result.notRestored.push_back(manifest + ": it is no removal list");
    return result;
  }
  for (const std::string& line : parsed.damaged) result.notRestored.push_back(line + ": the line is damaged");

  // What the action wrote goes first, so the removed values find their places free.
  std::vector<const KeptPiece*> folders, others;
  for (const KeptPiece& piece : parsed.pieces) {
    if (piece.kind == KeptKind::Written) {
      if (std::string why = UndoWritten(folder + "\\" + piece.kept, piece); !why.empty())
        result.notRestored.push_back(DisplayOf(piece) + why);
      continue;
    }
    (piece.kind == KeptKind::Folder ? folders : others).push_back(&piece);
  }
  // Parents before children; their times last, deepest first, once the files are back in them.
  std::stable_sort(folders.begin(), folders.end(),
                   [](const KeptPiece* a, const KeptPiece* b) { return Depth(a->path) < Depth(b->path); });
  std::vector<const KeptPiece*> madeFolders;
  for (const KeptPiece* piece : folders) {
    DWORD attributes = PathAttributes(piece->path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      if (attributes & FILE_ATTRIBUTE_DIRECTORY && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        ++result.restored;  // there again: what it held goes back into it
      } else {
        result.notRestored.push_back(piece->path + ": its place is taken");
      }
      continue;
    }
    if (MakeFolders(piece->path)) {
      madeFolders.push_back(piece);
      ++result.restored;
    } else {
      result.notRestored.push_back(piece->path + ": the folder could not be made");
    }
  }

  for (const KeptPiece* piece : others) {
    std::string kept = folder + "\\" + piece->kept;
    if (piece->kind == KeptKind::File) {
      CheckedStatus moved = MoveBackChecked(kept, piece->path, FactsOf(*piece));
      if (moved == CheckedStatus::Done)
        ++result.restored;
      else
        result.notRestored.push_back(piece->path + (moved == CheckedStatus::Taken
                                                        ? ": its place is taken"
                                                        : ": its kept copy could not be moved back"));
      continue;
    }
    const std::string* value = piece->kind == KeptKind::Value ? &piece->valueName : nullptr;
    Import imported = ImportRegFile(kept, value);
    if (imported != Import::Whole) {
      const char* why =
          imported == Import::Taken ? ": its place is taken" : ": its backup could not be read back whole";
      result.notRestored.push_back(DisplayOf(*piece) + why);
      continue;
    }
    if (std::optional<HKEY> hive = HiveOfName(piece->hive))
      NoteRestored(RegistryLocation{*hive, piece->keyPath, ViewOfNumber(piece->view)},
                   value ? std::optional<std::string>(*value) : std::nullopt);
    ++result.restored;
  }

  for (auto made = madeFolders.rbegin(); made != madeFolders.rend(); ++made)
    ApplyFacts((*made)->path, FactsOf(**made));
  return result;
}

bool RestoredLately(const RegistryLocation& key) {
  // HKCR is asked for as its two real copies, which is what a restore writes.
  std::vector<RegistryLocation> asked{key};
  if (key.IsMerged())
    asked = {{HKEY_CURRENT_USER, "Software\\Classes\\" + key.path, key.view},
             {HKEY_LOCAL_MACHINE, "Software\\Classes\\" + key.path, key.view}};
  std::lock_guard lock(RestoredMutex());
  ULONGLONG now = GetTickCount64();
  for (const RestoredKey& restored : RestoredKeys()) {
    if (now - restored.at > kRestoredLatelyMs) continue;
    for (const RegistryLocation& one : asked) {
      if (restored.key.hive != one.hive || restored.key.ExactView() != one.ExactView()) continue;
      std::string mine = UpperCaseName(one.path), back = UpperCaseName(restored.key.path);
      if (back == mine || back.rfind(mine + "\\", 0) == 0) return true;
    }
  }
  return false;
}

bool RestoredLately(const RegistryLocation& key, const std::string& value) {
  ULONGLONG now = GetTickCount64();
  return RestoredSince(key, value, now > kRestoredLatelyMs ? now - kRestoredLatelyMs : 0);
}

bool RestoredSince(const RegistryLocation& key, const std::string& value, ULONGLONG since) {
  std::lock_guard lock(RestoredMutex());
  std::string mine = UpperCaseName(key.path), name = UpperCaseName(value);
  for (const RestoredKey& restored : RestoredKeys()) {
    if (restored.at < since) continue;
    if (restored.key.hive != key.hive || restored.key.ExactView() != key.ExactView()) continue;
    std::string back = UpperCaseName(restored.key.path);
    // A whole key put back brings every value below it.
    if (!restored.value) {
      if (back == mine || mine.rfind(back + "\\", 0) == 0) return true;
    } else if (back == mine && UpperCaseName(*restored.value) == name) {
      return true;
    }
  }
  return false;
}

void NoteRestoredValues(const std::vector<RegFileKey>& keys) {
  constexpr std::string_view kWow = "WOW6432NODE";
  for (const RegFileKey& key : keys) {
    size_t slash = key.path.find('\\');
    std::optional<HKEY> hive = HiveOfName(key.path.substr(0, slash));
    if (key.deleted || !hive || slash == std::string::npos) continue;
    std::string path = key.path.substr(slash + 1), upper = path;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    // The file names the 32-bit view's keys by their place in the 64-bit one.
    RegistryView view = *hive == HKEY_LOCAL_MACHINE && HasTwoViews() ? RegistryView::Bits64 : RegistryView::Native;
    size_t at = ("\\" + upper + "\\").find("\\" + std::string(kWow) + "\\");
    if (*hive == HKEY_LOCAL_MACHINE && at != std::string::npos) {
      path.erase(at, kWow.size());
      if (at < path.size() && path[at] == '\\') path.erase(at, 1);
      else if (at > 0) path.erase(at - 1, 1);
      view = RegistryView::Bits32;
    }
    for (const RegFileValue& value : key.values)
      if (!value.deleted) NoteRestored(RegistryLocation{*hive, path, view}, value.name);
  }
}

bool FreeAction(const std::string& manifest) {
  std::string folder = ActionFolderOf(manifest);
  if (folder.empty()) return false;
  DWORD attributes = PathAttributes(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES) return IsGone(folder);
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;  // never through a link
  EmptyKeptFolder(folder);
  DeleteChecked(folder, true);
  return IsGone(folder);
}

}  // namespace tidewell
