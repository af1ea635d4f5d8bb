#pragma once
// Internet Explorer's cookie files: records of nine lines each (name, value,
// "host/path", flags, four time words, "*"). A cookie signature names a site,
// so it is matched only against the hosts of the records: names, values and
// paths carry other sites' names (an analytics referrer, say).

#include <string>
#include <string_view>
#include <vector>

namespace tidewell {

// The host of every record, its path cut off, in file order; empty hosts are
// left out.
std::vector<std::string> CookieHosts(std::string_view text);
// The host is the site itself or lies below it ("ads.site.com" below
// "site.com", never "guru-site.com"); case does not count.
bool IsHostOrBelow(std::string_view host, std::string_view site);
bool AnyHostOf(const std::vector<std::string>& hosts, std::string_view site);

}  // namespace tidewell
