#pragma once
// System Restore's drivetable.txt: its first line (UTF-16LE) ends with the
// megabytes System Restore may use. Plain text rules, built everywhere.

#include <cstdint>
#include <optional>
#include <string>

namespace tidewell {

inline constexpr int64_t kMaxLimitMegabytes = int64_t{1} << 40;  // far beyond any disk; keeps products in range

// The number ending the file's first line; empty when the line is not whole
// or holds no number.
std::optional<int64_t> ParseRestoreLimit(const std::string& fileBytes);
// The file with that number replaced by `megabytes` (clamped to 0 to
// kMaxLimitMegabytes) and every other byte kept; empty when the first line is
// not whole or the number does not stand exactly once in it.
std::optional<std::string> RewriteRestoreLimit(const std::string& fileBytes, int64_t megabytes);

}  // namespace tidewell
