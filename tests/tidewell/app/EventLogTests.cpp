#include "tidewell/shell/EventLog.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "resource.h"
#include "shared/db/AdoRecordset.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/RunningProgram.h"
#include "tests/support/TestFolder.h"
#include "tidewell/app/LogDialog.h"

namespace tidewell {
namespace {

class EventLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(database.Open(folder.ConnectionString()));
    CADORecordset clear(database);
    clear.Open("delete from [Events]");
  }

  int32_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return static_cast<int32_t>(std::mktime(&local));
  }

  test::TestAppFolder folder;
  CADODatabase database;
};

TEST_F(EventLogTest, TextsWithApostrophesAreStoredAsWritten) {
  LogEvent(database, "BHO \"Bob's helper\" uninstalled");
  LogEvent(database, "Modifications made to \"", "O'Neil", "\" were saved");
  LogEvent(database, "Scanning startup found ", 3, " invalid entries");
  EXPECT_EQ(test::EventTexts(database), (std::vector<std::string>{"BHO \"Bob's helper\" uninstalled",
                                                     "Modifications made to \"O'Neil\" were saved",
                                                     "Scanning startup found 3 invalid entries"}));
}

TEST_F(EventLogTest, EventsCarryTheCurrentTime) {
  int32_t before = EventTimeNow();
  LogEvent(database, "General registry backup");
  int32_t after = EventTimeNow();
  auto events = test::Events(database);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_GE(events[0].time, before);
  EXPECT_LE(events[0].time, after);
}

TEST_F(EventLogTest, AClosedConnectionIsReopenedForTheInsert) {
  database.Close();
  LogEvent(database, "Restored 07.09.2004");
  EXPECT_EQ(test::EventTexts(database), std::vector<std::string>{"Restored 07.09.2004"});
}

TEST_F(EventLogTest, TimesReadMonthFirstInLocalTime) {
  EXPECT_EQ(FormatEventTime(LocalTime(2004, 7, 9, 14, 3, 5)), "07.09.2004 14:03:05");
  EXPECT_EQ(FormatEventTime(LocalTime(1999, 12, 31, 23, 59, 59)), "12.31.1999 23:59:59");
  std::time_t epoch = 0;
  std::tm local{};
  localtime_s(&local, &epoch);
  EXPECT_EQ(FormatEventTime(0).substr(6, 4), std::to_string(local.tm_year + 1900));
}

TEST_F(EventLogTest, ReadingListsNewestFirstAndKeepsEventsOfTheSameSecond) {
  LogEventAt(database, LocalTime(2004, 7, 9, 14, 3, 5), "middle");
  LogEventAt(database, LocalTime(2005, 1, 2, 3, 4, 5), "newest");
  LogEventAt(database, LocalTime(2003, 1, 1, 0, 0, 0), "oldest a");
  LogEventAt(database, LocalTime(2003, 1, 1, 0, 0, 0), "oldest b");
  auto rows = ReadEvents(database);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].text, "newest");
  EXPECT_EQ(rows[0].time, "01.02.2005 03:04:05");
  EXPECT_EQ(rows[1].text, "middle");
  EXPECT_EQ(rows[1].time, "07.09.2004 14:03:05");
  EXPECT_EQ(rows[2].time, "01.01.2003 00:00:00");
  EXPECT_EQ(rows[3].time, "01.01.2003 00:00:00");
}

std::string ListText(HWND list, int row, int column) {
  char text[256] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

std::string ColumnTitle(HWND list, int column, int* width) {
  char text[64] = {};
  LVCOLUMNA info{};
  info.mask = LVCF_TEXT | LVCF_WIDTH;
  info.pszText = text;
  info.cchTextMax = sizeof text;
  if (!SendMessageA(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&info))) return {};
  *width = info.cx;
  return text;
}

TEST_F(EventLogTest, ViewerListsTimeAndEventNewestFirst) {
  LogEventAt(database, LocalTime(2004, 7, 9, 14, 3, 5), "Spyware scan detected 2 infected locations");
  LogEventAt(database, LocalTime(2004, 7, 10, 9, 0, 0), "Startup entry disabled (Helper)");
  CLogDialog viewer(database);
  HWND window = viewer.Create(GetModuleHandleA(nullptr), IDD_LOG_DIALOG, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(test::WindowText(window), "Tidewell Log");
  HWND list = GetDlgItem(window, IDC_LOG_LIST);
  int width = 0;
  EXPECT_EQ(ColumnTitle(list, 0, &width), "Time");
  EXPECT_EQ(width, 130);
  EXPECT_EQ(ColumnTitle(list, 1, &width), "Event");
  EXPECT_EQ(width, 370);
  ASSERT_EQ(ListView_GetItemCount(list), 2);
  EXPECT_EQ(ListText(list, 0, 0), "07.10.2004 09:00:00");
  EXPECT_EQ(ListText(list, 0, 1), "Startup entry disabled (Helper)");
  EXPECT_EQ(ListText(list, 1, 0), "07.09.2004 14:03:05");
  EXPECT_EQ(ListText(list, 1, 1), "Spyware scan detected 2 infected locations");
  EXPECT_TRUE(ListView_GetExtendedListViewStyle(list) & LVS_EX_FULLROWSELECT);
  viewer.Destroy();
}

TEST_F(EventLogTest, ViewerOfAnEmptyLogShowsBothHeadings) {
  CLogDialog viewer(database);
  HWND window = viewer.Create(GetModuleHandleA(nullptr), IDD_LOG_DIALOG, nullptr);
  ASSERT_NE(window, nullptr);
  HWND list = GetDlgItem(window, IDC_LOG_LIST);
  int width = 0;
  EXPECT_EQ(ColumnTitle(list, 0, &width), "Time");
  EXPECT_EQ(ColumnTitle(list, 1, &width), "Event");
  EXPECT_EQ(ListView_GetItemCount(list), 0);
  viewer.Destroy();
}

}  // namespace
}  // namespace tidewell
