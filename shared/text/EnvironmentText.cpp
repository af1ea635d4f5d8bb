#include "shared/text/EnvironmentText.h"

namespace tidewell {

namespace {

constexpr size_t kLongestValue = 32767;  // what Windows keeps of one variable

std::string ExpandOnce(std::string_view text, const EnvironmentLookup& lookup) {
  std::string out;
  out.reserve(text.size() + 32);
  size_t at = 0;
  while (at < text.size()) {
    size_t open = text.find('%', at);
    size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
    if (close == std::string_view::npos) {
      out.append(text.substr(at));
      break;
    }
    out.append(text.substr(at, open - at));
    std::string name(text.substr(open + 1, close - open - 1));
    if (name.empty()) {
      out.push_back('%');
      at = open + 1;
      continue;
    }
    if (std::optional<std::string> value = lookup ? lookup(name) : std::nullopt) out += *value;
    at = close + 1;
  }
  return out;
}

}  // namespace

std::string ExpandEnvironment(std::string_view text, const EnvironmentLookup& lookup, int passes) {
  std::string expanded(text);
  for (int pass = 0; pass < passes && expanded.size() <= kLongestValue; ++pass) {
    std::string next = ExpandOnce(expanded, lookup);
    if (next == expanded) break;
    expanded = std::move(next);
  }
  return expanded;
}

}  // namespace tidewell
