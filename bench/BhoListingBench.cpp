// Listing 300 registered BHOs with 40 running processes: the listing as
// built (one process and module snapshot, answered from memory), the literal
// algorithm (a fresh process list and a module snapshot per process for
// every BHO), and the floor (one snapshot plus the registry reads and
// database look-ups alone).

#include <windows.h>
#include <tlhelp32.h>

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
#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tidewell/bho/BhoCatalog.h"
#include "tidewell/bho/BhoListing.h"
#include "tidewell/bho/BhoUninstaller.h"
#include "tidewell/removal/ProcessList.h"

using namespace tidewell;
namespace fs = std::filesystem;

namespace {

// The literal algorithm's look-up: a fresh process list, then each process asked for the file.
size_t LiteralLinkCount(const std::string& path) {
  if (path.empty()) return 0;
  CProcessList list;
  if (!list.Refresh()) return 0;
  size_t count = 0;
  for (size_t i = 0; i < list.ProcessCount(); ++i) {
    UniqueHandle snapshot(
        CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, list.Process(i).entry.th32ProcessID));
    if (!snapshot) continue;
    MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    for (BOOL more = Module32First(snapshot.Get(), &module); more; more = Module32Next(snapshot.Get(), &module)) {
      if (SameNameIgnoringCase(module.szExePath, path)) {
        ++count;
        break;
      }
    }
  }
  return count;
}

}  // namespace

int main() {
  fs::path folder = fs::temp_directory_path() / ("tidewell-bench-bho-" + std::to_string(GetCurrentProcessId()));
  fs::create_directories(folder);
  const fs::path bin = bench::ProgramFolder();
  fs::copy_file(bin / "bhodb.mdb", folder / "bhodb.mdb");
  CADODatabase database;
  if (!database.Open(BuildConnectionString(folder.string() + "\\\\bhodb.mdb"))) {
    std::printf("cannot open the database copy\n");
    return 1;
  }

  // 40 processes, each carrying one of the first 10 BHO files.
  std::vector<std::string> clsids, files;
  for (int i = 0; i < 300; ++i) {
    char clsid[64];
    std::snprintf(clsid, sizeof clsid, "{B0B0B0B0-0000-4000-8000-%012d}", i);
    clsids.push_back(clsid);
    files.push_back((folder / ("bho" + std::to_string(i) + ".dll")).string());
    CreateKey(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + clsid);
    UniqueKey inproc = CreateKey(HKEY_CLASSES_ROOT, std::string("CLSID\\") + clsid + "\\InprocServer32");
    WriteString(inproc.Get(), "", files.back());
    if (i < 10) fs::copy_file(bin / "test_bho.dll", files.back());
  }
  auto hosts = std::make_unique<bench::HostProcesses>();
  for (int i = 0; i < 40; ++i) hosts->Start((bin / "test_bho_host.exe").string(), files[i % 10]);
  Sleep(3000);

  size_t builtLinks = 0, literalLinks = 0;
  double built = bench::MeasureSeconds([&] {
    ModuleIndex modules;
    modules.Build();
    auto items = CollectRegisteredBhos(database, modules);
    for (const BhoItem& item : items.value_or(std::vector<BhoItem>{})) builtLinks += item.processes.size();
  });
  double literal = bench::MeasureSeconds([&] {
    UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, kBhoKeyPath, KEY_ENUMERATE_SUB_KEYS);
    for (const std::string& clsid : SubkeyNames(key.Get())) {
      BhoName(database, clsid);
      BhoRiskImage(database, clsid);
      literalLinks += LiteralLinkCount(BhoFile(clsid));
    }
  });
  double floor = bench::MeasureSeconds([&] {
    ModuleIndex modules;
    modules.Build();
    UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, kBhoKeyPath, KEY_ENUMERATE_SUB_KEYS);
    for (const std::string& clsid : SubkeyNames(key.Get())) {
      FindBhoRow(database, clsid);
      BhoFile(clsid);
    }
  });
  bench::Report("bho listing: floor", floor, "s", floor);
  bench::Report("bho listing: as built", built, "s", floor);
  bench::Report("bho listing: literal algorithm", literal, "s", floor);
  std::printf("linked processes: as built %zu, literal %zu\n", builtLinks, literalLinks);
  bench::SameCount("linked processes, as built against literal", static_cast<long long>(builtLinks),
                   static_cast<long long>(literalLinks));

  hosts.reset();
  for (const std::string& clsid : clsids) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + clsid);
    DeleteKeyTree(HKEY_CLASSES_ROOT, "CLSID\\" + clsid);
  }
  database.Close();
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return bench::ExitStatus();
}
