#include "tidewell/report/CommandLine.h"

#include "shared/text/Text.h"

namespace tidewell {
namespace {

bool IsOption(const std::string& argument, const char* name) {
  return argument.size() > 1 && (argument[0] == '/' || argument[0] == '-') &&
         EqualsNoCase(std::string_view(argument).substr(1), name);
}

}  // namespace

CommandRequest ParseCommandArguments(const std::vector<std::string>& arguments) {
  using Kind = CommandRequest::Kind;
  if (arguments.empty()) return {Kind::Start, {}};
  if (arguments.size() == 1 && (IsOption(arguments[0], "?") || IsOption(arguments[0], "help")))
    return {Kind::Usage, {}};
  if (arguments.size() == 2 && IsOption(arguments[0], "report") && !arguments[1].empty())
    return {Kind::Report, arguments[1]};
  return {Kind::Invalid, {}};
}

std::string CommandUsageText() {
  return "Usage: Tidewell.exe [/report <file>]\r\n"
         "  /report <file>  writes a report of this computer to the file and ends\r\n"
         "  /?              shows this text\r\n"
         "Without options Tidewell starts in the notification area.\r\n";
}

}  // namespace tidewell
