#pragma once
// The text of a single-value .reg file, in the form the system's registry
// tools import: a header, the key line and one value line.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tidewell {

inline constexpr const char* kRegFileHeader = "Windows Registry Editor Version 5.00";

// Every "\" doubled, then every '"' written as \" .
std::string EscapeRegText(std::string_view text);

// "name" = "data"
std::string RegStringValueLine(std::string_view name, std::string_view data);
// "name" = dword:000000ff
std::string RegDwordValueLine(std::string_view name, uint32_t value);
inline constexpr uint32_t kRegBinaryType = 3;  // REG_BINARY, written as plain "hex:"

// "name" = hex(1):61,00,00,00 - raw bytes of a value of the given type, the
// type number in hexadecimal (hex(b): for a QWORD); "name" = hex:... for binary.
std::string RegHexValueLine(std::string_view name, uint32_t type, const std::vector<uint8_t>& bytes);

// A string value that a quoted value line cannot carry: a line break would end
// the line early and the import would store only its first part.
bool NeedsHexForm(std::string_view data);

// The whole file, every line ended by CR LF. Without a value line the file
// holds the header and the key line only.
std::string ValueBackupFileText(std::string_view rootText, std::string_view keyPath,
                                const std::optional<std::string>& valueLine);

}  // namespace tidewell
