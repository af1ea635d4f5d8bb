// Tidewell.exe /report, run as a script would run it.

#include <gtest/gtest.h>

#include <filesystem>

#include "shared/win/Profile.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tests/support/RunningProgram.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const wchar_t* kUserRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// A Run value of the current user, for the life of the object.
class PlantedRunValue {
 public:
  PlantedRunValue(const std::string& name, const std::string& command) : name_(WideFromUtf8(name)) {
    std::wstring data = WideFromUtf8(command);
    RegSetKeyValueW(HKEY_CURRENT_USER, kUserRunKey, name_.c_str(), REG_SZ, data.c_str(),
                    static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  }
  ~PlantedRunValue() { RegDeleteKeyValueW(HKEY_CURRENT_USER, kUserRunKey, name_.c_str()); }

 private:
  std::wstring name_;
};

std::optional<DWORD> RunTidewell(const test::TempFolder& folder, const std::string& arguments) {
  fs::copy_file(test::ProgramFolder() / "Tidewell.exe", folder.Path() / "Tidewell.exe");
  test::RunningProgram tidewell(folder.File("Tidewell.exe"), folder.Text(), arguments);
  EXPECT_TRUE(tidewell.Started());
  return tidewell.WaitForExit(60s);
}

std::string Profile() {
  wchar_t value[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(L"USERPROFILE", value, MAX_PATH);
  return Utf8FromWide(std::wstring_view(value, length)).value_or("");
}

TEST(ReportCommand, WritesEverySectionAndHidesTheProfileFolderWithoutStartingTheProgram) {
  test::TestAppFolder folder;
  ASSERT_FALSE(Profile().empty());
  PlantedRunValue run("Tidewell report probe Ünï", "\"" + Profile() + "\\Probe Tools\\probe.exe\" /quiet");
  WriteProfileValue("AppPath", "before");
  std::string report = folder.File("report.txt");
  ASSERT_EQ(RunTidewell(folder, "/report \"" + report + "\""), std::optional<DWORD>(0));
  std::string text = test::ReadWholeFile(report);
  EXPECT_EQ(text.rfind("Tidewell report\r\n", 0), 0u) << text.substr(0, 200);
  for (const char* section : {"[BHOs]", "[Startup entries]", "[Running processes]", "[Hosts file]"})
    EXPECT_NE(text.find(section), std::string::npos) << section;
  EXPECT_NE(text.find("HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run | Tidewell report probe Ünï | "
                      "\"%USERPROFILE%\\Probe Tools\\probe.exe\" /quiet | %USERPROFILE%\\probe tools\\probe.exe | "
                      "missing | - | - | - | not rated and unsigned\r\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find(Profile()), std::string::npos);
  EXPECT_EQ(ReadProfileValue("AppPath"), "before");
}

TEST(ReportCommand, FailsWithoutAWritableFileOrADatabase) {
  test::TestAppFolder folder;
  EXPECT_EQ(RunTidewell(folder, "/report \"" + folder.File("no such folder\\r.txt") + "\""), std::optional<DWORD>(1));
  test::TempFolder bare;
  EXPECT_EQ(RunTidewell(bare, "/report \"" + bare.File("r.txt") + "\""), std::optional<DWORD>(1));
  EXPECT_FALSE(test::PathExists(bare.File("r.txt")));
}

TEST(ReportCommand, UsageEndsWithZeroAndAnUnknownOptionWithOne) {
  test::TempFolder usage, unknown;
  EXPECT_EQ(RunTidewell(usage, "/?"), std::optional<DWORD>(0));
  EXPECT_EQ(RunTidewell(unknown, "/reprot x.txt"), std::optional<DWORD>(1));
}

}  // namespace
}  // namespace tidewell
