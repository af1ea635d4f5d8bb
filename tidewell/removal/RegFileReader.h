#pragma once
// Reads a .reg file the way reg.exe imports it, to learn what the registry
// must hold after the import. A file that does not parse whole is refused:
// reg.exe would import the lines before the damage and call that a success.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tidewell {

// Value types, numbered as Windows numbers them.
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;
inline constexpr uint32_t kRegQword = 11;

struct RegFileValue {
  std::string name;           // "" for the default value (@)
  bool deleted = false;       // "name"=-
  uint32_t type = 0;
  std::vector<uint8_t> data;  // as the registry will hold it; strings UTF-16LE with their closing NUL
};

struct RegFileKey {
  std::string path;           // root as written ("HKEY_CURRENT_USER\Software\..."), no trailing "\"
  bool deleted = false;       // [-...]: the key and everything below it
  std::vector<RegFileValue> values;
};

// The keys and values the file names, in the order they first appear, as the
// file leaves them: a later line for the same key or value wins, and a deleted
// key takes its values and subkeys with it. Accepts UTF-16LE with its byte
// order mark, and 8-bit text in UTF-8, under "Windows Registry Editor Version
// 5.00" or "REGEDIT4". String data in hex form is UTF-16 in a UTF-16 file and
// 8-bit text in an 8-bit one, as reg.exe reads it. Nothing when any line is
// damaged, cut or of a form reg.exe does not write.
std::optional<std::vector<RegFileKey>> ReadRegFile(std::string_view bytes);

// UTF-16 of UTF-8 text; nothing when the text is not valid UTF-8.
std::optional<std::u16string> Utf16FromUtf8(std::string_view text);

}  // namespace tidewell
