#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "shared/db/AdoDatabase.h"
#include "shared/db/AdoRecordset.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;

class BatchTest : public ::testing::Test {
 protected:
  BatchTest() {
    EXPECT_TRUE(database.Open(folder.ConnectionString()));
    EXPECT_TRUE(other.Open(folder.ConnectionString()));
  }
  static void Insert(CADODatabase& on, const std::string& problem) {
    CADORecordset recordset(on);
    recordset.Open("insert into problems(ptype,rootkey,subkey,problem) values('RCC','HKCR','k','" + problem + "')");
  }
  static uint32_t Rows(CADODatabase& on) {
    CADORecordset recordset(on);
    recordset.Open("select * from problems");
    return recordset.RecordCount();
  }

  test::TestAppFolder folder;
  CADODatabase database;
  CADODatabase other;  // a second connection, as Skylark would hold
};

TEST_F(BatchTest, RowsAppearTogetherAtTheCommit) {
  CADOBatch batch(database);
  ASSERT_TRUE(batch.IsOpen());
  for (int i = 0; i < 3; ++i) Insert(database, "p" + std::to_string(i));
  EXPECT_EQ(Rows(other), 0u);
  EXPECT_TRUE(batch.Commit());
  EXPECT_EQ(Rows(other), 3u);
  EXPECT_FALSE(batch.Commit());
}

TEST_F(BatchTest, ABatchThatIsNotCommittedLeavesNothing) {
  {
    CADOBatch batch(database);
    Insert(database, "dropped");
  }
  EXPECT_EQ(Rows(database), 0u);
  // The connection is free again afterwards.
  Insert(database, "kept");
  EXPECT_EQ(Rows(other), 1u);
}

TEST_F(BatchTest, OtherThreadsWaitForTheBatchAndANestedOneIsRefused) {
  CADOBatch batch(database);
  ASSERT_TRUE(batch.IsOpen());
  EXPECT_FALSE(CADOBatch(database).IsOpen());
  std::atomic<bool> inserted = false;
  std::thread worker([&] {
    Insert(database, "from the worker");
    inserted = true;
  });
  std::this_thread::sleep_for(200ms);
  EXPECT_FALSE(inserted);
  Insert(database, "from the batch");
  EXPECT_TRUE(batch.Commit());
  worker.join();
  EXPECT_TRUE(inserted);
  EXPECT_EQ(Rows(other), 2u);
}

TEST_F(BatchTest, BeginOnAClosedConnectionFails) {
  database.Close();
  CADOBatch batch(database);
  EXPECT_FALSE(batch.IsOpen());
  EXPECT_EQ(database.GetLastError(), kErrorObjectClosed);
}

}  // namespace
}  // namespace tidewell
