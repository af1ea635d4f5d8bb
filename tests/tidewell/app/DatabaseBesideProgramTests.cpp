#include "tidewell/app/DatabaseBesideProgram.h"

#include <gtest/gtest.h>

#include "shared/db/AdoRecordset.h"
#include "shared/dbupgrade/SchemaVersion.h"
#include "shared/win/Profile.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

TEST(DatabaseBesideProgram, OpensTheDatabaseBesideTheProgramAndRecordsItsPath) {
  test::TestAppFolder folder;
  WriteProfileValue("AppPath", "before");
  CADODatabase database;
  auto connection = OpenDatabaseBesideProgram(database, folder.File("Tidewell.exe"), nullptr);
  ASSERT_TRUE(connection);
  EXPECT_TRUE(database.IsOpen());
  std::string folderText = folder.Text();  // ends in one backslash
  EXPECT_EQ(ReadProfileValue("AppPath"), folderText + "\\bhodb.mdb");
  EXPECT_TRUE(connection->ends_with("Data Source=" + folderText + "bhodb.mdb")) << *connection;
  EXPECT_EQ(database.GetConnectionString(), *connection);
}

TEST(DatabaseBesideProgram, MissingDatabaseShowsOnlyTheConnectionStringAndWritesNothing) {
  test::TempFolder folder;
  WriteProfileValue("AppPath", "before");
  test::ScriptedPrompt script{IDOK};
  CADODatabase database;
  EXPECT_FALSE(OpenDatabaseBesideProgram(database, folder.File("Tidewell.exe"), nullptr));
  auto requests = script.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].text, database.GetConnectionString());
  EXPECT_TRUE(requests[0].text.ends_with("Data Source=" + folder.Text() + "bhodb.mdb"));
  EXPECT_EQ(ReadProfileValue("AppPath"), "before");
}

TEST(DatabaseBesideProgram, UpgradesTheSchemaAndBringsInTheDeliveredDefinitionsFirst) {
  test::TestAppFolder folder;
  std::filesystem::copy_file(folder.Path() / "bhodb.mdb", folder.Path() / "bhodb-delivered.mdb");
  {
    CADODatabase kept;
    ASSERT_TRUE(kept.Open(folder.ConnectionString()));
    CADORecordset statement(kept);
    statement.Open("delete from BHOS");
    statement.Open("pragma user_version = 0");
  }
  CADODatabase database;
  ASSERT_TRUE(OpenDatabaseBesideProgram(database, folder.File("Tidewell.exe"), nullptr));
  EXPECT_EQ(ReadSchemaVersion(database), std::optional<int>(kSchemaVersion));
  EXPECT_GT(test::CountRows(database, "select * from BHOS"), 40);
  EXPECT_FALSE(test::PathExists(folder.File("bhodb-delivered.mdb")));
}

}  // namespace
}  // namespace tidewell
