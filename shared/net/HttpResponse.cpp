#include "shared/net/HttpResponse.h"
#include "shared/text/Text.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace tidewell {

namespace {

constexpr size_t kMaxHeaderLength = 64 * 1024;
constexpr size_t kMaxChunkLineLength = 1024;

bool ContainsNoCase(std::string_view text, std::string_view word) {
  for (size_t i = 0; i + word.size() <= text.size(); ++i)
    if (EqualsNoCase(text.substr(i, word.size()), word)) return true;
  return false;
}

// A bare CR counts as a blank, as a recipient may read it.
std::string_view TrimBlanks(std::string_view text) { return Trim(text, " \t\r"); }

}  // namespace

bool HttpResponseReader::Feed(std::string_view bytes) {
  if (Done()) return true;
  raw_.append(bytes);
  if (state_ == State::Headers) ReadHeaders();
  if (state_ == State::Body) {
    if (framing_ == Framing::Length && raw_.size() - bodyStart_ >= *contentLength_) state_ = State::Complete;
    if (framing_ == Framing::Chunked) ReadChunks();
  }
  return Done();
}

void HttpResponseReader::Close() {
  if (state_ == State::Body && framing_ == Framing::UntilClose) state_ = State::Complete;
}

void HttpResponseReader::ReadHeaders() {
  // Only the bytes after the last look are scanned: headers arrive in pieces.
  for (size_t at = raw_.find('\n', scanned_); at != std::string::npos; at = raw_.find('\n', lineStart_)) {
    std::string_view line(raw_.data() + lineStart_, at - lineStart_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lineStart_ = at + 1;
    if (line.empty() && sawStatus_) {
      // The same limit whether the bytes came in one piece or many.
      if (lineStart_ > kMaxHeaderLength) state_ = State::Malformed;
      else HeadersEnded(lineStart_);
      return;
    }
    HeaderLine(line);
    if (state_ != State::Headers) return;
  }
  scanned_ = raw_.size();
  if (raw_.size() > kMaxHeaderLength) state_ = State::Malformed;
}

void HttpResponseReader::HeaderLine(std::string_view line) {
  if (!sawStatus_) {
    sawStatus_ = true;
    // "HTTP/1.1 200 OK"
    if (line.size() < 12 || !EqualsNoCase(line.substr(0, 5), "HTTP/")) {
      state_ = State::Malformed;
      return;
    }
    size_t blank = line.find(' ');
    int code = 0;
    if (blank == std::string_view::npos || blank + 4 > line.size()) {
      state_ = State::Malformed;
      return;
    }
    auto [end, error] = std::from_chars(line.data() + blank + 1, line.data() + blank + 4, code);
    if (error != std::errc() || end != line.data() + blank + 4 || code < 100) {
      state_ = State::Malformed;
      return;
    }
    status_ = code;
    return;
  }
  size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  std::string_view name = TrimBlanks(line.substr(0, colon)), value = TrimBlanks(line.substr(colon + 1));
  if (EqualsNoCase(name, "Transfer-Encoding")) {
    if (ContainsNoCase(value, "chunked")) chunked_ = true;
  } else if (EqualsNoCase(name, "Content-Length")) {
    size_t length = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
    // A length that cannot be read, or two that disagree, leave the end unknown.
    if (value.empty() || error != std::errc() || end != value.data() + value.size() ||
        (contentLength_ && *contentLength_ != length))
      state_ = State::Malformed;
    else
      contentLength_ = length;
  }
}

void HttpResponseReader::HeadersEnded(size_t bodyStart) {
  bodyStart_ = bodyStart;
  chunkPos_ = bodyStart;
  state_ = State::Body;
  if ((status_ >= 100 && status_ < 200) || status_ == 204 || status_ == 304) {
    state_ = State::Complete;
    contentLength_ = 0;
    framing_ = Framing::Length;
  } else if (chunked_) {
    framing_ = Framing::Chunked;
  } else if (contentLength_) {
    framing_ = Framing::Length;
  } else {
    framing_ = Framing::UntilClose;
  }
}

void HttpResponseReader::ReadChunks() {
  while (state_ == State::Body) {
    if (chunkStep_ == ChunkStep::Size || chunkStep_ == ChunkStep::DataEnd || chunkStep_ == ChunkStep::Trailers) {
      size_t at = raw_.find('\n', chunkPos_);
      if (at == std::string::npos) {
        if (raw_.size() - chunkPos_ > kMaxChunkLineLength) state_ = State::Malformed;
        return;
      }
      std::string_view line(raw_.data() + chunkPos_, at - chunkPos_);
      if (line.size() > kMaxChunkLineLength) {
        state_ = State::Malformed;
        return;
      }
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      chunkPos_ = at + 1;
      if (chunkStep_ == ChunkStep::DataEnd) {
        if (!line.empty()) state_ = State::Malformed;  // the data was longer than announced
        chunkStep_ = ChunkStep::Size;
      } else if (chunkStep_ == ChunkStep::Trailers) {
        if (line.empty()) state_ = State::Complete;
      } else {
        line = TrimBlanks(line.substr(0, line.find(';')));  // chunk extensions are ignored
        size_t size = 0;
        auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), size, 16);
        if (line.empty() || error != std::errc() || end != line.data() + line.size()) {
          state_ = State::Malformed;
          return;
        }
        chunkLeft_ = size;
        chunkStep_ = size == 0 ? ChunkStep::Trailers : ChunkStep::Data;
      }
    } else {
      size_t available = std::min(chunkLeft_, raw_.size() - chunkPos_);
      chunkedBody_.append(raw_, chunkPos_, available);
      chunkPos_ += available;
      chunkLeft_ -= available;
      if (chunkLeft_ > 0) return;
      chunkStep_ = ChunkStep::DataEnd;
    }
  }
}

std::optional<size_t> HttpResponseReader::ExpectedBodyLength() const {
  if (state_ == State::Headers || chunked_) return std::nullopt;
  return contentLength_;
}

size_t HttpResponseReader::BodyLengthSoFar() const {
  if (state_ == State::Headers) return 0;
  if (framing_ == Framing::Chunked) return chunkedBody_.size();
  size_t length = raw_.size() - bodyStart_;
  return framing_ == Framing::Length ? std::min(length, *contentLength_) : length;
}

HttpResponse HttpResponseReader::Take() {
  HttpResponse response;
  response.complete = state_ == State::Complete;
  response.status = status_;
  if (state_ == State::Headers || (state_ == State::Malformed && bodyStart_ == 0)) return response;
  if (framing_ == Framing::Chunked)
    response.body = std::move(chunkedBody_);
  else
    response.body = raw_.substr(bodyStart_, BodyLengthSoFar());
  return response;
}

std::optional<std::string> HttpResponseBody(HttpResponse response) {
  if (response.status < 200 || response.status >= 300) return std::nullopt;
  return std::move(response.body);
}

}  // namespace tidewell
