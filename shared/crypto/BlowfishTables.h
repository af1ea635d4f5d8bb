#pragma once
// The standard initial subkeys and substitution boxes every key setup starts from.

#include <cstdint>

namespace tidewell {

extern const uint32_t kBlowfishInitialP[18];
extern const uint32_t kBlowfishInitialS[4][256];

}  // namespace tidewell
