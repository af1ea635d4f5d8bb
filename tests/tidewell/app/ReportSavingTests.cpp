#include "tidewell/app/ReportSaving.h"

#include <gtest/gtest.h>

#include "resource.h"
#include "shared/win/Registry.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"
#include "tidewell/app/MainDialog.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;

class ReportSavingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The key watcher that starts with the window reports a missing BHO key.
    CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects");
    ASSERT_NE(dialog.Create(GetModuleHandleA(nullptr), IDD_MAIN_DIALOG, nullptr), nullptr);
  }
  void TearDown() override {
    if (dialog.Handle()) dialog.Destroy();
  }
  // The answer to the one prompt that ends the save, once it came.
  std::vector<PromptRequest> SaveAndWait(const std::string& file, int answer) {
    test::ScriptedPrompt script{answer};
    WriteReportInBackground(dialog, folder.DatabaseFile(), file);
    test::PumpUntil([&] { return !script.Requests().empty(); }, 60s);
    return script.Requests();
  }

  test::TestAppFolder folder;
  CMainDialog dialog{folder.File("Tidewell.exe")};
};

TEST_F(ReportSavingTest, WritesTheReportOffTheWindowAndOffersToOpenIt) {
  std::string file = folder.File("saved report.txt");
  auto requests = SaveAndWait(file, IDNO);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].text, "The report was saved to " + file + ".\n\nOpen it now?");
  EXPECT_EQ(requests[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(test::ReadWholeFile(file).rfind("Tidewell report\r\n", 0), 0u);
}

TEST_F(ReportSavingTest, SaysWhenTheFileCannotBeWritten) {
  std::string file = folder.File("no such folder\\r.txt");
  auto requests = SaveAndWait(file, IDOK);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].text, "Cannot write the report to " + file);
  EXPECT_EQ(requests[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
}

}  // namespace
}  // namespace tidewell
