// Cookie signatures name sites: only a record's host counts, and only at a
// domain boundary.

#include <gtest/gtest.h>

#include "tidewell/spyware/CookieFile.h"

namespace tidewell {
namespace {

// One record as Internet Explorer writes it.
std::string Record(const std::string& name, const std::string& value, const std::string& hostAndPath) {
  return name + "\n" + value + "\n" + hostAndPath + "\n1024\n2596879104\n30124053\n3210817712\n29800011\n*\n";
}

TEST(CookieFile, HostsAreTheThirdLineOfEachRecordWithoutThePath) {
  std::string text = Record("id", "doubleclick.net/", "ads.Example.com/path/x") +
                     Record("__utmz", "utmcsr=doubleclick.net|utmcmd=referral", "shop.example/") +
                     Record("a", "b", "/") + "x\r\ny\r\nlast.example\r\n";
  EXPECT_EQ(CookieHosts(text), (std::vector<std::string>{"ads.Example.com", "shop.example", "last.example"}));
  EXPECT_TRUE(CookieHosts("").empty());
  EXPECT_TRUE(CookieHosts("only\ntwo lines").empty());
}

TEST(CookieFile, ASiteMatchesItsOwnHostAndHostsBelowIt) {
  struct Case {
    const char* host;
    const char* site;
    bool matches;
  };
  const Case cases[] = {
      {"doubleclick.net", "doubleclick.net", true},
      {"ads.doubleclick.net", "doubleclick.net", true},
      {"AD.DoubleClick.NET", "doubleclick.net", true},
      {"guru4.com", "ru4.com", false},
      {"ru4.com.evil.example", "ru4.com", false},
      {"notdoubleclick.net", "doubleclick.net", false},
      {"doubleclick.net", "ads.doubleclick.net", false},
      {".doubleclick.net", "doubleclick.net", true},
      {"", "doubleclick.net", false},
      {"example.com", "", false},
  };
  for (const Case& item : cases)
    EXPECT_EQ(IsHostOrBelow(item.host, item.site), item.matches) << item.host << " / " << item.site;
  EXPECT_TRUE(AnyHostOf({"guru4.com", "x.ru4.com"}, "ru4.com"));
  EXPECT_FALSE(AnyHostOf({"guru4.com"}, "ru4.com"));
}

}  // namespace
}  // namespace tidewell
