#pragma once
// One open connection to the program's database. The file is SQLite behind the
// Jet-style interface both programs were written against: the same operations,
// results and error texts, with a password recorded in the file.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "shared/db/AdoError.h"
#include "shared/db/StatementCache.h"

struct sqlite3;

namespace tidewell {

class CADORecordset;

class CADODatabase {
 public:
  CADODatabase() = default;
  ~CADODatabase();
  CADODatabase(const CADODatabase&) = delete;
  CADODatabase& operator=(const CADODatabase&) = delete;

  // A non-empty connection text replaces the stored one; three empty texts
  // reopen with the stored string. Never creates the file.
  bool Open(const std::string& connection = {}, const std::string& user = {},
            const std::string& password = {});
  bool IsOpen() const;
  void Close();

  // A batch: the statements between Begin and Commit are one transaction,
  // written to the file once, and the connection is held by the calling
  // thread for the whole batch (other threads' statements wait). Commit and
  // Rollback must come from the thread that began; CADOBatch does that.
  bool BeginTransaction();
  bool CommitTransaction();
  void RollbackTransaction();

  // Whether the query gives at least one row (what a RecordCount above 0
  // says) without reading any row. Nothing when it fails; the error record
  // says why.
  std::optional<bool> HasRows(const std::string& query);

  const std::string& GetConnectionString() const { return connectionString_; }
  void SetConnectionTimeout(long seconds) { connectionTimeout_ = seconds; }

  std::string GetLastErrorString() const;
  std::string GetLastErrorDescription() const;
  uint32_t GetLastError() const;

 private:
  friend class CADORecordset;
  bool Fail(uint32_t code, const std::string& description);

  mutable std::recursive_mutex mutex_;  // guards the handle and the error record
  sqlite3* handle_ = nullptr;
  StatementCache statements_;  // guarded by mutex_, emptied before the handle closes
  std::string connectionString_;
  AdoErrorRecord lastError_;
  long connectionTimeout_ = 0;
  bool inTransaction_ = false;
};

// One batch, rolled back unless committed.
class CADOBatch {
 public:
  explicit CADOBatch(CADODatabase& database) : database_(database), open_(database.BeginTransaction()) {}
  ~CADOBatch() {
    if (open_) database_.RollbackTransaction();
  }
  CADOBatch(const CADOBatch&) = delete;
  CADOBatch& operator=(const CADOBatch&) = delete;

  bool IsOpen() const { return open_; }
  // False when nothing was written: the batch never began or the commit failed.
  bool Commit() {
    if (!open_) return false;
    open_ = false;
    return database_.CommitTransaction();
  }

 private:
  CADODatabase& database_;
  bool open_;
};

}  // namespace tidewell
