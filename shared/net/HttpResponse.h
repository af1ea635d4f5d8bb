#pragma once
// Reads an HTTP answer as its bytes arrive: the status code, the body with
// any chunking undone, and whether the answer arrived whole. An answer cut by
// a time-out, the size cap or an early close is never taken for a whole one.

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "shared/net/HttpGet.h"

namespace tidewell {

struct HttpResponse {
  bool complete = false;  // the announced end (or the server's close) was reached
  int status = 0;         // 0 when no status line arrived
  std::string body;       // de-chunked; what arrived when incomplete
  bool tooLarge = false;  // the size cap ended the reading before the answer's end

  bool Succeeded() const { return complete && status >= 200 && status < 300; }
};

class HttpResponseReader {
 public:
  // Appends bytes; true once nothing more is wanted (whole, or not an answer
  // this reader can follow).
  bool Feed(std::string_view bytes);
  // The server closed the connection: ends a body that runs to the close.
  void Close();
  bool Done() const { return state_ == State::Complete || state_ == State::Malformed; }
  bool Complete() const { return state_ == State::Complete; }

  int Status() const { return status_; }
  // Body bytes announced by Content-Length; nothing when not announced.
  std::optional<size_t> ExpectedBodyLength() const;
  size_t BodyLengthSoFar() const;
  // The bytes as they arrived.
  const std::string& Raw() const { return raw_; }

  HttpResponse Take();

 private:
  enum class State { Headers, Body, Complete, Malformed };
  enum class Framing { Length, Chunked, UntilClose };
  enum class ChunkStep { Size, Data, DataEnd, Trailers };

  void ReadHeaders();
  void HeaderLine(std::string_view line);
  void HeadersEnded(size_t bodyStart);
  void ReadChunks();

  std::string raw_;
  State state_ = State::Headers;
  size_t lineStart_ = 0;  // the header line being read; bytes before it are parsed
  size_t scanned_ = 0;
  bool sawStatus_ = false;
  int status_ = 0;
  bool chunked_ = false;
  std::optional<size_t> contentLength_;

  Framing framing_ = Framing::UntilClose;
  size_t bodyStart_ = 0;
  std::string chunkedBody_;
  ChunkStep chunkStep_ = ChunkStep::Size;
  size_t chunkPos_ = 0;
  size_t chunkLeft_ = 0;
};

// Hooks for a long exchange: a stop request ends the reading soon (the answer
// is then incomplete), and progress reports body bytes against the announced
// length (0 when none was announced).
struct HttpHooks {
  std::function<bool()> stopRequested;
  std::function<void(size_t received, size_t expected)> progress;
};

// One GET with HttpGet's request text, read by HttpResponseReader.
HttpResponse HttpFetch(const std::string& host, const std::string& path, const HttpLimits& limits = {},
                       const HttpHooks& hooks = {});

// The body of a 2xx answer, also when cut short (a page shows what came);
// nothing for any other status or no answer at all.
std::optional<std::string> HttpResponseBody(HttpResponse response);

}  // namespace tidewell
