#include "tidewell/traffic/TrafficModel.h"

#include <gtest/gtest.h>

namespace tidewell {
namespace {

TEST(CounterDelta, CountsAcrossWrapsAndTreatsResetsAsZero) {
  struct Case {
    const char* what;
    uint64_t previous, current;
    int bits;
    uint64_t expected;
  } cases[] = {
      {"plain growth", 1000, 1500, 32, 500},
      {"no change", 7, 7, 64, 0},
      {"32-bit wrap", 0xFFFFFF00u, 0x100, 32, 0x200},
      {"32-bit wrap by one", 0xFFFFFFFFu, 0, 32, 1},
      {"32-bit wrap by more than a billion", 3'000'000'000u, 10, 32, 1'294'967'306},  // within half the range: a wrap
      {"32-bit reset", 1'000'000'000u, 10, 32, 0},
      {"64-bit growth", 0x1'0000'0000ull, 0x1'0000'1000ull, 64, 0x1000},
      {"64-bit going back is a reset", 5'000'000'000ull, 4'000'000'000ull, 64, 0},
      {"32-bit source with bits above its width", 0x1'0000'0010ull, 0x20, 32, 0x10},
  };
  for (const auto& c : cases) EXPECT_EQ(CounterDelta(c.previous, c.current, c.bits), c.expected) << c.what;
}

TEST(InterfaceNames, RepeatedNamesBecomeUniqueAndTheFirstKeepsItsName) {
  std::vector<std::string> names = {"WAN Miniport", "lo", "WAN Miniport", "WAN Miniport #2", "WAN Miniport"};
  MakeNamesUnique(names);
  EXPECT_EQ(names, (std::vector<std::string>{"WAN Miniport", "lo", "WAN Miniport #3", "WAN Miniport #2",
                                             "WAN Miniport #4"}));
}

TEST(GraphMenu, OnlyIdsBelowTheToggleSelectAnInterface) {
  EXPECT_EQ(InterfaceFromMenuId(2000), 0);
  EXPECT_EQ(InterfaceFromMenuId(2998), 998);
  EXPECT_FALSE(InterfaceFromMenuId(2999));
  EXPECT_FALSE(InterfaceFromMenuId(kMenuToggleScaling));
  EXPECT_FALSE(InterfaceFromMenuId(kMenuSelectedInterface));
  EXPECT_EQ(InterfaceMenuText("lo", 3 * 1048576 + 104858), "lo : 3.1 MB");
}

// Readings of interface 0 one second apart, received counter only.
CounterSnapshot Reading(uint64_t received, uint64_t timeMs, int bits = 64) {
  CounterSnapshot snapshot;
  snapshot.valid = true;
  snapshot.counterBits = bits;
  snapshot.timeMs = timeMs;
  InterfaceCounters row;
  row.present = true;
  row.received = received;
  row.total = received;
  snapshot.rows.push_back(row);
  return snapshot;
}

TEST(TrafficGraphState, TheFirstSampleAfterSelectingOnlyPrimes) {
  TrafficGraphState state(TrafficType::Incoming);
  state.Resize(20);  // ten columns
  state.SelectInterface(0, nullptr);
  state.AddSample(Reading(5'000'000, 1000));
  EXPECT_EQ(state.History().back().value, 0.0) << "never the raw counter";
  state.AddSample(Reading(5'000'000 + 2048, 2000));
  EXPECT_EQ(state.History().back().value, 2048.0);
  EXPECT_EQ(state.CurrentText(), "2.0 KB/sec");
  EXPECT_EQ(state.Caption(), "2.0 / 2.0 KB/sec");
}

TEST(TrafficGraphState, RatesAreScaledToASecondWhenTheTimerComesLate) {
  TrafficGraphState state(TrafficType::Incoming);
  state.Resize(20);
  auto primed = Reading(0, 1000);
  state.SelectInterface(0, &primed);
  state.AddSample(Reading(3000, 2500));
  EXPECT_DOUBLE_EQ(state.Current(), 2000.0);
}

TEST(TrafficGraphState, AWrappedCounterGivesThePositiveRate) {
  TrafficGraphState state(TrafficType::Incoming);
  state.Resize(20);
  auto primed = Reading(0xFFFFF000u, 1000, 32);
  state.SelectInterface(0, &primed);
  state.AddSample(Reading(0x1000, 2000, 32));
  EXPECT_EQ(state.Current(), 0x2000);
  EXPECT_GT(state.Maximum(), 0);
}

TEST(TrafficGraphState, GlobalScalingKeepsTheBurstLocalDropsItOnceScrolledOut) {
  for (bool local : {false, true}) {
    TrafficGraphState state(TrafficType::Incoming);
    state.Resize(6);  // three visible columns and the newest entry
    auto primed = Reading(0, 0);
    state.SelectInterface(0, &primed);
    if (local) state.ToggleScaling();
    uint64_t counter = 1'000'000;
    state.AddSample(Reading(counter, 1000));  // the burst
    for (int second = 2; second <= 6; ++second) state.AddSample(Reading(counter += 100, second * 1000));
    EXPECT_EQ(state.Maximum(), local ? 100.0 : 1'000'000.0) << (local ? "local" : "global");
  }
}

TEST(TrafficGraphState, TogglingTwiceReturnsToGlobalWithItsLabel) {
  TrafficGraphState state;
  EXPECT_STREQ(state.ScalingLabel(), "local maximum");
  state.ToggleScaling();
  EXPECT_TRUE(state.LocalScaling());
  EXPECT_STREQ(state.ScalingLabel(), "global maximum");
  state.ToggleScaling();
  EXPECT_FALSE(state.LocalScaling());
  EXPECT_STREQ(state.ScalingLabel(), "local maximum");
}

TEST(TrafficGraphState, AnInterfaceMissingFromTheReadingRecordsZeroAndPrimesAgain) {
  TrafficGraphState state(TrafficType::Incoming);
  state.Resize(20);
  auto primed = Reading(0, 0);
  state.SelectInterface(0, &primed);
  CounterSnapshot gone = Reading(50'000, 1000);
  gone.rows[0].present = false;
  state.AddSample(gone);
  EXPECT_EQ(state.Current(), 0.0);
  state.AddSample(Reading(60'000, 2000));
  EXPECT_EQ(state.Current(), 0.0) << "the gap is not counted as one second's traffic";
  state.AddSample(Reading(61'000, 3000));
  EXPECT_EQ(state.Current(), 1000.0);

  state.SelectInterface(5, &primed);  // no such interface
  state.AddSample(Reading(70'000, 4000));
  EXPECT_EQ(state.Current(), 0.0);
}

}  // namespace
}  // namespace tidewell
