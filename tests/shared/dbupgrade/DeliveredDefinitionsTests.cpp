// The definitions an installer delivers beside a kept database.

#include "shared/dbupgrade/DeliveredDefinitions.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>

#include "shared/db/AdoRecordset.h"
#include "shared/db/ConnectionString.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/ErrorLogWatch.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

namespace fs = std::filesystem;

void RunStatement(CADODatabase& database, const std::string& statement) {
  CADORecordset recordset(database);
  recordset.Open(statement);
  ASSERT_EQ(recordset.GetLastError(), 0u) << statement << ": " << recordset.GetLastErrorDescription();
}

constexpr const char* kMissingBho = "{7E1D0000-0000-4000-8000-000000000001}";
constexpr const char* kEditedBho = "{7E1D0000-0000-4000-8000-000000000002}";
constexpr const char* kUsersBho = "{7E1D0000-0000-4000-8000-000000000003}";

// A kept database and, beside it, the delivered one: the delivered content
// plus two BHOs of its own. The kept file lacks one of them and one startup
// program, holds the other as the user edited it (its class ID in lower
// case), a program description the user changed, a BHO of the user's, and an event.
class DeliveredBesideKept : public ::testing::Test {
 protected:
  void SetUp() override {
    {
      CADODatabase delivered;
      fs::copy_file(fs::path(folder_.DatabaseFile()), fs::path(DeliveredFile()));
      ASSERT_TRUE(delivered.Open(BuildConnectionString(DeliveredFile())));
      for (const char* clsid : {kMissingBho, kEditedBho})
        RunStatement(delivered, std::string("insert into BHOS(clsid,name,risk,files,comments,modified) values('") + clsid +
                           "','Delivered helper','high','helper.dll','As delivered',0)");
    }
    ASSERT_TRUE(kept_.Open(folder_.ConnectionString()));
    RunStatement(kept_, std::string("insert into BHOS(clsid,name,risk,modified) values('") + kUsersBho + "','Mine','none',0)");
    RunStatement(kept_, "insert into BHOS(clsid,name,risk,files,comments,modified) values('{7e1d0000-0000-4000-8000-000000000002}',"
               "'Edited by the user','none','helper.dll','Mine now',1)");
    RunStatement(kept_, "delete from processes where pname='explorer.exe'");
    RunStatement(kept_, "update processes set description='Told by the user' where pname='svchost.exe'");
    RunStatement(kept_, "insert into Events(dtm,event) values(1700000000,'Kept event')");
  }
  std::string DeliveredFile() const { return folder_.File(kDeliveredDatabaseFileName); }
  int Count(const std::string& statement) { return test::CountRows(kept_, statement); }

  test::TestAppFolder folder_;
  CADODatabase kept_;
};

TEST_F(DeliveredBesideKept, AddsWhatTheKeptFileLacksKeepsEveryRowItHasAndThenDeletesTheDeliveredFile) {
  int bhosBefore = Count("select * from BHOS");
  int processesBefore = Count("select * from processes");
  DeliveredOutcome outcome = MergeDeliveredDefinitions(kept_, DeliveredFile());
  EXPECT_EQ(outcome.result, DeliveredMerge::Merged) << outcome.problem;
  EXPECT_EQ(outcome.problem, "");
  EXPECT_FALSE(test::PathExists(DeliveredFile()));
  const struct {
    const char* rule;
    std::string statement;
    int rows;
  } expectations[] = {
      {"a missing BHO comes as delivered",
       std::string("select * from BHOS where clsid='") + kMissingBho +
           "' and name='Delivered helper' and risk='high' and modified=0",
       1},
      {"an edited BHO stays as edited, known by its class ID in any case",
       std::string("select * from BHOS where clsid='") + kEditedBho + "'", 1},
      {"", "select * from BHOS where name='Edited by the user' and modified=1", 1},
      {"the user's own BHO stays", std::string("select * from BHOS where clsid='") + kUsersBho + "'", 1},
      {"a missing startup program comes with its missing value still missing",
       "select * from processes where pname='explorer.exe' and paltname is null", 1},
      {"a changed description stays", "select * from processes where description='Told by the user'", 1},
      {"each program once", "select * from processes where pname='svchost.exe'", 1},
      {"events stay", "select * from Events where event='Kept event'", 1},
      {"nothing else added", "select * from BHOS", bhosBefore + 1},
      {"", "select * from processes", processesBefore + 1},
  };
  for (const auto& e : expectations) EXPECT_EQ(Count(e.statement), e.rows) << e.rule << ": " << e.statement;
}

TEST_F(DeliveredBesideKept, WithoutADeliveredFileNothingHappens) {
  fs::remove(fs::path(DeliveredFile()));
  EXPECT_EQ(MergeDeliveredDefinitions(kept_, DeliveredFile()).result, DeliveredMerge::Absent);
  EXPECT_EQ(Count(std::string("select * from BHOS where clsid='") + kMissingBho + "'"), 0);
}

TEST_F(DeliveredBesideKept, ADeliveredFileThatCannotBeMergedStaysAndTheKeptFileIsAsItWas) {
  const struct {
    const char* name;
    std::function<void(const std::string& delivered, CADODatabase& kept)> spoil;
  } cases[] = {
      {"not a database",
       [](const std::string& path, CADODatabase&) {
         std::ofstream(path, std::ios::binary | std::ios::trunc) << "not a database";
       }},
      {"a database with another password",
       [](const std::string& path, CADODatabase&) {
         CADODatabase delivered;
         ASSERT_TRUE(delivered.Open(BuildConnectionString(path)));
         RunStatement(delivered, "update dbpassword set password='other'");
       }},
      // The BHOs go in first: the failure of a later row must take them out again.
      {"a kept file that refuses a startup program",
       [](const std::string&, CADODatabase& kept) {
         RunStatement(kept, "delete from processes where pname='svchost.exe'");
         RunStatement(kept, "create trigger Refuse before insert on processes begin select raise(abort, 'refused'); end");
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // The delivered file is a copy of the kept one, which then loses the user's BHO.
    RunStatement(kept_, std::string("insert or ignore into BHOS(clsid,name,risk,modified) values('") + kUsersBho +
                   "','Mine','none',0)");
    fs::remove(fs::path(DeliveredFile()));
    fs::copy_file(fs::path(folder_.DatabaseFile()), fs::path(DeliveredFile()));
    c.spoil(DeliveredFile(), kept_);
    std::string deliveredBytes = test::ReadWholeFile(DeliveredFile());
    RunStatement(kept_, std::string("delete from BHOS where clsid='") + kUsersBho + "'");
    int bhos = Count("select * from BHOS"), processes = Count("select * from processes");
    test::ErrorLogWatch log;
    BringDatabaseUpToDate(kept_, folder_.DatabaseFile());
    EXPECT_NE(log.Added().find(DeliveredFile()), std::string::npos) << log.Added();
    EXPECT_EQ(test::ReadWholeFile(DeliveredFile()), deliveredBytes);
    EXPECT_EQ(Count("select * from BHOS"), bhos);
    EXPECT_EQ(Count("select * from processes"), processes);
    EXPECT_EQ(Count("select * from Events where event='Kept event'"), 1);
  }
}

}  // namespace
}  // namespace tidewell
