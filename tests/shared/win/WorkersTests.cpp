#include "shared/win/Workers.h"

#include <gtest/gtest.h>

#include <atomic>

namespace tidewell {
namespace {

TEST(WorkerGroup, StopAndWaitEndsWaitingWorkersAndRefusesNewOnes) {
  WorkerGroup group;
  std::atomic<int> ended{0};
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(group.Start([&](const StopToken& stop) {
      while (!stop.WaitFor(10000)) {
      }
      ++ended;
    }));
  EXPECT_EQ(group.Running(), 3);
  EXPECT_TRUE(group.StopAndWait(5000));
  EXPECT_EQ(ended.load(), 3);
  EXPECT_EQ(group.Running(), 0);
  EXPECT_FALSE(group.Start([&](const StopToken&) { ++ended; }));
  EXPECT_EQ(ended.load(), 3);
}

TEST(WorkerGroup, AnOwnStopEndsOnlyItsWorkerAndTheGroupsStopSetsIt) {
  WorkerGroup group;
  StopSource scan;
  std::atomic<bool> scanEnded{false}, otherEnded{false};
  group.Start(scan, [&](const StopToken& stop) {
    stop.WaitFor(10000);
    scanEnded = true;
  });
  group.Start([&](const StopToken& stop) {
    WaitForSingleObject(stop.Event(), 10000);
    otherEnded = true;
  });
  scan.RequestStop();
  for (int i = 0; i < 200 && !scanEnded; ++i) Sleep(10);
  EXPECT_TRUE(scanEnded);
  EXPECT_FALSE(otherEnded);

  StopSource late;
  group.Start(late, [](const StopToken& stop) { stop.WaitFor(10000); });
  EXPECT_TRUE(group.StopAndWait(5000));
  EXPECT_TRUE(otherEnded);
  EXPECT_TRUE(late.StopRequested());
}

TEST(WorkerGroup, AWorkerThatIgnoresItsStopIsReportedAndLetGo) {
  auto release = std::make_shared<std::atomic<bool>>(false);
  {
    WorkerGroup group;
    group.Start([release](const StopToken&) {
      while (!release->load()) Sleep(5);
    });
    EXPECT_FALSE(group.StopAndWait(100));
  }  // the group is gone; the worker was let go and ends on its own
  release->store(true);
}

}  // namespace
}  // namespace tidewell
