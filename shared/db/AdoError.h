#pragma once
// The error record that the database layer keeps instead of showing anything.

#include <cstdint>
#include <string>

namespace tidewell {

// HRESULT-style codes the layer reports, chosen as the Jet provider would.
inline constexpr uint32_t kErrorUnspecified = 0x80004005;      // open failures, constraint violations
inline constexpr uint32_t kErrorInCommand = 0x80040E14;        // SQL the engine cannot run
inline constexpr uint32_t kErrorAuthentication = 0x80040E4D;   // wrong database password
inline constexpr uint32_t kErrorItemNotFound = 0x800A0CC1;     // unknown field name
inline constexpr uint32_t kErrorNoCurrentRecord = 0x800A0BCD;  // read at end of file
inline constexpr uint32_t kErrorNotSupported = 0x800A0CB3;     // a mode this engine cannot offer
inline constexpr uint32_t kErrorObjectClosed = 0x800A0E78;     // statement on a closed connection

inline constexpr const char* kErrorSource = "SQLite";

struct AdoErrorRecord {
  uint32_t code = 0;
  std::string description;
  std::string text;
};

// The system's text for the code; "IDispatch error #%d" for the dispatch range
// (0x80040200..0x8004FFFF), else "Unknown error 0x%0lX".
std::string ErrorCodeMeaning(uint32_t code);

// "<heading><subject>\n" + "<kind> Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n\tDescription = %s\n"
AdoErrorRecord MakeErrorRecord(const char* heading, const std::string& subject, const char* kind,
                               uint32_t code, const std::string& description);

}  // namespace tidewell
