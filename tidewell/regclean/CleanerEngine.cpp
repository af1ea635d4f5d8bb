#include "tidewell/regclean/CleanerEngine.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/text/Text.h"
#include "shared/win/Registry.h"
#include "shared/win/RegistryLocation.h"
#include "tidewell/removal/RemovalService.h"
#include "tidewell/removal/ValueBackup.h"
#include "tidewell/regclean/EntryChecks.h"
#include "tidewell/shell/EventLog.h"

namespace tidewell {

namespace {

using namespace std::chrono_literals;

constexpr size_t kBatchRows = 200;
constexpr ULONGLONG kBatchMs = 250;  // so Details, opened during a scan, lists what was found so far

// Scans and repairs of each category that run or wait to run.
std::array<std::atomic<int>, kCategoryCount>& Running() {
  static std::array<std::atomic<int>, kCategoryCount> running{};
  return running;
}

class RunningMark {
 public:
  explicit RunningMark(Category category) : count_(Running()[IndexOf(category)]) { ++count_; }
  ~RunningMark() { --count_; }
  RunningMark(const RunningMark&) = delete;
  RunningMark& operator=(const RunningMark&) = delete;

 private:
  std::atomic<int>& count_;
};

// One scan or repair per category at a time, whichever dialog started it.
class CategoryLock {
 public:
  CategoryLock(Category category, const StopToken& token) : mutex_(Mutexes()[IndexOf(category)]) {
    while (!(owned_ = mutex_.try_lock_for(50ms)))
      if (token.StopRequested()) return;
  }
  ~CategoryLock() {
    if (owned_) mutex_.unlock();
  }
  CategoryLock(const CategoryLock&) = delete;
  CategoryLock& operator=(const CategoryLock&) = delete;
  bool Owned() const { return owned_; }

 private:
  static std::array<std::timed_mutex, kCategoryCount>& Mutexes() {
    static std::array<std::timed_mutex, kCategoryCount> mutexes;
    return mutexes;
  }
  std::timed_mutex& mutex_;
  bool owned_ = false;
};

struct Finding {
  std::string type, rootkey, subkey, problem;
};

// Findings reach the table in batches: one write per batch instead of one per row.
class FindingWriter {
 public:
  explicit FindingWriter(CADODatabase& database) : database_(database) {}
  ~FindingWriter() { Flush(); }
  void Add(Finding finding) {
    pending_.push_back(std::move(finding));
    if (pending_.size() >= kBatchRows || GetTickCount64() - flushed_ >= kBatchMs) Flush();
  }
  void Flush() {
    flushed_ = GetTickCount64();
    if (pending_.empty()) return;
    if (!database_.IsOpen()) database_.Open("", "", "");
    CADOBatch batch(database_);  // without it (another writer holds the file) each row commits alone
    for (const auto& f : pending_)
      ExecuteStatement(database_, FormatSql("insert into problems(ptype,rootkey,subkey,problem) values('%s','%s','%s','%s')",
                                            f.type, f.rootkey, f.subkey, f.problem));
    batch.Commit();
    pending_.clear();
  }

 private:
  CADODatabase& database_;
  std::vector<Finding> pending_;
  ULONGLONG flushed_ = GetTickCount64();
};

// The hive the category's root text names.
HKEY HiveOf(RootText root) { return HiveOfName(RootKeyText(root, "")).value_or(HKEY_LOCAL_MACHINE); }

std::string StringData(const RegistryValue& value) {
  if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return {};
  std::string text(value.data.begin(), value.data.end());
  if (size_t end = text.find('\0'); end != std::string::npos) text.resize(end);
  return text;
}

std::string DefaultOrNamed(HKEY parent, const std::string& subkey, const std::string& valueName, RegistryView view) {
  UniqueKey key = OpenKey(parent, subkey, KEY_QUERY_VALUE, view);
  if (!key) return {};
  return ReadString(key.Get(), valueName).value_or("");
}

// A key entry: the key below the location whose value names the file.
std::string KeyEntryPath(const CategoryInfo& info, const std::string& name) {
  return *info.entryKey ? name + "\\" + info.entryKey : name;
}

// How deep below its location a key category's row lies: the subkey and the entry key's parts.
int KeyEntryDepth(const CategoryInfo& info) {
  std::string_view entryKey = info.entryKey;
  return entryKey.empty() ? 1 : 2 + static_cast<int>(std::count(entryKey.begin(), entryKey.end(), '\\'));
}

// A key category's row as its scan records it: a subkey of the location and,
// below that, the entry key itself (a class's InprocServer32, never its
// LocalServer32 or TreatAs).
bool IsEntryKeyRow(const CategoryInfo& info, std::string_view location, const std::string& subkey) {
  if (!IsStrictlyBelow(subkey, location, KeyEntryDepth(info))) return false;
  std::string_view entryKey = info.entryKey;
  return entryKey.empty() || (subkey.size() > entryKey.size() && subkey[subkey.size() - entryKey.size() - 1] == '\\' &&
                              EqualsNoCase(std::string_view(subkey).substr(subkey.size() - entryKey.size()), entryKey));
}

std::string ValueEntryText(const CategoryInfo& info, const std::string& name, const std::string& data) {
  switch (info.valueText) {
    case ValueText::FolderAndName: return data.empty() ? std::string() : data + "\\" + name;  // no folder: no path
    case ValueText::Name: return name;
    case ValueText::Data: break;
  }
  return data;
}

bool IsInvalidText(const CategoryInfo& info, const std::string& text, RegistryView view) {
  switch (info.test) {
    case EntryTest::MissingLibrary: return IsMissingFile(text, view, true);
    case EntryTest::MissingFile: return IsMissingFile(text, view, false);
    case EntryTest::MissingProgram: break;
  }
  return IsMissingProgram(text, view);
}

// A value entry's text as it stands now; empty when it is gone.
std::string CurrentValueText(const CategoryInfo& info, const RegistryLocation& key, const std::string& name) {
  UniqueKey opened = key.Open(KEY_QUERY_VALUE);
  if (!opened) return {};
  if (info.valueText == ValueText::Name) {  // the name is the text: only whether it is still there counts
    bool present = RegQueryValueExA(opened.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    return present ? name : std::string();
  }
  return ValueEntryText(info, name, ReadString(opened.Get(), name).value_or(""));
}

class Scan {
 public:
  Scan(CADODatabase& database, const CategoryInfo& info, const StopToken& token, CleanerSink& sink)
      : info_(info), token_(token), sink_(sink), writer_(database) {}

  // False when stopped. seen: the keys the other views walked already.
  bool Walk(const CategoryLocation& location, RegistryView view, std::vector<std::string>& seen) {
    RegistryLocation where{HiveOf(info_.root), location.path, view};
    UniqueKey key = where.Open();
    if (!key) return !token_.StopRequested();  // nothing to walk in this view
    // Two views that share the key walk it once.
    std::string identity = where.RealName();
    if (!identity.empty()) {
      if (std::find(seen.begin(), seen.end(), identity) != seen.end()) return !token_.StopRequested();
      seen.push_back(identity);
    }
    std::string rootkey = RootKeyText(info_.root, ViewLabel(view));
    if (info_.kind == EntryKind::Key) {
      for (const std::string& name : SubkeyNames(key.Get())) {
        if (token_.StopRequested()) return false;
        sink_.Status(name);
        CheckKey(key.Get(), location, view, rootkey, name);
      }
    } else {
      for (const RegistryValue& value : Values(key.Get(), &unreadable_)) {
        if (token_.StopRequested()) return false;
        CheckValue(location, view, rootkey, value);
      }
    }
    return !token_.StopRequested();
  }

  int Found() const { return found_; }
  int Unreadable() const { return unreadable_; }
  void Flush() { writer_.Flush(); }

 private:
  void Record(const CategoryLocation& location, const std::string& rootkey, std::string subkey, std::string problem) {
    writer_.Add({location.type, rootkey, std::move(subkey), std::move(problem)});
    sink_.Found(++found_);
  }

  void CheckKey(HKEY parent, const CategoryLocation& location, RegistryView view, const std::string& rootkey,
                const std::string& name) {
    std::string entry = KeyEntryPath(info_, name);
    std::string text = DefaultOrNamed(parent, entry, info_.entryValue, view);
    if (IsInvalidText(info_, text, view))
      Record(location, rootkey, std::string(location.path) + "\\" + entry, text);
  }

  void CheckValue(const CategoryLocation& location, RegistryView view, const std::string& rootkey,
                  const RegistryValue& value) {
    std::string data = StringData(value);
    sink_.Status(info_.statusShowsData ? data : value.name);
    std::string text = ValueEntryText(info_, value.name, data);
    if (IsInvalidText(info_, text, view)) Record(location, rootkey, value.name, text);
  }

  const CategoryInfo& info_;
  const StopToken& token_;
  CleanerSink& sink_;
  FindingWriter writer_;
  int found_ = 0;
  int unreadable_ = 0;
};

struct MarkedRow {
  int id = 0;
  std::string rootkey, subkey;
};

std::vector<MarkedRow> MarkedRows(CADODatabase& database, const CategoryLocation& location) {
  std::vector<MarkedRow> rows;
  if (!database.IsOpen()) database.Open("", "", "");
  CADORecordset recordset(database);
  if (!recordset.Open(location.selectMarked) || recordset.RecordCount() == 0) return rows;
  recordset.MoveFirst();
  while (!recordset.IsEOF()) {
    MarkedRow row;
    recordset.GetFieldInt("ID", row.id);
    recordset.GetField("rootkey", row.rootkey);
    recordset.GetField("subkey", row.subkey);
    rows.push_back(std::move(row));
    recordset.MoveNext();
  }
  return rows;
}

// The view a row came from; nothing for a label this Windows has no view for.
std::optional<RegistryView> ViewOfLabel(const std::string& label) {
  for (RegistryView view : RegistryViews())
    if (ViewLabel(view) == label) return view;
  return std::nullopt;
}

enum class RowOutcome { Repaired, Failed, Valid };

class Repair {
 public:
  Repair(CADODatabase& database, CRegistryBackup& backup, const CategoryInfo& info, const KeyCopies& copies)
      : database_(database), backup_(backup), info_(info), copies_(copies) {}

  RowOutcome RepairRow(const CategoryLocation& location, const MarkedRow& row) {
    auto parsed = ParseRootKeyText(row.rootkey);
    if (!parsed || parsed->root != info_.root) return RowOutcome::Failed;
    auto view = ViewOfLabel(parsed->viewLabel);
    if (!view) return RowOutcome::Failed;
    if (info_.kind == EntryKind::Value)
      return RepairValue(RegistryLocation{HiveOf(info_.root), location.path, *view}, row.subkey);
    // The scans record the entry keys below a location's subkeys (CLSID\<class>\InprocServer32);
    // anything else in a row is not the cleaner's to delete.
    if (!IsEntryKeyRow(info_, location.path, row.subkey)) return RowOutcome::Failed;
    return RepairKey(location, RegistryLocation{HiveOf(info_.root), row.subkey, *view});
  }

 private:
  // Each real copy of the key is judged by the file it names itself: in
  // HKCR a user's class can shadow a valid machine-wide one, and only an
  // invalid copy is exported and deleted. A valid copy stays.
  RowOutcome RepairKey(const CategoryLocation& location, const RegistryLocation& entry) {
    std::string tail = entry.path.substr(std::strlen(location.path));  // "\<class>\InprocServer32"
    std::vector<RegistryLocation> invalid;
    for (const RegistryLocation& copy : copies_.Of(entry)) {
      // A copy is the same key below another parent; anything else is none of the row's.
      if (copy.IsMerged() || copy.path.size() <= tail.size() ||
          !EqualsNoCase(std::string_view(copy.path).substr(copy.path.size() - tail.size()), tail))
        return RowOutcome::Failed;
      // A program reinstalled since the scan keeps its entry.
      if (IsInvalidText(info_, DefaultOrNamed(copy.hive, copy.path, info_.entryValue, copy.view), copy.view))
        invalid.push_back(copy);
    }
    if (invalid.empty()) return RowOutcome::Valid;
    if (time_ == 0) time_ = NewBackupTime();  // one backup for the whole run
    bool repaired = true;
    for (const RegistryLocation& copy : invalid) {
      // The removal guards hold for repairs too: no shallow or well-known key goes.
      if (!guards_.KeyRefusal(copy).empty()) {
        repaired = false;
        continue;
      }
      std::string parent = copy.path.substr(0, copy.path.size() - tail.size()) + "\\";
      bool exported = backup_.ExportKeyForRepair(copy.hive, ShortHiveName(copy.hive), parent, copy.path, time_,
                                                 info_.repairComment, copy.view);
      repaired = exported && copy.Delete() && repaired;
    }
    return repaired ? RowOutcome::Repaired : RowOutcome::Failed;
  }

  RowOutcome RepairValue(const RegistryLocation& key, const std::string& name) {
    // A program reinstalled since the scan keeps its entry.
    if (!IsInvalidText(info_, CurrentValueText(info_, key, name), key.view)) return RowOutcome::Valid;
    if (!guards_.ValueRefusal(key, name).empty()) return RowOutcome::Failed;
    if (time_ == 0) time_ = NewBackupTime();  // one backup for the whole run
    ValueBackupResult saved =
        WriteValueBackup(database_, backup_.AppFolder(),
                         ValueBackupRequest{key.hive, RootKeyName(key.hive), key.path + "\\", name, time_,
                                            info_.repairComment, key.view});
    if (!saved.holdsValue) return RowOutcome::Failed;
    UniqueKey opened = key.Open(KEY_QUERY_VALUE | KEY_SET_VALUE);
    bool deleted = opened && RegDeleteValueA(opened.Get(), name.c_str()) == ERROR_SUCCESS;
    return deleted ? RowOutcome::Repaired : RowOutcome::Failed;
  }

  CADODatabase& database_;
  CRegistryBackup& backup_;
  const CategoryInfo& info_;
  const KeyCopies& copies_;
  RemovalGuards guards_{backup_.AppFolder(), {}};
  int32_t time_ = 0;
};

}  // namespace

bool CategoryBusy(Category category) { return Running()[IndexOf(category)] > 0; }

bool ExecuteStatement(CADODatabase& database, const std::string& statement) {
  if (!database.IsOpen()) database.Open("", "", "");
  CADORecordset recordset(database);
  return recordset.Open(statement) || recordset.GetLastError() == 0;
}

int CountProblems(CADODatabase& database, Category category) {
  if (!database.IsOpen()) database.Open("", "", "");
  CADORecordset recordset(database);
  return recordset.Open(CountStatement(category)) ? static_cast<int>(recordset.RecordCount()) : 0;
}

ScanResult ScanCategory(CADODatabase& database, Category category, const StopToken& token, CleanerSink& sink) {
  const CategoryInfo& info = Info(category);
  ScanResult result;
  RunningMark running(category);
  CategoryLock lock(category, token);
  sink.Status(info.scanStatus);
  sink.Found(0);
  bool completed = lock.Owned();
  if (completed) {
    Scan scan(database, info, token, sink);
    for (const auto& location : info.locations) {
      ExecuteStatement(database, ClearStatement(location));
      std::vector<std::string> seen;
      for (RegistryView view : RegistryViews())
        if (completed && !scan.Walk(location, view, seen)) completed = false;
      if (!completed) break;
    }
    scan.Flush();  // rows found before a stop stay
    result.found = scan.Found();
    result.unreadable = scan.Unreadable();
  }
  result.stopped = !completed;
  LogEvent(database, ScanEventText(category, result.found, result.stopped || result.unreadable > 0));
  sink.Status(result.stopped ? "Stopped" : "Ready");
  return result;
}

RepairResult RepairCategory(CADODatabase& database, CRegistryBackup& backup, Category category,
                            const StopToken& token, CleanerSink& sink, const KeyCopies* copies) {
  static const KeyCopies registry;
  const CategoryInfo& info = Info(category);
  RepairResult result;
  RunningMark running(category);
  CategoryLock lock(category, token);
  if (!lock.Owned()) return result;
  if (info.repairStatus) sink.Status(info.repairStatus);
  Repair repair(database, backup, info, copies ? *copies : registry);
  std::vector<int> done;  // repaired, or no longer a problem
  for (const auto& location : info.locations) {
    for (const MarkedRow& row : MarkedRows(database, location)) {
      // A program that quits between rows leaves the rest marked for the next run.
      if (token.StopRequested()) break;
      switch (repair.RepairRow(location, row)) {
        case RowOutcome::Repaired: ++result.repaired; break;
        case RowOutcome::Valid: ++result.valid; break;
        case RowOutcome::Failed:
          ++result.failed;
          ExecuteStatement(database, FormatSql("update problems set state=0 where ID=%d", row.id));
          continue;
      }
      done.push_back(row.id);
    }
  }
  // By identity: a row marked while this run worked is left for the next one.
  {
    CADOBatch batch(database);
    for (int id : done) ExecuteStatement(database, FormatSql("delete from problems where ID=%d", id));
    batch.Commit();
  }
  if (result.repaired > 0) LogEvent(database, RepairEventText(category, result.repaired));
  sink.Found(CountProblems(database, category));
  sink.Status("Ready");
  return result;
}

}  // namespace tidewell
