#include "shared/db/AdoRecordset.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "shared/db/AdoDatabase.h"
#include "shared/text/Text.h"

namespace tidewell {

namespace {

using Kind = CADORecordset::Kind;

bool Has(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }

// Jet type names, so the schema reads as it would in Access: SINGLE/REAL are
// 4-byte floats, FLOAT/DOUBLE 8-byte, YESNO/BIT booleans.
Kind KindOfDeclaredType(const char* declared, int& scale) {
  scale = 0;
  if (!declared || !*declared) return Kind::Other;
  std::string type = UpperAscii(declared);
  if (Has(type, "BOOL") || Has(type, "YESNO") || Has(type, "BIT") || Has(type, "LOGICAL")) return Kind::Boolean;
  if (Has(type, "DATE") || Has(type, "TIME")) return Kind::Date;
  if (Has(type, "DEC") || Has(type, "NUMERIC") || Has(type, "CURRENCY") || Has(type, "MONEY")) {
    size_t comma = type.find(',');
    if (comma != std::string::npos) scale = std::clamp(std::atoi(type.c_str() + comma + 1), 0, 28);
    return Kind::Decimal;
  }
  if (Has(type, "INT") || Has(type, "LONG") || Has(type, "COUNTER") || Has(type, "AUTOINCREMENT") ||
      Has(type, "BYTE") || Has(type, "SHORT"))
    return Kind::Integer;
  if (Has(type, "SINGLE") || Has(type, "FLOAT4") || type == "REAL") return Kind::Single;
  if (Has(type, "FLOAT") || Has(type, "DOUBLE")) return Kind::Double;
  if (Has(type, "CHAR") || Has(type, "TEXT") || Has(type, "MEMO") || Has(type, "CLOB") || Has(type, "STRING"))
    return Kind::Text;
  return Kind::Other;
}

Kind KindOfStorage(int type) {
  switch (type) {
    case SQLITE_INTEGER: return Kind::Integer;
    case SQLITE_FLOAT: return Kind::Double;
    case SQLITE_TEXT: return Kind::Text;
    case SQLITE_NULL: return Kind::Null;
    default: return Kind::Other;
  }
}

std::string FormatNumber(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// A date is stored either as text ("2004-05-17 13:05:09", or the date alone)
// or as seconds since 1970.
bool ToCalendar(const CADORecordset::Value& value, std::tm& calendar) {
  calendar = {};
  if (value.kind == Kind::Text || !value.text.empty()) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int parsed = std::sscanf(value.text.c_str(), "%d-%d-%d%*[ T]%d:%d:%d", &year, &month, &day, &hour, &minute,
                             &second);
    if (parsed >= 3) {
      calendar.tm_year = year - 1900;
      calendar.tm_mon = month - 1;
      calendar.tm_mday = day;
      calendar.tm_hour = hour;
      calendar.tm_min = minute;
      calendar.tm_sec = second;
      return true;
    }
  }
  int64_t days = value.integer / 86400, rest = value.integer % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // Civil date from days since 1970-01-01, independent of the C library's range.
  int64_t z = days + 719468, era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097, yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
  int64_t day = doy - (153 * mp + 2) / 5 + 1, month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yoe + era * 400 + (month <= 2);
  calendar.tm_year = static_cast<int>(year - 1900);
  calendar.tm_mon = static_cast<int>(month - 1);
  calendar.tm_mday = static_cast<int>(day);
  calendar.tm_hour = static_cast<int>(rest / 3600);
  calendar.tm_min = static_cast<int>(rest / 60 % 60);
  calendar.tm_sec = static_cast<int>(rest % 60);
  return true;
}

}  // namespace

bool CADORecordset::Fail(uint32_t code, const std::string& description) {
  lastError_ = MakeErrorRecord("Query = ", query_, "CADORecordset", code, description);
  return false;
}

bool CADORecordset::Open(const std::string& statement, int mode) {
  Close();
  if (!statement.empty()) query_ = statement;
  size_t start = 0;
  while (start < query_.size() && std::isspace(static_cast<unsigned char>(query_[start]))) ++start;
  query_.erase(0, start);
  wasQuery_ = mode == openUnknown && query_.size() >= 7 && EqualsNoCase(std::string_view(query_).substr(0, 7), "select ");

  switch (mode) {
    case openUnknown:
    case openQuery: return Execute(query_);
    case openTable: return Execute("select * from [" + query_ + "]");
    case openStoredProc: return Fail(kErrorNotSupported, "Stored procedures are not supported by this database.");
    default: return false;
  }
}

bool CADORecordset::Execute(const std::string& sql) {
  std::lock_guard lock(database_->mutex_);
  sqlite3* handle = database_->handle_;
  if (!handle) return Fail(kErrorObjectClosed, "Operation is not allowed when the object is closed.");

  // Data statements run from the connection's kept compiled forms.
  ReadyStatement ready(handle, database_->statements_, sql);
  sqlite3_stmt* statement = ready.Get();
  if (!statement) return Fail(kErrorInCommand, ready.Error());

  // Columns are read after the first step: a kept statement is compiled anew
  // there when the schema changed since.
  int rc = sqlite3_step(statement);
  int columnCount = sqlite3_column_count(statement);
  columns_.resize(columnCount);
  for (int i = 0; i < columnCount; ++i) {
    const char* name = sqlite3_column_name(statement, i);
    columns_[i].name = name ? name : "";
    columns_[i].declared = KindOfDeclaredType(sqlite3_column_decltype(statement, i), columns_[i].scale);
  }
  for (; rc == SQLITE_ROW; rc = sqlite3_step(statement)) {
    std::vector<Value>& row = rows_.emplace_back(columnCount);
    for (int i = 0; i < columnCount; ++i) {
      Value& value = row[i];
      int storage = sqlite3_column_type(statement, i);
      if (storage == SQLITE_NULL) continue;
      value.kind = columns_[i].declared != Kind::Other ? columns_[i].declared : KindOfStorage(storage);
      value.integer = sqlite3_column_int64(statement, i);
      value.real = sqlite3_column_double(statement, i);
      if (storage == SQLITE_TEXT) {
        const unsigned char* text = sqlite3_column_text(statement, i);
        value.text.assign(reinterpret_cast<const char*>(text), sqlite3_column_bytes(statement, i));
      }
      if (value.kind == Kind::Text && storage != SQLITE_TEXT && storage != SQLITE_BLOB)
        value.text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
    }
  }
  if (rc != SQLITE_DONE) {
    uint32_t code = sqlite3_errcode(handle) == SQLITE_ERROR ? kErrorInCommand : kErrorUnspecified;
    std::string description = sqlite3_errmsg(handle);
    columns_.clear();
    rows_.clear();
    return Fail(code, description);
  }
  position_ = 0;
  open_ = columnCount > 0;
  if (!open_) columns_.clear();
  return open_;
}

bool CADORecordset::IsOpen() const { return open_ && database_->IsOpen(); }

void CADORecordset::Close() {
  open_ = false;
  columns_.clear();
  rows_.clear();
  position_ = 0;
}

uint32_t CADORecordset::RecordCount() const { return open_ ? static_cast<uint32_t>(rows_.size()) : 0; }

void CADORecordset::MoveFirst() { position_ = 0; }

void CADORecordset::MoveNext() {
  if (position_ < rows_.size()) ++position_;
}

bool CADORecordset::IsEOF() const { return !open_ || position_ >= rows_.size(); }

const CADORecordset::Value* CADORecordset::FindValue(const std::string& name, size_t* columnIndex) {
  if (!open_) {
    Fail(kErrorObjectClosed, "Operation is not allowed when the object is closed.");
    return nullptr;
  }
  auto column = std::find_if(columns_.begin(), columns_.end(),
                             [&](const Column& c) { return EqualsNoCase(c.name, name); });
  if (column == columns_.end()) {
    Fail(kErrorItemNotFound, "Item cannot be found in the collection corresponding to the requested name or ordinal.");
    return nullptr;
  }
  if (position_ >= rows_.size()) {
    Fail(kErrorNoCurrentRecord,
         "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current "
         "record.");
    return nullptr;
  }
  size_t index = static_cast<size_t>(column - columns_.begin());
  if (columnIndex) *columnIndex = index;
  return &rows_[position_][index];
}

bool CADORecordset::GetField(const std::string& name, std::string& text, const std::string& dateFormat) {
  size_t column = 0;
  const Value* value = FindValue(name, &column);
  if (!value) return false;
  switch (value->kind) {
    case Kind::Null: text.clear(); return true;
    case Kind::Text: text = value->text; return true;
    case Kind::Integer: text = std::to_string(value->integer); return true;
    case Kind::Single: text = FormatNumber("%.10g", static_cast<float>(value->real)); return true;
    case Kind::Double: text = FormatNumber("%.20g", value->real); return true;
    case Kind::Decimal: {
      int scale = columns_[column].scale;
      double factor = std::pow(10.0, scale);
      double scaled = std::round(value->real * factor);
      // The scaled magnitude keeps its low 32 bits, as the provider's DECIMAL does.
      uint32_t magnitude = static_cast<uint32_t>(static_cast<uint64_t>(std::fabs(scaled)));
      double result = (scaled < 0 ? -static_cast<double>(magnitude) : static_cast<double>(magnitude)) / factor;
      text = FormatNumber("%.20g", result);
      return true;
    }
    case Kind::Date: {
      std::tm calendar;
      if (!ToCalendar(*value, calendar)) return false;
      char buffer[256];
      size_t length = std::strftime(buffer, sizeof buffer,
                                    dateFormat.empty() ? "%Y-%m-%d %H:%M:%S" : dateFormat.c_str(), &calendar);
      text.assign(buffer, length);
      return true;
    }
    case Kind::Boolean: text.assign(1, value->integer != 0 ? 'T' : 'F'); return true;
    case Kind::Other: text.clear(); return false;
  }
  return false;
}

bool CADORecordset::GetFieldInt(const std::string& name, int& number) {
  const Value* value = FindValue(name);
  if (!value) return false;
  number = value->kind == Kind::Null ? 0 : static_cast<int>(static_cast<int32_t>(value->integer));
  return true;
}

bool CADORecordset::GetFieldInt(const std::string& name, long& number) {
  int value32 = 0;
  if (!GetFieldInt(name, value32)) return false;
  number = value32;
  return true;
}

}  // namespace tidewell
