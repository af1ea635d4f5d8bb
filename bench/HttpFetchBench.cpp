// A 4 MB answer over loopback, read by HttpGet (text form) and HttpFetch
// (the response reader), against the size of the answer: MB/s.

#include <cstdio>
#include <string>

#include "bench/BenchReport.h"
#include "shared/net/HttpGet.h"
#include "shared/net/HttpResponse.h"
#include "tests/support/LoopbackHttpServer.h"

using namespace tidewell;

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

  size_t got = 0;
  double fetch = bench::MeasureSeconds([&] {
    for (int i = 0; i < kRounds; ++i) got += HttpFetch(server.Host(), "/dump").body.size();
  });
  double get = bench::MeasureSeconds([&] {
    for (int i = 0; i < kRounds; ++i) got += HttpGet(server.Host(), "/dump").size();
  });
  if (got < 2 * kRounds * kLength) std::fprintf(stderr, "short answers: %zu bytes\n", got);
  bench::Report("http_fetch_4mb_loopback", megabytes / fetch, "MB/s", 50.0);
  bench::Report("http_get_4mb_loopback_text_form", megabytes / get, "MB/s", 50.0);
  return 0;
}
