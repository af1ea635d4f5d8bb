#include "tidewell/removal/RegFileReader.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace tidewell {
namespace {

// The same text as a UTF-16 file with its byte order mark.
std::string Utf16File(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  std::u16string wide = Utf16FromUtf8(text).value();
  for (char16_t c : wide) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

// One line per key ("-" before a deleted one), one indented line per value:
// name, type and data; string data read as UTF-16LE, so a wrong byte order shows.
std::string Render(const std::vector<RegFileKey>& keys) {
  std::string text;
  char buffer[16];
  for (const auto& key : keys) {
    text += (key.deleted ? "-" : "") + key.path + "\n";
    for (const auto& value : key.values) {
      text += "  " + (value.name.empty() ? std::string("@") : value.name);
      if (value.deleted) {
        text += " -\n";
        continue;
      }
      bool isText = value.type == kRegSz || value.type == kRegExpandSz || value.type == kRegMultiSz;
      std::snprintf(buffer, sizeof buffer, " %u:", static_cast<unsigned>(value.type));
      text += buffer;
      for (size_t i = 0; i < value.data.size(); i += isText ? 2 : 1) {
        unsigned unit = value.data[i];
        if (isText) unit |= i + 1 < value.data.size() ? value.data[i + 1] << 8 : 0xFF00;
        if (!isText) std::snprintf(buffer, sizeof buffer, " %02x", unit);
        else if (unit == 0) std::snprintf(buffer, sizeof buffer, "\\0");
        else if (unit < 0x80) std::snprintf(buffer, sizeof buffer, "%c", static_cast<char>(unit));
        else std::snprintf(buffer, sizeof buffer, "\\u%04x", unit);
        text += buffer;
      }
      text += "\n";
    }
  }
  return text;
}

TEST(RegFileReader, ReadsEveryFormTheRegistryToolsWrite) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string expected;
  };
  const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
  const Case cases[] = {
      {.what = "8-bit, CRLF, escapes, the default value, a comment",
       .bytes = header + "; saved\r\n[HKEY_CURRENT_USER\\Software\\T]\r\n@=\"C:\\\\Tools\\\\\\\"a\\\".exe -min\"\r\n"
                         "\"Name \\\"q\\\"\" = \"x\"\r\n\r\n",
       .expected = "HKEY_CURRENT_USER\\Software\\T\n  @ 1:C:\\Tools\\\"a\".exe -min\\0\n  Name \"q\" 1:x\\0\n"},
      {.what = "UTF-16, every type, hex lists continued over lines",
       .bytes = Utf16File(header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\]\r\n\"S\"=\"\"\r\n"
                                   "\"E\"=hex(2):25,00,41,00,25,00,00,00\r\n"
                                   "\"M\"=hex(7):61,00,00,00,62,00,00,00,\\\r\n  00,00\r\n"
                                   "\"D\"=dword:000000ff\r\n\"Q\"=hex(b):01,00,00,00,00,00,00,02\r\n"
                                   "\"B\"=hex:de,ad,\\\r\n  be,ef\r\n\"N\"=hex(0):\r\n\"Open\"=hex(1):41,00\r\n\r\n"),
       .expected = "HKEY_LOCAL_MACHINE\\SOFTWARE\\T\n  S 1:\\0\n  E 2:%A%\\0\n  M 7:a\\0b\\0\\0\n"
                   "  D 4: ff 00 00 00\n  Q 11: 01 00 00 00 00 00 00 02\n  B 3: de ad be ef\n  N 0:\n  Open 1:A\\0\n"},
      {.what = "REGEDIT4 with LF: string data in hex form is 8-bit text",
       .bytes = "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\T]\n\"E\"=hex(2):25,41,25,00\n\"M\"=hex(7):61,00,62,00,00\n",
       .expected = "HKEY_CLASSES_ROOT\\T\n  E 2:%A%\\0\n  M 7:a\\0b\\0\\0\n"},
      {.what = "names outside ASCII in UTF-8",
       .bytes = header + "[HKEY_CURRENT_USER\\\xC4\x8C" "ech]\r\n\"\xE6\x97\xA5\"=\"\xC3\xBC\"\r\n",
       .expected = "HKEY_CURRENT_USER\\\xC4\x8C" "ech\n  \xE6\x97\xA5 1:\\u00fc\\0\n"},
      {.what = "names outside ASCII in UTF-16, beyond the basic plane",
       .bytes = Utf16File(header + "[HKEY_CURRENT_USER\\\xF0\x9F\x98\x80]\r\n\"v\"=\"\xF0\x9F\x98\x80\"\r\n"),
       .expected = "HKEY_CURRENT_USER\\\xF0\x9F\x98\x80\n  v 1:\\ud83d\\ude00\\0\n"},
      {.what = "deletions, and later lines winning over earlier ones",
       .bytes = header + "[HKEY_CURRENT_USER\\A\\B]\r\n\"V\"=\"old\"\r\n[-HKEY_CURRENT_USER\\A]\r\n"
                         "[HKEY_CURRENT_USER\\A\\C]\r\n\"v\"=\"new\"\r\n\"V\"=-\r\n[hkey_current_user\\a\\c]\r\n"
                         "\"W\"=dword:1\r\n",
       .expected = "-HKEY_CURRENT_USER\\A\\B\nHKEY_CURRENT_USER\\A\nHKEY_CURRENT_USER\\A\\C\n  V -\n"
                   "  W 4: 01 00 00 00\n"},
      {.what = "the header alone, without a line break", .bytes = "REGEDIT4", .expected = ""},
  };
  for (const auto& c : cases) {
    auto keys = ReadRegFile(c.bytes);
    ASSERT_TRUE(keys) << c.what;
    EXPECT_EQ(Render(*keys), c.expected) << c.what;
  }
}

TEST(RegFileReader, RefusesAFileThatDoesNotParseWhole) {
  const std::string good = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\T]\r\n\"A\"=\"1\"\r\n";
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"no header", "[HKEY_CURRENT_USER\\T]\r\n\"A\"=\"1\"\r\n"},
      {"another header", "Windows Registry Editor Version 6.00\r\n"},
      {"a broken line after good values", good + "\"B\"=\"2\"\r\nthis line is damaged\r\n\"C\"=\"3\"\r\n"},
      {"an unterminated string", good + "\"B\"=\"abc\r\n"},
      {"a last line cut short", good + "\"B\"=dword:0000"},
      {"a byte that is not hex", good + "\"B\"=hex:0g\r\n"},
      {"a list continued past the end", good + "\"B\"=hex:01,\\\r\n"},
      {"a number of nine digits", good + "\"B\"=dword:123456789\r\n"},
      {"an escape reg.exe does not write", good + "\"B\"=\"a\\qb\"\r\n"},
      {"a data form reg.exe does not write", good + "\"B\"=str:\"x\"\r\n"},
      {"text after the data", good + "\"B\"=\"x\" y\r\n"},
      {"a value before any key", "REGEDIT4\r\n\"A\"=\"1\"\r\n"},
      {"a value after a deleted key", good + "[-HKEY_CURRENT_USER\\T]\r\n\"B\"=\"2\"\r\n"},
      {"an unknown root", "REGEDIT4\r\n[HKEY_NOWHERE\\T]\r\n"},
      {"an empty name between separators", "REGEDIT4\r\n[HKEY_CURRENT_USER\\\\T]\r\n"},
      {"8-bit text that is not UTF-8", good + "\"B\"=\"\xE9\"\r\n"},
      {"a NUL in the text", good + std::string("\"B\"=\"a\0b\"\r\n", 11)},
      {"UTF-16 of an odd length", Utf16File(good) + "x"},
      {"UTF-16 with a lone surrogate in a name", Utf16File(good) + std::string("\"\0\x00\xD8\"\0=\0-\0\r\0\n\0", 14)},
  };
  for (const auto& c : cases) EXPECT_FALSE(ReadRegFile(c.bytes)) << c.what;
  EXPECT_TRUE(ReadRegFile(good));
}

}  // namespace
}  // namespace tidewell
