#pragma once
// Compiled forms of recently run statements. The programs write their values
// into the statement texts, so a text seldom repeats; what repeats is the text
// with its string literals taken out. The cache keys on that form and binds
// the literals back as parameters, which SQLite compares, converts and stores
// exactly as it would the literals. Compiling is most of the cost of a small
// statement, so a run of inserts or look-ups pays it once.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tidewell {

// A data statement (select, insert, update, delete, replace) with each string
// literal replaced by "?" and its value (apostrophes undoubled) in order.
struct LiftedStatement {
  std::string text;
  std::string values;                                // the literals' values, one after another
  std::vector<std::pair<size_t, size_t>> literals;   // offset and length in values

  std::string_view Literal(size_t index) const {
    return std::string_view(values).substr(literals[index].first, literals[index].second);
  }
};

// False for any other statement, an unterminated literal or a NUL byte; such
// texts are compiled as they stand.
bool LiftLiterals(std::string_view sql, LiftedStatement& lifted);

class StatementCache {
 public:
  explicit StatementCache(size_t capacity = 16) : capacity_(capacity) {}
  ~StatementCache() { Clear(); }
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  // The compiled statement for sql with its literals bound, or null when sql
  // is not a data statement, its lifted form is new (it is kept from its
  // second use on), or the lifted form does not behave as the text would
  // (it does not compile, holds more than one statement or parameters of its
  // own, or names a result column after a literal); the caller then compiles
  // sql itself. The statement stays the cache's: hand it back to Release
  // before the next Acquire.
  sqlite3_stmt* Acquire(sqlite3* handle, std::string_view sql);
  // Resets the statement and drops its bindings, ready for the next use.
  static void Release(sqlite3_stmt* statement);
  // Finalizes every statement; before the connection closes.
  void Clear();

 private:
  struct Entry {
    std::string text;
    sqlite3_stmt* statement;
  };
  size_t capacity_;
  std::vector<Entry> entries_;  // most recently used first
  LiftedStatement lifted_;      // kept for its buffers, and the bound values live here
  std::array<size_t, 32> seen_{};     // hashes of recent lifted texts not kept yet
  size_t seenNext_ = 0;
  std::array<size_t, 16> refused_{};  // and of those whose lifted form would not do
  size_t refusedNext_ = 0;
};

// A statement ready to step: the cache's kept form with the text's literals
// bound, or else the text compiled for this one use. Handed back to the cache
// or finalized when it goes.
class ReadyStatement {
 public:
  ReadyStatement(sqlite3* handle, StatementCache& cache, const std::string& sql);
  ~ReadyStatement();
  ReadyStatement(const ReadyStatement&) = delete;
  ReadyStatement& operator=(const ReadyStatement&) = delete;

  // Null when the text cannot run; Error then says why.
  sqlite3_stmt* Get() const { return statement_; }
  const std::string& Error() const { return error_; }

 private:
  sqlite3_stmt* statement_ = nullptr;
  bool kept_ = false;
  std::string error_;
};

}  // namespace tidewell
