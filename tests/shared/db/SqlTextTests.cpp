#include "shared/db/SqlText.h"

#include <gtest/gtest.h>

namespace tidewell {
namespace {

TEST(QuoteSql, DoublesEveryApostrophe) {
  EXPECT_EQ(QuoteSql("O'Brien's 'BHO'"), "O''Brien''s ''BHO''");
  EXPECT_EQ(QuoteSql("''"), "''''");
  EXPECT_EQ(QuoteSql("plain"), "plain");
  EXPECT_EQ(QuoteSql(""), "");
}

TEST(FormatSql, QuotesTextsAndLeavesNumbers) {
  EXPECT_EQ(FormatSql("insert into [Events](dtm,event) values(%d,'%s')", 1086786309, std::string("BHO \"it's\" uninstalled")),
            "insert into [Events](dtm,event) values(1086786309,'BHO \"it''s\" uninstalled')");
  EXPECT_EQ(FormatSql("insert into [Events](dtm,event) values(%d,'%s%d%s')", 5, "Scan found ", 3, " o'clock"),
            "insert into [Events](dtm,event) values(5,'Scan found 3 o''clock')");
}

TEST(FormatSql, DoublePercentStaysTheSqlWildcard) {
  EXPECT_EQ(FormatSql("select * from spwscan where [Location] like 'Scan my PC\\My computer%%' and [Action]='%s'",
                      "include"),
            "select * from spwscan where [Location] like 'Scan my PC\\My computer%' and [Action]='include'");
}

TEST(FormatSql, LongValuesAreKeptWhole) {
  std::string value(5000, 'x');
  EXPECT_EQ(FormatSql("'%s'", value).size(), 5002u);
}

}  // namespace
}  // namespace tidewell
