#include "tidewell/backup/RegistryBackup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/text/Text.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"
#include "tidewell/removal/BackupText.h"
#include "tidewell/removal/RegFileReader.h"
#include "tidewell/shell/EventLog.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;

constexpr const char* kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

std::string Utf16File(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  std::u16string wide = Utf16FromUtf8(text).value();
  for (char16_t c : wide) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return bytes;
}

// A .reg file of one key and the lines after it.
std::string KeyFile(const std::string& key, const std::string& lines) {
  std::string text = kHeader;
  text.append("[").append(key).append("]\r\n").append(lines).append("\r\n");
  return text;
}

// The cases name their scratch key "K".
std::string WithKey(const std::string& text, const std::string& key) {
  std::string result = ReplaceAll(ReplaceAll(text, "[K", "[" + key), "[-K", "[-" + key);
  return result.starts_with("K\\") ? key + result.substr(1) : result;
}

class RegistryRestoreTest : public ::testing::Test {
 protected:
  RegistryRestoreTest() { EXPECT_TRUE(database.Open(folder.ConnectionString())); }

  // A one-file backup of the given bytes, filed as the backups are; its file.
  std::string PlantBackup(int32_t time, const std::string& bytes) {
    std::string file = backup.BackupFolder(time, true) + "\\Planted.reg";
    std::ofstream(file, std::ios::binary) << bytes;
    CADORecordset recordset(database);
    recordset.Open(FormatSql("insert into regbk(dattm,file,comment) values(%d,'%s','%s')", time, file, "Planted"));
    return file;
  }

  test::TestAppFolder folder;
  CADODatabase database;
  CRegistryBackup backup{database, folder.Text()};
};

// "Operation completed" only when the registry holds all the file says;
// otherwise the answer names what it lacks, and so does the event.
TEST_F(RegistryRestoreTest, RestoreAnswersWithWhatTheRegistryDoesNotHold) {
  struct Case {
    const char* what;
    std::string body;  // after "[<key>]"; the key's lines say "[K"
    bool utf16;
    std::vector<std::string> missing;  // "<file>" and "K" stand for the file and the key
  };
  const std::string tooLong(300, 'n');  // longer than a key name may be
  const Case cases[] = {
      {"every type in UTF-16, names outside ASCII, deletions",
       "\"S\"=\"C:\\\\Tools\\\\\\\"x\\\".exe\"\r\n\"E\"=hex(2):25,00,54,00,00,00\r\n\"M\"=hex(7):61,00,00,00,00,00\r\n"
       "\"D\"=dword:000000ff\r\n\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n\"B\"=hex:de,ad,\\\r\n  be,ef\r\n"
       "\"\xC4\x8C" "ech \xE6\x97\xA5\xE6\x9C\xAC\"=\"\xC3\xBC\"\r\n@=\"default\"\r\n\"Old\"=-\r\n[-K\\Gone]\r\n",
       true, {}},
      {"8-bit REGEDIT4", "\"S\"=\"plain\"\r\n\"E\"=hex(2):25,54,25,00\r\n\"D\"=dword:00000001\r\n", false, {}},
      {"a damaged body, refused whole", "\"Good\"=\"1\"\r\nthis line is damaged\r\n\"After\"=\"2\"\r\n", false,
       {"<file>"}},
      {"a key reg.exe cannot make", "[K\\" + tooLong + "]\r\n\"v\"=\"1\"\r\n", true, {"K\\" + tooLong}},
  };
  int32_t time = 20000;
  for (const auto& c : cases) {
    test::ScratchKey key("restore-" + std::to_string(time));
    WriteString(key.Key(), "Old", "to be deleted");
    UniqueKey gone = CreateKey(HKEY_CURRENT_USER, key.Path() + "\\Gone");
    gone.Reset();
    std::string keyName = "HKEY_CURRENT_USER\\" + key.Path();
    std::string text = KeyFile(keyName, WithKey(c.body, keyName));
    std::string file = PlantBackup(time, c.utf16 ? Utf16File(text) : text);
    std::string name = "Planted - " + FormatEventTime(time);

    test::ScriptedPrompt script{IDYES, IDOK};
    EXPECT_TRUE(backup.RestoreBackup(name, time)) << c.what;
    auto prompts = script.Requests();
    ASSERT_EQ(prompts.size(), 2u) << c.what;
    std::string expected = "Operation completed";
    if (!c.missing.empty()) {
      expected = "Tidewell could not restore these values:";
      for (const auto& item : c.missing) expected += "\n" + (item == "<file>" ? file : WithKey(item, keyName));
    }
    EXPECT_EQ(prompts[1].text, expected) << c.what;
    EXPECT_EQ(prompts[1].caption, "Tidewell") << c.what;
    EXPECT_EQ(prompts[1].type & MB_ICONMASK, static_cast<UINT>(c.missing.empty() ? MB_ICONINFORMATION : MB_ICONWARNING))
        << c.what;
    std::string event = "Restored " + FormatEventTime(time) + (c.missing.empty() ? "" : " (incomplete)");
    EXPECT_EQ(test::Events(database).back().text, event) << c.what;
    if (c.missing == std::vector<std::string>{"<file>"}) {
      EXPECT_FALSE(ReadString(key.Key(), "Good")) << "a damaged file is not imported in part";
    }
    ++time;
  }
}

TEST_F(RegistryRestoreTest, ARegToolRunThatOutlastsItsBoundIsEndedAndCountsAsFailed) {
  test::ScratchKey key("bounded");
  WriteString(key.Key(), "V", "1");
  std::string file = PlantBackup(21000, KeyFile("HKEY_CURRENT_USER\\" + key.Path(), "\"V\"=\"1\"\r\n"));
  backup.SetRegTool({"\"" + (test::ProgramFolder() / "backup_slow_tool.exe").string() + "\"", 1500});
  const struct {
    const char* what;
    std::function<bool()> failed;
  } runs[] = {
      {"export",
       [&] {
         // and leaves no half-written file behind
         return !backup.ExportRegistryKey(key.ShortPath(), "Slow", 21001, "Slow") &&
                !test::PathExists(backup.BackupFolder(21001) + "\\Slow.reg");
       }},
      {"import", [&] { return backup.ImportRegFile(file) == std::vector{file}; }},
  };
  for (const auto& run : runs) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(run.failed()) << run.what;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s) << run.what;
    EXPECT_FALSE(test::IsRunning("backup_slow_tool.exe")) << run.what;
  }
}

}  // namespace
}  // namespace tidewell
