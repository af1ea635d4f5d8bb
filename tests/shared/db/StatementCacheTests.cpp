#include <gtest/gtest.h>
#include <sqlite3.h>

#include "shared/db/AdoDatabase.h"
#include "shared/db/AdoRecordset.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

// The layer runs data statements from kept compiled forms with their literals
// bound; whatever it does, it must answer what SQLite answers for the text
// compiled as it stands, on a second connection to the same file.
class KeptStatementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open_v2(folder_.DatabaseFile().c_str(), &raw_, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw_, "create table words(w TEXT, n INTEGER); insert into words values('it''s', 2), "
                                 "('x', 3)", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_TRUE(database_.Open(folder_.ConnectionString()));
  }
  void TearDown() override { sqlite3_close(raw_); }

  // "name=value;" per field, one line per row, or the error's description;
  // the layer's fields are read by the names SQLite gives.
  std::string Raw(const std::string& sql, std::vector<std::string>& names, bool* failed = nullptr) {
    sqlite3_stmt* statement = nullptr;
    bool prepared = sqlite3_prepare_v2(raw_, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK;
    if (failed) *failed = !prepared;
    if (!prepared) return sqlite3_errmsg(raw_);
    std::string rows;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) names.push_back(sqlite3_column_name(statement, i));
    while (sqlite3_step(statement) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        const unsigned char* text = sqlite3_column_text(statement, i);
        rows += names[i] + "=" + (text ? reinterpret_cast<const char*>(text) : "") + ";";
      }
      rows += "\n";
    }
    sqlite3_finalize(statement);
    return rows;
  }
  std::string Layer(const std::string& sql, const std::vector<std::string>& names) {
    CADORecordset recordset(database_);
    recordset.Open(sql);
    if (recordset.GetLastError()) return recordset.GetLastErrorDescription();
    std::string rows;
    for (; !recordset.IsEOF(); recordset.MoveNext()) {
      for (const std::string& name : names) {
        std::string value = "(no such field)";
        recordset.GetField(name, value);
        rows += name + "=" + value + ";";
      }
      rows += "\n";
    }
    return rows;
  }

  test::TestAppFolder folder_;
  sqlite3* raw_ = nullptr;
  CADODatabase database_;
};

TEST_F(KeptStatementTest, AnswersAsTheTextCompiledAsItStands) {
  const char* statements[] = {
      "select * from words where w='it''s'",
      "select * from words where w='none'",
      "select w, n from words where n='2'",  // a text compared with a number column
      "select 'it''s' as v, '' as e, '''' as q",
      "select 'a' || w from words",  // a column named after its literal
      "select 'x'",
      "select 'a--b' as v, '/*' as c -- it's\n",
      "select /* it's */ 'b' as [it's], 'c' as \"a'b\", `d'` from words where w='x'",
      "select typeof(x'41') as blob, typeof('41') as text",
      "select w from words where w like 'I%'",
      "select 'p' as v where ? is null",  // a parameter of its own
      "select w 'alias' from words",      // a literal standing for a name
      "select * from nosuchtable where w='x'",
      "select 'a' frm words",
      "select 'unterminated",
  };
  for (const char* sql : statements) {
    SCOPED_TRACE(sql);
    std::vector<std::string> names;
    bool failed = false;
    std::string expected = Raw(sql, names, &failed);
    for (int use = 0; use < 3; ++use) EXPECT_EQ(Layer(sql, names), expected) << "use " << use;
    EXPECT_EQ(database_.HasRows(sql), failed ? std::nullopt : std::optional<bool>(!expected.empty()));
  }
}

TEST_F(KeptStatementTest, WritesTheLiteralsValues) {
  for (const char* sql : {"insert into words(w,n) values('?''s -- /* [x]', 7)", "insert into words(w,n) values('', 8)",
                          "update words set w=w || '''' where n=8"}) {
    CADORecordset recordset(database_);
    recordset.Open(sql);
    EXPECT_EQ(recordset.GetLastError(), 0u) << sql;
  }
  std::vector<std::string> names;
  EXPECT_EQ(Raw("select w from words where n>=7 order by n", names), "w=?'s -- /* [x];\nw=';\n");
}

// A kept "select *" must not answer with the columns it had before the table
// changed, and must not hold the table against being dropped.
TEST_F(KeptStatementTest, FollowsTheTableThroughChanges) {
  std::vector<std::string> names{"w", "extra"};
  for (int use = 0; use < 2; ++use)  // kept from the second use on
    EXPECT_EQ(Layer("select * from words where w='x'", names), "w=x;extra=(no such field);\n");
  CADORecordset recordset(database_);
  recordset.Open("alter table words add column extra TEXT default 'e'");
  EXPECT_EQ(Layer("select * from words where w='x'", names), "w=x;extra=e;\n");
  recordset.Open("drop table words");
  EXPECT_EQ(recordset.GetLastError(), 0u) << recordset.GetLastErrorString();
  EXPECT_EQ(Layer("select * from words where w='x'", names), "no such table: words");
}

}  // namespace
}  // namespace tidewell
