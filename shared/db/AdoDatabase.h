#pragma once
// One open connection to the program's database. The file is SQLite behind the
// Jet-style interface both programs were written against: the same operations,
// results and error texts, with a password recorded in the file.

#include <cstdint>
#include <mutex>
#include <string>

#include "shared/db/AdoError.h"

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
  std::string connectionString_;
  AdoErrorRecord lastError_;
  long connectionTimeout_ = 0;
};

}  // namespace tidewell
