#include "tidewell/removal/RegFileReader.h"

#include <unordered_map>

namespace tidewell {

namespace {

constexpr std::u16string_view kHeaders[] = {u"Windows Registry Editor Version 5.00", u"REGEDIT4"};
constexpr std::u16string_view kRoots[] = {u"HKEY_LOCAL_MACHINE", u"HKEY_CURRENT_USER", u"HKEY_CLASSES_ROOT",
                                          u"HKEY_USERS", u"HKEY_CURRENT_CONFIG"};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

void SkipBlanks(std::u16string_view text, size_t& pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
}

// Only blanks, or a comment, from pos on.
bool RestIsEmpty(std::u16string_view text, size_t pos) {
  SkipBlanks(text, pos);
  return pos == text.size() || text[pos] == u';';
}

std::u16string_view Trimmed(std::u16string_view text) {
  size_t first = 0;
  SkipBlanks(text, first);
  size_t last = text.size();
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool SameAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

// The registry compares names without regard to case.
std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return folded;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// 1 to 8 hexadecimal digits from pos on.
bool HexNumber(std::u16string_view text, size_t& pos, uint32_t& number) {
  size_t start = pos;
  number = 0;
  while (pos < text.size() && HexDigit(text[pos]) >= 0 && pos - start < 8)
    number = number * 16 + static_cast<uint32_t>(HexDigit(text[pos++]));
  return pos > start && (pos == text.size() || HexDigit(text[pos]) < 0);
}

std::optional<std::string> Utf8FromUtf16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return std::nullopt;
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return std::nullopt;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::vector<uint8_t> LittleEndianBytes(std::u16string_view text) {
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

// The text between the quotes, pos at the opening one; pos ends after the
// closing one. Only the escapes reg.exe writes are accepted.
bool Unquote(std::u16string_view text, size_t& pos, std::u16string& out) {
  out.clear();
  for (++pos; pos < text.size(); ++pos) {
    char16_t c = text[pos];
    if (c == u'"') {
      ++pos;
      return true;
    }
    if (c != u'\\') {
      out += c;
      continue;
    }
    if (++pos == text.size()) return false;
    switch (text[pos]) {
      case u'\\': out += u'\\'; break;
      case u'"': out += u'"'; break;
      case u'n': out += u'\n'; break;
      case u'r': out += u'\r'; break;
      default: return false;
    }
  }
  return false;  // unterminated
}

// One line's part of a hex list ("01,02,\"): two digits a byte, commas
// between; "\" at the end continues the list on the next line.
bool HexList(std::u16string_view text, std::vector<uint8_t>& bytes, bool& continues) {
  continues = false;
  size_t pos = 0;
  SkipBlanks(text, pos);
  if (RestIsEmpty(text, pos)) return true;
  for (;;) {
    if (text[pos] == u'\\') {
      continues = true;
      return RestIsEmpty(text, pos + 1);
    }
    if (pos + 1 >= text.size() || HexDigit(text[pos]) < 0 || HexDigit(text[pos + 1]) < 0) return false;
    bytes.push_back(static_cast<uint8_t>(HexDigit(text[pos]) * 16 + HexDigit(text[pos + 1])));
    pos += 2;
    SkipBlanks(text, pos);
    if (RestIsEmpty(text, pos)) return true;
    if (text[pos] == u'\\') continue;
    if (text[pos] != u',') return false;
    ++pos;
    SkipBlanks(text, pos);
    if (pos == text.size() || text[pos] == u';') return false;  // a list cut after its comma
  }
}

// The lines of the file, decoded; damaged text (an odd UTF-16 length, a NUL,
// bytes that are not UTF-8) ends the reading as broken.
class LineReader {
 public:
  explicit LineReader(std::string_view bytes) {
    wide_ = bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE;
    bytes_ = wide_ ? bytes.substr(2) : bytes;
    broken_ = wide_ && bytes_.size() % 2 != 0;
    count_ = wide_ ? bytes_.size() / 2 : bytes_.size();
  }

  bool Wide() const { return wide_; }
  bool Broken() const { return broken_; }
  // Whether the line Next gave last ended with a line break.
  bool EndedByBreak() const { return endedByBreak_; }

  bool Next(std::u16string& line) {
    if (broken_ || pos_ >= count_) return false;
    size_t end = pos_;
    while (end < count_ && Unit(end) != u'\r' && Unit(end) != u'\n') {
      if (Unit(end) == 0) {
        broken_ = true;
        return false;
      }
      ++end;
    }
    if (wide_) {
      line.resize(end - pos_);
      for (size_t i = pos_; i < end; ++i) line[i - pos_] = Unit(i);
    } else {
      auto decoded = Utf16FromUtf8(bytes_.substr(pos_, end - pos_));
      if (!decoded) {
        broken_ = true;
        return false;
      }
      line = std::move(*decoded);
    }
    endedByBreak_ = end < count_;
    pos_ = end;
    if (pos_ < count_ && Unit(pos_++) == u'\r' && pos_ < count_ && Unit(pos_) == u'\n') ++pos_;
    return true;
  }

 private:
  char16_t Unit(size_t index) const {
    if (!wide_) return static_cast<char16_t>(static_cast<uint8_t>(bytes_[index]));
    return static_cast<char16_t>(static_cast<uint8_t>(bytes_[2 * index]) |
                                 (static_cast<uint8_t>(bytes_[2 * index + 1]) << 8));
  }

  std::string_view bytes_;
  bool wide_ = false;
  bool broken_ = false;
  bool endedByBreak_ = false;
  size_t count_ = 0;
  size_t pos_ = 0;
};

// The keys and values as the file leaves them, later lines winning.
class KeyStore {
 public:
  size_t Add(const std::string& path) {
    size_t key = Find(path);
    keys_[key].deleted = false;
    // [-A] then [A\B]: B's import creates A again.
    if (anyDeleted_) {
      const std::string& folded = folded_[key];
      for (size_t slash = folded.find('\\'); slash != std::string::npos; slash = folded.find('\\', slash + 1)) {
        auto ancestor = byPath_.find(folded.substr(0, slash));
        if (ancestor != byPath_.end()) keys_[ancestor->second].deleted = false;
      }
    }
    return key;
  }

  void Delete(const std::string& path) {
    size_t key = Find(path);
    anyDeleted_ = true;
    MarkDeleted(key);
    std::string below = folded_[key] + "\\";
    for (size_t other = 0; other < keys_.size(); ++other)
      if (folded_[other].starts_with(below)) MarkDeleted(other);
  }

  void SetValue(size_t key, RegFileValue value) {
    std::string id = ValueId(key, value.name);
    auto found = byValue_.find(id);
    if (found != byValue_.end()) {
      keys_[key].values[found->second] = std::move(value);
      return;
    }
    byValue_.emplace(std::move(id), keys_[key].values.size());
    keys_[key].values.push_back(std::move(value));
  }

  std::vector<RegFileKey> Take() { return std::move(keys_); }

 private:
  size_t Find(const std::string& path) {
    std::string folded = Folded(path);
    auto found = byPath_.find(folded);
    if (found != byPath_.end()) return found->second;
    byPath_.emplace(folded, keys_.size());
    folded_.push_back(std::move(folded));
    keys_.push_back({path, false, {}});
    return keys_.size() - 1;
  }

  void MarkDeleted(size_t key) {
    keys_[key].deleted = true;
    for (const auto& value : keys_[key].values) byValue_.erase(ValueId(key, value.name));
    keys_[key].values.clear();
  }

  std::string ValueId(size_t key, const std::string& name) const {
    std::string id = folded_[key];
    id += '\0';
    id += Folded(name);
    return id;
  }

  std::vector<RegFileKey> keys_;
  std::vector<std::string> folded_;
  std::unordered_map<std::string, size_t> byPath_;
  std::unordered_map<std::string, size_t> byValue_;
  bool anyDeleted_ = false;
};

class Parser {
 public:
  explicit Parser(bool wide) : wide_(wide) {}

  bool Line(std::u16string_view line) {
    size_t pos = 0;
    SkipBlanks(line, pos);
    if (continuing_) {
      if (pos == line.size()) return false;  // a blank line inside a hex list: cut
      if (line[pos] == u';') return true;
      bool more = false;
      if (!HexList(line.substr(pos), pending_.data, more)) return false;
      continuing_ = more;
      return more || EndValue();
    }
    if (RestIsEmpty(line, pos)) return true;
    if (line[pos] == u'[') return KeyLine(line.substr(pos + 1));
    if (line[pos] == u'@' || line[pos] == u'"') return ValueLine(line.substr(pos));
    return false;
  }

  // False when the file ends inside a hex list.
  bool Finish() const { return !continuing_; }
  std::vector<RegFileKey> Take() { return store_.Take(); }

 private:
  bool KeyLine(std::u16string_view rest) {
    bool deleted = !rest.empty() && rest[0] == u'-';
    if (deleted) rest.remove_prefix(1);
    size_t close = rest.rfind(u']');
    if (close == std::u16string_view::npos || !Trimmed(rest.substr(close + 1)).empty()) return false;
    std::u16string_view path = rest.substr(0, close);
    while (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
    std::u16string_view root = path.substr(0, path.find(u'\\'));
    bool known = false;
    for (auto name : kRoots) known = known || SameAsciiCase(root, name);
    if (!known || path.find(u"\\\\") != std::u16string_view::npos) return false;
    auto text = Utf8FromUtf16(path);
    if (!text) return false;
    if (deleted) {
      store_.Delete(*text);
      currentKey_.reset();  // reg.exe has no key open for values that follow
    } else {
      currentKey_ = store_.Add(*text);
    }
    return true;
  }

  bool ValueLine(std::u16string_view line) {
    if (!currentKey_) return false;
    std::u16string name;
    size_t pos = 1;  // after "@"
    if (line[0] == u'"') {
      pos = 0;
      if (!Unquote(line, pos, name)) return false;
    }
    SkipBlanks(line, pos);
    if (pos == line.size() || line[pos] != u'=') return false;
    SkipBlanks(line, ++pos);
    auto utf8 = Utf8FromUtf16(name);
    if (!utf8) return false;
    pending_ = RegFileValue{};
    pending_.name = std::move(*utf8);
    std::u16string_view data = line.substr(pos);

    if (data.starts_with(u'"')) {
      std::u16string text;
      size_t end = 0;
      if (!Unquote(data, end, text) || !RestIsEmpty(data, end)) return false;
      text += u'\0';
      pending_.type = kRegSz;
      pending_.data = LittleEndianBytes(text);
      return Store();
    }
    if (data.starts_with(u'-')) {
      pending_.deleted = true;
      return RestIsEmpty(data, 1) && Store();
    }
    if (data.starts_with(u"dword:")) {
      size_t digits = 6;
      SkipBlanks(data, digits);
      uint32_t number = 0;
      if (!HexNumber(data, digits, number) || !RestIsEmpty(data, digits)) return false;
      pending_.type = kRegDword;
      for (int shift = 0; shift < 32; shift += 8) pending_.data.push_back(static_cast<uint8_t>(number >> shift));
      return Store();
    }
    size_t list = 0;
    if (data.starts_with(u"hex:")) {
      pending_.type = kRegBinary;
      list = 4;
    } else if (data.starts_with(u"hex(")) {
      list = 4;
      if (!HexNumber(data, list, pending_.type) || !data.substr(list).starts_with(u"):")) return false;
      list += 2;
    } else {
      return false;
    }
    if (!HexList(data.substr(list), pending_.data, continuing_)) return false;
    return continuing_ || EndValue();
  }

  // String data in hex form becomes what reg.exe stores: UTF-16 with a closing NUL.
  bool EndValue() {
    auto& bytes = pending_.data;
    bool text = pending_.type == kRegSz || pending_.type == kRegExpandSz || pending_.type == kRegMultiSz;
    if (text && wide_) {
      if (bytes.size() % 2 != 0) return false;
      if (!bytes.empty() && (bytes[bytes.size() - 2] != 0 || bytes.back() != 0)) bytes.insert(bytes.end(), {0, 0});
    } else if (text && !bytes.empty()) {
      if (bytes.back() != 0) bytes.push_back(0);
      auto decoded = Utf16FromUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
      if (!decoded) return false;
      bytes = LittleEndianBytes(*decoded);
    }
    return Store();
  }

  bool Store() {
    store_.SetValue(*currentKey_, std::move(pending_));
    pending_ = RegFileValue{};
    return true;
  }

  bool wide_;
  KeyStore store_;
  std::optional<size_t> currentKey_;
  RegFileValue pending_;
  bool continuing_ = false;
};

}  // namespace

std::optional<std::u16string> Utf16FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    auto lead = static_cast<uint8_t>(text[i]);
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      ++i;
      continue;
    }
    size_t length = 0;
    char32_t c = 0, least = 0;
    if ((lead & 0xE0) == 0xC0) {
      length = 2, c = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, c = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, c = lead & 0x07, least = 0x10000;
    } else {
      return std::nullopt;
    }
    if (text.size() - i < length) return std::nullopt;
    for (size_t k = 1; k < length; ++k) {
      auto next = static_cast<uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += length;
  }
  return out;
}

std::optional<std::vector<RegFileKey>> ReadRegFile(std::string_view bytes) {
  LineReader lines(bytes);
  std::u16string line;
  if (!lines.Next(line)) return std::nullopt;
  std::u16string_view header = Trimmed(line);
  if (header != kHeaders[0] && header != kHeaders[1]) return std::nullopt;
  Parser parser(lines.Wide());
  while (lines.Next(line)) {
    if (!parser.Line(line)) return std::nullopt;
    // A last line without its line break was cut short, unless nothing was on it.
    if (!lines.EndedByBreak() && !RestIsEmpty(line, 0)) return std::nullopt;
  }
  if (lines.Broken() || !parser.Finish()) return std::nullopt;
  return parser.Take();
}

}  // namespace tidewell
