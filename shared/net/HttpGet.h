#pragma once
// One HTTP/1.1 GET, answered whole: the status line, the headers and the body
// come back as text lines, each ended by CR LF. Empty when no connection could
// be made. Both programs talk to their servers through this.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace tidewell {

struct HttpLimits {
  std::chrono::milliseconds connect{5000};
  std::chrono::milliseconds read{15000};  // silence allowed between two reads
  // The whole exchange: a server that sends a byte now and then never falls silent.
  std::chrono::milliseconds total{std::chrono::minutes(10)};
  size_t maxResponseLength = 16 * 1024 * 1024;
};

// host is "name", "1.2.3.4" or either with ":port" (80 when none is given).
std::string HttpGet(const std::string& host, const std::string& path, const HttpLimits& limits = {});

// The exact request text sent for a path and host.
std::string HttpRequestText(const std::string& host, const std::string& path);

// True once the raw bytes hold the whole answer: the headers and, when the
// server announced them, Content-Length bytes of body or the final chunk.
// The server keeps the connection alive, so this is what ends the reading.
bool IsCompleteHttpResponse(std::string_view raw);

// The raw answer as lines without their line ends, each followed by CR LF;
// a last line without a line end still counts.
std::string NormalizeHttpLines(std::string_view raw);

}  // namespace tidewell
