#include "tidewell/cleanup/ClutterMonitor.h"

#include <gtest/gtest.h>

#include <atomic>

#include "shared/win/Handles.h"

namespace tidewell {
namespace {

// A walk that holds until the test lets it go, and counts how often it ran.
struct GatedSources {
  UniqueHandle gate{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<int> walks{0};

  ClutterSources Make() {
    ClutterSources sources;
    sources.categoryFolders = [this] {
      ++walks;
      WaitForSingleObject(gate.Get(), 10000);
      return std::vector<std::string>();
    };
    sources.fixedDrives = [] { return std::vector<FixedDrive>{{"C:\\", 0}}; };
    sources.driveSpace = [](const std::string&) { return std::optional<DriveSpace>(DriveSpace{1 << 30, 1 << 29}); };
    sources.recycleBin = [](const std::string&) { return std::optional<RecycleBin>(); };
    sources.homeDrive = [] { return std::string("C:"); };
    return sources;
  }
};

bool WaitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 500 && !done(); ++i) Sleep(10);
  return done();
}

TEST(ClutterMonitor, RequestsDuringAWalkShareIt) {
  GatedSources gated;
  ClutterMonitor monitor(gated.Make());
  std::shared_ptr<const ClutterMeasurement> first, second, third;
  {
    WorkerGroup workers;
    workers.Start([&](const StopToken& stop) { first = monitor.Measure(stop); });
    ASSERT_TRUE(WaitUntil([&] { return gated.walks == 1; }));
    workers.Start([&](const StopToken& stop) { second = monitor.Measure(stop); });
    workers.Start([&](const StopToken& stop) { third = monitor.Measure(stop); });
    Sleep(100);
    SetEvent(gated.gate.Get());
    ASSERT_TRUE(WaitUntil([&] { return first && second && third; }));
  }
  EXPECT_EQ(first, second);
  EXPECT_EQ(first, third);
  EXPECT_EQ(gated.walks, 1);
  EXPECT_EQ(first->totalKb, 1024u * 1024);
}

TEST(ClutterMonitor, AFreshRequestWaitsForAWalkThatStartsAfterIt) {
  GatedSources gated;
  ClutterMonitor monitor(gated.Make());
  std::shared_ptr<const ClutterMeasurement> joined, fresh;
  WorkerGroup workers;
  workers.Start([&](const StopToken& stop) { joined = monitor.Measure(stop); });
  ASSERT_TRUE(WaitUntil([&] { return gated.walks == 1; }));
  workers.Start([&](const StopToken& stop) { fresh = monitor.Measure(stop, true); });
  Sleep(100);
  SetEvent(gated.gate.Get());
  ASSERT_TRUE(WaitUntil([&] { return joined && fresh; }));
  EXPECT_EQ(gated.walks, 2);
  EXPECT_NE(joined, fresh);
}

TEST(ClutterMonitor, AStopEndsTheWaitWithoutAResult) {
  GatedSources gated;
  ClutterMonitor monitor(gated.Make());
  StopSource stop;
  std::atomic<bool> ended{false};
  std::shared_ptr<const ClutterMeasurement> result = std::make_shared<ClutterMeasurement>();
  WorkerGroup workers;
  workers.Start(stop, [&](const StopToken& token) {
    result = monitor.Measure(token);
    ended = true;
  });
  ASSERT_TRUE(WaitUntil([&] { return gated.walks == 1; }));
  stop.RequestStop();
  SetEvent(gated.gate.Get());
  ASSERT_TRUE(WaitUntil([&] { return ended.load(); }));
  EXPECT_EQ(result, nullptr);
}

}  // namespace
}  // namespace tidewell
