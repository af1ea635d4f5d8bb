#pragma once
// Every value that enters a statement goes through here, so an apostrophe in a
// BHO name, an event or a path can never break the statement or lose the row.

#include <concepts>
#include <cstdio>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>

namespace tidewell {

// Doubles every apostrophe: O'Brien -> O''Brien.
std::string QuoteSql(std::string_view value);

namespace detail {
std::string FormatSqlV(const char* format, ...);

template <class T>
decltype(auto) SqlArgument(const T& value) {
  if constexpr (std::is_convertible_v<const T&, std::string_view>)
    return QuoteSql(std::string_view(value));
  else {
    static_assert(std::is_arithmetic_v<T>, "only texts and numbers go into a statement");
    return value;
  }
}

template <class T>
auto PrintfArgument(const T& value) {
  if constexpr (std::is_same_v<T, std::string>)
    return value.c_str();
  else
    return value;
}
}  // namespace detail

// Formats a statement text ("insert into [Events](dtm,event) values(%d,'%s')")
// with its values; texts are quoted on the way in.
template <class... Args>
std::string FormatSql(const char* format, const Args&... args) {
  auto quoted = std::make_tuple(detail::SqlArgument(args)...);
  return std::apply(
      [format](const auto&... held) { return detail::FormatSqlV(format, detail::PrintfArgument(held)...); },
      quoted);
}

}  // namespace tidewell
