#include "tidewell/removal/ActionManifest.h"

#include <charconv>

#include "tidewell/removal/RegFileReader.h"

namespace tidewell {

namespace {

constexpr char kSeparator = '\t';

// Only "%" and control characters (a tab or line break would end the field
// or line) are escaped, so paths stay readable.
std::string Escape(std::string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c != '%' && byte >= 0x20) {
      out += c;
      continue;
    }
    out += '%';
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::string> Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
    if (c != '%') {
      out += c;
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    size_t end = line.find(kSeparator, start);
    fields.push_back(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return fields;
}

template <class T>
bool ParseNumber(std::string_view text, T& value, int base = 10) {
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size();
}

std::string Hex(uint32_t value) {
  char buffer[9];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
  return std::string(buffer, end);
}

const char* KindName(KeptKind kind) {
  switch (kind) {
    case KeptKind::File: return "file";
    case KeptKind::Folder: return "folder";
    case KeptKind::Key: return "key";
    case KeptKind::Value: return "value";
    case KeptKind::Written: return "written";
  }
  return "";
}

// "C:\..." or "\\server\...": the only places a kept piece came from.
bool IsWholePath(std::string_view path) {
  bool drive = path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
               path[1] == ':' && path[2] == '\\';
  bool share = path.size() > 2 && path[0] == '\\' && path[1] == '\\';
  if (!drive && !share) return false;
  // No part may climb.
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    std::string_view part = path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (part == "." || part == "..") return false;
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return true;
}

bool IsHiveName(std::string_view hive) {
  return hive == "HKLM" || hive == "HKCU" || hive == "HKCR" || hive == "HKU" || hive == "HKCC";
}

bool IsKeyPath(std::string_view path) {
  return !path.empty() && path.front() != '\\' && path.back() != '\\' &&
         path.find("\\\\") == std::string_view::npos;
}

}  // namespace

bool IsKeptName(std::string_view name) {
  if (name.empty()) return false;
  size_t start = 0;
  while (true) {
    size_t end = name.find('\\', start);
    std::string_view part = name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (part.empty() || part.find_first_not_of('.') == std::string_view::npos) return false;
    for (char c : part)
      if (static_cast<unsigned char>(c) < 0x20 || c == '/' || c == ':' || c == '?' || c == '*') return false;
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

std::string ManifestLine(const KeptPiece& piece) {
  std::string line = KindName(piece.kind);
  auto add = [&](std::string_view field) {
    line += kSeparator;
    line += Escape(field);
  };
  if (piece.kind == KeptKind::File || piece.kind == KeptKind::Folder) {
    add(piece.path);
    add(piece.kept);
    add(Hex(piece.attributes));
    add(std::to_string(piece.created));
    add(std::to_string(piece.accessed));
    add(std::to_string(piece.written));
  } else {
    add(piece.hive);
    add(std::to_string(piece.view));
    add(piece.keyPath);
    if (piece.kind != KeptKind::Key) add(piece.valueName);
    add(piece.kept);
  }
  return line;
}

std::optional<KeptPiece> ParseManifestLine(std::string_view line) {
  std::vector<std::string_view> raw = Fields(line);
  std::vector<std::string> fields;
  for (std::string_view field : raw) {
    std::optional<std::string> text = Unescape(field);
    if (!text || !Utf16FromUtf8(*text)) return std::nullopt;  // names are UTF-8 or damaged
    fields.push_back(std::move(*text));
  }
  KeptPiece piece;
  const std::string& kind = fields[0];
  if (kind == "file" || kind == "folder") {
    if (fields.size() != 7) return std::nullopt;
    piece.kind = kind == "file" ? KeptKind::File : KeptKind::Folder;
    piece.path = fields[1];
    piece.kept = fields[2];
    if (!IsWholePath(piece.path)) return std::nullopt;
    if (piece.kind == KeptKind::File ? !IsKeptName(piece.kept) : !piece.kept.empty()) return std::nullopt;
    if (!ParseNumber(fields[3], piece.attributes, 16) || !ParseNumber(fields[4], piece.created) ||
        !ParseNumber(fields[5], piece.accessed) || !ParseNumber(fields[6], piece.written))
      return std::nullopt;
    return piece;
  }
  bool written = kind == "written", value = written || kind == "value";
  if (!value && kind != "key") return std::nullopt;
  if (fields.size() != (value ? 6u : 5u)) return std::nullopt;
  piece.kind = written ? KeptKind::Written : value ? KeptKind::Value : KeptKind::Key;
  piece.hive = fields[1];
  piece.keyPath = fields[3];
  if (value) piece.valueName = fields[4];
  piece.kept = fields.back();
  if (!IsHiveName(piece.hive) || !IsKeyPath(piece.keyPath) || !IsKeptName(piece.kept)) return std::nullopt;
  if (!ParseNumber(fields[2], piece.view) || (piece.view != 0 && piece.view != 32 && piece.view != 64))
    return std::nullopt;
  return piece;
}

std::string ManifestText(const std::vector<KeptPiece>& pieces) {
  std::string text = std::string(kActionManifestHeader) + "\r\n";
  for (const KeptPiece& piece : pieces) text += ManifestLine(piece) + "\r\n";
  return text;
}

ParsedManifest ParseManifest(std::string_view text) {
  ParsedManifest parsed;
  size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    start = end == std::string_view::npos ? text.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      first = false;
      parsed.headerFound = line == kActionManifestHeader;
      if (!parsed.headerFound) return parsed;  // not a manifest: nothing in it is trusted
      continue;
    }
    if (line.empty()) continue;
    if (std::optional<KeptPiece> piece = ParseManifestLine(line))
      parsed.pieces.push_back(std::move(*piece));
    else
      parsed.damaged.emplace_back(line);
  }
  return parsed;
}

}  // namespace tidewell
