// 10,000 event rows through CADORecordset: one statement at a time (each its
// own transaction, as the programs write) against all in one transaction.

#include <filesystem>
#include <string>

#include "bench/BenchReport.h"
#include "shared/db/AdoDatabase.h"
#include "shared/db/AdoRecordset.h"
#include "shared/db/ConnectionString.h"
#include "shared/db/SqlText.h"

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

constexpr int kRows = 10000;

double InsertRows(CADODatabase& database, bool oneTransaction) {
  return bench::MeasureSeconds([&] {
    CADORecordset recordset(database);
    if (oneTransaction) recordset.Open("begin transaction");
    for (int i = 0; i < kRows; ++i)
      recordset.Open(FormatSql("insert into [Events](dtm,event) values(%d,'%s')", i, "Benchmark row's text"));
    if (oneTransaction) recordset.Open("commit");
  });
}

}  // namespace

int main() {
  fs::path scratch = fs::temp_directory_path() / "tidewell-bench-db";
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  fs::copy_file(ProgramFolder() / kDatabaseFileName, scratch / kDatabaseFileName);

  CADODatabase database;
  if (!database.Open(BuildConnectionString((scratch / kDatabaseFileName).string()))) {
    std::fprintf(stderr, "%s", database.GetLastErrorString().c_str());
    return 1;
  }
  double single = InsertRows(database, false);
  double batched = InsertRows(database, true);
  bench::Report("db_insert_one_statement_each", kRows / single, "rows/s", kRows / single);
  bench::Report("db_insert_one_transaction", kRows / batched, "rows/s", kRows / single);
  database.Close();
  fs::remove_all(scratch);
  return 0;
}
