// Loading the spyware definitions: deciphering, damaged files, the safety
// filter on signatures, path expansion, and the delivered extra.neo.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

#include "shared/crypto/BlowfishCipher.h"
#include "shared/text/Text.h"
#include "tests/support/TestFolder.h"
#include "tidewell/spyware/Definitions.h"

namespace tidewell {
namespace {

std::string Pack(const std::string& xml) {
  CBlowfishCipher cipher(kDefinitionsKey);
  std::vector<unsigned char> bytes = cipher.EncryptBytes(xml.data(), xml.size());
  return std::string(bytes.begin(), bytes.end());
}

const std::string kSample = std::string(kDefinitionsDeclaration) +
                            "<SPYWARE><E NAME=\"Bar\"><DESCRIPTION>Shows ads</DESCRIPTION><REGISTRY><KEYS>"
                            "<K MAIN=\"hkey_current_user\" SUB=\"Software\\\\BarVendor\" VALUE=\"Toolbar\"/></KEYS>"
                            "<VALUES><V MAIN=\"HKEY_LOCAL_MACHINE\" SUB=\"Software\\\\Microsoft\\\\Windows\\\\"
                            "CurrentVersion\\\\Run\" VALUE=\"BarUpdate\"/></VALUES></REGISTRY>"
                            "<FILES><F NAME=\"bar.dll\" PATH=\"Sys32Dir\"/></FILES>"
                            "<DIRECTORIES><D NAME=\"BarVendor\" PATH=\"PFDir\"/></DIRECTORIES>"
                            "<COOKIES><C NAME=\"barads\"/></COOKIES></E></SPYWARE>";

TEST(Definitions, LoadsAPackedFileWithItsDeclaration) {
  std::optional<SpywareDefinitions> definitions = LoadDefinitions(Pack(kSample));
  ASSERT_TRUE(definitions);
  ASSERT_EQ(definitions->entries.size(), 1u);
  const SpywareEntry& entry = definitions->entries[0];
  EXPECT_EQ(entry.name, "Bar");
  EXPECT_EQ(entry.description, "Shows ads");
  ASSERT_EQ(entry.keys.size(), 1u);
  EXPECT_EQ(entry.keys[0].sub, "Software\\BarVendor");
  EXPECT_EQ(entry.keys[0].hive, Hive::CurrentUser);
  ASSERT_EQ(entry.values.size(), 1u);
  EXPECT_EQ(entry.values[0].value, "BarUpdate");
  ASSERT_EQ(entry.files.size(), 1u);
  EXPECT_EQ(entry.folders[0].name, "BarVendor");
  EXPECT_EQ(entry.cookies, std::vector<std::string>{"barads"});
  EXPECT_TRUE(definitions->skipped.empty());
  EXPECT_EQ(definitions->Find("Bar"), &entry);
  EXPECT_EQ(definitions->Find("bar"), nullptr);
}

TEST(Definitions, DamagedFilesFailToLoadWithoutCrashing) {
  std::string packed = Pack(kSample);
  std::mt19937 random(7);
  std::string noise(4096, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::map<std::string, std::string> damaged = {
      {"empty", ""},
      {"one byte", packed.substr(0, 1)},
      {"short of a block", packed.substr(0, 13)},
      {"cut in the middle", packed.substr(0, packed.size() / 2)},
      {"random bytes", noise},
      {"plain text, not enciphered", kSample},
      {"another root element", Pack("<ENTRIES><E NAME=\"A\"><DESCRIPTION>d</DESCRIPTION></E></ENTRIES>")},
      {"more after the root", Pack("<SPYWARE></SPYWARE><E NAME=\"A\"><DESCRIPTION>d</DESCRIPTION></E>")},
      {"text before the root", Pack("x<SPYWARE></SPYWARE>")},
  };
  for (const auto& [what, bytes] : damaged) EXPECT_FALSE(LoadDefinitions(bytes)) << what;
}

TEST(Definitions, UnsafeSignaturesAreSkippedWhileLoading) {
  struct Case {
    const char* element;
    const char* why;
  };
  const Case cases[] = {
      {"<REGISTRY><KEYS><K MAIN=\"HKEY_LOCAL_MACHINE\" SUB=\"Software\" VALUE=\"\"/></KEYS></REGISTRY>", "empty value"},
      {"<REGISTRY><KEYS><K MAIN=\"HKEY_LOCAL_MACHINE\" SUB=\"\" VALUE=\"Software\"/></KEYS></REGISTRY>", "one level"},
      {"<REGISTRY><KEYS><K MAIN=\"HKEY_CURRENT_USER\" SUB=\"Software\\\\Microsoft\\\\Windows\" "
       "VALUE=\"CurrentVersion\"/></KEYS></REGISTRY>", "above the Run key"},
      {"<REGISTRY><KEYS><K MAIN=\"HKEY_CLASSES_ROOT\" SUB=\"exefile\" VALUE=\"shell\"/></KEYS></REGISTRY>",
       "file association"},
      {"<REGISTRY><KEYS><K MAIN=\"HKEY_LOCAL_MACHINE\" SUB=\"Software\\\\\\\\Vendor\" VALUE=\"x\"/></KEYS></REGISTRY>",
       "empty component"},
      {"<REGISTRY><VALUES><V MAIN=\"HKEY_LOCAL_MACHINE\" SUB=\"Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion"
       "\\\\Winlogon\" VALUE=\"Userinit\"/></VALUES></REGISTRY>", "generic value"},
      {"<REGISTRY><VALUES><V MAIN=\"HKEY_CURRENT_USER\" SUB=\"Software\\\\Microsoft\\\\Internet Explorer\\\\Main\" "
       "VALUE=\"start page\"/></VALUES></REGISTRY>", "generic value in another case"},
      {"<REGISTRY><VALUES><V MAIN=\"HKEY_CURRENT_USER\" SUB=\"Software\\\\Vendor\" VALUE=\"\"/></VALUES></REGISTRY>",
       "default value"},
      {"<FILES><F NAME=\"\" PATH=\"Sys32Dir\"/></FILES>", "nameless file"},
      {"<FILES><F NAME=\"..\\\\win.ini\" PATH=\"Sys32Dir\"/></FILES>", "climbing file"},
      {"<FILES><F NAME=\"kernel32.dll\" PATH=\"Sys32Dir\"/></FILES>", "system file"},
      {"<DIRECTORIES><D NAME=\"\" PATH=\"WinDir\"/></DIRECTORIES>", "nameless folder"},
      {"<DIRECTORIES><D NAME=\"System32\" PATH=\"WinDir\"/></DIRECTORIES>", "system folder"},
      {"<DIRECTORIES><D NAME=\"x\" PATH=\"PFDir\\\\..\\\\..\"/></DIRECTORIES>", "climbing path"},
      {"<DIRECTORIES><D NAME=\"Tidewell\" PATH=\"PFDir\"/></DIRECTORIES>", "our own folder"},
      {"<FILES><F NAME=\"bar\xC4.dll\" PATH=\"Sys32Dir\"/></FILES>", "a file name that is not UTF-8"},
      {"<REGISTRY><VALUES><V MAIN=\"HKEY_CURRENT_USER\" SUB=\"Software\\\\Vendor\" VALUE=\"\xED\xA0\x80\"/></VALUES>"
       "</REGISTRY>", "a value name holding a surrogate"},
      {"<COOKIES><C NAME=\"\"/></COOKIES>", "empty cookie text"},
      {"<COOKIES><C NAME=\"ad\"/></COOKIES>", "short cookie text"},
  };
  for (const Case& item : cases) {
    std::string xml =
        "<SPYWARE><E NAME=\"Bad\"><DESCRIPTION>d</DESCRIPTION>" + std::string(item.element) + "</E></SPYWARE>";
    std::optional<SpywareDefinitions> definitions = LoadDefinitions(Pack(xml));
    ASSERT_TRUE(definitions) << item.why;
    ASSERT_EQ(definitions->entries.size(), 1u) << item.why;
    const SpywareEntry& entry = definitions->entries[0];
    EXPECT_TRUE(entry.keys.empty() && entry.values.empty() && entry.files.empty() && entry.folders.empty() &&
                entry.cookies.empty())
        << item.why;
    EXPECT_EQ(definitions->skipped.size(), 1u) << item.why;
  }
  // An entry without a name cannot be reported, so it goes whole.
  std::optional<SpywareDefinitions> nameless =
      LoadDefinitions(Pack("<SPYWARE><E><DESCRIPTION>d</DESCRIPTION></E></SPYWARE>"));
  ASSERT_TRUE(nameless);
  EXPECT_TRUE(nameless->entries.empty());
}

TEST(Definitions, HiveNamesIgnoreCaseAndDefaultToTheMachine) {
  EXPECT_EQ(HiveFromName("HKEY_CLASSES_ROOT"), Hive::ClassesRoot);
  EXPECT_EQ(HiveFromName("hkey_current_user"), Hive::CurrentUser);
  EXPECT_EQ(HiveFromName("HKEY_USERS"), Hive::Users);
  EXPECT_EQ(HiveFromName("Hkey_Current_Config"), Hive::CurrentConfig);
  EXPECT_EQ(HiveFromName("HKEY_LOCAL_MACHINE"), Hive::LocalMachine);
  EXPECT_EQ(HiveFromName("HKEY_CURENT_USER"), Hive::LocalMachine);
}

TEST(Definitions, ExpandsThePathAndAppendsTheName) {
  EnvironmentLookup environment = [](const std::string& name) -> std::optional<std::string> {
    if (name == "windir") return "C:\\Windows";
    if (name == "USERPROFILE") return "C:\\Users\\Ann";
    if (name == "ProgramFiles") return "C:\\Program Files";
    return std::nullopt;
  };
  struct Case {
    const char* path;
    const char* name;
    const char* expected;
  };
  const Case cases[] = {
      {"Sys32Dir", "a.dll", "C:\\Windows\\System32\\a.dll"},
      {"SysDir", "a.dll", "C:\\Windows\\System\\a.dll"},
      {"WinDir", "a.exe", "C:\\Windows\\a.exe"},
      {"ProfilePath\\Cookies", "c.txt", "C:\\Users\\Ann\\Cookies\\c.txt"},
      {"PFDir\\Vendor", "WinDirTool.exe", "C:\\Program Files\\Vendor\\WinDirTool.exe"},  // names stay as they are
      {"%windir%\\Temp", "x", "%windir%\\Temp\\x"},                                     // no key, no expansion
      {"WinDir\\100%", "x", "C:\\Windows\\100%\\x"},                                    // a lone "%" stays
      {"WinDir\\%NOSUCH%\\y", "x", "C:\\Windows\\\\y\\x"},                               // unknown: empty
      {"", "x", "x"},
  };
  for (const Case& item : cases)
    EXPECT_EQ(ExpandDefinitionPath(item.path, item.name, environment), item.expected) << item.path;
  std::string longName(300, 'n');
  EXPECT_EQ(ExpandDefinitionPath("WinDir", longName, environment).size(), 11 + 300u) << "no length cap";
}

TEST(DeliveredDefinitions, HoldEnoughSafeEntriesWithDescriptions) {
  std::ifstream file(test::ProgramFolder() / "extra.neo", std::ios::binary);
  ASSERT_TRUE(file.is_open()) << "extra.neo is built beside the programs";
  std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::optional<SpywareDefinitions> definitions = LoadDefinitions(bytes);
  ASSERT_TRUE(definitions);
  EXPECT_GE(definitions->entries.size(), 150u);
  for (const std::string& why : definitions->skipped) ADD_FAILURE() << "unsafe delivered signature: " << why;
  size_t values = 0;
  // A short name right below Software or Program Files is some other vendor's as often as the spyware's.
  constexpr size_t kShortestTopName = 5;
  EnvironmentLookup environment = [](const std::string& name) -> std::optional<std::string> {
    return name == "ProgramFiles" ? std::optional<std::string>("C:\\Program Files") : std::nullopt;
  };
  for (const SpywareEntry& entry : definitions->entries) {
    values += entry.values.size();
    for (const RegistrySignature& key : entry.keys)
      if (EqualsNoCase(key.sub, "Software") && key.value.find('\\') == std::string::npos)
        EXPECT_GE(key.value.size(), kShortestTopName) << entry.name << ": Software\\" << key.value;
    for (const PathSignature& folder : entry.folders) {
      std::string parent = ExpandFolderKeys(folder.path, environment);
      if (folder.path.empty() || EqualsNoCase(parent, "C:\\Program Files") ||
          EqualsNoCase(parent, "C:\\Program Files\\Common Files"))
        EXPECT_GE(folder.name.size(), kShortestTopName) << entry.name << ": " << folder.path << "\\" << folder.name;
    }
    EXPECT_GE(entry.description.size(), 20u) << entry.name;
    EXPECT_FALSE(entry.keys.empty() && entry.values.empty() && entry.files.empty() && entry.folders.empty() &&
                 entry.cookies.empty())
        << entry.name << " has no signature";
    EXPECT_EQ(std::count_if(definitions->entries.begin(), definitions->entries.end(),
                            [&](const SpywareEntry& other) { return other.name == entry.name; }),
              1)
        << entry.name << " twice";
  }
  EXPECT_GE(values, 10u) << "value signatures";
}

}  // namespace
}  // namespace tidewell
