#include "tidewell/removal/RemovalService.h"

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/win/FileSystem.h"
#include "shared/win/Utf8.h"
#include "tidewell/removal/BackupText.h"
#include "tidewell/removal/CheckedFile.h"
#include "tidewell/removal/RemovalActionImpl.h"

namespace tidewell {

namespace {

std::string Reason(CheckedStatus status) {
  switch (status) {
    case CheckedStatus::Done:
    case CheckedStatus::Gone: return {};
    case CheckedStatus::Link: return kLeftLink;
    case CheckedStatus::AccessDenied: return kAccessDenied;
    case CheckedStatus::InUse: return "it is in use";
    case CheckedStatus::NotFile: return "it is a folder";
    case CheckedStatus::Taken:
    case CheckedStatus::Failed: break;
  }
  return kKeepFailed;
}

// The whole path with any short (8.3) name spelled long: the name the piece
// is listed and put back under.
std::string WholeLongPath(const std::string& path) {
  std::string full = FullFolderPath(path);
  if (full.find('~') == std::string::npos) return full;
  std::wstring wide = WideFromUtf8(full);  // Wine spells no short name out behind the \\?\ prefix
  std::vector<wchar_t> buffer(wide.size() + MAX_PATH);
  DWORD length = GetLongPathNameW(wide.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return full;
  return FullFolderPath(Utf8FromWide(std::wstring_view(buffer.data(), length)).value_or(full));
}

KeptPiece PlacePiece(KeptKind kind, const std::string& path, const FileFacts& facts) {
  KeptPiece piece;
  piece.kind = kind;
  piece.path = path;
  piece.attributes = facts.attributes;
  piece.created = facts.created;
  piece.accessed = facts.accessed;
  piece.written = facts.written;
  return piece;
}

}  // namespace

std::string RemovalAction::Impl::Id(const Piece& piece) {
  bool place = piece.kind == PieceKind::File || piece.kind == PieceKind::Folder;
  std::string name = place ? WholeLongPath(piece.path) : piece.DisplayName();
  return std::to_string(static_cast<int>(piece.kind)) + UpperCaseName(name);
}

std::string Piece::DisplayName() const {
  switch (kind) {
    case PieceKind::File:
    case PieceKind::Folder: return path;
    case PieceKind::Key: return key.DisplayName();
    case PieceKind::Value: return key.DisplayName() + ": " + (valueName.empty() ? "(Default)" : valueName);
  }
  return path;
}

RemovalAction::RemovalAction(CADODatabase& database, RemovalGuards guards, std::string comment, RemovalHooks hooks)
    : database_(database), guards_(std::move(guards)), comment_(std::move(comment)), hooks_(std::move(hooks)),
      time_(NewBackupTime()), ownFolder_(UpperCaseName(guards_.ApplicationFolder())),
      guardedFolders_(guards_.GuardedFolders()) {}

RemovalAction::~RemovalAction() {
  if (!committed_) Commit();
}

std::string RemovalAction::Folder() const {
  std::string app = guards_.ApplicationFolder();
  if (app.empty()) return {};
  return CollapseDoubledBackslashes(app + "\\" + BackupFolderName(time_));
}

std::string RemovalAction::Impl::ReadyFolder(RemovalAction& action) {
  if (!action.folder_.empty()) return action.folder_;
  std::string folder = action.Folder();
  if (folder.empty() || !MakeFolders(folder)) return {};
  return action.folder_ = folder;
}

PieceOutcome RemovalAction::Remove(const Piece& piece) {
  std::string refusal;
  if (piece.kind == PieceKind::File || piece.kind == PieceKind::Folder)
    refusal = PathRefusalAmong(piece.path, ownFolder_, guardedFolders_);
  else if (piece.kind == PieceKind::Key)
    refusal = guards_.KeyRefusal(piece.key);
  else
    refusal = guards_.ValueRefusal(piece.key, piece.valueName);
  if (!refusal.empty()) return {false, refusal};

  Step step = !keptIds_.empty() && keptIds_.count(Impl::Id(piece)) ? Step::Drop : Step::Move;
  switch (piece.kind) {
    case PieceKind::File: return Impl::File(*this, piece.path, step);
    case PieceKind::Folder: return Impl::Folder(*this, piece.path, step);
    case PieceKind::Key: return Impl::Key(*this, piece.key, true);
    case PieceKind::Value: return Impl::Value(*this, piece.key, piece.valueName, true);
  }
  return {false, "unknown kind"};
}

bool RemovalAction::Keep(const Piece& piece) {
  PieceOutcome outcome;
  switch (piece.kind) {
    case PieceKind::File: outcome = Impl::File(*this, piece.path, Step::Keep); break;
    case PieceKind::Folder: outcome = Impl::Folder(*this, piece.path, Step::Keep); break;
    case PieceKind::Key: outcome = Impl::Key(*this, piece.key, false); break;
    case PieceKind::Value: outcome = Impl::Value(*this, piece.key, piece.valueName, false); break;
  }
  if (outcome.reason.empty()) keptIds_.insert(Impl::Id(piece));
  return outcome.reason.empty();
}

bool RemovalAction::WriteValue(const RegistryLocation& key, const std::string& name, DWORD type,
                               const std::vector<BYTE>& data) {
  return guards_.ValueRefusal(key, name).empty() && Impl::Write(*this, key, name, type, data);
}

bool RemovalAction::Commit() {
  if (committed_ || kept_.empty()) return false;
  std::string folder = Impl::ReadyFolder(*this);
  if (folder.empty()) return false;
  std::string manifest = folder + "\\" + kActionManifestName;
  std::string text = ManifestText(kept_);
  UniqueHandle file(CreateFileW(LongPath(manifest).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!file || !WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size())
    return false;
  file.Reset();
  committed_ = true;
  if (!database_.IsOpen()) database_.Open("", "", "");
  CADORecordset recordset(database_);
  return recordset.Open(FormatSql("insert into regbk(dattm,file,comment) values(%d,'%s','%s')", time_, manifest,
                                  comment_)) ||
         recordset.GetLastError() == 0;
}

PieceOutcome RemovalAction::Impl::File(RemovalAction& action, const std::string& path, Step step) {
  std::string full = WholeLongPath(path);
  if (full.empty()) return {false, "its name cannot be used safely"};
  std::string folder = step == Step::Drop ? std::string() : ReadyFolder(action);
  if (step != Step::Drop && folder.empty()) return {false, kKeepFailed};
  // A neutral name without an extension: nothing kept can be run or loaded from here.
  std::string kept = "kept" + std::to_string(action.keptFiles_ + 1);
  FileFacts facts;
  CheckedStatus status = step == Step::Move   ? MoveChecked(full, folder + "\\" + kept, facts)
                         : step == Step::Keep ? CopyChecked(full, folder + "\\" + kept, facts)
                                              : DeleteChecked(full, false);
  if (status == CheckedStatus::Gone) return {true, {}};
  if (status == CheckedStatus::Link) {
    // A link is not kept: only the link itself may go, never what it names.
    DWORD attributes = PathAttributes(full);
    bool link = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (step != Step::Keep && link && RemoveLinkByName(full, attributes & FILE_ATTRIBUTE_DIRECTORY))
      return {true, {}};
    return {false, kLeftLink};
  }
  if (status == CheckedStatus::NotFile) return {false, "it is a folder"};
  if (status != CheckedStatus::Done) return {false, Reason(status)};
  if (step == Step::Drop) return {true, {}};
  ++action.keptFiles_;
  KeptPiece piece = PlacePiece(KeptKind::File, full, facts);
  piece.kept = kept;
  action.kept_.push_back(std::move(piece));
  return {true, {}};
}

PieceOutcome RemovalAction::Impl::Folder(RemovalAction& action, const std::string& path, Step step) {
  std::string full = WholeLongPath(path);
  if (full.empty()) return {false, "its name cannot be used safely"};
  DWORD attributes = PathAttributes(full);
  if (attributes == INVALID_FILE_ATTRIBUTES) return {IsGone(full), IsGone(full) ? "" : kKeepFailed};
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    if (step != Step::Keep && RemoveLinkByName(full, true)) return {true, {}};
    return {false, kLeftLink};
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return {false, "it is not a folder"};
  LeftEntries left;
  std::string stopped = Tree(action, full, step, left);
  if (!stopped.empty()) return {false, stopped};
  if (left.total) return {false, left.Text()};
  return {true, {}};
}

std::string RemovalAction::Impl::Tree(RemovalAction& action, const std::string& folder, Step step,
                                      LeftEntries& left) {
  UniqueHandle handle;
  FileFacts facts;
  CheckedStatus opened = OpenChecked(folder, FILE_READ_ATTRIBUTES, handle);
  if (opened != CheckedStatus::Done || !ReadFacts(handle.Get(), facts)) return Reason(opened);
  handle.Reset();
  if (step != Step::Drop) action.kept_.push_back(PlacePiece(KeptKind::Folder, folder, facts));

  int before = left.total;
  uint32_t unreadable = 0;
  ForEachFolderEntry(
      folder,
      [&](const FolderEntry& entry) {
        if (entry.IsLink()) {
          // Never entered, never kept: the link alone may go.
          if (step == Step::Keep || !RemoveLinkByName(entry.path, entry.IsFolder())) left.Add(kLeftLink);
        } else if (entry.IsFolder()) {
          if (std::string stopped = Tree(action, entry.path, step, left); !stopped.empty()) left.Add(stopped);
        } else if (PieceOutcome outcome = File(action, entry.path, step); !outcome.reason.empty()) {
          left.Add(outcome.reason);
        }
        return true;
      },
      &unreadable);
  if (unreadable) left.Add("its name cannot be used safely", static_cast<int>(unreadable));
  if (step == Step::Keep || left.total != before) return {};
  CheckedStatus removed = DeleteChecked(folder, true);
  if (removed == CheckedStatus::Done || IsGone(folder)) return {};
  left.Add(Reason(removed));
  return {};
}

}  // namespace tidewell
