#pragma once
// One statement and the rows it returned. Rows are read in full when the
// statement runs (a static client-side cursor), so walking them never holds
// the shared connection.

#include <cstdint>
#include <string>
#include <vector>

#include "shared/db/AdoError.h"

namespace tidewell {

class CADODatabase;

class CADORecordset {
 public:
  enum OpenMode { openUnknown = 0, openQuery = 1, openTable = 2, openStoredProc = 3 };

  explicit CADORecordset(CADODatabase& database) : database_(&database) {}
  ~CADORecordset() { Close(); }
  CADORecordset(const CADORecordset&) = delete;
  CADORecordset& operator=(const CADORecordset&) = delete;

  // True only when the statement returned a result set: every INSERT, UPDATE,
  // DELETE, CREATE and DROP gives false once carried out.
  bool Open(const std::string& statement, int mode = openUnknown);
  bool IsOpen() const;
  void Close();

  uint32_t RecordCount() const;
  bool GetField(const std::string& name, std::string& value, const std::string& dateFormat = {});
  bool GetFieldInt(const std::string& name, int& value);
  bool GetFieldInt(const std::string& name, long& value);
  void MoveFirst();
  void MoveNext();
  bool IsEOF() const;

  const std::string& GetQuery() const { return query_; }
  // Whether the last Open took the statement for a SELECT (leading blanks ignored).
  bool WasQuery() const { return wasQuery_; }
  const std::string& GetLastErrorString() const { return lastError_.text; }
  const std::string& GetLastErrorDescription() const { return lastError_.description; }
  uint32_t GetLastError() const { return lastError_.code; }

  enum class Kind { Null, Text, Integer, Single, Double, Decimal, Date, Boolean, Other };
  struct Value {
    Kind kind = Kind::Null;
    int64_t integer = 0;
    double real = 0;
    std::string text;
  };
  struct Column {
    std::string name;
    Kind declared = Kind::Other;  // from the column's declared type; Other = none declared
    int scale = 0;                // decimal places of a DECIMAL(p,s) column
  };

 private:
  bool Fail(uint32_t code, const std::string& description);
  bool Execute(const std::string& sql);
  const Value* FindValue(const std::string& name, size_t* columnIndex = nullptr);

  CADODatabase* database_;
  std::string query_;
  bool open_ = false;
  bool wasQuery_ = false;
  std::vector<Column> columns_;
  std::vector<std::vector<Value>> rows_;
  size_t position_ = 0;
  AdoErrorRecord lastError_;
};

}  // namespace tidewell
