#include "skylark/WorkerBoundary.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "shared/crypto/BlowfishCipher.h"
#include "skylark/UpdateAnswer.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
using test::LoopbackHttpServer;

std::string DumpAnswer(int count) {
  CBlowfishCipher cipher(kDefinitionsKey);
  std::string body = "<form></form>\n";
  for (int i = 0; i < count; ++i) {
    char clsid[40];
    std::snprintf(clsid, sizeof clsid, "{%08X-0000-4000-8000-000000000000}", i);
    body += "<br>" + cipher.EncryptToHex("Many " + std::to_string(i) + "|m.dll|" + clsid + "|high|x");
  }
  body += "<br>#05.12.2004#";
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

class WorkerBoundaryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(database_.Open(folder_.ConnectionString())); }
  int Many() { return test::CountRows(database_, "select * from bhos where name like 'Many %'"); }

  test::TestAppFolder folder_;
  CADODatabase database_;
};

TEST_F(WorkerBoundaryTest, ThousandsOfRecordsPostEachPositionOnce) {
  LoopbackHttpServer server(DumpAnswer(1500));
  std::vector<int> positions;
  UpdateOutcome outcome = RunUpdate(database_, server.Host(), kDefaultUpdateRecord, {{}, [&](int p) { positions.push_back(p); }, {}});
  ASSERT_EQ(outcome.kind, UpdateOutcome::Kind::Updated);
  EXPECT_EQ(Many(), 1500);
  for (size_t i = 1; i < positions.size(); ++i) EXPECT_NE(positions[i], positions[i - 1]) << i;
  EXPECT_LE(positions.size(), 101u);
}

// Whatever the run throws, it reports a failed run and the merge rolls back.
TEST_F(WorkerBoundaryTest, AnythingThrownEndsTheRunAsFailedAndChangesNothing) {
  LoopbackHttpServer server(DumpAnswer(20));
  const std::function<void()> throwers[] = {
      [] { throw std::bad_alloc(); },
      [] { throw std::runtime_error("late"); },
      [] { throw 7; },
  };
  for (const auto& thrower : throwers) {
    int calls = 0;
    UpdateOutcome outcome = GuardedRun([&] {
      // The throw comes mid-merge, with rows already written in the batch.
      return RunUpdate(database_, server.Host(), kDefaultUpdateRecord, {{}, [&](int) {
                         if (++calls == 10) thrower();
                       }, {}});
    });
    EXPECT_EQ(outcome.kind, UpdateOutcome::Kind::Failed);
    EXPECT_TRUE(outcome.newRecord.empty());
    EXPECT_EQ(calls, 10);
    EXPECT_EQ(Many(), 0);
  }
}

TEST(PostSurely, RetriesARefusedPostUntilTakenAndStopsOnlyWhenTheWindowIsGone) {
  int posts = 0;
  EXPECT_TRUE(PostSurely([&] { return ++posts > 3; }, [] { return false; }, 1ms));
  EXPECT_EQ(posts, 4);
  posts = 0;
  EXPECT_FALSE(PostSurely([&] { return ++posts > 3; }, [&] { return posts == 2; }, 1ms));
  EXPECT_EQ(posts, 2);
}

}  // namespace
}  // namespace tidewell
