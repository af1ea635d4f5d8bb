#include <gtest/gtest.h>

#include "shared/net/HttpGet.h"

namespace tidewell {
namespace {

TEST(HttpRequest, IsTheExactRequestText) {
  EXPECT_EQ(HttpRequestText("update.example:8080", "/cgi/submited_bho.cgi?action=dump&date=0"),
            "GET /cgi/submited_bho.cgi?action=dump&date=0 HTTP/1.1\r\nHost: update.example:8080\r\nAccept: * / "
            "*\r\nConnection: Keep-Alive\r\n\r\n");
}

TEST(HttpResponse, CompleteOnceContentLengthBytesArrived) {
  std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\ncontent-length: 5\r\n\r\n";
  EXPECT_FALSE(IsCompleteHttpResponse("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n"));
  EXPECT_FALSE(IsCompleteHttpResponse(head + "abcd"));
  EXPECT_TRUE(IsCompleteHttpResponse(head + "abcde"));
  EXPECT_TRUE(IsCompleteHttpResponse("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"));
}

TEST(HttpResponse, CompleteOnceTheFinalChunkArrived) {
  std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  EXPECT_FALSE(IsCompleteHttpResponse(head + "5\r\nhel"));
  EXPECT_FALSE(IsCompleteHttpResponse(head + "5\r\nhello\r\n"));
  EXPECT_FALSE(IsCompleteHttpResponse(head + "5\r\nhello\r\n0\r\n"));
  EXPECT_TRUE(IsCompleteHttpResponse(head + "5\r\nhello\r\n0\r\n\r\n"));
  // A chunk whose data contains what looks like the last chunk is not the end.
  EXPECT_FALSE(IsCompleteHttpResponse(head + "a\r\n0\r\n\r\n12345\r\n"));
  EXPECT_TRUE(IsCompleteHttpResponse(head + "a\r\n0\r\n\r\n123456\r\n0\r\nX-Trailer: 1\r\n\r\n"));
}

TEST(HttpResponse, WithoutLengthTheBodyRunsToTheClose) {
  EXPECT_FALSE(IsCompleteHttpResponse("HTTP/1.0 200 OK\r\n\r\nsome body"));
  EXPECT_TRUE(IsCompleteHttpResponse("HTTP/1.1 204 No Content\r\n\r\n"));
  EXPECT_TRUE(IsCompleteHttpResponse("HTTP/1.1 304 Not Modified\r\nContent-Length: 99\r\n\r\n"));
}

TEST(HttpLines, EveryLineEndsInCrLfAndTheLastCountsToo) {
  EXPECT_EQ(NormalizeHttpLines("HTTP/1.1 200 OK\r\nA: b\n\r\nline one\nlast"),
            "HTTP/1.1 200 OK\r\nA: b\r\n\r\nline one\r\nlast\r\n");
  EXPECT_EQ(NormalizeHttpLines("ends with a break\r\n"), "ends with a break\r\n");
  EXPECT_EQ(NormalizeHttpLines(""), "");
}

}  // namespace
}  // namespace tidewell
