#include "tidewell/app/DatabaseBesideProgram.h"

#include <gtest/gtest.h>

#include "shared/win/Profile.h"
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

}  // namespace
}  // namespace tidewell
