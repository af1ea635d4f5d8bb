#pragma once
// reg.exe, run hidden and waited for, but never for longer than a bound: a
// hung export or import must not hold a backup or a restore for ever.

#include <windows.h>

#include <optional>
#include <string>

#include "shared/win/Workers.h"

namespace tidewell {

inline constexpr DWORD kRegToolTimeoutMs = 120000;

struct RegTool {
  std::string program;  // quoted where it holds a blank; the arguments follow
  DWORD timeoutMs = kRegToolTimeoutMs;
};

// The machine's own reg.exe: a 32-bit one, started by the 32-bit build, would
// see and restore only the 32-bit view.
RegTool MachineRegTool();

// What a stop request does to a run: an export is of no use cut short, while
// an import left to finish puts back more than one ended half way.
enum class OnStop { End, Leave };

// Runs "<program> <arguments>" without a window in `directory` and waits; its
// exit code. Nothing when it could not start, ran past the bound (it is then
// ended) or a stop was requested.
std::optional<DWORD> RunRegTool(const RegTool& tool, const std::string& arguments, const std::string& directory,
                                const StopToken& stop, OnStop onStop);

}  // namespace tidewell
