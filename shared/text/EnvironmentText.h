#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tidewell {

// Value of an environment variable; nothing when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

// Left to right, each "%NAME%" becomes its value and an unknown one nothing;
// "%%" is no reference (its second "%" may open one) and a lone "%" stays.
// Values that name variables are expanded in further passes, at most
// `passes` in all and none once the text is longer than any value can be,
// so a value that names itself ends instead of growing for ever.
std::string ExpandEnvironment(std::string_view text, const EnvironmentLookup& lookup, int passes = 1);

}  // namespace tidewell
