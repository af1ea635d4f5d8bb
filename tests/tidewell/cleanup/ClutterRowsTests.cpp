#include "tidewell/cleanup/ClutterRows.h"

#include <gtest/gtest.h>

#include <set>

namespace tidewell {
namespace {

ClutterMeasurement TwoDrives() {
  ClutterMeasurement measurement;
  for (const CleanupCategory& category : CleanupCategories())
    measurement.categories.push_back({category.name, std::string("C:\\x\\") + category.name, true, {2, 1024}});
  measurement.categories[2].cleanable = false;
  measurement.drives.push_back({{"C:\\", 0}, {4, 3 * 1048576}});
  measurement.drives.push_back({{"D:\\", 10}, {0, 0}});
  return measurement;
}

// The rows keep the places the list has always given them: a drive's rows
// go in at 10 per entry of the drive list, so the first drive's come first.
TEST(ClutterRows, DriveRowsGoInAtTheirDrivesPositions) {
  std::vector<ClutterRow> rows = ArrangeClutterRows(TwoDrives(), "C:\\windows");
  ASSERT_EQ(rows.size(), 13u);
  std::vector<std::string> names;
  for (const ClutterRow& row : rows) names.push_back(row.name + " " + row.path);
  EXPECT_EQ(names[0], "Windows log files C:\\windows");
  EXPECT_EQ(names[1], "Recycle bin C:\\");
  EXPECT_EQ(names[2], "Windows Temporary Files C:\\x\\Windows Temporary Files");
  EXPECT_EQ(names[10], "Windows log files C:\\windows");
  EXPECT_EQ(names[11], "Windows internet cookies C:\\x\\Windows internet cookies");
  EXPECT_EQ(names[12], "Recycle bin D:\\");

  EXPECT_EQ(rows[1].fileNumber, "4");
  EXPECT_EQ(rows[1].size, "3.00 MB");
  EXPECT_EQ(rows[0].fileNumber, "*");
  EXPECT_EQ(rows[0].size, "* Kb");
  EXPECT_EQ(rows[2].size, "1024.00 bytes");
  EXPECT_EQ(rows[2].fileNumber, "2");
  EXPECT_FALSE(rows[4].cleanable);  // "Recent files", whose folder did not expand
  std::set<int> ids;
  for (const ClutterRow& row : rows) ids.insert(row.id);
  EXPECT_EQ(ids.size(), rows.size());
}

TEST(ClutterRows, ImagesFollowTheRowNames) {
  struct {
    const char* name;
    int image;
  } cases[] = {{"Recycle bin", 0},      {"Internet history", 1}, {"Recent files", 2}, {"Cookies", 4},
               {"Windows log files", 5}, {"Internet cache", 3},   {"Windows internet cookies", 3}};
  for (const auto& expected : cases) EXPECT_EQ(ClutterRowImage(expected.name), expected.image) << expected.name;
}

// The URL cache's cookie entries go with the cookie folder, not with the
// Windows folder's cookies nor with any other row.
TEST(ClutterRows, OnlyTheCookiesRowPurgesTheUrlCache) {
  std::vector<std::string> purging;
  for (const ClutterRow& row : ArrangeClutterRows(TwoDrives(), "C:\\windows"))
    if (row.purgesUrlCache) purging.push_back(row.name);
  EXPECT_EQ(purging, std::vector<std::string>{"Cookies"});
}

TEST(ClutterRows, LogTextsCarryTheirUnitWithoutABlank) {
  EXPECT_EQ(FormatLogSizeText(500), "500.00Kb");
  EXPECT_EQ(FormatLogSizeText(1024), "1024.00Kb");
  EXPECT_EQ(FormatLogSizeText(2048), "2.00Mb");
  EXPECT_EQ(AppendLogSummary("report", 7, 2048), "report\r\n\r\nLog files: 7\r\nSize: 2.00 MB");
}

}  // namespace
}  // namespace tidewell
