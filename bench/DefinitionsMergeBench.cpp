// Merging 10,000 definitions into bhos: as Skylark does it (one transaction,
// the literal select/update/insert texts), against one autocommit per record
// (measured on 500, scaled) and against the floor, a prepared upsert in one
// transaction.

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchReport.h"
#include "shared/db/AdoDatabase.h"
#include "shared/db/AdoRecordset.h"
#include "shared/db/ConnectionString.h"
#include "shared/db/SqlText.h"
#include "skylark/DefinitionsMerge.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace tidewell;

namespace {

fs::path ProgramFolder() {
#ifdef _WIN32
  char buffer[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return fs::path(std::string(buffer, length)).parent_path();
#else
  return fs::read_symlink("/proc/self/exe").parent_path();
#endif
}

constexpr int kRecords = 10000;
constexpr int kPerRecordSample = 500;

std::vector<DefinitionRecord> MakeRecords(int count) {
  std::vector<DefinitionRecord> records;
  for (int i = 0; i < count; ++i) {
    char clsid[40];
    std::snprintf(clsid, sizeof clsid, "{%08X-1234-4ABC-8DEF-%012X}", 0xB0000000u + i, i);
    records.push_back({i + 1, "Bench helper's " + std::to_string(i), "helper" + std::to_string(i) + ".dll", clsid,
                       i % 3 ? "medium" : "high", "Written by the merge benchmark"});
  }
  return records;
}

struct Scratch {
  fs::path folder = fs::temp_directory_path() / "tidewell-bench-merge";
  fs::path file = folder / kDatabaseFileName;
  Scratch() {
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  ~Scratch() { fs::remove_all(folder); }
  void Fresh() const {
    fs::remove(file);
    fs::copy_file(ProgramFolder() / kDatabaseFileName, file);
  }
};

bool Run(CADODatabase& database, const std::string& statement, uint32_t* count = nullptr) {
  CADORecordset recordset(database);
  recordset.Open(statement);
  if (count) *count = recordset.RecordCount();
  return recordset.GetLastError() == 0;
}

// The same statements, each committing on its own.
double PerRecordSeconds(CADODatabase& database, const std::vector<DefinitionRecord>& records) {
  return bench::MeasureSeconds([&] {
    for (const auto& r : records) {
      uint32_t known = 0;
      Run(database, FormatSql("select * from bhos where clsid='%s'", r.clsid), &known);
      Run(database, FormatSql("insert into bhos([Name],[Files],[Risk],[Comments],[Clsid],[Modified]) "
                              "values('%s','%s','%s','%s','%s',1)",
                              r.name, r.files, r.risk, r.comments, r.clsid));
    }
  });
}

double FloorSeconds(const std::string& file, const std::vector<DefinitionRecord>& records) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  double seconds = bench::MeasureSeconds([&] {
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* upsert = nullptr;
    sqlite3_prepare_v2(db,
                       "insert into bhos(name,files,risk,comments,clsid,modified) values(?,?,?,?,?,1) "
                       "on conflict(clsid) do update set name=excluded.name,files=excluded.files,"
                       "risk=excluded.risk,comments=excluded.comments,modified=1",
                       -1, &upsert, nullptr);
    for (const auto& r : records) {
      const std::string* values[] = {&r.name, &r.files, &r.risk, &r.comments, &r.clsid};
      for (int i = 0; i < 5; ++i) sqlite3_bind_text(upsert, i + 1, values[i]->c_str(), -1, SQLITE_STATIC);
      sqlite3_step(upsert);
      sqlite3_reset(upsert);
    }
    sqlite3_finalize(upsert);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
  });
  sqlite3_close(db);
  return seconds;
}

}  // namespace

int main() {
  Scratch scratch;
  std::vector<DefinitionRecord> records = MakeRecords(kRecords);
  std::vector<DefinitionRecord> sample(records.begin(), records.begin() + kPerRecordSample);

  scratch.Fresh();
  double asBuilt = 0;
  {
    CADODatabase database;
    if (!database.Open(BuildConnectionString(scratch.file.string()))) return 1;
    asBuilt = bench::MeasureSeconds([&] {
      if (MergeDefinitions(database, records, kRecords + 2) != MergeResult::Merged) std::fprintf(stderr, "merge failed\n");
    });
  }

  scratch.Fresh();
  double perRecord = 0;
  {
    CADODatabase database;
    if (!database.Open(BuildConnectionString(scratch.file.string()))) return 1;
    perRecord = PerRecordSeconds(database, sample) * (static_cast<double>(kRecords) / kPerRecordSample);
  }

  scratch.Fresh();
  double floor = FloorSeconds(scratch.file.string(), records);

  bench::Report("merge_10000_per_record_commit_scaled", perRecord, "s", perRecord);
  bench::Report("merge_10000_one_transaction_as_built", asBuilt, "s", perRecord);
  bench::Report("merge_10000_prepared_upsert_floor", floor, "s", perRecord);
  std::printf("as built: %.1fx faster than per-record commits, %.2fx the floor\n", perRecord / asBuilt, asBuilt / floor);
  return 0;
}
