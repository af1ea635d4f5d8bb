#include "tidewell/bho/BhoText.h"

namespace tidewell {

int RiskImageForWord(const std::string& risk) {
  if (risk == "none") return kImageNoRisk;
  if (risk == "high") return kImageHighRisk;
  if (risk == "medium") return kImageMediumRisk;
  return kImageUnknownRisk;
}

std::string ExpandFirstVariable(const std::string& value, const EnvironmentLookup& lookup) {
  size_t first = value.find('%');
  if (first == std::string::npos) return value;
  size_t second = value.find('%', first + 1);
  if (second == std::string::npos || second == first + 1) return value;
  std::optional<std::string> expansion = lookup(value.substr(first + 1, second - first - 1));
  if (!expansion || expansion->empty() || expansion->size() > 200) return value;
  return *expansion + value.substr(second + 1);
}

std::string RemoveSubmittedSuffix(const std::string& name) {
  static const std::string kSuffix = "(submited)";
  std::string result = name;
  for (size_t at = result.find(kSuffix); at != std::string::npos; at = result.find(kSuffix, at)) {
    size_t start = (at > 0 && result[at - 1] == ' ') ? at - 1 : at;
    result.erase(start, at + kSuffix.size() - start);
    at = start;
  }
  return result;
}

int64_t FileTimeToUnixSeconds(uint64_t fileTime) {
  constexpr uint64_t kEpochDifference = 116444736000000000ULL;  // 1601 to 1970 in 100 ns
  if (fileTime < kEpochDifference) return 0;
  return static_cast<int64_t>((fileTime - kEpochDifference) / 10000000ULL);
}

bool IsJustWritten(int64_t age100ns) {
  constexpr int64_t kSecond = 10000000;
  return age100ns > -kSecond && age100ns < 3 * kSecond;
}

}  // namespace tidewell
