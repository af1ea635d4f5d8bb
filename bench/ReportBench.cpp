// The shareable report over 300 registered BHOs, 200 startup entries and 150
// running processes, all planted; the target is under 3 s. Each planted item
// must show as one line of its section.

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchDatabase.h"
#include "bench/BenchHosts.h"
#include "bench/BenchReport.h"
#include "shared/db/AdoDatabase.h"
#include "shared/db/ConnectionString.h"
#include "shared/win/Registry.h"
#include "tidewell/bho/BhoCatalog.h"
#include "tidewell/report/MachineReport.h"
#include "tidewell/startup/StartupManager.h"

using namespace tidewell;
namespace fs = std::filesystem;

namespace {

constexpr const char* kUserRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr double kTargetSeconds = 3.0;

long long CountOf(const std::string& text, const std::string& what) {
  long long count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++count;
  return count;
}

}  // namespace

int main() {
  fs::path folder = fs::temp_directory_path() / ("tidewell-bench-report-" + std::to_string(GetCurrentProcessId()));
  fs::create_directories(folder);
  const fs::path bin = bench::ProgramFolder();
  std::string databasePath = (folder / "bhodb.mdb").string();
  fs::copy_file(bin / "bhodb.mdb", databasePath);
  CADODatabase database;
  if (!database.Open(BuildConnectionString(databasePath))) {
    std::printf("cannot open the database copy\n");
    return 1;
  }

  // 300 BHOs, one in ten with its file there (each file its own, so each is checked).
  std::vector<std::string> clsids, bhoFiles;
  for (int i = 0; i < 300; ++i) {
    char clsid[64];
    std::snprintf(clsid, sizeof clsid, "{BE9027B0-0000-4000-8000-%012d}", i);
    clsids.push_back(clsid);
    bhoFiles.push_back((folder / ("bho" + std::to_string(i) + ".dll")).string());
    CreateKey(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + clsid);
    UniqueKey inproc = CreateKey(HKEY_CLASSES_ROOT, std::string("CLSID\\") + clsid + "\\InprocServer32");
    WriteString(inproc.Get(), "", bhoFiles.back());
    if (i % 10 == 0) fs::copy_file(bin / "test_bho.dll", bhoFiles.back());
  }
  // 200 startup entries, one in ten with its program there.
  std::vector<std::string> runNames;
  UniqueKey run = CreateKey(HKEY_CURRENT_USER, kUserRunKey);
  for (int i = 0; i < 200; ++i) {
    runNames.push_back("ReportBench entry " + std::to_string(i));
    fs::path program = folder / ("program" + std::to_string(i) + ".exe");
    WriteString(run.Get(), runNames.back(), "\"" + program.string() + "\" /background");
    if (i % 10 == 0) fs::copy_file(bin / "test_bho_host.exe", program);
  }
  // 150 processes, each holding one of the BHO files that are there.
  auto hosts = std::make_unique<bench::HostProcesses>();
  for (int i = 0; i < 150; ++i) hosts->Start((bin / "test_bho_host.exe").string(), bhoFiles[(i % 30) * 10]);
  Sleep(5000);

  std::string report;
  double seconds = bench::MeasureSeconds([&] { report = MakeMachineReport(database, databasePath).value_or(""); });
  bench::Report("report: 300 BHOs, 200 entries, 150 processes", seconds, "s", kTargetSeconds);
  bench::SameCount("planted BHO lines", CountOf(report, "{BE9027B0-0000-4000-8000-"), 300);
  bench::SameCount("BHO lines naming their host processes", CountOf(report, "| loaded by test_bho_host.exe"), 30);
  bench::SameCount("planted startup lines", CountOf(report, "| ReportBench entry "), 200);
  bench::SameResult("at least 150 host process lines", CountOf(report, "test_bho_host.exe |") >= 150);
  bench::SameResult("under the target", seconds < kTargetSeconds);

  hosts.reset();
  for (const std::string& clsid : clsids) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + clsid);
    DeleteKeyTree(HKEY_CLASSES_ROOT, "CLSID\\" + clsid);
  }
  for (const std::string& name : runNames) RegDeleteValueA(run.Get(), name.c_str());
  database.Close();
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return bench::ExitStatus();
}
