#include "shared/db/AdoError.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tidewell {

namespace {

std::string SystemMessage(uint32_t code) {
#ifdef _WIN32
  char* buffer = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length ? std::string(buffer, length) : std::string();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
#else
  // The native build has no message table; these are the codes the layer uses.
  switch (code) {
    case kErrorUnspecified: return "Unspecified error";
    default: return {};
  }
#endif
}

}  // namespace

std::string ErrorCodeMeaning(uint32_t code) {
  std::string text = SystemMessage(code);
  if (!text.empty()) return text;
  char buffer[64];
  if (code >= 0x80040200u && code <= 0x8004FFFFu && ((code - 0x200u) & 0xFFFFu) != 0)
    std::snprintf(buffer, sizeof buffer, "IDispatch error #%d", static_cast<int>((code - 0x200u) & 0xFFFFu));
  else
    std::snprintf(buffer, sizeof buffer, "Unknown error 0x%0lX", static_cast<unsigned long>(code));
  return buffer;
}

AdoErrorRecord MakeErrorRecord(const char* heading, const std::string& subject, const char* kind,
                               uint32_t code, const std::string& description) {
  std::string meaning = ErrorCodeMeaning(code);
  int length = std::snprintf(nullptr, 0, "%s Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n\tDescription = %s\n",
                             kind, static_cast<unsigned long>(code), meaning.c_str(), kErrorSource,
                             description.c_str());
  std::string report(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(report.data(), report.size(), "%s Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n\tDescription = %s\n",
                kind, static_cast<unsigned long>(code), meaning.c_str(), kErrorSource, description.c_str());
  report.pop_back();
  return AdoErrorRecord{code, description, heading + subject + "\n" + report};
}

}  // namespace tidewell
