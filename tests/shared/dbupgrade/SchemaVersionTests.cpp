#include "shared/dbupgrade/SchemaVersion.h"

#include <gtest/gtest.h>

#include "shared/db/AdoRecordset.h"
#include "shared/dbupgrade/DeliveredDefinitions.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/ErrorLogWatch.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

TEST(SchemaVersion, TheDeliveredDatabaseIsAtTheVersionThisProgramKnows) {
  test::TestAppFolder folder;
  CADODatabase database;
  ASSERT_TRUE(database.Open(folder.ConnectionString()));
  EXPECT_EQ(ReadSchemaVersion(database), std::optional<int>(kSchemaVersion));
}

TEST(SchemaVersion, AnOlderFileIsUpgradedAndANewerOneOpensAsItIsWithALineInTheErrorLog) {
  const struct {
    int recorded;
    SchemaUpgrade result;
    int after;
    bool logged;
  } cases[] = {
      {.recorded = 0, .result = SchemaUpgrade::Upgraded, .after = 1, .logged = false},
      {.recorded = 1, .result = SchemaUpgrade::Current, .after = 1, .logged = false},
      {.recorded = 7, .result = SchemaUpgrade::Newer, .after = 7, .logged = true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.recorded);
    test::TestAppFolder folder;
    CADODatabase database;
    ASSERT_TRUE(database.Open(folder.ConnectionString()));
    CADORecordset set(database);
    set.Open("pragma user_version = " + std::to_string(c.recorded));
    ASSERT_EQ(ReadSchemaVersion(database), std::optional<int>(c.recorded));
    int bhos = test::CountRows(database, "select * from BHOS");

    EXPECT_EQ(UpgradeSchema(database), c.result);
    EXPECT_EQ(ReadSchemaVersion(database), std::optional<int>(c.after));
    EXPECT_EQ(test::CountRows(database, "select * from BHOS"), bhos) << "the data stays";

    set.Open("pragma user_version = " + std::to_string(c.recorded));
    test::ErrorLogWatch log;
    BringDatabaseUpToDate(database, folder.DatabaseFile());
    EXPECT_EQ(ReadSchemaVersion(database), std::optional<int>(c.after));
    EXPECT_EQ(log.Added().find(folder.DatabaseFile()) != std::string::npos, c.logged) << log.Added();
  }
}

}  // namespace
}  // namespace tidewell
