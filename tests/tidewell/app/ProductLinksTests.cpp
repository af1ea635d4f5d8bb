#include "tidewell/app/ProductLinks.h"

#include <gtest/gtest.h>

namespace tidewell {
namespace {

TEST(ProductLinks, LinksKeepPageOrderWithTheirTextsAndAbsoluteAddresses) {
  std::string page =
      "<html><body><h1>Our products</h1>\n"
      "<A HREF=\"http://www.example.test/cleaner.html\">Disk <b>Cleaner</b></A>\n"
      "<a class='x' href='/firewall.html'>  Fire &amp; wall\n  guard </a>\n"
      "<a href=news.html>News</a> <a href=\"https://secure.example.test/buy\"></a>\n"
      "<a name=\"anchor\">no address</a><abbr title=\"x\">not a link</abbr>\n"
      "</body></html>";
  auto links = ParseProductLinks(page, "127.0.0.1:8080");
  ASSERT_EQ(links.size(), 4u);
  EXPECT_EQ(links[0].text, "Disk Cleaner");
  EXPECT_EQ(links[0].address, "http://www.example.test/cleaner.html");
  EXPECT_EQ(links[1].text, "Fire & wall guard");
  EXPECT_EQ(links[1].address, "http://127.0.0.1:8080/firewall.html");
  EXPECT_EQ(links[2].address, "http://127.0.0.1:8080/news.html");
  EXPECT_EQ(links[3].text, "https://secure.example.test/buy");  // no text: the address stands in
}

// A chosen link goes to the shell's "open": nothing that could start a program gets through.
TEST(ProductLinks, AddressesThatAreNotWebPagesAreLeftOut) {
  std::string page =
      "<a href=\"file:///C:/Windows/system32/calc.exe\">calc</a>"
      "<a href=\"C:\\Windows\\notepad.exe\">notepad</a>"
      "<a href=\"javascript:alert(1)\">script</a>"
      "<a href=\"\\\\server\\share\\tool.exe\">share</a>"
      "<a href=\"#top\">top</a>"
      "<a href=\"mailto:sales@example.test\">Mail us</a>";
  auto links = ParseProductLinks(page, "www.example.test");
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links[0].address, "mailto:sales@example.test");
  EXPECT_FALSE(IsOpenableLinkAddress("C:\\Windows\\notepad.exe"));
  EXPECT_FALSE(IsOpenableLinkAddress("http://x/\" -evil"));
  EXPECT_TRUE(IsOpenableLinkAddress("HTTP://www.example.test/"));
}

TEST(ProductLinks, CutPagesGiveWhatIsComplete) {
  auto links = ParseProductLinks("<a href=\"/one\">One</a><a href=\"/two", "h");
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links[0].address, "http://h/one");
}

}  // namespace
}  // namespace tidewell
