#include "shared/win/Environment.h"

#include <windows.h>

namespace tidewell {

std::optional<std::string> EnvironmentVariable(const std::string& name, size_t maxLength) {
  std::string value;
  // Asked with too small a buffer, the call gives the size it needs; the value
  // may grow between two calls, so ask until it fits.
  for (DWORD size = 0;;) {
    value.resize(size);
    DWORD length = GetEnvironmentVariableA(name.c_str(), value.data(), size);
    if (length == 0) return std::nullopt;
    if (length < size) {
      value.resize(length);
      break;
    }
    size = length;
  }
  if (value.size() > maxLength) return std::nullopt;
  return value;
}

EnvironmentLookup ProcessEnvironment(size_t maxLength) {
  return [maxLength](const std::string& name) { return EnvironmentVariable(name, maxLength); };
}

}  // namespace tidewell
