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
#include "tidewell/removal/ValueBackup.h"
#include "tidewell/regclean/EntryChecks.h"
#include "tidewell/shell/EventLog.h"

namespace tidewell {

namespace {

using namespace std::chrono_literals;

constexpr size_t kBatchRows = 200;
constexpr ULONGLONG kBatchMs = 250;  // so Details, opened during a scan, lists what was found so far
constexpr int kDeletePasses = 8;  // a merged HKCR key can show again from the other hive

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

HKEY RootHandle(RootText root) { return root == RootText::Hkcr ? HKEY_CLASSES_ROOT : HKEY_LOCAL_MACHINE; }
// As a value backup's file names the root.
const char* LongRootName(RootText root) { return root == RootText::Hkcr ? "HKEY_CLASSES_ROOT" : "HKEY_LOCAL_MACHINE"; }

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

// A row's entry as it stands now; empty when it is gone.
std::string CurrentText(const CategoryInfo& info, const CategoryLocation& location, const std::string& subkey,
                        RegistryView view) {
  if (info.kind == EntryKind::Key) return DefaultOrNamed(RootHandle(info.root), subkey, info.entryValue, view);
  UniqueKey key = OpenKey(RootHandle(info.root), location.path, KEY_QUERY_VALUE, view);
  if (!key) return {};
  if (info.valueText == ValueText::Name) {  // the name is the text: only whether it is still there counts
    bool present = RegQueryValueExA(key.Get(), subkey.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    return present ? subkey : std::string();
  }
  return ValueEntryText(info, subkey, ReadString(key.Get(), subkey).value_or(""));
}

// The key's name in the registry's own namespace: two views that share a key
// (the system keeps some keys in one place for both) give the same name.
std::wstring KeyIdentity(HKEY key) {
  using NtQueryKeyFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  static const auto query = reinterpret_cast<NtQueryKeyFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey")));
  constexpr int kKeyNameInformation = 3;
  if (!query) return {};
  std::vector<BYTE> buffer(4096);
  ULONG length = 0;
  if (query(key, kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &length) < 0) return {};
  ULONG nameLength = 0;
  std::memcpy(&nameLength, buffer.data(), sizeof nameLength);
  nameLength = std::min<ULONG>(nameLength, static_cast<ULONG>(buffer.size() - sizeof nameLength));
  std::wstring name(nameLength / sizeof(wchar_t), L'\0');
  std::memcpy(name.data(), buffer.data() + sizeof nameLength, name.size() * sizeof(wchar_t));
  return name;
}

class Scan {
 public:
  Scan(CADODatabase& database, const CategoryInfo& info, const StopToken& token, CleanerSink& sink)
      : info_(info), token_(token), sink_(sink), writer_(database) {}

  // False when stopped. seen: the keys the other views walked already.
  bool Walk(const CategoryLocation& location, RegistryView view, std::vector<std::wstring>& seen) {
    UniqueKey key = OpenKey(RootHandle(info_.root), location.path, KEY_READ, view);
    if (!key) return !token_.StopRequested();  // nothing to walk in this view
    std::wstring identity = KeyIdentity(key.Get());
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
  Repair(CADODatabase& database, CRegistryBackup& backup, const CategoryInfo& info)
      : database_(database), backup_(backup), info_(info) {}

  RowOutcome RepairRow(const CategoryLocation& location, const MarkedRow& row) {
    auto parsed = ParseRootKeyText(row.rootkey);
    if (!parsed || parsed->root != info_.root) return RowOutcome::Failed;
    auto view = ViewOfLabel(parsed->viewLabel);
    if (!view) return RowOutcome::Failed;
    // The scans record the entry keys below a location's subkeys (CLSID\<class>\InprocServer32);
    // anything else in a row is not the cleaner's to delete.
    if (info_.kind == EntryKind::Key && !IsEntryKeyRow(info_, location.path, row.subkey)) return RowOutcome::Failed;
    // A program reinstalled since the scan keeps its entry.
    if (!IsInvalidText(info_, CurrentText(info_, location, row.subkey, *view), *view))
      return RowOutcome::Valid;
    if (time_ == 0) time_ = NewBackupTime();  // one backup for the whole run
    bool repaired = info_.kind == EntryKind::Key ? RepairKey(location, row.subkey, *view)
                                                 : RepairValue(location, row.subkey, *view);
    return repaired ? RowOutcome::Repaired : RowOutcome::Failed;
  }

 private:
  bool RepairKey(const CategoryLocation& location, const std::string& subkey, RegistryView view) {
    HKEY root = RootHandle(info_.root);
    if (!backup_.ExportKeyForRepair(root, RootKeyText(info_.root, ""), std::string(location.path) + "\\", subkey,
                                    time_, info_.repairComment, view))
      return false;
    for (int pass = 0; pass < kDeletePasses && OpenKey(root, subkey, KEY_READ, view); ++pass)
      if (!DeleteKeyTree(root, subkey, view)) break;
    return !OpenKey(root, subkey, KEY_READ, view);
  }

  bool RepairValue(const CategoryLocation& location, const std::string& name, RegistryView view) {
    HKEY root = RootHandle(info_.root);
    ValueBackupResult saved = WriteValueBackup(
        database_, backup_.AppFolder(),
        ValueBackupRequest{root, LongRootName(info_.root), std::string(location.path) + "\\", name, time_,
                           info_.repairComment, view});
    if (!saved.holdsValue) return false;
    UniqueKey key = OpenKey(root, location.path, KEY_QUERY_VALUE | KEY_SET_VALUE, view);
    return key && RegDeleteValueA(key.Get(), name.c_str()) == ERROR_SUCCESS;
  }

  CADODatabase& database_;
  CRegistryBackup& backup_;
  const CategoryInfo& info_;
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
      std::vector<std::wstring> seen;
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
                            const StopToken& token, CleanerSink& sink) {
  const CategoryInfo& info = Info(category);
  RepairResult result;
  RunningMark running(category);
  CategoryLock lock(category, token);
  if (!lock.Owned()) return result;
  if (info.repairStatus) sink.Status(info.repairStatus);
  Repair repair(database, backup, info);
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
