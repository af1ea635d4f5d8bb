#include "tidewell/app/ClutterGauge.h"

#include <gtest/gtest.h>

namespace tidewell {
namespace {

// Used space of 100,000 KB, so the clutter in KB reads as thousandths of a percent.
TEST(ClutterGauge, PercentTextAndColourFollowTheSinglePrecisionThresholds) {
  struct {
    uint64_t clutterKb;
    const char* text;
    COLORREF color;
  } cases[] = {
      {8990, "8.99%", kClutterGreen},   {9000, "9.00%", kClutterYellow}, {9500, "9.50%", kClutterYellow},
      {10000, "10.00%", kClutterYellow}, {10010, "10.01%", kClutterRed}, {0, "0.00%", kClutterGreen},
      {100000, "100.00%", kClutterRed},
  };
  for (const auto& expected : cases) {
    ClutterReading reading = ReadClutter(100000, expected.clutterKb);
    EXPECT_EQ(reading.text, expected.text) << expected.clutterKb;
    EXPECT_EQ(reading.color, expected.color) << expected.text;
  }
}

TEST(ClutterGauge, ColourBoundsLieAtTheSingleValuesOfTheirLimits) {
  EXPECT_EQ(ClutterColor(8.999999), kClutterGreen);     // the largest single below 9
  EXPECT_EQ(ClutterColor(8.99999999), kClutterYellow);  // rounds to 9.0f
  EXPECT_EQ(ClutterColor(10.0000001), kClutterYellow);  // still 10.0f
  EXPECT_EQ(ClutterColor(10.00001), kClutterRed);
}

TEST(ClutterGauge, BarCountsWholeMegabytes) {
  ClutterReading reading = ReadClutter(3 * 1024 * 1024 + 1023, 2047);
  EXPECT_EQ(reading.rangeMegabytes, 3 * 1024);
  EXPECT_EQ(reading.positionMegabytes, 1);
}

TEST(ClutterGauge, NoUsedSpaceReadsZeroPercent) {
  ClutterReading reading = ReadClutter(0, 500);
  EXPECT_EQ(reading.text, "0.00%");
  EXPECT_EQ(reading.rangeMegabytes, 0);
}

}  // namespace
}  // namespace tidewell
