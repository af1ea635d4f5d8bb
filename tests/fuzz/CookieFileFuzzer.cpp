// Any bytes read as a cookie file: every host is a non-empty piece of the
// file without a path, and matching keeps to the domain boundary, checked
// against the rule written out plainly.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "shared/text/Text.h"
#include "tests/fuzz/FuzzChecks.h"
#include "tidewell/spyware/CookieFile.h"

using tidewell::fuzz::Require;

namespace {

bool PlainRule(std::string_view host, std::string_view site) {
  std::string h = tidewell::LowerAscii(host), s = tidewell::LowerAscii(site);
  return !s.empty() && (h == s || (h.size() > s.size() && h.ends_with("." + s)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> hosts = tidewell::CookieHosts(text);
  size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  Require(hosts.size() <= lines / 9 + 1);
  for (const std::string& host : hosts) {
    Require(!host.empty() && host.find_first_of("/\n") == std::string::npos);
    Require(text.find(host) != std::string_view::npos);
    Require(tidewell::AnyHostOf(hosts, host) && tidewell::IsHostOrBelow("ads." + host, host));
    Require(!tidewell::IsHostOrBelow("x" + host, host) && !tidewell::IsHostOrBelow(host, "x." + host));
  }
  // The first byte cuts the rest into a host and a site.
  if (size > 0) {
    std::string_view rest = text.substr(1);
    size_t cut = std::min<size_t>(data[0], rest.size());
    std::string_view host = rest.substr(0, cut), site = rest.substr(cut);
    Require(tidewell::IsHostOrBelow(host, site) == PlainRule(host, site));
  }
  return 0;
}
