// The text side of the HTTP exchange: request, completeness, line form.

#include "shared/net/HttpGet.h"
#include "shared/net/HttpResponse.h"

namespace tidewell {

std::string HttpRequestText(const std::string& host, const std::string& path) {
  return "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\nAccept: * / *\r\nConnection: Keep-Alive\r\n\r\n";
}

bool IsCompleteHttpResponse(std::string_view raw) {
  HttpResponseReader reader;
  return reader.Feed(raw);
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
