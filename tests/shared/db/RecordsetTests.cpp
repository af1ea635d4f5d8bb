#include "shared/db/AdoRecordset.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/db/SqlText.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

class RecordsetTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(database_.Open(folder_.ConnectionString())); }

  // The caller's pattern: reopen when closed, run, count.
  uint32_t Count(const std::string& query) {
    if (!database_.IsOpen()) database_.Open("", "", "");
    CADORecordset recordset(database_);
    recordset.Open(query);
    return recordset.RecordCount();
  }

  void Run(const std::string& statement) {
    CADORecordset recordset(database_);
    recordset.Open(statement);
    ASSERT_EQ(recordset.GetLastError(), 0u) << recordset.GetLastErrorString();
  }

  test::TestAppFolder folder_;
  CADODatabase database_;
};

TEST_F(RecordsetTest, LeadingBlanksAndCapitalsStillCountAsAQuery) {
  CADORecordset recordset(database_);
  EXPECT_TRUE(recordset.Open(" \t\r\n  SELECT * FROM bhos"));
  EXPECT_TRUE(recordset.WasQuery());
  EXPECT_EQ(recordset.GetQuery(), "SELECT * FROM bhos");
}

TEST_F(RecordsetTest, SelectFollowedByALetterIsNoQueryButRunsAlike) {
  CADORecordset recordset(database_);
  EXPECT_TRUE(recordset.Open("select* from BHOS"));
  EXPECT_FALSE(recordset.WasQuery());
  EXPECT_GT(recordset.RecordCount(), 0u);
  EXPECT_FALSE(recordset.Open("selectx from BHOS"));
  EXPECT_FALSE(recordset.WasQuery());
}

TEST_F(RecordsetTest, InsertGivesFalseAndInserts) {
  CADORecordset recordset(database_);
  EXPECT_FALSE(recordset.Open("insert into [Events](dtm,event) values(100,'Registry backup complete')"));
  EXPECT_EQ(recordset.GetLastError(), 0u);
  EXPECT_FALSE(recordset.IsOpen());
  EXPECT_EQ(Count("select * from [Events] where dtm=100"), 1u);
}

TEST_F(RecordsetTest, UpdateDeleteCreateAndDropAreCarriedOut) {
  CADORecordset recordset(database_);
  EXPECT_FALSE(recordset.Open("create table spw_repair (SPW_NAME TEXT(100),TYPE TEXT(100),ENTRY TEXT(255))"));
  EXPECT_FALSE(recordset.Open("insert into spw_repair(SPW_NAME,TYPE,ENTRY) values('a','b','c')"));
  EXPECT_FALSE(recordset.Open("update spw_repair set ENTRY='d'"));
  EXPECT_EQ(Count("select * from spw_repair where ENTRY='d'"), 1u);
  EXPECT_FALSE(recordset.Open("delete from spw_repair"));
  EXPECT_EQ(Count("select * from spw_repair"), 0u);
  EXPECT_FALSE(recordset.Open("drop table spw_repair"));
  EXPECT_EQ(recordset.GetLastError(), 0u);
  EXPECT_FALSE(recordset.Open("select * from spw_repair"));
  EXPECT_NE(recordset.GetLastError(), 0u);
}

TEST_F(RecordsetTest, FailedStatementFillsTheErrorRecord) {
  CADORecordset recordset(database_);
  EXPECT_FALSE(recordset.Open("select * from nosuchtable"));
  EXPECT_EQ(recordset.GetLastError(), kErrorInCommand);
  EXPECT_EQ(recordset.GetLastErrorString(),
            "Query = select * from nosuchtable\nCADORecordset Error\n\tCode = 80040e14\n\tCode meaning = IDispatch "
            "error #3092\n\tSource = SQLite\n\tDescription = no such table: nosuchtable\n");
  EXPECT_EQ(recordset.RecordCount(), 0u);
  EXPECT_TRUE(recordset.IsEOF());
}

TEST_F(RecordsetTest, ASecondStatementInOneTextIsRefusedAndNotRun) {
  CADORecordset recordset(database_);
  EXPECT_FALSE(recordset.Open("delete from processes; drop table processes"));
  EXPECT_EQ(recordset.GetLastError(), kErrorInCommand);
  EXPECT_GT(Count("select * from processes"), 0u);
}

TEST_F(RecordsetTest, ApostrophesInValuesKeepTheRow) {
  std::string event = "BHO \"Bob's helper\" uninstalled";
  CADORecordset recordset(database_);
  recordset.Open(FormatSql("insert into [Events](dtm,event) values(%d,'%s')", 7, event));
  ASSERT_EQ(recordset.GetLastError(), 0u) << recordset.GetLastErrorString();
  ASSERT_TRUE(recordset.Open(FormatSql("select * from [Events] where event='%s'", event)));
  ASSERT_EQ(recordset.RecordCount(), 1u);
  std::string text;
  EXPECT_TRUE(recordset.GetField("event", text));
  EXPECT_EQ(text, event);
}

TEST_F(RecordsetTest, NamesAndTextValuesCompareWithoutRegardToCase) {
  Run("insert into BHOS(clsid,risk,files,name,modified,comments) values('{ABCDEF00-0000-0000-0000-0000000000AA}','high','x.dll','X',1,'')");
  EXPECT_EQ(Count("select * from bhos where clsid='{abcdef00-0000-0000-0000-0000000000aa}'"), 1u);
  EXPECT_EQ(Count("select * from BHOS where CLSID='{ABCDEF00-0000-0000-0000-0000000000AA}' and modified=1"), 1u);
  CADORecordset recordset(database_);
  ASSERT_TRUE(recordset.Open("select * from BHOS where Clsid='{ABCDEF00-0000-0000-0000-0000000000AA}'"));
  std::string risk;
  EXPECT_TRUE(recordset.GetField("RISK", risk));
  EXPECT_EQ(risk, "high");
}

TEST_F(RecordsetTest, ConvertsEveryColumnType) {
  Run("create table kinds (t TEXT(50), i INTEGER, s SINGLE, d DOUBLE, m DECIMAL(10,2), dt DATETIME, b YESNO, "
      "sh SMALLINT, n TEXT(10), blobby BLOB)");
  Run("insert into kinds values('it''s', -42, 0.1, 0.1, -12.34, '2004-05-17 13:05:09', 1, 7, NULL, x'00ff')");
  Run("insert into kinds values('', 2147483647, 1.5, 1e300, 0, 0, 0, -3, NULL, NULL)");
  CADORecordset recordset(database_);
  ASSERT_TRUE(recordset.Open("select * from kinds"));
  ASSERT_EQ(recordset.RecordCount(), 2u);
  std::string text = "unchanged";
  auto field = [&](const char* name, const std::string& format = {}) {
    text = "unchanged";
    EXPECT_TRUE(recordset.GetField(name, text, format)) << name;
    return text;
  };
  EXPECT_EQ(field("t"), "it's");
  EXPECT_EQ(field("i"), "-42");
  EXPECT_EQ(field("s"), "0.1000000015");  // the 4-byte float nearest 0.1, 10 digits
  EXPECT_EQ(field("d"), "0.10000000000000000555");
  EXPECT_EQ(field("m"), "-12.339999999999999858");
  EXPECT_EQ(field("dt"), "2004-05-17 13:05:09");
  EXPECT_EQ(field("dt", "%m/%d/%Y"), "05/17/2004");
  EXPECT_EQ(field("b"), "T");
  EXPECT_EQ(field("sh"), "7");
  EXPECT_EQ(field("n"), "");
  text = "unchanged";
  EXPECT_FALSE(recordset.GetField("blobby", text));  // a type with no text form
  int number = -1;
  EXPECT_TRUE(recordset.GetFieldInt("n", number));
  EXPECT_EQ(number, 0);
  EXPECT_TRUE(recordset.GetFieldInt("i", number));
  EXPECT_EQ(number, -42);

  recordset.MoveNext();
  ASSERT_FALSE(recordset.IsEOF());
  EXPECT_EQ(field("t"), "");
  EXPECT_EQ(field("i"), "2147483647");
  EXPECT_EQ(field("s"), "1.5");
  EXPECT_EQ(field("d"), "1.0000000000000000525e+300");
  EXPECT_EQ(field("m"), "0");
  EXPECT_EQ(field("dt"), "1970-01-01 00:00:00");
  EXPECT_EQ(field("b"), "F");
  EXPECT_EQ(field("sh"), "-3");
  EXPECT_EQ(field("blobby"), "");  // null, whatever the type
  long wide = -1;
  EXPECT_TRUE(recordset.GetFieldInt("blobby", wide));
  EXPECT_EQ(wide, 0);
  recordset.MoveNext();
  EXPECT_TRUE(recordset.IsEOF());
}

TEST_F(RecordsetTest, UnknownFieldAndReadingPastTheEndFailAndLeaveTheText) {
  CADORecordset recordset(database_);
  ASSERT_TRUE(recordset.Open("select * from BHOS"));
  std::string text = "unchanged";
  EXPECT_FALSE(recordset.GetField("nosuchfield", text));
  EXPECT_EQ(text, "unchanged");
  EXPECT_EQ(recordset.GetLastError(), kErrorItemNotFound);
  EXPECT_EQ(recordset.GetLastErrorString().rfind("Query = select * from BHOS\nCADORecordset Error\n", 0), 0u);
  ASSERT_TRUE(recordset.Open("select * from BHOS where clsid='none'"));
  EXPECT_EQ(recordset.RecordCount(), 0u);
  EXPECT_TRUE(recordset.IsEOF());
  EXPECT_FALSE(recordset.GetField("name", text));
  EXPECT_EQ(text, "unchanged");
  int number = 5;
  EXPECT_FALSE(recordset.GetFieldInt("modified", number));
  EXPECT_EQ(number, 5);
}

TEST_F(RecordsetTest, WalksAllRowsAndStartsAgainWithMoveFirst) {
  for (int i = 1; i <= 3; ++i) Run(FormatSql("insert into regbk(dattm,file,comment) values(%d,'%s','%s')", 50, "f", "c"));
  CADORecordset recordset(database_);
  ASSERT_TRUE(recordset.Open("select * from regbk where dattm=50"));
  EXPECT_EQ(recordset.RecordCount(), 3u);
  int walked = 0;
  for (recordset.MoveFirst(); !recordset.IsEOF(); recordset.MoveNext()) ++walked;
  EXPECT_EQ(walked, 3);
  recordset.MoveNext();  // past the end stays at the end
  EXPECT_TRUE(recordset.IsEOF());
  recordset.MoveFirst();
  EXPECT_FALSE(recordset.IsEOF());
}

TEST_F(RecordsetTest, ProblemsGetAnAutoNumberAndStateZero) {
  for (int i = 0; i < 2; ++i)
    Run(FormatSql("insert into problems(ptype,rootkey,subkey,problem) values('%s','%s','%s','%s')", "RCC",
                  "HKEY_CLASSES_ROOT", "CLSID\\{x}", "Missing file"));
  CADORecordset recordset(database_);
  ASSERT_TRUE(recordset.Open("select * from problems where ptype='RCC' and state=0"));
  ASSERT_EQ(recordset.RecordCount(), 2u);
  int first = 0, second = 0, state = -1;
  recordset.GetFieldInt("ID", first);
  recordset.GetFieldInt("state", state);
  recordset.MoveNext();
  recordset.GetFieldInt("ID", second);
  EXPECT_GT(first, 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(state, 0);
}

TEST_F(RecordsetTest, ClosedConnectionFailsUntilReopened) {
  database_.Close();
  CADORecordset recordset(database_);
  EXPECT_FALSE(recordset.Open("select * from BHOS"));
  EXPECT_EQ(recordset.GetLastError(), kErrorObjectClosed);
  EXPECT_FALSE(recordset.IsOpen());
  EXPECT_GT(Count("select * from BHOS"), 0u);  // the caller's reopen pattern
}

TEST_F(RecordsetTest, StoredProcedureModeIsRefusedAndUnknownModesFail) {
  CADORecordset recordset(database_);
  EXPECT_FALSE(recordset.Open("anything", CADORecordset::openStoredProc));
  EXPECT_EQ(recordset.GetLastError(), kErrorNotSupported);
  EXPECT_FALSE(recordset.Open("select * from BHOS", 9));
  EXPECT_TRUE(recordset.Open("BHOS", CADORecordset::openTable));
  EXPECT_GT(recordset.RecordCount(), 0u);
}

TEST_F(RecordsetTest, ThreadsSharingTheConnectionLoseNoRow) {
  constexpr int kThreads = 4, kRows = 100;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < kRows; ++i) {
        CADORecordset recordset(database_);
        recordset.Open(FormatSql("insert into [Events](dtm,event) values(%d,'%s')", 1000 + t, "worker's row"));
        CADORecordset reader(database_);
        reader.Open("select * from [Events] where dtm=1000");
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(Count("select * from [Events] where dtm>=1000 and dtm<1004"), uint32_t{kThreads * kRows});
}

}  // namespace
}  // namespace tidewell
