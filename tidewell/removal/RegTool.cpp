#include "tidewell/removal/RegTool.h"

#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "shared/win/RegistryLocation.h"

namespace tidewell {

RegTool MachineRegTool() {
  char system[MAX_PATH];
  UINT length = GetSystemDirectoryA(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {"reg.exe"};
  return {"\"" + PathFromView(std::string(system, length) + "\\reg.exe", RegistryView::Bits64) + "\""};
}

std::optional<DWORD> RunRegTool(const RegTool& tool, const std::string& arguments, const std::string& directory,
                                const StopToken& stop, OnStop onStop) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started{};
  std::string commandLine = tool.program + " " + arguments;
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory.empty() ? nullptr : directory.c_str(), &startup, &started))
    return std::nullopt;
  UniqueHandle process(started.hProcess), thread(started.hThread);

  HANDLE waits[2] = {process.Get(), stop.Event()};
  DWORD count = waits[1] ? 2 : 1;
  DWORD result = WaitForMultipleObjects(count, waits, FALSE, tool.timeoutMs);
  if (result != WAIT_OBJECT_0) {
    if (result != WAIT_OBJECT_0 + 1 || onStop == OnStop::End) {
      TerminateProcess(process.Get(), 1);
      WaitForSingleObject(process.Get(), 5000);  // so its file is closed before anyone looks at it
    }
    return std::nullopt;
  }
  DWORD code = 1;
  if (!GetExitCodeProcess(process.Get(), &code)) return std::nullopt;
  return code;
}

}  // namespace tidewell
