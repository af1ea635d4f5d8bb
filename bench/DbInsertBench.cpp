// 10,000 event rows through CADORecordset: one statement at a time (each its
// own transaction, as the programs write) against all in one transaction.

#include <optional>
#include <string>

#include "bench/BenchDatabase.h"
#include "bench/BenchReport.h"
#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"

using namespace tidewell;

namespace {

constexpr int kRows = 10000;

double InsertRows(CADODatabase& database, bool oneTransaction) {
  return bench::MeasureSeconds([&] {
    std::optional<CADOBatch> batch;
    if (oneTransaction) batch.emplace(database);
    CADORecordset recordset(database);
    for (int i = 0; i < kRows; ++i)
      recordset.Open(FormatSql("insert into [Events](dtm,event) values(%d,'%s')", i, "Benchmark row's text"));
    if (batch) batch->Commit();
  });
}

}  // namespace

int main() {
  bench::ScratchDatabase scratch("tidewell-bench-db");
  CADODatabase database;
  if (!scratch.Open(database)) return 1;
  auto rows = [&] {
    long count = 0;
    CADORecordset recordset(database);
    if (recordset.Open("select count(*) as n from [Events]")) recordset.GetFieldInt("n", count);
    return static_cast<long long>(count);
  };
  const long long before = rows();
  double single = InsertRows(database, false);
  bench::SameCount("rows stored one statement each", rows() - before, kRows);
  double batched = InsertRows(database, true);
  bench::SameCount("rows stored in one transaction", rows() - before, 2 * kRows);
  bench::Report("db_insert_one_statement_each", kRows / single, "rows/s", kRows / single);
  bench::Report("db_insert_one_transaction", kRows / batched, "rows/s", kRows / single);
  database.Close();
  return bench::ExitStatus();
}
