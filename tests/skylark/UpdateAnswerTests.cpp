#include "skylark/UpdateAnswer.h"

#include <gtest/gtest.h>

#include "shared/crypto/BlowfishCipher.h"

namespace tidewell {
namespace {

std::string Encipher(const std::string& plain) { return CBlowfishCipher(kDefinitionsKey).EncryptToHex(plain); }

const std::string kClsid = "{06849E9F-C8D7-4D59-B87D-784B7D6BE0B3}";
const std::string kRecord = "O'Brien Helper|obrien.dll|" + kClsid + "|medium|Adds O'Brien's box";

TEST(UpdateAnswer, TheExampleAnswerMergesOneRecordAndIsUpToDate) {
  UpdateAnswer answer;
  ASSERT_TRUE(ParseUpdateAnswer("<form></form>x<br>" + Encipher(kRecord) + "<br>#05.12.2004#", answer));
  EXPECT_EQ(answer.elementCount, 3);
  ASSERT_EQ(answer.records.size(), 1u);
  EXPECT_EQ(answer.records[0].index, 1);
  EXPECT_EQ(answer.records[0].name, "O'Brien Helper");  // apostrophes are doubled only in the statement
  EXPECT_EQ(answer.records[0].files, "obrien.dll");
  EXPECT_EQ(answer.records[0].clsid, kClsid);
  EXPECT_EQ(answer.records[0].risk, "medium");
  EXPECT_EQ(answer.records[0].comments, "Adds O'Brien's box");
  EXPECT_EQ(answer.skipped, 1);  // the "x", too short to decipher
  EXPECT_EQ(answer.date, "05.12.2004");
  EXPECT_EQ(UpdateResultText(answer.elementCount), "Definitions are up-to-date");
}

TEST(UpdateAnswer, DamagedAnswersAreRefusedWhole) {
  const std::string record = Encipher(kRecord);
  const struct {
    const char* name;
    std::string body;
  } cases[] = {
      {"empty", ""},
      {"no form", "x<br>" + record + "<br>#05.12.2004#"},
      {"nothing after the form", "<form></form>"},
      {"cut before the date", "<form></form>x<br>" + record + "<br>#05.12"},
      {"no date", "<form></form>x<br>" + record + "<br>"},
      {"empty date", "<form></form>x<br>" + record + "<br>##"},
      {"line break in the date", "<form></form>x<br>" + record + "<br>#05.12\r\nHost: evil#"},
      {"bar in the date", "<form></form>x<br>" + record + "<br>#05|12#"},
      {"overlong date", "<form></form>x<br>" + record + "<br>#" + std::string(kMaxDateLength + 1, '1') + "#"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UpdateAnswer answer;
    answer.date = "untouched";
    EXPECT_FALSE(ParseUpdateAnswer(c.body, answer));
    EXPECT_EQ(answer.date, "untouched");
  }
}

TEST(UpdateAnswer, BadElementsAreSkippedAndCounted) {
  const std::string guid = "{C0FFEE00-1234-4ABC-8DEF-0123456789AB}";
  const struct {
    const char* name;
    std::string element;
  } bad[] = {
      {"one character", "7"},
      {"odd length", Encipher(kRecord) + "0"},
      {"not hex", std::string(16, 'g')},
      {"part of a block", Encipher(kRecord).substr(0, 24)},
      {"oversized", std::string(kMaxRecordHexLength + 16, 'a')},
      {"four fields", Encipher("a|b|" + guid + "|high")},
      {"six fields", Encipher("a|b|" + guid + "|high|c|d")},
      {"class ID without braces", Encipher("a|b|C0FFEE00-1234-4ABC-8DEF-0123456789AB|high|c")},
      {"class ID not hex", Encipher("a|b|{C0FFEE00-1234-4ABC-8DEF-0123456789AZ}|high|c")},
      {"control character", Encipher("a\tb|b|" + guid + "|high|c")},
      {"name too long", Encipher(std::string(256, 'n') + "|b|" + guid + "|high|c")},
  };
  std::string body = "<form></form>";
  for (const auto& b : bad) body += b.element + "<br>";
  body += Encipher("Good|good.dll|" + guid + "|none|fine") + "<br> \r\n<br>#1.2.2005#";
  UpdateAnswer answer;
  ASSERT_TRUE(ParseUpdateAnswer(body, answer));
  EXPECT_EQ(answer.skipped, static_cast<int>(std::size(bad)));  // the blank element is not counted
  ASSERT_EQ(answer.records.size(), 1u);
  EXPECT_EQ(answer.records[0].name, "Good");
  EXPECT_EQ(answer.records[0].index, static_cast<int>(std::size(bad)));
  for (const auto& b : bad) {
    SCOPED_TRACE(b.name);
    DefinitionRecord record;
    EXPECT_FALSE(DecodeDefinitionRecord(b.element, record));
  }
}

TEST(UpdateAnswer, ResultTextCountsTheElementsBetweenFirstAndLast) {
  EXPECT_EQ(UpdateResultText(5), "Updated with 3 new definitions");
  EXPECT_EQ(UpdateResultText(3), "Definitions are up-to-date");
  EXPECT_EQ(UpdateResultText(2), "Updated with 0 new definitions");
  EXPECT_EQ(UpdateResultText(1), "Definitions are up-to-date");
}

TEST(UpdateAnswer, ResultTextSaysHowManyRecordsWereSkipped) {
  const struct {
    int elementCount, skipped;
    const char* text;
  } cases[] = {
      {5, 0, "Updated with 3 new definitions"},
      {5, 1, "Updated with 3 new definitions. 1 record was skipped as unusable."},
      {3, 2, "Definitions are up-to-date. 2 records were skipped as unusable."},
  };
  for (const auto& c : cases) EXPECT_EQ(UpdateResultText(c.elementCount, c.skipped), c.text);
}

TEST(UpdateRecord, OnlyAUsableRecordGoesIntoTheRequest) {
  const struct {
    std::string stored, usable;
  } cases[] = {
      {"", kDefaultUpdateRecord},
      {"05.12.2004", kDefaultUpdateRecord},  // no "|": the default first field
      {"Tidewell|05.12.2004", "Tidewell|05.12.2004"},
      {"a|05.12.2004\r\nHost: x", kDefaultUpdateRecord},
      {"My Tidewell|05.12.2004", "My Tidewell|05.12.2004"},  // kept: a blank travels as %20
      {"a|05 12 2004", kDefaultUpdateRecord},
      {"a#b|05.12.2004", kDefaultUpdateRecord},
      {"a|", kDefaultUpdateRecord},
  };
  for (const auto& c : cases) EXPECT_EQ(UsableUpdateRecord(c.stored), c.usable) << c.stored;
  EXPECT_EQ(UpdateRecordDate(kDefaultUpdateRecord), "0.0.0");
  EXPECT_EQ(DumpPath("Skylark|0.0.0"), "/cgi/submited_bho.cgi?action=dump&date=Skylark|0.0.0");
  EXPECT_EQ(DumpPath("My  Tidewell|0.0.0"), "/cgi/submited_bho.cgi?action=dump&date=My%20%20Tidewell|0.0.0");
  EXPECT_EQ(ReplaceUpdateRecordDate("My Tidewell|1.1.2004", "05.12.2004"), "My Tidewell|05.12.2004");
  EXPECT_EQ(ReplaceUpdateRecordDate("Tidewell|1.1.2004", "05.12.2004"), "Tidewell|05.12.2004");
  EXPECT_EQ(ReplaceUpdateRecordDate("bare", "05.12.2004"), "Skylark|05.12.2004");
}

}  // namespace
}  // namespace tidewell
