// The content the programs ship with: the definitions and program descriptions
// a user sees before any update.

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "shared/db/AdoDatabase.h"
#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

class DeliveredDatabase : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(database_.Open(folder_.ConnectionString())); }
  test::TestAppFolder folder_;
  CADODatabase database_;
};

TEST_F(DeliveredDatabase, HoldsWellFormedBhoDefinitions) {
  CADORecordset recordset(database_);
  ASSERT_TRUE(recordset.Open("select * from BHOS"));
  EXPECT_GE(recordset.RecordCount(), 40u);
  const std::regex classId("\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}");
  const std::set<std::string> risks{"none", "medium", "high"};
  for (recordset.MoveFirst(); !recordset.IsEOF(); recordset.MoveNext()) {
    std::string clsid, name, risk, files, comments;
    int modified = -1;
    ASSERT_TRUE(recordset.GetField("clsid", clsid));
    recordset.GetField("name", name);
    recordset.GetField("risk", risk);
    recordset.GetField("files", files);
    recordset.GetField("comments", comments);
    recordset.GetFieldInt("modified", modified);
    EXPECT_TRUE(std::regex_match(clsid, classId)) << clsid;
    EXPECT_FALSE(name.empty()) << clsid;
    EXPECT_TRUE(risks.count(risk)) << clsid << " " << risk;
    EXPECT_FALSE(files.empty()) << clsid;
    EXPECT_FALSE(comments.empty()) << clsid;
    EXPECT_LE(name.size() + files.size(), 510u) << clsid;
    EXPECT_EQ(modified, 0) << clsid;  // neither edited here nor submitted
  }
}

TEST_F(DeliveredDatabase, DescribesCommonStartupPrograms) {
  CADORecordset recordset(database_);
  ASSERT_TRUE(recordset.Open("select * from processes"));
  EXPECT_GE(recordset.RecordCount(), 150u);
  // Names match without regard to case, as Run-key commands spell them either way.
  ASSERT_TRUE(recordset.Open(
      FormatSql("select * from processes where pname='%s' or paltname='%s'", "CTFMON.EXE", "CTFMON.EXE")));
  ASSERT_EQ(recordset.RecordCount(), 1u);
  std::string description;
  EXPECT_TRUE(recordset.GetField("description", description));
  EXPECT_FALSE(description.empty());
}

TEST_F(DeliveredDatabase, StartsWithEmptyWorkingTables) {
  for (const char* table : {"Events", "regbk", "problems", "spwscan"}) {
    CADORecordset recordset(database_);
    ASSERT_TRUE(recordset.Open(std::string("select * from ") + table)) << table;
    EXPECT_EQ(recordset.RecordCount(), 0u) << table;
  }
  CADORecordset recordset(database_);
  EXPECT_FALSE(recordset.Open("select * from spw_repair"));
}

}  // namespace
}  // namespace tidewell
