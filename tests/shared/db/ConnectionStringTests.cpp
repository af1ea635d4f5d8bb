#include "shared/db/ConnectionString.h"

#include <gtest/gtest.h>

namespace tidewell {
namespace {

TEST(ConnectionString, FixedProviderTextThenTheCollapsedPath) {
  std::string connection = BuildConnectionString("C:\\Tools\\\\bhodb.mdb");
  EXPECT_EQ(connection,
            "PROVIDER=Microsoft.Jet.OLEDB.4.0;Mode=Share Deny None;Extended Properties=';COUNTRY=0;CP=1252;"
            "LANGID=0x0409';Jet OLEDB:System database='';Jet OLEDB:Registry Path='';Jet OLEDB:Database "
            "Password='418305';Data Source=C:\\Tools\\bhodb.mdb");
  auto settings = ParseConnectionString(connection);
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->dataSource, "C:\\Tools\\bhodb.mdb");
  EXPECT_EQ(settings->password, "418305");
}

TEST(ConnectionString, NetworkShareKeepsItsLeadingDoubleBackslash) {
  auto settings = ParseConnectionString(BuildConnectionString("\\\\server\\share\\\\bhodb.mdb"));
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->dataSource, "\\\\server\\share\\bhodb.mdb");
}

TEST(ConnectionString, ParsesQuotedValuesAndKeysInAnyCase) {
  auto settings = ParseConnectionString(
      "Extended Properties='a;b=c';data source = \"D:\\x;y\\db.mdb\" ;JET OLEDB:DATABASE PASSWORD=secret");
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->dataSource, "D:\\x;y\\db.mdb");
  EXPECT_EQ(settings->password, "secret");
}

TEST(ConnectionString, WithoutDataSourceIsRefused) {
  EXPECT_FALSE(ParseConnectionString(""));
  EXPECT_FALSE(ParseConnectionString("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source="));
  EXPECT_FALSE(ParseConnectionString("Extended Properties='Data Source=x'"));
}

}  // namespace
}  // namespace tidewell
