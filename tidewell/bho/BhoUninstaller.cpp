#include "tidewell/bho/BhoUninstaller.h"

#include <shellapi.h>

#include "shared/win/FileSystem.h"
#include "shared/win/Handles.h"
#include "shared/win/Prompt.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tidewell/bho/BhoCatalog.h"
#include "tidewell/shell/EventLog.h"

namespace tidewell {

bool RemoveBhoRegistryTraces(const std::string& clsid, RegistryView view) {
  if (clsid.empty()) return false;
  const HKEY hkcr = HKEY_CLASSES_ROOT, hklm = HKEY_LOCAL_MACHINE, hkcu = HKEY_CURRENT_USER;
  std::string bhoKey = std::string(kBhoKeyPath) + "\\" + clsid;
  CleanKey(hklm, bhoKey, view);
  CleanKey(hkcr, bhoKey, view);
  CleanKey(hkcu, bhoKey, view);
  CleanKey(hkcr, "CLSID\\" + clsid, view);
  for (const char* prefix : {"software\\classes\\CLSID\\", "interface\\", "typelib\\"}) {
    CleanKey(hklm, prefix + clsid, view);
    CleanKey(hkcr, prefix + clsid, view);
  }
  static const char* const kSweep[] = {
      "CLSID\\",
      "Objects\\",
      "typelib\\",
      "interface\\",
      "software\\classes\\CLSID\\",
      "software\\classes\\typelib\\",
      "software\\classes\\interface\\",
      "software\\microsoft\\internet explorer\\toolbar\\",
      "software\\microsoft\\windows\\currentversion\\run\\",
      "software\\microsoft\\internet explorer\\extensions\\",
      "software\\microsoft\\internet explorer\\explorer bars\\",
      "software\\microsoft\\internet explorer\\toolbar\\webbrowser\\",
      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\",
  };
  for (const char* prefix : kSweep) {
    for (HKEY root : {hklm, hkcr, hkcu}) CleanKey(root, prefix + clsid, view);
  }
  return true;
}

bool IsStillLinked(const LinkedProcess& listed, const std::string& file, const ModuleIndex& modules) {
  UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, listed.processId));
  if (!process) return false;
  char image[MAX_PATH] = {};
  DWORD length = sizeof image;
  if (!QueryFullProcessImageNameA(process.Get(), 0, image, &length)) return false;
  std::string path(image, length);
  std::string base = path.substr(path.find_last_of("\\/") + 1);
  if (!SameNameIgnoringCase(base, listed.exeName)) return false;
  return file.empty() || modules.Loads(listed.processId, file);
}

bool TerminateLinkedProcesses(const std::vector<LinkedProcess>& processes, const std::string& file, HWND owner) {
  bool allEnded = true;
  ModuleIndex modules;
  if (!file.empty() && !processes.empty()) modules.Build(owner);
  for (const LinkedProcess& linked : processes) {
    if (linked.processId == GetCurrentProcessId() || !IsStillLinked(linked, file, modules)) continue;
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, linked.processId));
    if (!process) continue;  // gone since the check
    if (!TerminateProcess(process.Get(), 0)) {
      Prompt(owner, "Unable to terminate process (" + linked.exeName + ")", "Tidewell", MB_OK);
      allEnded = false;
      continue;
    }
    // The file stays locked until the process has really gone.
    WaitForSingleObject(process.Get(), 5000);
  }
  return allEnded;
}

void RunUninstallSteps(CADODatabase& database, const SelectedBho& bho, HWND owner, const UninstallTiming& timing,
                       const std::function<void(UninstallStep)>& done) {
  // Resolved once: the unregistration removes the class key that names the file.
  std::string file = BhoFile(bho.clsid, bho.view);
  std::string name = BhoName(database, bho.clsid);

  if (!TerminateLinkedProcesses(bho.processes, file, owner))
    Prompt(owner, "BHO might not uninstall properly", "Tidewell", MB_OK);
  done(UninstallStep::Terminated);
  Sleep(timing.stepPause);

  UnregisterBho(database, file, name, owner, timing.unregister);
  done(UninstallStep::Unregistered);
  Sleep(timing.stepPause);

  // The step is ticked only when the file is really gone.
  if (file.empty() || DeleteFileIn(file))
    done(UninstallStep::Deleted);
  else
    Prompt(owner, "Unable to delete file (" + file + ")", "Tidewell", MB_OK);
  Sleep(timing.stepPause);

  RemoveBhoRegistryTraces(bho.clsid, bho.view);
  done(UninstallStep::Cleaned);
}

bool UnregisterBho(CADODatabase& database, const std::string& file, const std::string& name, HWND owner,
                   const UnregisterTiming& timing) {
  if (!file.empty()) {
    UniqueHandle probe(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe) {
      Prompt(owner, "File '" + file + "' does not exist", "Tidewell", MB_OK);
      return false;
    }
    probe.Reset();
    std::string parameters = "/u /s \"" + file + "\"";
    SHELLEXECUTEINFOA run{};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    run.hwnd = owner;
    run.lpVerb = "open";
    run.lpFile = "regsvr32.exe";
    run.lpParameters = parameters.c_str();
    run.lpDirectory = ".";
    run.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExA(&run)) {
      // Waited for, within a limit, so the file is no longer loaded when
      // the next step deletes it.
      UniqueHandle tool(run.hProcess);
      if (tool) WaitForSingleObject(tool.Get(), timing.toolWaitLimit);
    }
  }
  LogEvent(database, "BHO \"" + name + "\" uninstalled");
  Sleep(timing.pauseAfter);
  return true;
}

}  // namespace tidewell
