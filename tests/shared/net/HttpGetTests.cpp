#include <gtest/gtest.h>

#include <chrono>

#include "shared/net/HttpGet.h"
#include "tests/support/LoopbackHttpServer.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
using test::LoopbackHttpServer;

TEST(HttpGet, SendsTheRequestAndReturnsTheWholeAnswerAsLines) {
  LoopbackHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\nfirst\nsecond");
  std::string answer = HttpGet(server.Host(), "/links.html");
  EXPECT_EQ(answer, "HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\nfirst\r\nsecond\r\n");
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0], HttpRequestText(server.Host(), "/links.html"));
}

TEST(HttpGet, AnErrorStatusIsStillAnAnswer) {
  LoopbackHttpServer server("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(HttpGet(server.Host(), "/cgi/submit_misc.cgi?diverse=x"), "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
}

TEST(HttpGet, NoServerGivesAnEmptyText) {
  EXPECT_EQ(HttpGet(LoopbackHttpServer::UnusedHost(), "/"), "");
  EXPECT_EQ(HttpGet("no-such-host.invalid", "/"), "");
}

// The request asks to keep the connection alive; a server that does so must
// not hold the caller until its idle time-out.
TEST(HttpGet, StopsAtTheAnnouncedEndWhileTheServerKeepsTheConnection) {
  LoopbackHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc", LoopbackHttpServer::AfterResponse::KeepOpen);
  HttpLimits limits;
  limits.read = 30s;  // reaching it would mean the announced end was ignored
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(HttpGet(server.Host(), "/", limits), "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc\r\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
}

TEST(HttpGet, ChunkedAnswerIsReturnedRaw) {
  LoopbackHttpServer server("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n",
                            LoopbackHttpServer::AfterResponse::KeepOpen);
  EXPECT_EQ(HttpGet(server.Host(), "/"), "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n");
}

TEST(HttpGet, SilentServerEndsTheReadAfterTheReadTimeout) {
  LoopbackHttpServer server("HTTP/1.1 200 OK\r\n\r\nnever ends", LoopbackHttpServer::AfterResponse::KeepOpen);
  HttpLimits limits;
  limits.read = 300ms;
  EXPECT_EQ(HttpGet(server.Host(), "/", limits), "HTTP/1.1 200 OK\r\n\r\nnever ends\r\n");
}

TEST(HttpGet, AnswerIsCutAtTheSizeCap) {
  LoopbackHttpServer server("HTTP/1.0 200 OK\r\n\r\n" + std::string(100000, 'x'));
  HttpLimits limits;
  limits.maxResponseLength = 1000;
  std::string answer = HttpGet(server.Host(), "/", limits);
  EXPECT_LE(answer.size(), 1000u + 8u);  // line ends added to at most a few lines
  EXPECT_EQ(answer.rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
}

}  // namespace
}  // namespace tidewell
