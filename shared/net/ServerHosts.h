#pragma once
// The two servers the programs talk to, as "host" or "host:port". Profile
// values override the built-in names, so tests and test installations can
// point the programs at a server of their own.

#include <string>

namespace tidewell {

inline constexpr const char* kUpdateHostKey = "UpdateHost";
inline constexpr const char* kProductHostKey = "ProductHost";
inline constexpr const char* kDefaultUpdateHost = "update.tidewell.net";
inline constexpr const char* kDefaultProductHost = "www.tidewell.net";

// The update server: definitions downloads and BHO record submissions.
std::string UpdateServerHost();
// The product web site: the "Products" page and startup-entry submissions.
std::string ProductSiteHost();

}  // namespace tidewell
