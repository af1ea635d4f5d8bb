#include "shared/net/ServerHosts.h"

#include "shared/win/Profile.h"

namespace tidewell {

std::string UpdateServerHost() { return ReadProfileValue(kUpdateHostKey, kDefaultUpdateHost); }

std::string ProductSiteHost() { return ReadProfileValue(kProductHostKey, kDefaultProductHost); }

}  // namespace tidewell
