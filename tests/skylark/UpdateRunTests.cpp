#include "skylark/UpdateRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <new>
#include <fstream>
#include <iterator>

#include "shared/crypto/BlowfishCipher.h"
#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "skylark/DefinitionsMerge.h"
#include "skylark/UpdateAnswer.h"
#include "skylark/WorkerBoundary.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
using test::LoopbackHttpServer;

const std::string kKnownClsid = "{06849E9F-C8D7-4D59-B87D-784B7D6BE0B3}";  // delivered
const std::string kNewClsid = "{6E1A7B2C-1D44-4F0B-9C31-2A7F5D8E0B11}";

std::string Encipher(const std::string& plain) { return CBlowfishCipher(kDefinitionsKey).EncryptToHex(plain); }

std::string Answer(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string DumpBody(const std::vector<std::string>& records, const std::string& date) {
  std::string body = "<html><form></form>\n";
  for (const auto& record : records) body += "<br>" + Encipher(record);
  return body + "<br>#" + date + "#</html>";
}

std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

struct Row {
  std::string name, files, risk, comments;
  int modified = -1;
};

std::optional<Row> FindRow(CADODatabase& database, const std::string& clsid) {
  CADORecordset rows(database);
  if (!rows.Open(FormatSql("select * from bhos where clsid='%s'", clsid)) || rows.RecordCount() == 0) return {};
  Row row;
  rows.GetField("name", row.name);
  rows.GetField("files", row.files);
  rows.GetField("risk", row.risk);
  rows.GetField("comments", row.comments);
  rows.GetFieldInt("modified", row.modified);
  return row;
}

class UpdateRunTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(database_.Open(folder_.ConnectionString())); }

  test::TestAppFolder folder_;
  CADODatabase database_;
};

TEST_F(UpdateRunTest, MergesNewAndKnownDefinitionsAndSaysWhatTheRecordBecomes) {
  int before = test::CountRows(database_, "select * from bhos");
  LoopbackHttpServer server(Answer(DumpBody({"Reader Link|AcroIEHelper.dll|" + kKnownClsid + "|none|Safe",
                                             "O'Brien Bar|ob.dll|" + kNewClsid + "|high|O'Brien's ads"},
                                            "05.12.2004")));
  std::vector<int> positions;
  std::vector<std::string> texts;
  UpdateOutcome outcome = RunUpdate(database_, server.Host(), "Tidewell|01.01.2004",
                                    {{}, [&](int p) { positions.push_back(p); }, [&](const std::string& t) { texts.push_back(t); }});
  ASSERT_EQ(outcome.kind, UpdateOutcome::Kind::Updated);
  EXPECT_EQ(outcome.newRecord, "Tidewell|05.12.2004");
  EXPECT_EQ(outcome.resultText, "Updated with 2 new definitions");
  EXPECT_EQ(outcome.merged, 2);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].substr(0, server.Requests()[0].find('\r')),
            "GET /cgi/submited_bho.cgi?action=dump&date=Tidewell|01.01.2004 HTTP/1.1");

  EXPECT_EQ(test::CountRows(database_, "select * from bhos"), before + 1);
  auto known = FindRow(database_, kKnownClsid);
  ASSERT_TRUE(known);
  EXPECT_EQ(known->name, "Reader Link");
  EXPECT_EQ(known->comments, "Safe");
  EXPECT_EQ(known->modified, 1);
  auto added = FindRow(database_, kNewClsid);
  ASSERT_TRUE(added);
  EXPECT_EQ(added->name, "O'Brien Bar");  // stored once, not as O''Brien
  EXPECT_EQ(added->files, "ob.dll");
  EXPECT_EQ(added->risk, "high");
  EXPECT_EQ(added->comments, "O'Brien's ads");

  // n = 4: elements 1 and 2 are records, at 49 + 50 * i / 4.
  EXPECT_EQ(positions, (std::vector<int>{10, 20, 40, 50, 61, 74, 100}));
  EXPECT_EQ(texts, (std::vector<std::string>{"Connecting to server", "Checking for updates", "Updating BHO definitions"}));
}

// Whatever went wrong with the answer, the database stays byte for byte as it was.
TEST_F(UpdateRunTest, DamagedAnswersChangeNothing) {
  const std::string records = DumpBody({"New|n.dll|" + kNewClsid + "|high|x"}, "05.12.2004");
  const std::string whole = Answer(records);
  const struct {
    const char* name;
    std::string response;
    bool keepOpen;
  } cases[] = {
      {"cut body", whole.substr(0, whole.size() - 20), false},
      {"cut by silence", whole.substr(0, whole.size() - 20), true},
      {"error status", "HTTP/1.1 500 Oops\r\nContent-Length: " + std::to_string(records.size()) + "\r\n\r\n" + records, false},
      {"missing date", Answer("<form></form>\n<br>" + Encipher("New|n.dll|" + kNewClsid + "|high|x") + "<br>"), false},
      {"bad date", Answer(DumpBody({"New|n.dll|" + kNewClsid + "|high|x"}, "05.12\r\n2004")), false},
      {"no form", Answer("<html>maintenance</html>"), false},
      {"not HTTP", "garbage", false},
  };
  HttpLimits limits;
  limits.read = 500ms;
  database_.Close();
  const std::string original = FileBytes(folder_.DatabaseFile());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackHttpServer server(c.response, c.keepOpen ? LoopbackHttpServer::AfterResponse::KeepOpen
                                                     : LoopbackHttpServer::AfterResponse::Close);
    UpdateOutcome outcome = RunUpdate(database_, server.Host(), kDefaultUpdateRecord, {}, limits);
    EXPECT_EQ(outcome.kind, UpdateOutcome::Kind::NoConnection);
    EXPECT_TRUE(outcome.newRecord.empty());
  }
  EXPECT_EQ(RunUpdate(database_, LoopbackHttpServer::UnusedHost(), kDefaultUpdateRecord, {}, limits).kind,
            UpdateOutcome::Kind::NoConnection);
  database_.Close();
  EXPECT_EQ(FileBytes(folder_.DatabaseFile()), original);
}

TEST_F(UpdateRunTest, AnAnswerPastTheCapIsTooLargeNotAMissingConnection) {
  EXPECT_EQ(UpdateLimits().maxResponseLength, 64u * 1024 * 1024);
  EXPECT_EQ(UpdateLimits().total, std::chrono::minutes(10));
  LoopbackHttpServer server(Answer(DumpBody({"New|n.dll|" + kNewClsid + "|high|x"}, "05.12.2004")));
  HttpLimits limits;
  limits.maxResponseLength = 100;
  UpdateOutcome outcome = RunUpdate(database_, server.Host(), kDefaultUpdateRecord, {}, limits);
  EXPECT_EQ(outcome.kind, UpdateOutcome::Kind::TooLarge);
  EXPECT_TRUE(outcome.newRecord.empty());
  EXPECT_FALSE(FindRow(database_, kNewClsid));
}

std::string ManyRecords(int count) {
  std::vector<std::string> records;
  char clsid[40];
  for (int i = 0; i < count; ++i) {
    std::snprintf(clsid, sizeof clsid, "{%08X-0000-4000-8000-000000000000}", i);
    records.push_back("Many|m.dll|" + std::string(clsid) + "|high|x");
  }
  return Answer(DumpBody(records, "05.12.2004"));
}

TEST_F(UpdateRunTest, ThousandsOfRecordsReportEachPositionOnce) {
  LoopbackHttpServer server(ManyRecords(1500));
  std::vector<int> positions;
  ASSERT_EQ(RunUpdate(database_, server.Host(), kDefaultUpdateRecord, {{}, [&](int p) { positions.push_back(p); }, {}}).kind,
            UpdateOutcome::Kind::Updated);
  EXPECT_EQ(test::CountRows(database_, "select * from bhos where name='Many'"), 1500);
  EXPECT_EQ(std::adjacent_find(positions.begin(), positions.end()), positions.end());
}

// Whatever is thrown mid-merge, the run ends as failed and the batch rolls back.
TEST_F(UpdateRunTest, AnythingThrownEndsTheRunAsFailedAndChangesNothing) {
  LoopbackHttpServer server(ManyRecords(20));
  const std::function<void()> throwers[] = {[] { throw std::bad_alloc(); }, [] { throw 7; }};
  for (const auto& thrower : throwers) {
    int calls = 0;
    auto progress = [&](int) { if (++calls == 10) thrower(); };
    EXPECT_EQ(GuardedRun([&] { return RunUpdate(database_, server.Host(), kDefaultUpdateRecord, {{}, progress, {}}); }).kind,
              UpdateOutcome::Kind::Failed);
    EXPECT_EQ(calls, 10);
    EXPECT_EQ(test::CountRows(database_, "select * from bhos where name='Many'"), 0);
  }
}

TEST(PostSurely, RetriesARefusedPostUntilTakenOrTheWindowIsGone) {
  int posts = 0;
  EXPECT_TRUE(PostSurely([&] { return ++posts > 3; }, [] { return false; }, 1ms));
  EXPECT_EQ(posts, 4);
  EXPECT_FALSE(PostSurely([] { return false; }, [&] { return ++posts == 6; }, 1ms));
}

TEST_F(UpdateRunTest, ALockedDatabaseRollsBackAndKeepsTheDate) {
  database_.Close();
  database_.SetConnectionTimeout(1);
  ASSERT_TRUE(database_.Open(folder_.ConnectionString()));
  CADODatabase other;
  ASSERT_TRUE(other.Open(folder_.ConnectionString()));
  CADORecordset lock(other);
  lock.Open("begin exclusive transaction");
  ASSERT_EQ(lock.GetLastError(), 0u);

  LoopbackHttpServer server(Answer(DumpBody({"New|n.dll|" + kNewClsid + "|high|x"}, "05.12.2004")));
  UpdateOutcome outcome = RunUpdate(database_, server.Host(), kDefaultUpdateRecord);
  EXPECT_EQ(outcome.kind, UpdateOutcome::Kind::MergeFailed);
  EXPECT_TRUE(outcome.newRecord.empty());
  lock.Open("rollback transaction");
  EXPECT_FALSE(FindRow(database_, kNewClsid));
}

TEST_F(UpdateRunTest, AFailingRecordRollsBackTheRecordsBeforeIt) {
  // A trigger makes the second insert fail, as a full disk or a constraint would.
  CADORecordset trigger(database_);
  trigger.Open("create trigger refuse before insert on bhos when new.name = 'Refused' "
               "begin select raise(abort, 'refused'); end");
  ASSERT_EQ(trigger.GetLastError(), 0u);
  std::vector<DefinitionRecord> records = {{1, "First", "f.dll", kNewClsid, "high", "x"},
                                           {2, "Refused", "r.dll", "{C0FFEE00-1234-4ABC-8DEF-0123456789AB}", "high", "x"}};
  EXPECT_EQ(MergeDefinitions(database_, records, 4), MergeResult::Failed);
  EXPECT_FALSE(FindRow(database_, kNewClsid));
  // The connection is usable afterwards: no transaction left open.
  records.pop_back();
  EXPECT_EQ(MergeDefinitions(database_, records, 3), MergeResult::Merged);
  EXPECT_TRUE(FindRow(database_, kNewClsid));
}

TEST_F(UpdateRunTest, AStopDuringTheMergeRollsBack) {
  std::vector<DefinitionRecord> records = {{1, "First", "f.dll", kNewClsid, "high", "x"},
                                           {2, "Second", "s.dll", "{C0FFEE00-1234-4ABC-8DEF-0123456789AB}", "high", "x"}};
  int asked = 0;
  EXPECT_EQ(MergeDefinitions(database_, records, 4, {[&] { return ++asked > 1; }, {}}), MergeResult::Cancelled);
  EXPECT_FALSE(FindRow(database_, kNewClsid));
}

}  // namespace
}  // namespace tidewell
