#pragma once
// What Tidewell.exe is asked to do by its arguments, and how it says so.

#include <string>
#include <vector>

namespace tidewell {

struct CommandRequest {
  enum class Kind { Start, Report, Usage, Invalid };
  Kind kind = Kind::Start;
  std::string file;  // the report's path, for Report
};

// The arguments after the program's own name. "/report <file>" (or "-report",
// any case) writes a report; "/?" (or "-?", "/help") asks for the usage; none
// starts the program as usual; anything else is Invalid.
CommandRequest ParseCommandArguments(const std::vector<std::string>& arguments);

// The text "/?" prints, lines ending in "\r\n".
std::string CommandUsageText();

}  // namespace tidewell
