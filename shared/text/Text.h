#pragma once

#include <string>
#include <string_view>

// Text helpers for protocol words, keys and file names: the case folding is
// ASCII only, so no locale can change what matches (no Turkish dotted I).
namespace tidewell {

// What std::isspace calls blank in the "C" locale.
inline constexpr std::string_view kBlanks = " \t\n\v\f\r";

std::string LowerAscii(std::string_view text);
std::string UpperAscii(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// The text without the given characters at either end.
std::string_view Trim(std::string_view text, std::string_view blanks = kBlanks);

// Every occurrence of from, left to right, without rescanning what was put in.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

}  // namespace tidewell
