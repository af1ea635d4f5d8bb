#include "skylark/SkylarkDialog.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <chrono>

#include "shared/db/AdoRecordset.h"
#include "shared/win/Profile.h"
#include "skylark/SkylarkResource.h"
#include "skylark/UpdateAnswer.h"
#include "tests/skylark/SkylarkTestSupport.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/MessagePump.h"
#include "tests/support/RunningProgram.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
using test::LoopbackHttpServer;

const std::string kNewClsid = "{6E1A7B2C-1D44-4F0B-9C31-2A7F5D8E0B11}";

class SkylarkDialogTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (dialog.Handle()) dialog.Destroy();
  }
  HWND Open(const std::string& host, const std::string& record = "Skylark|01.01.2004") {
    profile.Set(folder.DatabaseFile(), record, host);
    return dialog.Create(GetModuleHandleA(nullptr), IDD_SKYLARK, nullptr);
  }
  std::string Text(int id) const { return test::WindowText(GetDlgItem(dialog.Handle(), id)); }
  void Click(int id) { SendMessageA(dialog.Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
  bool UpdateEnabled() const { return IsWindowEnabled(GetDlgItem(dialog.Handle(), IDOK)) != FALSE; }
  int Progress() const { return static_cast<int>(SendMessageA(GetDlgItem(dialog.Handle(), IDC_SKYLARK_PROGRESS), PBM_GETPOS, 0, 0)); }

  test::SkylarkProfile profile;
  test::TestAppFolder folder;
  CSkylarkDialog dialog;
};

TEST_F(SkylarkDialogTest, UpdateMergesShowsTheResultAndStoresTheDate) {
  LoopbackHttpServer server(test::DumpAnswer({"O'Brien Bar|ob.dll|" + kNewClsid + "|high|ads"}, "05.12.2004"));
  ASSERT_TRUE(Open(server.Host()));
  EXPECT_EQ(test::WindowText(dialog.Handle()), "BHO updater");
  EXPECT_EQ(Text(IDC_SKYLARK_LAST_UPDATE), "01.01.2004");
  EXPECT_EQ(Text(IDC_SKYLARK_STATUS), "Skylark");

  Click(IDOK);
  Click(IDOK);  // a second quick Enter starts nothing
  EXPECT_FALSE(UpdateEnabled());
  ASSERT_TRUE(test::PumpUntil([&] { return UpdateEnabled(); }, 20s));
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(Text(IDC_SKYLARK_STATUS), "Definitions are up-to-date");
  EXPECT_EQ(Text(IDC_SKYLARK_LAST_UPDATE), "05.12.2004");
  EXPECT_EQ(Progress(), 100);
  EXPECT_EQ(ReadProfileValue(kUpdateRecordKey), "Skylark|05.12.2004");
  CADORecordset row(dialog.Database());
  ASSERT_TRUE(row.Open("select * from bhos where clsid='" + kNewClsid + "'"));
  std::string name;
  row.GetField("name", name);
  EXPECT_EQ(name, "O'Brien Bar");
}

TEST_F(SkylarkDialogTest, TheResultSaysHowManyRecordsWereSkipped) {
  LoopbackHttpServer server(test::DumpAnswer({"Good|g.dll|" + kNewClsid + "|high|x", "four|fields|only|here"}, "05.12.2004"));
  ASSERT_TRUE(Open(server.Host()));
  Click(IDOK);
  ASSERT_TRUE(test::PumpUntil([&] { return UpdateEnabled(); }, 20s));
  EXPECT_EQ(Text(IDC_SKYLARK_STATUS), "Updated with 2 new definitions. 1 record was skipped as unusable.");
}

TEST_F(SkylarkDialogTest, AFreshProfileShowsTheDefaultDate) {
  ASSERT_TRUE(Open(LoopbackHttpServer::UnusedHost(), ""));
  EXPECT_EQ(Text(IDC_SKYLARK_LAST_UPDATE), "0.0.0");
}

TEST_F(SkylarkDialogTest, NoConnectionSaysSoAndChangesNothing) {
  test::ScriptedPrompt prompts({IDOK});
  ASSERT_TRUE(Open(LoopbackHttpServer::UnusedHost()));
  std::string before = test::ReadFileBytes(folder.DatabaseFile());
  Click(IDOK);
  ASSERT_TRUE(test::PumpUntil([&] { return !prompts.Requests().empty(); }, 20s));
  EXPECT_EQ(prompts.Requests()[0].text, "Could not establish connection with update server");
  EXPECT_FALSE(UpdateEnabled());  // one failed attempt per start
  EXPECT_EQ(ReadProfileValue(kUpdateRecordKey), "Skylark|01.01.2004");
  EXPECT_EQ(test::ReadFileBytes(folder.DatabaseFile()), before);
}

TEST_F(SkylarkDialogTest, AnAnswerPastTheCapSaysItWasTooLarge) {
  test::ScriptedPrompt prompts({IDOK});
  LoopbackHttpServer server("HTTP/1.1 200 OK\r\n\r\n" + std::string(kMaxUpdateAnswerLength, 'x'));
  ASSERT_TRUE(Open(server.Host()));
  Click(IDOK);
  ASSERT_TRUE(test::PumpUntil([&] { return !prompts.Requests().empty(); }, 60s));
  EXPECT_EQ(prompts.Requests()[0].text, "The update server's answer was too large.");
  EXPECT_EQ(ReadProfileValue(kUpdateRecordKey), "Skylark|01.01.2004");
}

TEST_F(SkylarkDialogTest, ExitDuringARunHidesCancelsAndEndsWhenTheWorkerReports) {
  LoopbackHttpServer server(test::DumpAnswer({"New|n.dll|" + kNewClsid + "|high|x"}, "05.12.2004"));
  server.SetDelay(3s);
  ASSERT_TRUE(Open(server.Host()));
  std::string before = test::ReadFileBytes(folder.DatabaseFile());
  Click(IDOK);
  Click(IDCANCEL);
  EXPECT_FALSE(IsWindowVisible(dialog.Handle()));
  ASSERT_TRUE(dialog.Handle());  // still there until the worker reports back
  ASSERT_TRUE(test::PumpUntil([&] { return dialog.Handle() == nullptr; }, 10s));
  EXPECT_TRUE(dialog.WorkersEnded());
  EXPECT_EQ(ReadProfileValue(kUpdateRecordKey), "Skylark|01.01.2004");
  dialog.Database().Close();
  EXPECT_EQ(test::ReadFileBytes(folder.DatabaseFile()), before);
}

TEST_F(SkylarkDialogTest, AMissingDatabaseIsReportedAndEndsTheWindow) {
  test::ScriptedPrompt prompts({IDOK});
  profile.Set(folder.File("missing.mdb"), "Skylark|01.01.2004", LoopbackHttpServer::UnusedHost());
  dialog.Create(GetModuleHandleA(nullptr), IDD_SKYLARK, nullptr);
  EXPECT_EQ(dialog.Handle(), nullptr);
  ASSERT_EQ(prompts.Requests().size(), 1u);
  EXPECT_EQ(prompts.Requests()[0].text, "Database not found!");
  EXPECT_FALSE(std::filesystem::exists(folder.File("missing.mdb")));  // never created
}

}  // namespace
}  // namespace tidewell
