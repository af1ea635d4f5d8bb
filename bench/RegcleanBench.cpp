// The registry cleaner's custom-controls scan over 5,000 planted class IDs
// (half naming a missing file in a folder that exists, so each also gets the
// loader's second chance) against its floor (enumerate, query, existence
// check and second chance, no database) and against one autocommit insert per
// finding; and the repair of 200 rows against 200 plain exports and deletes;
// and how long "Stop" takes to end that scan (target: within a second).
// Every figure's result is checked against its floor's.

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchReport.h"
#include "shared/db/AdoDatabase.h"
#include "shared/db/AdoRecordset.h"
#include "shared/db/ConnectionString.h"
#include "shared/win/AppPaths.h"
#include "shared/db/SqlText.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tidewell/backup/RegistryBackup.h"
#include "tidewell/regclean/CleanerEngine.h"
#include "tidewell/regclean/EntryChecks.h"

namespace fs = std::filesystem;
using namespace tidewell;

namespace {

constexpr int kClasses = 5000;
constexpr int kRepairRows = 200;
const std::string kPrefix = "{TwBench-";

std::string ClassName(int i) { return kPrefix + std::to_string(i) + "}"; }

class QuietSink : public CleanerSink {
 public:
  void Status(const std::string&) override { ++statuses; }
  void Found(int) override {}
  std::atomic<int> statuses = 0;
};

// Stops the scan once it is well into the walk; the figure is the time from
// the request until the scan has returned.
double StopLatency(CADODatabase& database, bool& incomplete) {
  QuietSink sink;
  StopSource stop;
  WorkerGroup workers;
  std::atomic<bool> ended = false;
  workers.Start(stop, [&](const StopToken& token) {
    incomplete = ScanCategory(database, Category::CustomControls, token, sink).stopped;
    ended = true;
  });
  while (sink.statuses < 200 && !ended) Sleep(1);
  return bench::MeasureSeconds([&] {
    stop.RequestStop();
    workers.StopAndWait(10000);
  });
}

void Plant(const std::string& missingFolder) {
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  for (int i = 0; i < kClasses; ++i) {
    UniqueKey key = CreateKey(HKEY_CLASSES_ROOT, "CLSID\\" + ClassName(i) + "\\InprocServer32");
    WriteString(key.Get(), "", i % 2 ? missingFolder + "\\b" + std::to_string(i) + ".dll"
                                     : std::string(system) + "\\kernel32.dll");
  }
}

void Unplant() {
  for (int i = 0; i < kClasses; ++i) DeleteKeyTree(HKEY_CLASSES_ROOT, "CLSID\\" + ClassName(i));
}

// The walk alone, as the scan does it in every view; optionally one
// autocommit insert per finding.
int Floor(CADODatabase* database) {
  int found = 0;
  for (RegistryView view : RegistryViews()) {
    UniqueKey clsid = OpenKey(HKEY_CLASSES_ROOT, "CLSID", KEY_READ, view);
    for (const std::string& name : SubkeyNames(clsid.Get())) {
      UniqueKey inproc = OpenKey(clsid.Get(), name + "\\InprocServer32", KEY_QUERY_VALUE, view);
      std::string text = inproc ? ReadString(inproc.Get(), "").value_or("") : "";
      if (!IsMissingFile(text, view, true)) continue;
      ++found;
      if (database) {
        CADORecordset recordset(*database);
        recordset.Open(FormatSql("insert into problems(ptype,rootkey,subkey,problem) values('%s','%s','%s','%s')",
                                 "RCC", "HKCR", "CLSID\\" + name + "\\InprocServer32", text));
      }
    }
  }
  return found;
}

// How many of the keys are gone from the registry.
int Gone(const std::vector<std::string>& subkeys) {
  int gone = 0;
  for (const std::string& subkey : subkeys) gone += !OpenKey(HKEY_CLASSES_ROOT, subkey);
  return gone;
}

}  // namespace

int main() {
  wchar_t program[MAX_PATH];
  fs::path folder = fs::path(std::wstring(program, GetModuleFileNameW(nullptr, program, MAX_PATH))).parent_path();
  fs::path scratch = fs::temp_directory_path() / "tidewell-bench-regclean";
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  fs::copy_file(folder / kDatabaseFileName, scratch / kDatabaseFileName);
  CADODatabase database;
  if (!database.Open(BuildConnectionString(Utf8FromPath(scratch / kDatabaseFileName)))) return 1;

  // Missing libraries in a folder that exists: the scan must try to load each.
  const std::string missingFolder = Utf8FromPath(scratch);
  Plant(missingFolder);
  QuietSink sink;
  int floorFound = 0, autocommitFound = 0;
  ScanResult scanned;
  double floor = bench::MeasureSeconds([&] { floorFound = Floor(nullptr); });
  double autocommit = bench::MeasureSeconds([&] { autocommitFound = Floor(&database); });
  ExecuteStatement(database, "delete from problems");
  double built = bench::MeasureSeconds([&] { scanned = ScanCategory(database, Category::CustomControls, StopToken(), sink); });
  bench::SameResult("the floor finds the planted missing libraries", floorFound >= kClasses / 2);
  bench::SameCount("findings, autocommit inserts", autocommitFound, floorFound);
  bench::SameCount("findings, as built", scanned.found, floorFound);
  bench::Report("regclean_rcc_scan_floor", floor, "s", floor);
  bench::Report("regclean_rcc_scan_autocommit_inserts", autocommit, "s", floor);
  bench::Report("regclean_rcc_scan_as_built", built, "s", floor);

  // Repair: 200 of the planted missing classes, as built and as plain export + delete.
  ExecuteStatement(database, "update problems set state=0");
  int marked = 0;
  std::vector<std::string> markedKeys;
  {
    CADORecordset rows(database);
    rows.Open("select * from problems where ptype='RCC' and subkey like 'CLSID\\{TwBench-%' order by ID");
    for (rows.MoveFirst(); !rows.IsEOF() && marked < kRepairRows; rows.MoveNext(), ++marked) {
      int id = 0;
      rows.GetFieldInt("ID", id);
      std::string subkey;
      rows.GetField("subkey", subkey);
      markedKeys.push_back(subkey);
      ExecuteStatement(database, FormatSql("update problems set state=1 where ID=%d", id));
    }
  }
  CRegistryBackup backup(database, Utf8FromPath(scratch));
  RepairResult repaired;
  double repair = bench::MeasureSeconds([&] { repaired = RepairCategory(database, backup, Category::CustomControls, StopToken(), sink); });
  bench::SameCount("rows marked for the repair", marked, kRepairRows);
  bench::SameCount("rows repaired, as built", repaired.repaired, marked);
  bench::SameCount("marked keys gone, as built", Gone(markedKeys), marked);
  Plant(missingFolder);
  std::vector<std::string> plainKeys;
  int exported = 0;
  double plain = bench::MeasureSeconds([&] {
    int32_t time = NewBackupTime() + 1;
    for (int i = 1, done = 0; done < kRepairRows; i += 2, ++done) {
      plainKeys.push_back("CLSID\\" + ClassName(i) + "\\InprocServer32");
      exported += backup.ExportRegistryKey("HKCR\\" + plainKeys.back(), "plain" + std::to_string(i), time, "bench");
      DeleteKeyTree(HKEY_CLASSES_ROOT, plainKeys.back());
    }
  });
  bench::SameCount("keys exported, plain", exported, kRepairRows);
  bench::SameCount("keys gone, plain", Gone(plainKeys), kRepairRows);
  bench::Report("regclean_rcc_repair_200_plain_export_delete", plain, "s", plain);
  bench::Report("regclean_rcc_repair_200_as_built", repair, "s", plain);
  std::printf("rows repaired: %d of %d marked; fixed sleeps in the repair: none\n", repaired.repaired, marked);

  bool incomplete = false;
  double stopping = StopLatency(database, incomplete);
  bench::Report("regclean_rcc_scan_stop_latency", stopping, "s", 1.0);
  bench::SameResult("the stopped scan reports itself incomplete", incomplete);

  Unplant();
  database.Close();
  fs::remove_all(scratch);
  return bench::ExitStatus();
}
