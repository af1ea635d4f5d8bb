#pragma once
// How a startup command is read for its description, and how an unknown
// entry is spelled when it is sent to the web site.

#include <string>
#include <string_view>
#include <vector>

namespace tidewell {

inline constexpr const char* kDescriptionPrefix = "Description: ";
inline constexpr const char* kUnknownStartupProgram =
    "Unknown (Right-click to submit the information to Tidewell web server)";

// The program file a command starts, lower-cased: rundll32.exe dropped, a
// quoted path taken from its quotes, otherwise the text up to the first ".exe".
std::string StartupProgramPath(std::string_view command);

// The file-name part of a path (after the last separator).
std::string ProgramFileName(std::string_view path);

// "Description: " + the text, or the "Unknown (...)" text when there is none.
std::string StartupDescriptionText(std::string_view description);

// "{sup_info} | name | path" with %, blank, &, ', +, =, ? and control bytes
// percent-encoded, the percent sign first so nothing is encoded twice.
std::string EncodeStartupInfo(std::string_view name, std::string_view path);

// "/cgi/submit_misc.cgi?diverse=" followed by the encoded information.
std::string StartupInfoRequestPath(std::string_view name, std::string_view path);

// The popup for Run values added together: "New startup entry: <name>" for
// one ("(Default)" for the unnamed value), "<n> new startup entries" for more.
std::string NewStartupEntriesText(const std::vector<std::string>& names);

}  // namespace tidewell
