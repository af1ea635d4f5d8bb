#include "shared/db/SqlText.h"

#include <cstdarg>
#include <cstring>

namespace tidewell {

std::string QuoteSql(std::string_view value) {
  std::string quoted;
  quoted.reserve(value.size() + 2);
  size_t from = 0;
  for (size_t quote = value.find('\''); quote != std::string_view::npos; quote = value.find('\'', from)) {
    quoted.append(value, from, quote + 1 - from);
    quoted += '\'';
    from = quote + 1;
  }
  quoted.append(value, from);
  return quoted;
}

namespace {

// Most statements hold only texts: "%s" and "%%" are put in directly, which
// costs a fraction of the C library's formatting. False for anything else.
bool FormatTextsOnly(const char* format, va_list args, std::string& text) {
  for (const char* at = format; *at; ++at) {
    if (*at == '%' && at[1] != 's' && at[1] != '%') return false;
    if (*at == '%') ++at;
  }
  text.reserve(256);
  for (const char* at = format; *at;) {
    const char* percent = std::strchr(at, '%');
    if (!percent) {
      text.append(at);
      break;
    }
    text.append(at, percent);
    if (percent[1] == '%')
      text += '%';
    else if (const char* value = va_arg(args, const char*))
      text.append(value);
    else
      text.append("(null)");
    at = percent + 2;
  }
  return true;
}

}  // namespace

namespace detail {
std::string FormatSqlV(const char* format, ...) {
  std::string text;
  va_list args;
  va_start(args, format);
  va_list texts;
  va_copy(texts, args);
  bool done = FormatTextsOnly(format, texts, text);  // reads no argument unless it succeeds
  va_end(texts);
  if (!done) {
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length > 0) {
      text.resize(static_cast<size_t>(length));
      std::vsnprintf(text.data(), text.size() + 1, format, args);
    }
  }
  va_end(args);
  return text;
}
}  // namespace detail

}  // namespace tidewell
