#include "shared/db/AdoDatabase.h"

#include <sqlite3.h>

#include "shared/db/ConnectionString.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tidewell {

namespace {

// Paths are ANSI text; SQLite wants UTF-8.
std::string ToUtf8Path(const std::string& path) {
#ifdef _WIN32
  int wideLength = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(wideLength > 0 ? wideLength : 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), wideLength);
  int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(length > 0 ? length : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), length, nullptr, nullptr);
  utf8.resize(utf8.size() - 1);
  return utf8;
#else
  return path;
#endif
}

constexpr int kDefaultBusyMilliseconds = 5000;  // Tidewell and Skylark may write at once

}  // namespace

CADODatabase::~CADODatabase() { Close(); }

bool CADODatabase::Fail(uint32_t code, const std::string& description) {
  lastError_ = MakeErrorRecord("Connection String = ", connectionString_, "CADODataBase", code, description);
  return false;
}

bool CADODatabase::Open(const std::string& connection, const std::string& /*user*/,
                        const std::string& /*password*/) {
  std::lock_guard lock(mutex_);
  Close();
  if (!connection.empty()) connectionString_ = connection;

  auto settings = ParseConnectionString(connectionString_);
  if (!settings) return Fail(kErrorUnspecified, "The connection string names no data source.");

  sqlite3* handle = nullptr;
  int rc = sqlite3_open_v2(ToUtf8Path(settings->dataSource).c_str(), &handle,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string description = "Could not find file '" + settings->dataSource + "'.";
    sqlite3_close(handle);
    return Fail(kErrorUnspecified, description);
  }
  sqlite3_busy_timeout(handle, connectionTimeout_ ? static_cast<int>(connectionTimeout_ * 1000)
                                                  : kDefaultBusyMilliseconds);

  // Reading the recorded password is also what finds a file that is not a database.
  std::string recorded;
  bool hasPasswordTable = false;
  sqlite3_stmt* statement = nullptr;
  rc = sqlite3_prepare_v2(handle, "select password from dbpassword", -1, &statement, nullptr);
  if (rc == SQLITE_OK) {
    hasPasswordTable = true;
    if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0))
      recorded = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
  } else if (sqlite3_errcode(handle) == SQLITE_NOTADB || sqlite3_errcode(handle) == SQLITE_CORRUPT) {
    std::string description = "Unrecognized database format '" + settings->dataSource + "'.";
    sqlite3_close(handle);
    return Fail(kErrorUnspecified, description);
  }
  if (!hasPasswordTable && sqlite3_exec(handle, "select count(*) from sqlite_master", nullptr, nullptr, nullptr) !=
                               SQLITE_OK) {
    std::string description = "Unrecognized database format '" + settings->dataSource + "'.";
    sqlite3_close(handle);
    return Fail(kErrorUnspecified, description);
  }
  if (recorded != settings->password) {
    sqlite3_close(handle);
    return Fail(kErrorAuthentication, "Not a valid password.");
  }
  handle_ = handle;
  return true;
}

bool CADODatabase::IsOpen() const {
  std::lock_guard lock(mutex_);
  return handle_ != nullptr;
}

void CADODatabase::Close() {
  std::lock_guard lock(mutex_);
  if (handle_) {
    statements_.Clear();
    sqlite3_close_v2(handle_);
    handle_ = nullptr;
  }
}

bool CADODatabase::BeginTransaction() {
  mutex_.lock();  // held until Commit or Rollback
  if (!handle_ || inTransaction_) {
    bool nested = inTransaction_;
    mutex_.unlock();
    return Fail(nested ? kErrorInCommand : kErrorObjectClosed,
                nested ? "A transaction is already open." : "Operation is not allowed when the object is closed.");
  }
  // IMMEDIATE takes the file's write lock now, so the commit cannot fail for
  // a writer in the other program that came in between.
  if (sqlite3_exec(handle_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
    std::string description = sqlite3_errmsg(handle_);
    mutex_.unlock();
    return Fail(kErrorUnspecified, description);
  }
  inTransaction_ = true;
  return true;
}

bool CADODatabase::CommitTransaction() {
  if (!inTransaction_) return false;
  bool committed = handle_ && sqlite3_exec(handle_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!committed) {
    if (handle_) {
      Fail(kErrorUnspecified, sqlite3_errmsg(handle_));
      sqlite3_exec(handle_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
  }
  inTransaction_ = false;
  mutex_.unlock();
  return committed;
}

void CADODatabase::RollbackTransaction() {
  if (!inTransaction_) return;
  if (handle_) sqlite3_exec(handle_, "ROLLBACK", nullptr, nullptr, nullptr);
  inTransaction_ = false;
  mutex_.unlock();
}

std::optional<bool> CADODatabase::HasRows(const std::string& query) {
  std::lock_guard lock(mutex_);
  if (!handle_) {
    Fail(kErrorObjectClosed, "Operation is not allowed when the object is closed.");
    return std::nullopt;
  }
  ReadyStatement ready(handle_, statements_, query);
  if (!ready.Get()) {
    Fail(kErrorInCommand, ready.Error());
    return std::nullopt;
  }
  int rc = sqlite3_step(ready.Get());
  if (rc == SQLITE_ROW || rc == SQLITE_DONE) return rc == SQLITE_ROW && sqlite3_column_count(ready.Get()) > 0;
  Fail(sqlite3_errcode(handle_) == SQLITE_ERROR ? kErrorInCommand : kErrorUnspecified, sqlite3_errmsg(handle_));
  return std::nullopt;
}

std::string CADODatabase::GetLastErrorString() const {
  std::lock_guard lock(mutex_);
  return lastError_.text;
}

std::string CADODatabase::GetLastErrorDescription() const {
  std::lock_guard lock(mutex_);
  return lastError_.description;
}

uint32_t CADODatabase::GetLastError() const {
  std::lock_guard lock(mutex_);
  return lastError_.code;
}

}  // namespace tidewell
