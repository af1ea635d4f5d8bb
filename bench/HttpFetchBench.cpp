// A 4 MB answer over loopback, read by HttpGet (text form) and HttpFetch
// (the response reader, also for a chunked answer), against the size of the
// answer: MB/s.

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench/BenchReport.h"
#include "shared/net/HttpGet.h"
#include "shared/net/HttpResponse.h"
#include "tests/support/LoopbackHttpServer.h"

using namespace tidewell;

namespace {

// The text form ends every line with CR LF: the body must stand in it whole
// once those are taken out.
bool HoldsBody(std::string text, const std::string& body) {
  std::erase(text, '\r');
  return text.find(body) != std::string::npos;
}

}  // namespace

int main() {
  constexpr size_t kLength = 4 * 1024 * 1024;
  std::string body;
  body.reserve(kLength);
  while (body.size() < kLength) body += "a1b2c3d4e5f60718293a4b5c6d7e8f90<br>\n";
  body.resize(kLength);
  test::LoopbackHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body,
                                  test::LoopbackHttpServer::AfterResponse::KeepOpen);
  constexpr int kRounds = 5;
  const double megabytes = kRounds * static_cast<double>(kLength) / (1024 * 1024);

  // Every answer must be the body served, byte for byte.
  int whole = 0;
  double fetch = bench::MeasureSeconds([&] {
    for (int i = 0; i < kRounds; ++i) whole += HttpFetch(server.Host(), "/dump").body == body;
  });
  double get = bench::MeasureSeconds([&] {
    for (int i = 0; i < kRounds; ++i) whole += HoldsBody(HttpGet(server.Host(), "/dump"), body);
  });
  // The same body in 8 KB chunks, with a progress hook as the dialogs pass one.
  std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (size_t at = 0; at < body.size(); at += 8192) {
    char size[16];
    std::snprintf(size, sizeof size, "%zx\r\n", std::min<size_t>(8192, body.size() - at));
    chunked += size + body.substr(at, 8192) + "\r\n";
  }
  server.SetResponse(chunked + "0\r\n\r\n");
  size_t progressCalls = 0;
  double fetchChunked = bench::MeasureSeconds([&] {
    for (int i = 0; i < kRounds; ++i)
      whole += HttpFetch(server.Host(), "/dump", {}, {{}, [&](size_t, size_t) { ++progressCalls; }}).body == body;
  });
  bench::SameCount("answers read whole", whole, 3 * kRounds);
  bench::Report("http_fetch_4mb_loopback", megabytes / fetch, "MB/s", 50.0);
  bench::Report("http_get_4mb_loopback_text_form", megabytes / get, "MB/s", 50.0);
  bench::Report("http_fetch_4mb_chunked_loopback", megabytes / fetchChunked, "MB/s", 50.0);
  std::printf("progress reports per 4 MB answer: %zu\n", progressCalls / kRounds);
  return bench::ExitStatus();
}
