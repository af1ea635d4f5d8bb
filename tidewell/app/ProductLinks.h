#pragma once
// The "Products" page: the links of the product web site's "/links.html",
// read from the raw HTTP answer.

#include <string>
#include <vector>

namespace tidewell {

inline constexpr const char* kProductLinksPath = "/links.html";

struct ProductLink {
  std::string text;
  std::string address;  // absolute: http://, https:// or mailto:
};

// Every <a href> of the page, in page order. Relative addresses are made
// absolute on the host; addresses of other kinds (file:, javascript:, a bare
// path of this machine) are left out, because a chosen link is handed to the
// shell and must never start a program.
std::vector<ProductLink> ParseProductLinks(const std::string& html, const std::string& host);

bool IsOpenableLinkAddress(const std::string& address);

}  // namespace tidewell
