#include "tidewell/regclean/CategoryText.h"

#include <gtest/gtest.h>

namespace tidewell {
namespace {

TEST(CategoryText, EventTextsFollowEachCategoryWording) {
  EXPECT_EQ(ScanEventText(Category::Startup, 3, false), "Scanning startup found 3 invalid entries");
  EXPECT_EQ(ScanEventText(Category::Startup, 1, true), "Scanning startup (incomplete) found 1 invalid entries");
  EXPECT_EQ(ScanEventText(Category::CustomControls, 0, true),
            "Scanning registered custom controls (incomplete) found 0 invalid entries");
  // Once " invalid entries", not twice.
  EXPECT_EQ(RepairEventText(Category::Startup, 2), "Repaired 2 startup invalid entries");
  EXPECT_EQ(RepairEventText(Category::AddRemove, 1), "Repaired 1 add/remove programs invalid entries");
}

TEST(CategoryText, HelpCountsBothTypesOnlyWhileUnmarked) {
  EXPECT_EQ(CountStatement(Category::HelpAndResources),
            "select * from problems where (ptype='HHR' or ptype='HHR1') and state=0");
  EXPECT_EQ(CountStatement(Category::SharedPrograms), "select * from problems where ptype='SSDLL' and state=0");
  EXPECT_EQ(DetailsStatement(Category::Startup), "select * from problems where ptype='SUP'");
}

TEST(CategoryText, RepairMarksAndScanClearsTheCategorysOwnTypes) {
  const std::pair<Category, const char*> marks[] = {
      {Category::CustomControls, "update problems set state=1 where ptype='RCC'"},
      {Category::SoftwareLocations, "update problems set state=1 where ptype='SWL'"},
      {Category::HelpAndResources, "update problems set state=1 where ptype='HHR' or ptype='HHR1'"},
      {Category::SharedPrograms, "update problems set state=1 where ptype='SSDLL'"},
      {Category::Startup, "update problems set state=1 where ptype='SUP'"},
      {Category::AddRemove, "update problems set state=1 where ptype='ARP'"},
  };
  for (const auto& [category, statement] : marks) EXPECT_EQ(MarkStatement(category), statement);
  EXPECT_EQ(ClearStatement(Info(Category::HelpAndResources).locations[1]), "delete from problems where ptype='HHR1'");
}

TEST(CategoryText, EachBackupButtonExportsItsCategorysKeysUnderItsComment) {
  struct Case {
    Category category;
    CategoryBackupRequest request;
  };
  const std::string windows = "HKLM\\SOFTWARE\\Microsoft\\Windows\\", current = windows + "CurrentVersion\\";
  const Case cases[] = {
      {Category::CustomControls, {"Registered common controls backup", {{"HKCR\\CLSID", "CustomControls"}}}},
      {Category::SoftwareLocations, {"Software locations backup", {{current + "App Paths", "ApplicationPaths"}}}},
      {Category::HelpAndResources,
       {"Help and resources backup", {{windows + "Help", "WHelp"}, {windows + "HTML Help", "WHTMLHelp"}}}},
      {Category::SharedPrograms, {"Shared programs backup", {{current + "SharedDLLs", "SharedDLLs"}}}},
      {Category::Startup, {"Startup entries backup", {{current + "Run", "Startup"}}}},
      {Category::AddRemove, {"Add/remove programs backup", {{current + "Uninstall", "AddRemoveProgr"}}}},
  };
  for (const auto& c : cases) {
    CategoryBackupRequest request = BackupRequest(c.category);
    EXPECT_EQ(request.comment, c.request.comment);
    ASSERT_EQ(request.keys.size(), c.request.keys.size()) << c.request.comment;
    for (size_t i = 0; i < request.keys.size(); ++i) {
      EXPECT_EQ(request.keys[i].key, c.request.keys[i].key);
      EXPECT_EQ(request.keys[i].fileBase, c.request.keys[i].fileBase);
    }
  }
}

TEST(CategoryText, RootKeyTextsRoundTripAndStrangersAreRefused) {
  EXPECT_EQ(RootKeyText(RootText::Hklm, "32-bit"), "HKLM (32-bit)");
  EXPECT_EQ(RootKeyText(RootText::Hkcr, ""), "HKCR");
  auto parsed = ParseRootKeyText("HKCR (64-bit)");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->root, RootText::Hkcr);
  EXPECT_EQ(parsed->viewLabel, "64-bit");
  for (const char* bad : {"HKCU", "HKLM (16-bit)", "HKLM ", "", "hklm", "HKLMX"}) EXPECT_FALSE(ParseRootKeyText(bad)) << bad;
}

TEST(CategoryText, OnlyKeysStrictlyBelowTheLocationMayBeDeleted) {
  struct Case {
    const char* subkey;
    const char* location;
    int depth;
    bool allowed;
  };
  const Case cases[] = {
      {"CLSID\\{1}\\InprocServer32", "CLSID", 2, true},
      {"clsid\\{1}\\InprocServer32", "CLSID", 2, true},
      {"CLSID", "CLSID", 2, false},
      {"CLSID\\", "CLSID", 1, false},
      {"CLSID\\{1}", "CLSID", 2, false},
      {"CLSID\\\\InprocServer32", "CLSID", 2, false},
      {"CLSIDX\\{1}\\InprocServer32", "CLSID", 2, false},
      {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\a.exe", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", 1, true},
      {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\a.exe\\", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", 1, false},
      {"SOFTWARE\\Microsoft", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 1, false},
      {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\a\\b", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 1, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsStrictlyBelow(c.subkey, c.location, c.depth), c.allowed) << c.subkey;
}

TEST(CategoryText, CommandsGiveThePlacesTheirProgramMayEnd) {
  struct Case {
    const char* command;
    std::vector<std::string> candidates;
  };
  const Case cases[] = {
      {"\"C:\\Program Files\\A B\\a.exe\" -min", {"C:\\Program Files\\A B\\a.exe"}},
      {"  \"C:\\x.exe\"", {"C:\\x.exe"}},
      {"C:\\Tools\\t.exe /min", {"C:\\Tools\\t.exe /min", "C:\\Tools\\t.exe"}},
      {"C:\\My - Tools\\t.exe", {"C:\\My - Tools\\t.exe", "C:\\My -", "C:\\My"}},
      {"rundll32.exe", {"rundll32.exe"}},
      {"", {}},
      {"\"\"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ProgramCandidates(c.command), c.candidates) << c.command;
}

TEST(CategoryText, QuotedPathsStayWholeAndVariablesAreNotJudged) {
  EXPECT_EQ(ExtractQuotedPath("\"C:\\a b\\c.dll\""), "C:\\a b\\c.dll");
  EXPECT_EQ(ExtractQuotedPath("C:\\a b\\c.dll"), "C:\\a b\\c.dll");
  EXPECT_EQ(ExtractQuotedPath("\"C:\\open"), "C:\\open");
  EXPECT_TRUE(IsUnjudgeable("   "));
  EXPECT_TRUE(IsUnjudgeable("%NOT_SET%\\x.exe"));
  EXPECT_FALSE(IsUnjudgeable("C:\\x.exe"));
  EXPECT_TRUE(IsFullPath("C:\\x"));
  EXPECT_TRUE(IsFullPath("\\\\server\\share\\x"));
  EXPECT_FALSE(IsFullPath("x.dll"));
}

}  // namespace
}  // namespace tidewell
