#include "shared/win/Utf8.h"

#include <windows.h>

namespace tidewell {

namespace {

std::optional<std::string> ToUtf8(std::wstring_view text, DWORD flags) {
  if (text.empty()) return std::string();
  int length = WideCharToMultiByte(CP_UTF8, flags, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
  if (length <= 0) return std::nullopt;
  std::string result(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, flags, text.data(), static_cast<int>(text.size()), result.data(), length, nullptr,
                      nullptr);
  return result;
}

}  // namespace

std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0);
  if (length <= 0) return {};
  std::wstring result(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), result.data(),
                      length);
  return result;
}

std::optional<std::string> Utf8FromWide(std::wstring_view text) { return ToUtf8(text, WC_ERR_INVALID_CHARS); }

std::string Utf8FromWideLossy(std::wstring_view text) { return ToUtf8(text, 0).value_or(std::string()); }

std::filesystem::path PathFromUtf8(std::string_view text) { return std::filesystem::path(WideFromUtf8(text)); }

std::string Utf8FromPath(const std::filesystem::path& path) { return Utf8FromWideLossy(path.native()); }

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() == b.size() && a == b) return true;
  std::wstring wa = WideFromUtf8(a), wb = WideFromUtf8(b);
  if (wa.empty() != a.empty() || wb.empty() != b.empty()) return false;  // not UTF-8: no name
  return CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(), static_cast<int>(wb.size()),
                              TRUE) == CSTR_EQUAL;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  std::wstring wt = WideFromUtf8(text), wp = WideFromUtf8(prefix);
  if (wt.empty() != text.empty() || wp.empty() != prefix.empty() || wp.size() > wt.size()) return false;
  return CompareStringOrdinal(wt.data(), static_cast<int>(wp.size()), wp.data(), static_cast<int>(wp.size()),
                              TRUE) == CSTR_EQUAL;
}

std::string UpperCaseName(std::string_view text) {
  std::wstring wide = WideFromUtf8(text);
  if (wide.empty()) return {};
  // The invariant locale's casing, not the user's: no Turkish dotted I.
  int length = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), static_cast<int>(wide.size()),
                             nullptr, 0, nullptr, nullptr, 0);
  if (length <= 0) return {};
  std::wstring upper(static_cast<size_t>(length), L'\0');
  LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), static_cast<int>(wide.size()), upper.data(),
                length, nullptr, nullptr, 0);
  return Utf8FromWide(upper).value_or(std::string());
}

}  // namespace tidewell
