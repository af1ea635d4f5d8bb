#include "tidewell/app/ProductLinks.h"
#include "shared/text/Text.h"

#include <cctype>
#include <optional>
#include <string_view>

namespace tidewell {

namespace {

std::string DecodeEntities(std::string_view text) {
  static const struct {
    const char* entity;
    char character;
  } known[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}, {"&apos;", '\''},
               {"&nbsp;", ' '}};
  std::string decoded;
  for (size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == '&') {
      for (const auto& entry : known) {
        if (StartsWithNoCase(text.substr(i), entry.entity)) {
          decoded += entry.character;
          i += std::string_view(entry.entity).size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) decoded += text[i++];
  }
  return decoded;
}

// Tags dropped, runs of white space made one blank, ends trimmed.
std::string PlainText(std::string_view html) {
  std::string text;
  bool inTag = false, blank = false;
  for (char c : html) {
    if (c == '<') inTag = true;
    else if (c == '>') inTag = false;
    else if (!inTag) {
      if (std::isspace(static_cast<unsigned char>(c))) {
        blank = !text.empty();
      } else {
        if (blank) text += ' ';
        blank = false;
        text += c;
      }
    }
  }
  return DecodeEntities(text);
}

// The href value of an <a ...> tag's attribute text.
std::optional<std::string> HrefOf(std::string_view tag) {
  std::string lower = LowerAscii(tag);
  for (size_t at = lower.find("href"); at != std::string::npos; at = lower.find("href", at + 4)) {
    if (at > 0 && !std::isspace(static_cast<unsigned char>(lower[at - 1]))) continue;
    size_t pos = at + 4;
    while (pos < tag.size() && std::isspace(static_cast<unsigned char>(tag[pos]))) ++pos;
    if (pos >= tag.size() || tag[pos] != '=') continue;
    ++pos;
    while (pos < tag.size() && std::isspace(static_cast<unsigned char>(tag[pos]))) ++pos;
    if (pos >= tag.size()) return std::nullopt;
    if (tag[pos] == '"' || tag[pos] == '\'') {
      size_t end = tag.find(tag[pos], pos + 1);
      if (end == std::string_view::npos) return std::nullopt;
      return std::string(tag.substr(pos + 1, end - pos - 1));
    }
    size_t end = pos;
    while (end < tag.size() && !std::isspace(static_cast<unsigned char>(tag[end])) && tag[end] != '>') ++end;
    return std::string(tag.substr(pos, end - pos));
  }
  return std::nullopt;
}

std::string Absolute(const std::string& address, const std::string& host) {
  if (StartsWithNoCase(address, "http://") || StartsWithNoCase(address, "https://") ||
      StartsWithNoCase(address, "mailto:"))
    return address;
  if (address.starts_with("//")) return "http:" + address;
  if (address.find(':') != std::string::npos || address.find('\\') != std::string::npos) return {};
  if (address.empty() || address.starts_with("#")) return {};
  if (address.starts_with("/")) return "http://" + host + address;
  return "http://" + host + "/" + address;
}

}  // namespace

std::vector<ProductLink> ParseProductLinks(const std::string& html, const std::string& host) {
  std::vector<ProductLink> links;
  std::string lower = LowerAscii(html);
  size_t pos = 0;
  for (;;) {
    size_t open = lower.find("<a", pos);
    if (open == std::string::npos) break;
    pos = open + 2;
    if (pos < lower.size() && !std::isspace(static_cast<unsigned char>(lower[pos])) && lower[pos] != '>') continue;
    size_t tagEnd = lower.find('>', pos);
    if (tagEnd == std::string::npos) break;
    auto href = HrefOf(std::string_view(html).substr(pos, tagEnd - pos));
    size_t close = lower.find("</a", tagEnd);
    size_t textEnd = close == std::string::npos ? html.size() : close;
    pos = textEnd;
    if (!href) continue;
    std::string address = Absolute(std::string(Trim(DecodeEntities(*href))), host);
    if (!IsOpenableLinkAddress(address)) continue;
    std::string text = PlainText(std::string_view(html).substr(tagEnd + 1, textEnd - tagEnd - 1));
    links.push_back(ProductLink{text.empty() ? address : text, address});
  }
  return links;
}

bool IsOpenableLinkAddress(const std::string& address) {
  if (!(StartsWithNoCase(address, "http://") || StartsWithNoCase(address, "https://") ||
        StartsWithNoCase(address, "mailto:")))
    return false;
  for (char c : address)
    if (static_cast<unsigned char>(c) < 0x20 || c == '"') return false;
  return true;
}

}  // namespace tidewell
