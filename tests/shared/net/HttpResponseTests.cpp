#include "shared/net/HttpResponse.h"

#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/LoopbackHttpServer.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
using test::LoopbackHttpServer;

struct ReadCase {
  const char* name;
  std::string raw;
  bool serverCloses;
  bool complete;
  int status;
  std::string body;
};

HttpResponse ReadWhole(const std::string& raw, bool serverCloses, size_t pieceLength) {
  HttpResponseReader reader;
  for (size_t at = 0; at < raw.size() && !reader.Done(); at += pieceLength) reader.Feed(std::string_view(raw).substr(at, pieceLength));
  if (serverCloses) reader.Close();
  return reader.Take();
}

TEST(HttpResponseReader, SaysWhetherTheAnswerArrivedWhole) {
  const std::string ok = "HTTP/1.1 200 OK\r\n";
  const ReadCase cases[] = {
      {"length", ok + "Content-Length: 5\r\n\r\nhello", false, true, 200, "hello"},
      {"length, bytes beyond it", ok + "Content-Length: 2\r\n\r\nhello", false, true, 200, "he"},
      {"length, closed early", ok + "Content-Length: 9\r\n\r\nhello", true, false, 200, "hello"},
      {"length, cut by silence", ok + "Content-Length: 9\r\n\r\nhello", false, false, 200, "hello"},
      {"bare line feeds", "HTTP/1.0 200 OK\nContent-Length: 2\n\nab", false, true, 200, "ab"},
      {"chunked", ok + "Transfer-Encoding: chunked\r\n\r\n4\r\n<a h\r\n6;x=1\r\nref=x>\r\n0\r\nT: 1\r\n\r\n", false,
       true, 200, "<a href=x>"},
      {"chunked, no final chunk", ok + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n", true, false, 200, "hello"},
      {"chunked, data longer than announced", ok + "Transfer-Encoding: chunked\r\n\r\n2\r\nhello\r\n0\r\n\r\n", true,
       false, 200, "he"},
      {"chunked, size not hex", ok + "Transfer-Encoding: chunked\r\n\r\nzz\r\nhello\r\n0\r\n\r\n", true, false, 200, ""},
      {"until close", "HTTP/1.0 200 OK\r\n\r\nsome body", true, true, 200, "some body"},
      {"until close, never closed", "HTTP/1.0 200 OK\r\n\r\nsome body", false, false, 200, "some body"},
      {"no content", "HTTP/1.1 204 No Content\r\nContent-Length: 99\r\n\r\n", false, true, 204, ""},
      {"error status", "HTTP/1.1 500 Oops\r\nContent-Length: 3\r\n\r\nbad", false, true, 500, "bad"},
      {"two lengths", ok + "Content-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", true, false, 200, ""},
      {"length not a number", ok + "Content-Length: 3x\r\n\r\nabc", true, false, 200, ""},
      {"headers never end", ok + "Content-Length: 3\r\n", true, false, 200, ""},
      {"not an answer", "<html>hello</html>\r\n\r\n", true, false, 0, ""},
      {"nothing", "", true, false, 0, ""},
  };
  for (const auto& c : cases) {
    for (size_t piece : {size_t{1}, size_t{7}, size_t{1} << 20}) {
      SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
      HttpResponse response = ReadWhole(c.raw, c.serverCloses, piece);
      EXPECT_EQ(response.complete, c.complete);
      EXPECT_EQ(response.status, c.status);
      EXPECT_EQ(response.body, c.body);
    }
  }
}

TEST(HttpResponseReader, OnlyAWholeTwoHundredSucceeds) {
  EXPECT_TRUE((HttpResponse{true, 200, ""}).Succeeded());
  EXPECT_TRUE((HttpResponse{true, 299, ""}).Succeeded());
  EXPECT_FALSE((HttpResponse{false, 200, "x"}).Succeeded());
  EXPECT_FALSE((HttpResponse{true, 302, ""}).Succeeded());
  EXPECT_FALSE((HttpResponse{true, 404, ""}).Succeeded());
}

// The products page shows whatever a 2xx answer brought, even cut short.
TEST(HttpResponseReader, PageBodyOfATwoHundredAnswer) {
  EXPECT_EQ(HttpResponseBody(HttpResponse{false, 200, "<a href"}), "<a href");
  EXPECT_FALSE(HttpResponseBody(HttpResponse{true, 404, "missing"}));
  EXPECT_FALSE(HttpResponseBody(HttpResponse{}));
}

TEST(HttpFetch, ReadsTheAnswerOverTheSocket) {
  LoopbackHttpServer server("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n",
                            LoopbackHttpServer::AfterResponse::KeepOpen);
  HttpLimits limits;
  limits.read = 30s;  // reaching it would mean the final chunk was missed
  auto start = std::chrono::steady_clock::now();
  size_t progressCalls = 0;
  HttpResponse response = HttpFetch(server.Host(), "/x", limits, {{}, [&](size_t, size_t) { ++progressCalls; }});
  EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
  EXPECT_TRUE(response.Succeeded());
  EXPECT_EQ(response.body, "abc");
  EXPECT_GT(progressCalls, 0u);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0], HttpRequestText(server.Host(), "/x"));
}

TEST(HttpFetch, CutAnswersAreIncomplete) {
  HttpLimits limits;
  limits.read = 300ms;
  {
    SCOPED_TRACE("silence past the time-out");
    LoopbackHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart", LoopbackHttpServer::AfterResponse::KeepOpen);
    HttpResponse response = HttpFetch(server.Host(), "/", limits);
    EXPECT_FALSE(response.complete);
    EXPECT_EQ(response.body, "part");
    EXPECT_FALSE(response.tooLarge);
  }
  {
    SCOPED_TRACE("the whole exchange's time, though the server is not silent for long");
    LoopbackHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart", LoopbackHttpServer::AfterResponse::KeepOpen);
    HttpLimits bounded;
    bounded.read = 10s;
    bounded.total = 300ms;
    auto start = std::chrono::steady_clock::now();
    HttpResponse response = HttpFetch(server.Host(), "/", bounded);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(response.complete);
    EXPECT_FALSE(response.tooLarge);
  }
  {
    SCOPED_TRACE("the size cap");
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(5000, 'x');
    LoopbackHttpServer server(answer);
    limits.maxResponseLength = 1000;
    HttpResponse response = HttpFetch(server.Host(), "/", limits);
    EXPECT_FALSE(response.complete);
    EXPECT_TRUE(response.tooLarge);
    limits.maxResponseLength = answer.size();  // an answer that just fits is whole
    response = HttpFetch(server.Host(), "/", limits);
    EXPECT_TRUE(response.complete);
    EXPECT_FALSE(response.tooLarge);
  }
  {
    SCOPED_TRACE("no server");
    HttpResponse response = HttpFetch(LoopbackHttpServer::UnusedHost(), "/", limits);
    EXPECT_FALSE(response.complete);
    EXPECT_EQ(response.status, 0);
  }
}

TEST(HttpFetch, AStopRequestEndsTheWaitSoon) {
  LoopbackHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart", LoopbackHttpServer::AfterResponse::KeepOpen);
  HttpLimits limits;
  limits.read = 30s;
  auto start = std::chrono::steady_clock::now();
  HttpResponse response = HttpFetch(server.Host(), "/", limits,
                                    {[&] { return std::chrono::steady_clock::now() - start > 200ms; }, {}});
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_FALSE(response.complete);
}

}  // namespace
}  // namespace tidewell
