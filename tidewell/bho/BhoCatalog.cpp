#include "tidewell/bho/BhoCatalog.h"

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/win/Registry.h"
#include "shared/win/RegistryLocation.h"
#include "tidewell/bho/BhoText.h"

namespace tidewell {

UniqueKey OpenBhoRegistrationKey(REGSAM access, RegistryView view) {
  UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, kBhoKeyPath, access, view);
  if (!key) key = CreateKey(HKEY_LOCAL_MACHINE, kBhoKeyPath, access, view);
  return key;
}

RegistryView BhoViewOf(const std::string& clsid) {
  if (!clsid.empty())
    for (RegistryView view : RegistryViews())
      if (OpenKey(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + clsid, KEY_QUERY_VALUE, view)) return view;
  return RegistryView::Native;
}

std::string BhoTextInView(const std::string& name, RegistryView view) {
  if (view != RegistryView::Bits32 || RegistryViews().size() < 2) return name;
  return name + " (" + ViewLabel(view) + ")";
}

std::optional<BhoRow> FindBhoRow(CADODatabase& database, const std::string& clsid, const char* statement) {
  if (!database.IsOpen()) database.Open();
  CADORecordset rows(database);
  if (!rows.Open(FormatSql(statement, clsid)) || rows.RecordCount() == 0) return std::nullopt;
  rows.MoveFirst();
  BhoRow row;
  rows.GetField("name", row.name);
  rows.GetField("risk", row.risk);
  rows.GetField("files", row.files);
  rows.GetField("comments", row.comments);
  rows.GetFieldInt("modified", row.modified);
  return row;
}

std::string BhoName(CADODatabase& database, const std::string& clsid) {
  std::optional<BhoRow> row = FindBhoRow(database, clsid);
  return row ? row->name : "Unknown BHO";
}

int BhoRiskImage(CADODatabase& database, const std::string& clsid) {
  std::optional<BhoRow> row = FindBhoRow(database, clsid);
  return row ? RiskImageForWord(row->risk) : kImageUnknownRisk;
}

std::string BhoFile(const std::string& clsid, RegistryView view) {
  RegistryLocation server{HKEY_CLASSES_ROOT, "CLSID\\" + clsid + "\\InprocServer32", view};
  UniqueKey key = server.Open(KEY_QUERY_VALUE);
  if (!key) return {};
  std::string value = ReadString(key.Get(), "").value_or("");
  if (value.size() > 255) value.resize(255);
  // As the view's own programs see it: a 32-bit class's %ProgramFiles% is
  // Program Files (x86), never the 64-bit build's own.
  return server.ExpandPath(value, ExpandFirstVariable);
}

int64_t KeyLastWriteTime(HKEY root, const std::string& path, RegistryView view) {
  UniqueKey key = OpenKey(root, path, KEY_QUERY_VALUE, view);
  if (!key) return 0;
  FILETIME written{};
  if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, &written) != ERROR_SUCCESS)
    return 0;
  return FileTimeToUnixSeconds((uint64_t(written.dwHighDateTime) << 32) | written.dwLowDateTime);
}

int64_t BhoLastWriteTime(const std::string& clsid, RegistryView view) {
  return KeyLastWriteTime(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + clsid, view);
}

std::optional<int> ClassIdTable::Add(const std::string& clsid, RegistryView view) {
  int index = next_.fetch_add(1);
  if (index < 0 || index >= kCapacity) return std::nullopt;
  std::lock_guard lock(mutex_);
  entries_[index] = Entry{clsid, view};
  return index;
}

std::string ClassIdTable::At(LPARAM index) const {
  if (index < 0 || index >= kCapacity) return {};
  std::lock_guard lock(mutex_);
  return entries_[index].clsid;
}

RegistryView ClassIdTable::ViewAt(LPARAM index) const {
  if (index < 0 || index >= kCapacity) return RegistryView::Native;
  std::lock_guard lock(mutex_);
  return entries_[index].view;
}

}  // namespace tidewell
