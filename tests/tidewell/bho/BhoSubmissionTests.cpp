// "Submit to Tidewell server" of the BHO information dialog, against a
// loopback update server.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/net/ServerHosts.h"
#include "shared/win/Profile.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"
#include "tests/tidewell/bho/BhoTestSupport.h"
#include "tidewell/bho/BhoInfoDialog.h"
#include "tidewell/bho/BhoSubmission.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
using test::LoopbackHttpServer;

TEST(BhoRecordPath, CarriesTheSavedFieldsAsTheServerAlwaysSawThem) {
  const struct {
    BhoRecordFields fields;
    std::string path;
  } cases[] = {
      {{"Bar & Grill", "{ABC}", "C:\\Program Files\\bar.dll", "high", " "},
       "/cgi/bhoupdate.cgi?name=Bar%20%20%20Grill&clsid={ABC}&file=C:\\Program%20Files\\bar.dll&risk=high&comment=%20"},
      {{"O'Brien #1", "{A'B}", "x.dll", "none", "say \"hi\" <b>"},
       "/cgi/bhoupdate.cgi?name=O''Brien%20|1&clsid={A''B}&file=x.dll&risk=none&comment=say%20%22hi%22%20%3Cb%3E"},
      {{"caf\xe9\tbar", "{C}", "y.dll", "o'k", "a\r\nb"},
       "/cgi/bhoupdate.cgi?name=caf%E9%09bar&clsid={C}&file=y.dll&risk=o'k&comment=a%0D%0Ab"},
  };
  for (const auto& c : cases) EXPECT_EQ(BhoRecordPath(c.fields), c.path);
}

class BhoSubmissionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(database.Open(folder.ConnectionString()));
    savedHost = ReadProfileValue(kUpdateHostKey, "\x01");
    test::InsertBhoRow(database, bho.Clsid(), "O'Brien & Sons", "medium", "", 0);
  }
  void TearDown() override {
    if (dialog && dialog->Handle()) dialog->Destroy();
    WriteProfileStringA(kProfileSection, kUpdateHostKey, savedHost == "\x01" ? nullptr : savedHost.c_str());
  }
  HWND Open(const std::string& host) {
    WriteProfileValue(kUpdateHostKey, host);
    dialog = std::make_unique<CBhoInfoDialog>(database, LoadBhoInfo(database, bho.Clsid(), BhoInfoSource::Notifier), nullptr);
    return dialog->Create(GetModuleHandleA(nullptr), IDD_BHO_INFO, window.Handle());
  }
  std::string Text(int id) {
    char text[512] = {};
    GetDlgItemTextA(dialog->Handle(), id, text, sizeof text);
    return text;
  }
  bool SubmitEnabled() { return IsWindowEnabled(GetDlgItem(dialog->Handle(), IDB_BHO_SUBMIT)) != FALSE; }
  int Rows(const std::string& statement) { return test::CountRows(database, statement); }

  test::TestAppFolder folder;
  CADODatabase database;
  test::FakeMainWindow window;
  test::RegisteredBho bho{std::nullopt};
  std::unique_ptr<CBhoInfoDialog> dialog;
  std::string savedHost;
};

TEST_F(BhoSubmissionTest, SendsTheRecordMarksItSubmittedAndSaysSo) {
  LoopbackHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nThank you", LoopbackHttpServer::AfterResponse::KeepOpen);
  ASSERT_TRUE(Open(server.Host()));
  SendMessageA(dialog->Handle(), WM_COMMAND, MAKEWPARAM(IDB_BHO_SUBMIT, BN_CLICKED), 0);
  EXPECT_FALSE(SubmitEnabled());
  ASSERT_TRUE(test::PumpUntil([&] { return SubmitEnabled(); }, 20s));

  ASSERT_EQ(server.Requests().size(), 1u);
  std::string path = "/cgi/bhoupdate.cgi?name=O''Brien%20%20%20Sons&clsid=" + QuoteSql(bho.Clsid()) +
                     "&file=&risk=medium&comment=%20";
  EXPECT_EQ(server.Requests()[0], HttpRequestText(server.Host(), path));
  EXPECT_EQ(Text(IDC_BHO_NAME), "O'Brien & Sons(submited)");
  EXPECT_EQ(SendMessageA(GetDlgItem(dialog->Handle(), IDC_BHO_INFO_PROGRESS), PBM_GETPOS, 0, 0), 100);
  EXPECT_EQ(Rows(FormatSql("select * from BHOS where clsid='%s' and modified=2 and name='%s'", bho.Clsid(), "O'Brien & Sons")), 1);
  EXPECT_TRUE(test::HasEvent(database, "Modifications made to \"O'Brien & Sons\" were submited to Tidewell web server"));
  EXPECT_FALSE(dialog->Changed()) << "the suffix is not an edit of the user's";

  // The next save stores the name as typed, without the suffix.
  dialog->SaveChanges();
  EXPECT_EQ(Rows(FormatSql("select * from BHOS where clsid='%s' and modified=1 and name='%s'", bho.Clsid(), "O'Brien & Sons")), 1);
}

TEST_F(BhoSubmissionTest, ARowThatCannotBeMarkedIsNotCalledSubmitted) {
  LoopbackHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nOK");
  ASSERT_TRUE(Open(server.Host()));
  // The mark fails as on a locked or read-only database.
  CADORecordset(database).Open(
      "create trigger refuse_mark before update on BHOS when new.modified=2 begin select raise(abort,'locked'); end");
  test::ScriptedPrompt prompts({IDOK});
  SendMessageA(dialog->Handle(), WM_COMMAND, MAKEWPARAM(IDB_BHO_SUBMIT, BN_CLICKED), 0);
  ASSERT_TRUE(test::PumpUntil([&] { return SubmitEnabled(); }, 20s));
  ASSERT_EQ(prompts.Requests().size(), 1u);
  EXPECT_EQ(prompts.Requests()[0].text,
            "The record was sent, but Tidewell could not mark it as submitted in its database.");
  test::PumpFor(1500ms);
  EXPECT_EQ(Text(IDC_BHO_NAME), "O'Brien & Sons") << "no \"(submited)\" without the mark";
}

TEST_F(BhoSubmissionTest, AnUnreachableOrFailingServerChangesNothing) {
  LoopbackHttpServer failing("HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n");
  for (const std::string& host : {LoopbackHttpServer::UnusedHost(), failing.Host()}) {
    SCOPED_TRACE(host);
    test::ScriptedPrompt prompts({IDOK});
    ASSERT_TRUE(Open(host));
    SendMessageA(dialog->Handle(), WM_COMMAND, MAKEWPARAM(IDB_BHO_SUBMIT, BN_CLICKED), 0);
    ASSERT_TRUE(test::PumpUntil([&] { return !prompts.Requests().empty(); }, 20s));
    EXPECT_EQ(prompts.Requests()[0].text, "Unable to connect to server");
    EXPECT_EQ(Text(IDC_BHO_NAME), "O'Brien & Sons");
    EXPECT_EQ(Rows(FormatSql("select * from BHOS where clsid='%s' and modified=2", bho.Clsid())), 0);
    EXPECT_EQ(Rows("select * from [Events] where event like '%submited to Tidewell web server'"), 0);
    dialog->Destroy();
  }
}

}  // namespace
}  // namespace tidewell
