#include "tidewell/report/MachineReport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "shared/db/AdoRecordset.h"
#include "shared/text/Text.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/TestFolder.h"
#include "tidewell/bho/BhoCatalog.h"

namespace tidewell {
namespace {

namespace fs = std::filesystem;

std::string Profile() {
  wchar_t value[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(L"USERPROFILE", value, MAX_PATH);
  return Utf8FromWide(std::wstring_view(value, length)).value_or("");
}

// The line of the report that starts with the text; empty when none does.
std::string LineStartingWith(const std::string& report, const std::string& start) {
  size_t at = report.find("\r\n" + start);
  if (at == std::string::npos) return {};
  at += 2;
  return report.substr(at, report.find("\r\n", at) - at);
}

// A BHO registered with its file copied from a signing fixture, for the life of the object.
class PlantedBho {
 public:
  PlantedBho(std::string clsid, const std::string& fixture, const std::string& file) : clsid_(std::move(clsid)) {
    fs::copy_file(test::ProgramFolder() / "signing" / fixture, PathFromUtf8(file));
    CreateKey(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + clsid_);
    UniqueKey inproc = CreateKey(HKEY_CLASSES_ROOT, "CLSID\\" + clsid_ + "\\InprocServer32");
    WriteString(inproc.Get(), "", file);
  }
  ~PlantedBho() {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + clsid_);
    DeleteKeyTree(HKEY_CLASSES_ROOT, "CLSID\\" + clsid_);
  }

 private:
  std::string clsid_;
};

TEST(MachineReport, ListsEachBhoWithItsRatingFileAndSignerAndHidesTheProfileFolder) {
  test::TestAppFolder folder;
  const std::string profile = Profile();
  ASSERT_TRUE(StartsWithNoCase(folder.Text(), profile + "\\")) << "the scratch folder lies in the profile";
  const std::string hidden = "%USERPROFILE%" + folder.Text().substr(profile.size());
  // A BHO registered by this build lands in this build's own view.
  const std::string view = sizeof(void*) == 8 ? " | 64-bit | " : " | 32-bit | ";
  PlantedBho rated("{5EB0A7ED-0000-4000-8000-000000000001}", "signed.dll", folder.File("signed.dll"));
  PlantedBho unknown("{5EB0A7ED-0000-4000-8000-000000000002}", "unsigned.dll", folder.File("unsigned.dll"));
  CADODatabase database;
  ASSERT_TRUE(database.Open(folder.ConnectionString()));
  CADORecordset insert(database);
  insert.Open("insert into BHOS(clsid,name,risk) values('{5EB0A7ED-0000-4000-8000-000000000001}','Bänk Hëlper','high')");

  std::string report = MakeMachineReport(database, folder.DatabaseFile()).value_or("");

  std::string signedLine = LineStartingWith(report, "{5EB0A7ED-0000-4000-8000-000000000001} | ");
  EXPECT_EQ(signedLine.rfind("{5EB0A7ED-0000-4000-8000-000000000001}" + view + "Bänk Hëlper | high | " + hidden +
                                 "signed.dll | exists | ",
                             0),
            0u)
      << signedLine;
  EXPECT_NE(signedLine.find(" | signed by Tidewell Test Signer (not trusted) | "), std::string::npos) << signedLine;
  std::string unsignedLine = LineStartingWith(report, "{5EB0A7ED-0000-4000-8000-000000000002} | ");
  EXPECT_EQ(unsignedLine.rfind("{5EB0A7ED-0000-4000-8000-000000000002}" + view + "Unknown BHO | not rated | " +
                                   hidden + "unsigned.dll | exists | ",
                               0),
            0u)
      << unsignedLine;
  EXPECT_NE(unsignedLine.find(" | unsigned | - | not rated and unsigned"), std::string::npos) << unsignedLine;

  size_t header = report.find("Tidewell report\r\n"), bhos = report.find("\r\n[BHOs]\r\n"),
         startup = report.find("\r\n[Startup entries]\r\n"), processes = report.find("\r\n[Running processes]\r\n"),
         hosts = report.find("\r\n[Hosts file]\r\n"), addons = report.find("\r\n[Browser add-ons]\r\n");
  EXPECT_TRUE(header == 0 && header < bhos && bhos < startup && startup < processes && processes < hosts &&
              hosts < addons && addons != std::string::npos);
  EXPECT_EQ(report.find(profile), std::string::npos);
}

TEST(MachineReport, ListsBrowserAddonsWithTheProfileFolderHidden) {
  test::TestAppFolder folder;
  const std::string profile = Profile();
  wchar_t local[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
  const std::string localAppData = Utf8FromWide(std::wstring_view(local, length)).value_or("");
  ASSERT_TRUE(StartsWithNoCase(localAppData, profile + "\\"));
  const std::string name = test::UniqueName("report");
  const fs::path planted = PathFromUtf8(localAppData + "\\Google\\Chrome\\User Data\\" + name);
  fs::create_directories(planted);
  std::ofstream(planted / "Preferences", std::ios::binary)
      << R"({"extensions":{"settings":{"ppppoooonnnnmmmmllllkkkkjjjjiiii":{"manifest":{"name":"Report Planted",)"
         R"("version":"1.0"},"location":4,"state":0}}}})";
  CADODatabase database;
  ASSERT_TRUE(database.Open(folder.ConnectionString()));
  std::string report = MakeMachineReport(database, folder.DatabaseFile()).value_or("");
  std::error_code ignored;
  fs::remove_all(planted, ignored);

  EXPECT_EQ(LineStartingWith(report, "Google Chrome / " + name + " | "),
            "Google Chrome / " + name + " | Report Planted | ppppoooonnnnmmmmllllkkkkjjjjiiii | 1.0 | disabled | "
            "unpacked | %USERPROFILE%" + localAppData.substr(profile.size()) + "\\Google\\Chrome\\User Data\\" + name);
}

}  // namespace
}  // namespace tidewell
