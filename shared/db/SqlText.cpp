#include "shared/db/SqlText.h"

#include <cstdarg>
#include <vector>

namespace tidewell {

std::string QuoteSql(std::string_view value) {
  std::string quoted;
  quoted.reserve(value.size() + 2);
  for (char c : value) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted;
}

namespace detail {
std::string FormatSqlV(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  std::string text;
  if (length > 0) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    text.assign(buffer.data(), static_cast<size_t>(length));
  }
  va_end(args);
  return text;
}
}  // namespace detail

}  // namespace tidewell
