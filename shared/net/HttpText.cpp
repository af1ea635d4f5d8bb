// The text side of the HTTP exchange: request, completeness, line form.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "shared/net/HttpGet.h"

namespace tidewell {

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// Value of a header in the header block (without the status line), or npos-like empty.
bool FindHeader(std::string_view headers, std::string_view name, std::string& value) {
  std::string lowerHeaders = Lower(headers);
  std::string key = "\n" + Lower(name) + ":";
  size_t at = lowerHeaders.find(key);
  if (at == std::string::npos) return false;
  size_t start = at + key.size();
  size_t end = headers.find('\n', start);
  std::string_view raw = headers.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
  while (!raw.empty() && (raw.front() == ' ' || raw.front() == '\t')) raw.remove_prefix(1);
  while (!raw.empty() && (raw.back() == '\r' || raw.back() == ' ' || raw.back() == '\t')) raw.remove_suffix(1);
  value.assign(raw);
  return true;
}

// Walks the chunks of a chunked body; true when the last (size 0) chunk and
// the blank line after its trailers have arrived.
bool ChunkedBodyComplete(std::string_view body) {
  size_t pos = 0;
  for (;;) {
    size_t lineEnd = body.find('\n', pos);
    if (lineEnd == std::string_view::npos) return false;
    std::string sizeText(body.substr(pos, lineEnd - pos));
    char* end = nullptr;
    unsigned long long size = std::strtoull(sizeText.c_str(), &end, 16);
    if (end == sizeText.c_str()) return true;  // malformed: nothing more will make sense of it
    pos = lineEnd + 1;
    if (size == 0) {
      // Trailers, then an empty line.
      for (;;) {
        size_t trailerEnd = body.find('\n', pos);
        if (trailerEnd == std::string_view::npos) return false;
        std::string_view line = body.substr(pos, trailerEnd - pos);
        pos = trailerEnd + 1;
        if (line.empty() || line == "\r") return true;
      }
    }
    if (size > body.size() - pos) return false;
    pos += static_cast<size_t>(size);
    size_t dataEnd = body.find('\n', pos);  // the CR LF after the data
    if (dataEnd == std::string_view::npos) return false;
    pos = dataEnd + 1;
  }
}

}  // namespace

std::string HttpRequestText(const std::string& host, const std::string& path) {
  return "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\nAccept: * / *\r\nConnection: Keep-Alive\r\n\r\n";
}

bool IsCompleteHttpResponse(std::string_view raw) {
  size_t headerEnd = raw.find("\r\n\r\n");
  size_t separator = 4;
  size_t bareEnd = raw.find("\n\n");
  if (bareEnd != std::string_view::npos && (headerEnd == std::string_view::npos || bareEnd < headerEnd)) {
    headerEnd = bareEnd;
    separator = 2;
  }
  if (headerEnd == std::string_view::npos) return false;
  size_t statusEnd = raw.find('\n');
  std::string_view status = raw.substr(0, statusEnd);
  std::string_view headers = raw.substr(statusEnd, headerEnd - statusEnd + 1);
  std::string_view body = raw.substr(headerEnd + separator);

  int code = 0;
  std::sscanf(std::string(status).c_str(), "HTTP/%*d.%*d %d", &code);
  if ((code >= 100 && code < 200) || code == 204 || code == 304) return true;

  std::string value;
  if (FindHeader(headers, "Transfer-Encoding", value) && Lower(value).find("chunked") != std::string::npos)
    return ChunkedBodyComplete(body);
  if (FindHeader(headers, "Content-Length", value)) {
    char* end = nullptr;
    unsigned long long length = std::strtoull(value.c_str(), &end, 10);
    if (end != value.c_str()) return body.size() >= length;
  }
  return false;  // the body ends when the server closes
}

std::string NormalizeHttpLines(std::string_view raw) {
  std::string text;
  text.reserve(raw.size() + raw.size() / 16);
  size_t pos = 0;
  while (pos < raw.size()) {
    size_t end = raw.find('\n', pos);
    std::string_view line = raw.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    text.append(line);
    text.append("\r\n");
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  return text;
}

}  // namespace tidewell
