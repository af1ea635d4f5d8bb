#include "tidewell/spyware/CookieFile.h"

#include <algorithm>

#include "shared/text/Text.h"

namespace tidewell {

namespace {

constexpr size_t kRecordLines = 9;
constexpr size_t kHostLine = 2;

}  // namespace

std::vector<std::string> CookieHosts(std::string_view text) {
  std::vector<std::string> hosts;
  size_t line = 0;
  for (size_t start = 0; start < text.size(); ++line) {
    size_t end = text.find('\n', start);
    std::string_view content = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    start = end == std::string_view::npos ? text.size() : end + 1;
    if (line % kRecordLines != kHostLine) continue;
    if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
    std::string_view host = content.substr(0, content.find('/'));
    if (!host.empty()) hosts.emplace_back(host);
  }
  return hosts;
}

bool IsHostOrBelow(std::string_view host, std::string_view site) {
  if (site.empty()) return false;
  if (EqualsNoCase(host, site)) return true;
  return host.size() > site.size() && host[host.size() - site.size() - 1] == '.' &&
         EqualsNoCase(host.substr(host.size() - site.size()), site);
}

bool AnyHostOf(const std::vector<std::string>& hosts, std::string_view site) {
  return std::any_of(hosts.begin(), hosts.end(), [&](const std::string& host) { return IsHostOrBelow(host, site); });
}

}  // namespace tidewell
