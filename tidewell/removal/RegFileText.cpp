#include "tidewell/removal/RegFileText.h"

#include <cstdio>

namespace tidewell {

std::string EscapeRegText(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

namespace {

// "name" = with the name escaped; appended to, not concatenated, which keeps
// GCC 12's restrict warning about temporaries quiet.
std::string NamePart(std::string_view name) {
  std::string line = "\"";
  line.append(EscapeRegText(name));
  line.append("\" = ");
  return line;
}

}  // namespace

std::string RegStringValueLine(std::string_view name, std::string_view data) {
  std::string line = NamePart(name);
  line.append("\"").append(EscapeRegText(data)).append("\"");
  return line;
}

std::string RegDwordValueLine(std::string_view name, uint32_t value) {
  char number[16];
  std::snprintf(number, sizeof number, "%08x", static_cast<unsigned>(value));
  // The name is escaped like a string's: a quote in it would break the line.
  std::string line = NamePart(name);
  line.append("dword:").append(number);
  return line;
}

std::string RegHexValueLine(std::string_view name, uint32_t type, const std::vector<uint8_t>& bytes) {
  std::string line = NamePart(name);
  char byte[16];
  if (type == kRegBinaryType) {
    line.append("hex:");
  } else {
    std::snprintf(byte, sizeof byte, "hex(%x):", static_cast<unsigned>(type));  // the type number is hexadecimal
    line.append(byte);
  }
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned>(bytes[i]));
    if (i > 0) line += ',';
    line += byte;
  }
  return line;
}

bool NeedsHexForm(std::string_view data) { return data.find_first_of("\r\n") != std::string_view::npos; }

std::string ValueBackupFileText(std::string_view rootText, std::string_view keyPath,
                                const std::optional<std::string>& valueLine) {
  std::string text = kRegFileHeader;
  text.append("\r\n\r\n[").append(rootText).append("\\").append(keyPath).append("]\r\n");
  if (valueLine) text.append(*valueLine).append("\r\n\r\n");
  return text;
}

}  // namespace tidewell
