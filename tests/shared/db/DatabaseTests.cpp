#include "shared/db/AdoDatabase.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "shared/db/AdoRecordset.h"
#include "shared/db/ConnectionString.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

using test::TempFolder;
using test::TestAppFolder;

std::string ReplacePassword(std::string connection, const std::string& password) {
  size_t at = connection.find("'418305'");
  return connection.replace(at, 8, "'" + password + "'");
}

TEST(Database, OpensTheDeliveredDatabase) {
  TestAppFolder folder;
  CADODatabase database;
  EXPECT_FALSE(database.IsOpen());
  ASSERT_TRUE(database.Open(folder.ConnectionString(), "", ""));
  EXPECT_TRUE(database.IsOpen());
  EXPECT_EQ(database.GetConnectionString(), folder.ConnectionString());
  database.Close();
  EXPECT_FALSE(database.IsOpen());
}

TEST(Database, ReopensWithTheStoredStringAfterClose) {
  TestAppFolder folder;
  CADODatabase database;
  ASSERT_TRUE(database.Open(folder.ConnectionString()));
  database.Close();
  ASSERT_TRUE(database.Open("", "", ""));
  EXPECT_TRUE(database.IsOpen());
  EXPECT_EQ(database.GetConnectionString(), folder.ConnectionString());
}

TEST(Database, OpeningAnOpenConnectionClosesItFirst) {
  TestAppFolder folder;
  CADODatabase database;
  ASSERT_TRUE(database.Open(folder.ConnectionString()));
  ASSERT_TRUE(database.Open(folder.ConnectionString()));
  CADORecordset recordset(database);
  EXPECT_TRUE(recordset.Open("select * from BHOS"));
}

TEST(Database, MissingFileFailsWithTheErrorRecordAndIsNeverCreated) {
  TempFolder folder;
  std::string connection = BuildConnectionString(folder.File("bhodb.mdb"));
  CADODatabase database;
  EXPECT_FALSE(database.Open(connection));
  EXPECT_FALSE(database.IsOpen());
  EXPECT_FALSE(std::filesystem::exists(folder.File("bhodb.mdb")));
  EXPECT_EQ(database.GetLastError(), kErrorUnspecified);
  std::string expectedStart = "Connection String = " + connection + "\nCADODataBase Error\n\tCode = 80004005\n\tCode meaning = ";
  EXPECT_EQ(database.GetLastErrorString().substr(0, expectedStart.size()), expectedStart);
  EXPECT_NE(database.GetLastErrorString().find("\n\tSource = SQLite\n\tDescription = Could not find file"),
            std::string::npos);
  EXPECT_EQ(database.GetLastErrorString().back(), '\n');
}

TEST(Database, WrongPasswordIsRefused) {
  TestAppFolder folder;
  CADODatabase database;
  EXPECT_FALSE(database.Open(ReplacePassword(folder.ConnectionString(), "000000")));
  EXPECT_FALSE(database.IsOpen());
  EXPECT_EQ(database.GetLastError(), kErrorAuthentication);
  EXPECT_EQ(database.GetLastErrorDescription(), "Not a valid password.");
  EXPECT_FALSE(database.Open(ReplacePassword(folder.ConnectionString(), "")));
}

TEST(Database, FileThatIsNotADatabaseIsRefused) {
  TempFolder folder;
  {
    std::ofstream file(folder.File("bhodb.mdb"), std::ios::binary);
    for (int i = 0; i < 200; ++i) file << "Standard Jet DB? no, just text.\n";
  }
  CADODatabase database;
  EXPECT_FALSE(database.Open(BuildConnectionString(folder.File("bhodb.mdb"))));
  EXPECT_FALSE(database.IsOpen());
  EXPECT_NE(database.GetLastErrorDescription().find("Unrecognized database format"), std::string::npos);
}

TEST(Database, EmptyStringWithNothingStoredFails) {
  CADODatabase database;
  EXPECT_FALSE(database.Open("", "", ""));
  EXPECT_NE(database.GetLastErrorString().find("Connection String = \nCADODataBase Error"), std::string::npos);
}

TEST(ErrorMeaning, DispatchRangeAndUnknownCodes) {
  EXPECT_EQ(ErrorCodeMeaning(0x80040E14), "IDispatch error #3092");
  EXPECT_EQ(ErrorCodeMeaning(0x80040201), "IDispatch error #1");
  // Low 16 bits of zero after the subtraction fall outside the dispatch rule.
  EXPECT_EQ(ErrorCodeMeaning(0x80040200), "Unknown error 0x80040200");
  EXPECT_EQ(ErrorCodeMeaning(0x800A0CC1), "Unknown error 0x800A0CC1");
}

}  // namespace
}  // namespace tidewell
