#include "tidewell/startup/StartupText.h"
#include "shared/text/Text.h"

#include <cctype>
#include <cstdio>

namespace tidewell {

namespace {

void EraseAll(std::string& text, std::string_view part) {
  for (size_t found; (found = text.find(part)) != std::string::npos;) text.erase(found, part.size());
}

}  // namespace

std::string StartupProgramPath(std::string_view command) {
  std::string path = LowerAscii(command);
  EraseAll(path, "rundll32.exe");
  if (size_t quote = path.find('"'); quote != std::string::npos) {
    if (size_t closing = path.find('"', quote + 1); closing != std::string::npos) path.resize(closing);
    EraseAll(path, "\"");
  } else if (size_t exe = path.find(".exe"); exe != std::string::npos) {
    path.resize(exe + 4);
  }
  // "rundll32.exe "C:\x.dll"" leaves a blank before the path, which would
  // keep the file's version information from being found.
  size_t first = path.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return path.substr(first, path.find_last_not_of(' ') - first + 1);
}

std::string ProgramFileName(std::string_view path) {
  size_t separator = path.find_last_of("\\/");
  return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

std::string StartupDescriptionText(std::string_view description) {
  return std::string(kDescriptionPrefix) + std::string(description.empty() ? kUnknownStartupProgram : description);
}

std::string EncodeStartupInfo(std::string_view name, std::string_view path) {
  std::string text = "{sup_info} | " + std::string(name) + " | " + std::string(path);
  std::string encoded;
  encoded.reserve(text.size() * 3);
  // One pass with the table's replacements is the same as applying them in
  // order, since "%" comes first and no replacement makes another character.
  for (char c : text) {
    switch (c) {
      case '%': encoded += "%25"; break;
      case ' ': encoded += "%20"; break;
      case '&': encoded += "%26"; break;
      case '\'': encoded += "%27"; break;
      case '+': encoded += "%2B"; break;
      case '=': encoded += "%3D"; break;
      case '?': encoded += "%3F"; break;
      default:
        // A value name may hold CR or LF, which would end the request line.
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char escape[4];
          std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(c));
          encoded += escape;
        } else {
          encoded += c;
        }
    }
  }
  return encoded;
}

std::string StartupInfoRequestPath(std::string_view name, std::string_view path) {
  return "/cgi/submit_misc.cgi?diverse=" + EncodeStartupInfo(name, path);
}

std::string NewStartupEntriesText(const std::vector<std::string>& names) {
  if (names.empty()) return {};
  if (names.size() > 1) return std::to_string(names.size()) + " new startup entries";
  return "New startup entry: " + (names.front().empty() ? std::string("(Default)") : names.front());
}

}  // namespace tidewell
