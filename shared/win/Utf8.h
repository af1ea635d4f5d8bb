#pragma once
// The one bridge between the programs' UTF-8 text and the wide (UTF-16) text
// of the W-suffixed Windows functions.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tidewell {

// Empty when the text is not valid UTF-8 (and for empty text).
std::wstring WideFromUtf8(std::string_view text);
// Nothing when the text holds an unpaired surrogate: such a name has no
// UTF-8 spelling and would come back as another name.
std::optional<std::string> Utf8FromWide(std::wstring_view text);
// As Utf8FromWide, with U+FFFD for what does not convert: for display only.
std::string Utf8FromWideLossy(std::wstring_view text);

// std::filesystem::path built from a std::string widens each byte; these
// go through UTF-16 instead.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8FromPath(const std::filesystem::path& path);

// The system's ordinal comparison ignoring case, as the file system and the
// registry compare names (not the locale's or the code page's rules).
bool SameNameIgnoringCase(std::string_view a, std::string_view b);
// a starts with prefix under the same rule.
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);
// The text in upper case, ordinally: names that SameNameIgnoringCase calls
// the same come out equal, so it can key a map. Empty when not UTF-8.
std::string UpperCaseName(std::string_view text);

}  // namespace tidewell
