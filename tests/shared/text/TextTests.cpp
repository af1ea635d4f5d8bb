#include "shared/text/Text.h"

#include <gtest/gtest.h>

namespace tidewell {
namespace {

TEST(Text, CaseFoldsOnlyAscii) {
  struct Case {
    std::string_view text, lower, upper;
  } cases[] = {
      {.text = "Data Source=C:\\X.mdb", .lower = "data source=c:\\x.mdb", .upper = "DATA SOURCE=C:\\X.MDB"},
      {.text = "", .lower = "", .upper = ""},
      {.text = "@[`{", .lower = "@[`{", .upper = "@[`{"},  // the neighbours of A-Z and a-z
      {.text = "\xC3\xA9t\xC3\xA9", .lower = "\xC3\xA9t\xC3\xA9", .upper = "\xC3\xA9T\xC3\xA9"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LowerAscii(c.text), c.lower) << c.text;
    EXPECT_EQ(UpperAscii(c.text), c.upper) << c.text;
  }
}

TEST(Text, ComparesIgnoringAsciiCase) {
  struct Case {
    std::string_view a, b;
    bool equal, startsWith;
  } cases[] = {
      {.a = "Transfer-Encoding", .b = "transfer-encoding", .equal = true, .startsWith = true},
      {.a = "HTTP/1.1 200", .b = "http/", .equal = false, .startsWith = true},
      {.a = "http", .b = "http/", .equal = false, .startsWith = false},
      {.a = "\xC3\xA9", .b = "\xC3\x89", .equal = false, .startsWith = false},
      {.a = "[", .b = "{", .equal = false, .startsWith = false},
      {.a = "", .b = "", .equal = true, .startsWith = true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EqualsNoCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    EXPECT_EQ(StartsWithNoCase(c.a, c.b), c.startsWith) << c.a << " / " << c.b;
  }
}

TEST(Text, TrimsOnlyTheGivenBlanksAtEitherEnd) {
  struct Case {
    std::string_view text, blanks, trimmed;
  } cases[] = {
      {.text = " \t\r\n\v\fa b\f\v\n\r\t ", .blanks = kBlanks, .trimmed = "a b"},
      {.text = "  ", .blanks = kBlanks, .trimmed = ""},
      {.text = "", .blanks = kBlanks, .trimmed = ""},
      {.text = "\va\r", .blanks = " \t\r\n", .trimmed = "\va"},
      {.text = "x", .blanks = kBlanks, .trimmed = "x"},
  };
  for (const Case& c : cases) EXPECT_EQ(Trim(c.text, c.blanks), c.trimmed) << c.text;
}

TEST(Text, ReplacesEveryOccurrenceWithoutRescanningTheReplacement) {
  struct Case {
    std::string_view text, from, to, result;
  } cases[] = {
      {.text = "aXbXc", .from = "X", .to = "--", .result = "a--b--c"},
      {.text = "abc", .from = "", .to = "--", .result = "abc"},
      {.text = "%A%", .from = "%A%", .to = "%A%%A%", .result = "%A%%A%"},
      {.text = "aaa", .from = "aa", .to = "b", .result = "ba"},
      {.text = "C:\\a\\b", .from = "\\", .to = "", .result = "C:ab"},
  };
  for (const Case& c : cases) EXPECT_EQ(ReplaceAll(c.text, c.from, c.to), c.result) << c.text;
}

}  // namespace
}  // namespace tidewell
