#include "tidewell/startup/StartupList.h"

#include <gtest/gtest.h>

#include <cstring>

#include "shared/db/AdoRecordset.h"
#include "shared/win/ListView.h"
#include "shared/win/Registry.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ScratchRegistry.h"
#include "tests/support/ScriptedPrompt.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

int RowOf(HWND list, const std::string& name, int root) {
  for (int row = 0; row < ListView_GetItemCount(list); ++row) {
    StartupEntry entry;
    ReadStartupItemData(*ListItemData(list, row), entry);
    if (ListItemText(list, row, 0) == name && entry.root == root) return row;
  }
  return -1;
}

class StartupListTest : public ::testing::Test {
 protected:
  StartupListTest() {
    EXPECT_TRUE(database.Open(folder.ConnectionString()));
    UniqueKey user = CreateKey(HKEY_CURRENT_USER, kRunKey), machine = CreateKey(HKEY_LOCAL_MACHINE, kRunKey);
    WriteString(user.Get(), name, "C:\\nowhere\\unknown-c.exe -x");
    WriteString(machine.Get(), name, "C:\\WINDOWS\\system32\\ctfmon.exe");
  }
  ~StartupListTest() override {
    if (UniqueKey user = OpenKey(HKEY_CURRENT_USER, kRunKey, KEY_SET_VALUE)) RegDeleteValueA(user.Get(), name.c_str());
    if (UniqueKey machine = OpenKey(HKEY_LOCAL_MACHINE, kRunKey, KEY_SET_VALUE))
      RegDeleteValueA(machine.Get(), name.c_str());
  }

  test::TestAppFolder folder;
  CADODatabase database;
  std::string name = test::UniqueName("Listed");
  test::FakeMainWindow window{&database};
};

TEST_F(StartupListTest, ListHasNameAndPathColumnsAndTheRootAsItemData) {
  FillStartupList(window.List());
  FillStartupList(window.List());
  // Wine's prefix is a 64-bit Windows: the view column joins them.
  EXPECT_EQ(test::ColumnTitles(window.List()),
            (std::vector<std::string>{"Application name", "Application path", "View", "Signer"}));
  EXPECT_EQ(ListView_GetColumnWidth(window.List(), 0), 150);
  EXPECT_EQ(ListView_GetColumnWidth(window.List(), 1), 200);
  int user = RowOf(window.List(), name, kStartupRootUser), machine = RowOf(window.List(), name, kStartupRootMachine);
  ASSERT_GE(user, 0);
  ASSERT_GE(machine, 0);
  EXPECT_LT(user, machine);
  EXPECT_EQ(ListItemText(window.List(), user, 1), "C:\\nowhere\\unknown-c.exe -x");
  EXPECT_EQ(test::ItemImage(window.List(), machine), 1);
  EXPECT_EQ(ListItemText(window.List(), user, 2), "");
  EXPECT_EQ(ListItemText(window.List(), machine, 2), sizeof(void*) == 8 ? "64-bit" : "32-bit");
  EXPECT_EQ(*ListItemData(window.List(), user), kStartupRootUser);
}

TEST_F(StartupListTest, TheSelected32BitRowIsDisabledInItsOwnView) {
  UniqueKey in32 = CreateKey(HKEY_LOCAL_MACHINE, kRunKey, KEY_ALL_ACCESS, RegistryView::Bits32);
  UniqueKey in64 = CreateKey(HKEY_LOCAL_MACHINE, kRunKey, KEY_ALL_ACCESS, RegistryView::Bits64);
  std::string twin = test::UniqueName("Twin");
  WriteString(in32.Get(), twin, "C:\\x86\\twin.exe");
  WriteString(in64.Get(), twin, "C:\\x64\\twin.exe");
  FillStartupList(window.List());
  int row = -1;
  for (int i = 0; i < ListView_GetItemCount(window.List()); ++i)
    if (ListItemText(window.List(), i, 0) == twin && ListItemText(window.List(), i, 2) == "32-bit") row = i;
  ASSERT_GE(row, 0);
  EXPECT_EQ(ListItemText(window.List(), row, 1), "C:\\x86\\twin.exe");
  test::SelectRow(window.List(), row);
  test::ScriptedPrompt script{IDYES, IDOK};
  DisableSelectedStartupEntry(database, folder.Text(), window.List(), window.Window());
  EXPECT_FALSE(ReadString(in32.Get(), twin));
  EXPECT_EQ(ReadString(in64.Get(), twin), "C:\\x64\\twin.exe");
  RegDeleteValueA(in32.Get(), twin.c_str());
  RegDeleteValueA(in64.Get(), twin.c_str());
}

TEST_F(StartupListTest, DisableFromTheListRefillsItWithoutTheEntry) {
  FillStartupList(window.List());
  test::SelectRow(window.List(), RowOf(window.List(), name, kStartupRootMachine));
  StartupEntry selected = GetSelectedStartupEntry(window.List());
  EXPECT_EQ(selected.name, name);
  EXPECT_EQ(selected.command, "C:\\WINDOWS\\system32\\ctfmon.exe");
  EXPECT_EQ(selected.root, kStartupRootMachine);

  test::ScriptedPrompt script{IDYES, IDOK};
  DisableSelectedStartupEntry(database, folder.Text(), window.List(), window.Window());
  EXPECT_EQ(script.Requests()[0].owner, window.Window());
  EXPECT_EQ(RowOf(window.List(), name, kStartupRootMachine), -1);
  EXPECT_GE(RowOf(window.List(), name, kStartupRootUser), 0);
}

TEST_F(StartupListTest, DeleteWithoutSelectionShowsTheError) {
  FillStartupList(window.List());
  test::SelectRow(window.List(), -1);
  test::ScriptedPrompt script{IDOK};
  DeleteSelectedStartupEntry(database, folder.Text(), window.List(), window.Window());
  ASSERT_EQ(script.Requests().size(), 1u);
  EXPECT_EQ(script.Requests()[0].text, "ERROR: No backup entry selected");
}

TEST_F(StartupListTest, InfoTipDescribesTheRowAndStopsAtTheTipLimit) {
  FillStartupList(window.List());
  int row = RowOf(window.List(), name, kStartupRootUser);
  char buffer[1024];
  std::memset(buffer, 'z', sizeof buffer);
  NMLVGETINFOTIPA tip{};
  tip.pszText = buffer;
  tip.cchTextMax = sizeof buffer;
  tip.iItem = row;
  FillStartupInfoTip(database, window.List(), tip);
  EXPECT_STREQ(buffer, "Description: Unknown (Right-click to submit the information to Tidewell web server)");

  // A long description is cut to what the tip holds.
  UniqueKey user = OpenKey(HKEY_CURRENT_USER, kRunKey, KEY_SET_VALUE);
  WriteString(user.Get(), name, "C:\\long-c.exe");
  CADORecordset insert(database);
  insert.Open("insert into processes(pname,paltname,description) values('long-c.exe','','" + std::string(300, 'd') +
              "')");
  FillStartupList(window.List());
  tip.iItem = RowOf(window.List(), name, kStartupRootUser);
  FillStartupInfoTip(database, window.List(), tip);
  EXPECT_EQ(std::strlen(buffer), 254u);
  EXPECT_EQ(std::string(buffer).substr(0, 15), "Description: dd");
}

TEST_F(StartupListTest, SubmissionRunsOnAWorkerAndShowsTheAnswerOnTheWindowThread) {
  test::LoopbackHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  FillStartupList(window.List());
  test::SelectRow(window.List(), RowOf(window.List(), name, kStartupRootUser));
  test::ScriptedPrompt script{IDOK};
  SubmitStartupInfo(window.List(), window.Reach(), server.Host(), window.Workers());
  ASSERT_TRUE(test::PumpUntil([&] { return !script.Requests().empty(); }, 30s));
  EXPECT_EQ(script.Requests()[0].text, "Information submited");
  EXPECT_EQ(script.Requests()[0].owner, window.Window());
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_NE(server.Requests()[0].find("diverse={sup_info}%20|%20" + name + "%20|%20C:\\nowhere\\unknown-c.exe%20-x "),
            std::string::npos)
      << server.Requests()[0];
}

TEST_F(StartupListTest, SubmissionWithoutServerSaysSo) {
  FillStartupList(window.List());
  test::SelectRow(window.List(), RowOf(window.List(), name, kStartupRootUser));
  test::ScriptedPrompt script{IDOK};
  SubmitStartupInfo(window.List(), window.Reach(), test::LoopbackHttpServer::UnusedHost(), window.Workers());
  ASSERT_TRUE(test::PumpUntil([&] { return !script.Requests().empty(); }, 30s));
  EXPECT_EQ(script.Requests()[0].text, "Unable to connect to server");
}

TEST_F(StartupListTest, EachRowsSignerIsFilledInFromAWorker) {
  std::string folderOfSigned = (test::ProgramFolder() / "signing").string();
  UniqueKey user = OpenKey(HKEY_CURRENT_USER, kRunKey, KEY_SET_VALUE);
  std::string signedName = test::UniqueName("Signed"), unsignedName = test::UniqueName("Unsigned");
  WriteString(user.Get(), signedName, "\"" + folderOfSigned + "\\signed.dll\" /start");
  WriteString(user.Get(), unsignedName, folderOfSigned + "\\unsigned.dll");
  FillStartupList(window.List());
  int column = Header_GetItemCount(ListView_GetHeader(window.List())) - 1;
  struct Case {
    std::string name;
    std::string signer;
  } cases[] = {{signedName, "signed by Tidewell Test Signer (not trusted)"},
               {unsignedName, "unsigned"},
               {name, "no file"}};  // its program is missing
  EXPECT_EQ(ListItemText(window.List(), RowOf(window.List(), signedName, kStartupRootUser), column), "checking...");
  CheckStartupSigners(window.List(), window.BorrowList(), window.Workers());
  for (const Case& c : cases) {
    int row = RowOf(window.List(), c.name, kStartupRootUser);
    EXPECT_TRUE(test::PumpUntil([&] { return ListItemText(window.List(), row, column) == c.signer; }, 30s))
        << c.name << ": " << ListItemText(window.List(), row, column);
  }
  RegDeleteValueA(user.Get(), signedName.c_str());
  RegDeleteValueA(user.Get(), unsignedName.c_str());
}

}  // namespace
}  // namespace tidewell
