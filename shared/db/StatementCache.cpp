#include "shared/db/StatementCache.h"
#include "shared/text/Text.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>

namespace tidewell {

namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

bool IsDataStatement(std::string_view sql) {
  size_t start = 0;
  while (start < sql.size() && std::isspace(static_cast<unsigned char>(sql[start]))) ++start;
  size_t end = start;
  while (end < sql.size() && std::isalpha(static_cast<unsigned char>(sql[end]))) ++end;
  std::string word = LowerAscii(sql.substr(start, end - start));
  return word == "select" || word == "insert" || word == "update" || word == "delete" || word == "replace";
}

// The position just past the closing character of a quoted span that opens at
// `at`, a doubled closing character standing for itself; npos when unterminated.
size_t SkipQuoted(std::string_view sql, size_t at, char close) {
  for (size_t i = at + 1; i < sql.size(); ++i) {
    if (sql[i] != close) continue;
    if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {
      ++i;
      continue;
    }
    return i + 1;
  }
  return std::string_view::npos;
}

// The next character that may open a literal, a quoted name or a comment.
size_t NextSpecial(std::string_view sql, size_t from) {
  for (size_t i = from; i < sql.size(); ++i) {
    switch (sql[i]) {
      case '\'': case '"': case '`': case '[': case '-': case '/': return i;
      default: break;
    }
  }
  return std::string_view::npos;
}

// Whether only blanks and semicolons follow a compiled statement: one
// statement per text, anything after it is refused, never run.
bool NothingAfter(const char* tail) {
  while (tail && *tail && (std::isspace(static_cast<unsigned char>(*tail)) || *tail == ';')) ++tail;
  return !(tail && *tail);
}

// The lifted form compiled, or null when it would not behave as the text:
// it does not compile, holds more than one statement or parameters of its
// own, or names a result column after a literal (that name would be "?").
sqlite3_stmt* CompileLifted(sqlite3* handle, const LiftedStatement& lifted) {
  sqlite3_stmt* statement = nullptr;
  const char* tail = nullptr;
  bool same = sqlite3_prepare_v3(handle, lifted.text.c_str(), static_cast<int>(lifted.text.size()),
                                 SQLITE_PREPARE_PERSISTENT, &statement, &tail) == SQLITE_OK &&
              statement && NothingAfter(tail) &&
              static_cast<size_t>(sqlite3_bind_parameter_count(statement)) == lifted.literals.size();
  for (int i = 0, n = same ? sqlite3_column_count(statement) : 0; same && i < n; ++i) {
    const char* name = sqlite3_column_name(statement, i);
    same = name && !std::strchr(name, '?');
  }
  if (same) return statement;
  sqlite3_finalize(statement);
  return nullptr;
}

}  // namespace

bool LiftLiterals(std::string_view sql, LiftedStatement& lifted) {
  lifted.text.clear();
  lifted.values.clear();
  lifted.literals.clear();
  if (!IsDataStatement(sql) || sql.find('\0') != std::string_view::npos) return false;
  lifted.text.reserve(sql.size());
  lifted.values.reserve(sql.size());
  size_t copied = 0;  // sql[copied, i) is still to be copied
  for (size_t i = NextSpecial(sql, 0); i < sql.size(); i = NextSpecial(sql, i)) {
    char c = sql[i];
    size_t end = i + 1;
    if (c == '\'') {
      end = SkipQuoted(sql, i, '\'');
      if (end == std::string_view::npos) return false;
      // x'00ff' is a blob, not a text: it stays in the statement.
      bool blob = i > 0 && (sql[i - 1] == 'x' || sql[i - 1] == 'X') && (i < 2 || !IsWordChar(sql[i - 2]));
      if (!blob) {
        lifted.text.append(sql, copied, i - copied);
        lifted.text += '?';
        std::string& value = lifted.values;
        size_t offset = value.size();
        // Each doubled apostrophe inside stands for one.
        size_t k = i + 1;
        for (size_t quote = sql.find('\'', k); quote < end - 1; quote = sql.find('\'', k)) {
          value.append(sql, k, quote + 1 - k);
          k = quote + 2;
        }
        value.append(sql, k, end - 1 - k);
        lifted.literals.emplace_back(offset, value.size() - offset);
        copied = end;
      }
    } else if (c == '"' || c == '`' || c == '[') {
      end = SkipQuoted(sql, i, c == '[' ? ']' : c);
      if (end == std::string_view::npos) return false;
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      end = sql.find('\n', i);
      if (end == std::string_view::npos) end = sql.size();
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      end = sql.find("*/", i + 2);
      end = end == std::string_view::npos ? sql.size() : end + 2;
    }
    i = end;
  }
  lifted.text.append(sql, copied, std::string_view::npos);
  return true;
}

sqlite3_stmt* StatementCache::Acquire(sqlite3* handle, std::string_view sql) {
  const LiftedStatement& lifted = lifted_;
  if (!LiftLiterals(sql, lifted_)) return nullptr;
  auto found = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.text == lifted.text; });
  if (found != entries_.end()) {
    std::rotate(entries_.begin(), found, found + 1);
  } else {
    // A form is kept from its second use on: texts with numbers written in
    // (an event's time) never repeat, and keeping each would only cost.
    size_t hash = std::hash<std::string>{}(lifted.text);
    if (std::find(refused_.begin(), refused_.end(), hash) != refused_.end()) return nullptr;
    if (std::find(seen_.begin(), seen_.end(), hash) == seen_.end()) {
      seen_[seenNext_++ % seen_.size()] = hash;
      return nullptr;
    }
    sqlite3_stmt* statement = CompileLifted(handle, lifted);
    if (!statement) {
      refused_[refusedNext_++ % refused_.size()] = hash;
      return nullptr;
    }
    if (entries_.size() >= capacity_) {
      sqlite3_finalize(entries_.back().statement);
      entries_.pop_back();
    }
    entries_.insert(entries_.begin(), Entry{lifted.text, statement});
  }
  sqlite3_stmt* statement = entries_.front().statement;
  for (size_t i = 0; i < lifted.literals.size(); ++i) {
    std::string_view value = lifted.Literal(i);
    sqlite3_bind_text(statement, static_cast<int>(i + 1), value.data(), static_cast<int>(value.size()),
                      SQLITE_STATIC);
  }
  return statement;
}

void StatementCache::Release(sqlite3_stmt* statement) {
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
}

void StatementCache::Clear() {
  for (Entry& entry : entries_) sqlite3_finalize(entry.statement);
  entries_.clear();
}

ReadyStatement::ReadyStatement(sqlite3* handle, StatementCache& cache, const std::string& sql) {
  statement_ = cache.Acquire(handle, sql);
  kept_ = statement_ != nullptr;
  if (kept_) return;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(handle, sql.c_str(), static_cast<int>(sql.size()), &statement_, &tail);
  if (rc != SQLITE_OK || !statement_) {
    error_ = rc == SQLITE_OK ? "Invalid SQL statement." : sqlite3_errmsg(handle);
  } else if (!NothingAfter(tail)) {
    error_ = "Characters found after end of SQL statement.";
  }
  if (!error_.empty()) {
    sqlite3_finalize(statement_);
    statement_ = nullptr;
  }
}

ReadyStatement::~ReadyStatement() {
  if (kept_)
    StatementCache::Release(statement_);
  else
    sqlite3_finalize(statement_);
}

}  // namespace tidewell
