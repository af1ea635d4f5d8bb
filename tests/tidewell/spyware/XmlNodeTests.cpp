#include "tidewell/spyware/XmlNode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace tidewell {
namespace {

// The text in a heap block of exactly its length and the NUL, so the
// sanitizers report any read past the terminator.
class ExactText {
 public:
  explicit ExactText(const std::string& text) : bytes_(new char[text.size() + 1]), size_(text.size()) {
    std::memcpy(bytes_.get(), text.c_str(), text.size() + 1);
  }
  const char* Start() const { return bytes_.get(); }
  const char* End() const { return bytes_.get() + size_; }
  const char* At(const std::string& part) const { return std::strstr(bytes_.get(), part.c_str()); }

 private:
  std::unique_ptr<char[]> bytes_;
  size_t size_;
};

struct Parsed {
  explicit Parsed(const std::string& text, CXmlParseInfo options = {}) : text(text), info(std::move(options)) {
    result = root.Load(this->text.Start(), info);
  }
  ExactText text;
  CXmlParseInfo info;
  CXmlNode root;
  const char* result;
};

std::string AttributeValue(const CXmlNode* node, const char* name) {
  const CXmlAttribute* attribute = node ? node->FindAttribute(name) : nullptr;
  return attribute ? std::string(attribute->value) : "<none>";
}

TEST(XmlLoad, EmptyElementEndsJustAfterItsTag) {
  Parsed p("<A/> and more");
  EXPECT_EQ(p.root.name, "A");
  EXPECT_EQ(p.root.GetChildCount(), 0);
  EXPECT_EQ(p.result, p.text.At(" and more"));
  EXPECT_FALSE(p.info.error);
}

TEST(XmlLoad, AttributesKeepDocumentOrderWithoutTheirQuotes) {
  Parsed p("<A first='one \"1\"' second=\"two '2'\" bare=three flag last = \" spaced \"/>");
  ASSERT_NE(p.result, nullptr);
  ASSERT_EQ(p.root.GetAttributeCount(), 5);
  const char* names[] = {"first", "second", "bare", "flag", "last"};
  const char* values[] = {"one \"1\"", "two '2'", "three", "", "spaced"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(p.root.GetAttribute(i)->name, names[i]);
    EXPECT_EQ(p.root.GetAttribute(i)->value, values[i]);
    EXPECT_EQ(p.root.GetAttribute(i)->parent, &p.root);
  }
  EXPECT_EQ(p.root.GetAttribute(5), nullptr);
  EXPECT_EQ(p.root.GetAttribute(-1), nullptr);
}

TEST(XmlLoad, ValuesAreTrimmedOnlyWhenAsked) {
  EXPECT_EQ(Parsed("<A> t </A>").root.value, "t");
  EXPECT_EQ(Parsed("<A x=' t '/>").root.FindAttribute("x")->value, "t");
  CXmlParseInfo untrimmed;
  untrimmed.trimValues = false;
  EXPECT_EQ(Parsed("<A> t </A>", untrimmed).root.value, " t ");
  EXPECT_EQ(Parsed("<A x=' t '/>", untrimmed).root.FindAttribute("x")->value, " t ");
}

TEST(XmlLoad, BackslashEscapesTheNextCharacter) {
  Parsed p(R"(<A path="C:\\Windows" quote="say \"hi\""><B>a\<b \x</B></A>)");
  ASSERT_NE(p.result, nullptr);
  EXPECT_EQ(AttributeValue(&p.root, "path"), R"(C:\Windows)");
  EXPECT_EQ(AttributeValue(&p.root, "quote"), R"(say "hi")");
  ASSERT_EQ(p.root.GetChildCount(), 1);
  EXPECT_EQ(p.root.GetChild(0)->value, "a<b x");
}

TEST(XmlLoad, WithoutAnEscapeCharacterBackslashesStayButStillHideTheNext) {
  CXmlParseInfo info;
  info.escapeChar = '\0';
  Parsed p(R"(<A path="C:\\Windows">a\<b</A>)", info);
  ASSERT_NE(p.result, nullptr);
  EXPECT_EQ(AttributeValue(&p.root, "path"), R"(C:\\Windows)");
  EXPECT_EQ(p.root.value, R"(a\<b)");
}

TEST(XmlLoad, EntitiesAreDecodedInOnePass) {
  Parsed p("<A x='&lt;&gt;&quot;&apos;&amp;'>&amp;lt; &#65; &unknown; &amp</A>");
  ASSERT_NE(p.result, nullptr);
  EXPECT_EQ(AttributeValue(&p.root, "x"), "<>\"'&");
  EXPECT_EQ(p.root.value, "&lt; &#65; &unknown; &amp");

  CXmlParseInfo off;
  off.decodeEntities = false;
  EXPECT_EQ(Parsed("<A>&lt;</A>", off).root.value, "&lt;");
  CXmlParseInfo noTable;
  noTable.entities = {};
  EXPECT_EQ(Parsed("<A>&lt;</A>", noTable).root.value, "&lt;");
  const CXmlEntity own[] = {{'!', "%bang;", 6}};
  CXmlParseInfo ownTable;
  ownTable.entities = own;
  EXPECT_EQ(Parsed("<A>%bang;&lt;</A>", ownTable).root.value, "!&lt;");
}

TEST(XmlLoad, TextAfterTheFirstChildCountsOnlyWithoutEarlierText) {
  EXPECT_EQ(Parsed("<A><B/>after</A>").root.value, "after");
  EXPECT_EQ(Parsed("<A>before<B/>after</A>").root.value, "before");
  Parsed p("<A>before<B/>after<C/>end</A>");
  EXPECT_EQ(p.root.GetChildCount(), 2);
  EXPECT_EQ(p.root.value, "before");
}

TEST(XmlLoad, ElementWithoutClosingTagEndsWithTheText) {
  Parsed p("<A><B/>");
  ASSERT_EQ(p.result, p.text.End());
  EXPECT_EQ(p.root.GetChildCount(), 1);
  EXPECT_FALSE(p.info.error);
  Parsed text("<A>runs to the end");
  EXPECT_EQ(text.result, text.text.End());
  EXPECT_EQ(text.root.value, "runs to the end");
}

TEST(XmlErrors, ElementCutOffByTheEndFailsWhenClosingTagsAreRequired) {
  CXmlParseInfo strict;
  strict.requireClosingTags = true;
  for (const char* cut : {"<A><B/>", "<A>runs to the end", "<A><B>text", "<A><B></B>"}) {
    Parsed p(cut, strict);
    EXPECT_EQ(p.result, nullptr) << cut;
    EXPECT_EQ(p.info.errorCode, kXmlErrorClosingTagCut) << cut;
    EXPECT_EQ(p.info.errorPosition, p.text.End()) << cut;
  }
  Parsed whole("<A><B>text</B><C/></A>", strict);
  EXPECT_EQ(whole.result, whole.text.End());
  EXPECT_FALSE(whole.info.error);
}

TEST(XmlLoad, NestedDefinitionEntryBuildsTheTree) {
  Parsed p(
      "<SPYWARE>\n"
      "  <ENTRY NAME=\"Bad &amp; Co\">\n"
      "    <DESCRIPTION> Shows ads. </DESCRIPTION>\n"
      "    <REGISTRY><KEYS><K1 MAIN=\"HKEY_CURRENT_USER\" SUB=\"Software\\\\Bad\" VALUE=\"Run\"/></KEYS></REGISTRY>\n"
      "    <FILES><F1 NAME=\"bad.dll\" PATH=\"Sys32Dir\"/><F2 NAME=\"bad.exe\" PATH=\"\"/></FILES>\n"
      "  </ENTRY>\n"
      "</SPYWARE>\n");
  ASSERT_NE(p.result, nullptr);
  EXPECT_EQ(*p.result, '\n');
  ASSERT_EQ(p.root.GetChildCount(), 1);
  CXmlNode* entry = p.root.GetChild(0);
  EXPECT_EQ(entry->parent, &p.root);
  EXPECT_EQ(AttributeValue(entry, "NAME"), "Bad & Co");
  ASSERT_NE(entry->FindChild("DESCRIPTION"), nullptr);
  EXPECT_EQ(entry->FindChild("DESCRIPTION")->value, "Shows ads.");
  CXmlNode* key = entry->FindChild("REGISTRY")->FindChild("KEYS")->GetChild(0);
  EXPECT_EQ(AttributeValue(key, "SUB"), "Software\\Bad");
  CXmlNode* files = entry->FindChild("FILES");
  ASSERT_EQ(files->GetChildCount(), 2);
  EXPECT_EQ(AttributeValue(files->GetChild(1), "PATH"), "");
  EXPECT_EQ(entry->FindChild("description"), nullptr) << "names compare case-sensitively";
  EXPECT_EQ(entry->FindAttribute("name"), nullptr);
}

TEST(XmlLoad, ChildLookupsOutsideTheRangeFindNothing) {
  Parsed p("<A><B/><C/></A>");
  EXPECT_EQ(p.root.GetChildCount(), 2);
  EXPECT_EQ(p.root.GetChild(-1), nullptr);
  EXPECT_EQ(p.root.GetChild(2), nullptr);
  EXPECT_EQ(p.root.GetChild(1)->name, "C");
  EXPECT_EQ(p.root.FindChild("D"), nullptr);
  CXmlNode fresh;
  EXPECT_EQ(fresh.GetChildCount(), 0);
  EXPECT_EQ(fresh.GetChild(0), nullptr);
}

TEST(XmlLoad, ClearDropsChildrenAndAttributesButKeepsNameAndValue) {
  Parsed p("<A x='1'>text<B/></A>");
  p.root.Clear();
  EXPECT_EQ(p.root.GetChildCount(), 0);
  EXPECT_EQ(p.root.FindAttribute("x"), nullptr);
  EXPECT_EQ(p.root.name, "A");
  EXPECT_EQ(p.root.value, "text");
}

TEST(XmlLoad, ReusedNodeHoldsOnlyTheNewElement) {
  CXmlNode root;
  CXmlParseInfo info;
  ExactText first("<A x='1'>first<B/></A>");
  ASSERT_NE(root.Load(first.Start(), info), nullptr);
  ExactText second("<C>second<D/><E/></C>");
  ASSERT_NE(root.Load(second.Start(), info), nullptr);
  EXPECT_EQ(root.name, "C");
  EXPECT_EQ(root.value, "second");
  EXPECT_EQ(root.GetChildCount(), 2);
  EXPECT_EQ(root.FindAttribute("x"), nullptr);
}

// Enough nodes, attributes and text to fill many storage blocks: what the
// first block holds must still read right once the last one is filled.
TEST(XmlLoad, LargeDocumentKeepsEveryNodeAndTextWhereItWasRead) {
  constexpr int kEntries = 20000;
  std::string text = "<ROOT>";
  for (int i = 0; i < kEntries; ++i) {
    std::string n = std::to_string(i);
    text += "<E" + n + " id='" + n + "' tag=\"&lt;" + n + "&gt;\"> entry " + n + " <F/><G v='" + n + "'/></E" + n + ">";
  }
  text += "</ROOT>";
  Parsed p(text);
  ASSERT_EQ(p.result, p.text.End());
  ASSERT_EQ(p.root.GetChildCount(), kEntries);
  for (int i = 0; i < kEntries; ++i) {
    std::string n = std::to_string(i);
    const CXmlNode* entry = p.root.GetChild(i);
    ASSERT_EQ(entry->name, "E" + n);
    ASSERT_EQ(entry->parent, &p.root);
    ASSERT_EQ(entry->value, "entry " + n);
    ASSERT_EQ(AttributeValue(entry, "id"), n);
    ASSERT_EQ(AttributeValue(entry, "tag"), "<" + n + ">");
    ASSERT_EQ(entry->GetChildCount(), 2);
    ASSERT_EQ(AttributeValue(entry->GetChild(1), "v"), n);
    ASSERT_EQ(entry->GetChild(1)->parent, entry);
  }
}

TEST(XmlLoad, LoadingAChildLeavesItsSiblingsAndTheRootIntact) {
  Parsed p("<A><B x='1'>b</B><C>c</C></A>");
  ExactText other("<D y='2'><E/></D>");
  CXmlParseInfo info;
  ASSERT_NE(p.root.GetChild(0)->Load(other.Start(), info), nullptr);
  EXPECT_EQ(p.root.GetChild(0)->name, "D");
  EXPECT_EQ(AttributeValue(p.root.GetChild(0), "y"), "2");
  EXPECT_EQ(p.root.GetChild(0)->GetChild(0)->name, "E");
  EXPECT_EQ(p.root.GetChild(1)->value, "c");
  EXPECT_EQ(p.root.name, "A");
}

TEST(XmlLoad, NoStartTagGivesNothingAndAClosingTagIsHandedBack) {
  EXPECT_EQ(Parsed("plain text").result, nullptr);
  EXPECT_EQ(Parsed("").result, nullptr);
  Parsed closing("  </A>");
  EXPECT_EQ(closing.result, closing.text.At("</A>"));
  EXPECT_EQ(closing.root.name, "");
  EXPECT_FALSE(closing.info.error);
}

TEST(XmlLoad, NamesEndOnlyAtBlankSlashOrAngle) {
  Parsed p("<A\tx='1'/>");
  EXPECT_EQ(p.root.name, "A\tx='1'");
  EXPECT_EQ(p.root.GetAttributeCount(), 0);
}

TEST(XmlErrors, SlashNotFollowedByAngleIsElementMustBeClosed) {
  Parsed p("<A / >");
  EXPECT_EQ(p.result, nullptr);
  EXPECT_TRUE(p.info.error);
  EXPECT_EQ(p.info.errorCode, kXmlErrorElementNotClosed);
  EXPECT_EQ(p.info.errorMessage, "Element must be closed.");
  EXPECT_EQ(p.info.errorPosition, p.text.At("/"));
}

TEST(XmlErrors, ClosingNameRunningToTheEndMustBeClosed) {
  Parsed p("<A><B/></A");
  EXPECT_EQ(p.result, nullptr);
  EXPECT_EQ(p.info.errorCode, kXmlErrorClosingTagCut);
  EXPECT_EQ(p.info.errorMessage, "it must be closed with </A>");
  EXPECT_EQ(p.info.errorPosition, p.text.At("</A"));
}

TEST(XmlErrors, MismatchedClosingNameIsNotWellFormed) {
  Parsed p("<A><B/></C>");
  EXPECT_EQ(p.result, nullptr);
  EXPECT_EQ(p.info.errorCode, kXmlErrorTagMismatch);
  EXPECT_EQ(p.info.errorMessage, "'<A> ... </C>' is not wel-formed.");
  EXPECT_EQ(p.info.errorPosition, p.text.At("C>"));
  // The partial tree stays attached to the root.
  EXPECT_EQ(p.root.GetChildCount(), 1);
}

TEST(XmlErrors, AttributeNameWithoutBlankOrEqualsHasError) {
  Parsed p("<A><B attr/></B></A>");
  EXPECT_EQ(p.result, nullptr);
  EXPECT_EQ(p.info.errorCode, kXmlErrorAttribute);
  EXPECT_EQ(p.info.errorMessage, "<B> attribute has error ");
  EXPECT_EQ(p.info.errorPosition, p.text.At("attr"));
}

TEST(XmlErrors, FailureDeepInsideFailsEveryLevelAndKeepsThePartialTree) {
  Parsed p("<A><B/><C><D></E></C></A>");
  EXPECT_EQ(p.result, nullptr);
  EXPECT_EQ(p.info.errorMessage, "'<D> ... </E>' is not wel-formed.");
  ASSERT_EQ(p.root.GetChildCount(), 2);
  EXPECT_EQ(p.root.GetChild(1)->name, "C");
  EXPECT_EQ(p.root.GetChild(1)->GetChild(0)->name, "D");
}

TEST(XmlErrors, FirstErrorWins) {
  CXmlParseInfo info;
  CXmlNode root;
  ExactText mismatch("<A></C>");
  EXPECT_EQ(root.Load(mismatch.Start(), info), nullptr);
  ExactText unclosed("<A / >");
  EXPECT_EQ(root.Load(unclosed.Start(), info), nullptr);
  EXPECT_EQ(info.errorCode, kXmlErrorTagMismatch);
  EXPECT_EQ(info.errorMessage, "'<A> ... </C>' is not wel-formed.");
  EXPECT_EQ(info.errorPosition, mismatch.At("C>"));
}

TEST(XmlErrors, TextEndingInsideATagFailsWithoutReadingPastIt) {
  // Each is cut at a different point; none may read beyond the terminator.
  const char* cut[] = {"<",        "<A",          "<A ",        "<A x",          "<A x=",     "<A x='open",
                       "<A x=\"a\\", "<A x=bare",   "<A/",        "<A><B",         "<A></",     "<A></A",
                       "<A x='a\\'/>", "<A x=\"\\\"", "<A\\><B x='\\"};
  for (const char* text : cut) {
    Parsed p(text);
    EXPECT_EQ(p.result, nullptr) << text;
    if (p.info.error) {
      EXPECT_GE(p.info.errorPosition, p.text.Start()) << text;
      EXPECT_LE(p.info.errorPosition, p.text.End()) << text;
    }
  }
  EXPECT_FALSE(Parsed("<A x='open").info.error);
  EXPECT_EQ(Parsed("<A x").info.errorCode, kXmlErrorAttribute);
  EXPECT_EQ(Parsed("<A></A").info.errorCode, kXmlErrorClosingTagCut);
}

TEST(XmlErrors, TrailingBackslashInTextHidesOnlyTheEnd) {
  Parsed p("<A>text\\");
  EXPECT_EQ(p.result, p.text.End());
  EXPECT_EQ(p.root.value, "text");
}

std::string Nested(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "<n>";
  for (int i = 0; i < depth; ++i) text += "</n>";
  return text;
}

TEST(XmlErrors, NestingDeeperThanTheLimitFailsWithoutAMessage) {
  Parsed deepest(Nested(CXmlNode::kMaxDepth));
  EXPECT_EQ(deepest.result, deepest.text.End());
  Parsed tooDeep(Nested(CXmlNode::kMaxDepth + 1));
  EXPECT_EQ(tooDeep.result, nullptr);
  EXPECT_FALSE(tooDeep.info.error);
  // A damaged file of nothing but start tags must not exhaust the stack.
  std::string tags;
  for (int i = 0; i < 100000; ++i) tags += "<a>";
  EXPECT_EQ(Parsed(tags).result, nullptr);
}

}  // namespace
}  // namespace tidewell
