#include "tidewell/bho/BhoUninstaller.h"

#include <shellapi.h>

#include <cctype>
#include <string_view>

#include "shared/win/FileSystem.h"
#include "shared/win/Handles.h"
#include "shared/win/Prompt.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "shared/text/Text.h"
#include "tidewell/bho/BhoCatalog.h"
#include "tidewell/shell/EventLog.h"

namespace tidewell {

namespace {

// "{8 4 4 4 12}": a name that can only be a class, type library or AppID.
bool IsGuidText(std::string_view text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

// The places a BHO, its toolbar or its extension is listed, below a hive.
constexpr const char* kListedPlaces[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\",
    "software\\microsoft\\internet explorer\\toolbar\\",
    "software\\microsoft\\internet explorer\\toolbar\\webbrowser\\",
    "software\\microsoft\\internet explorer\\extensions\\",
    "software\\microsoft\\internet explorer\\explorer bars\\",
    "software\\microsoft\\windows\\currentversion\\run\\",
};

// The class key's default or named value, read through the merged view.
std::string ClassText(const std::string& clsid, const std::string& subkey, const std::string& value,
                      RegistryView view) {
  std::string path = "CLSID\\" + clsid + (subkey.empty() ? "" : "\\" + subkey);
  UniqueKey key = OpenKey(HKEY_CLASSES_ROOT, path, KEY_QUERY_VALUE, view);
  return key ? ReadString(key.Get(), value).value_or("") : std::string();
}

}  // namespace

std::vector<Piece> BhoRegistryPieces(const std::string& clsid, RegistryView view) {
  std::vector<Piece> pieces;
  if (clsid.empty() || clsid.find('\\') != std::string::npos) return pieces;
  auto add = [&](HKEY hive, const std::string& path) {
    RegistryLocation key{hive, path, view};
    if (!key.Exists()) return;
    for (const Piece& piece : pieces)
      if (piece.key == key) return;
    pieces.push_back(Piece::Key(std::move(key)));
  };
  // Each real copy of a class key: nothing is ever deleted through the merged view.
  auto addClass = [&](const std::string& path) {
    add(HKEY_CURRENT_USER, "Software\\Classes\\" + path);
    add(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + path);
  };
  for (const char* place : kListedPlaces) {
    add(HKEY_LOCAL_MACHINE, place + clsid);
    add(HKEY_CURRENT_USER, place + clsid);
  }
  addClass("CLSID\\" + clsid);
  addClass("Interface\\" + clsid);
  addClass("TypeLib\\" + clsid);
  // What the class names, read before its key goes; a ProgID only where it
  // names this class back, so a shared name such as "exefile" is never taken.
  for (const char* subkey : {"ProgID", "VersionIndependentProgID"}) {
    std::string progId = ClassText(clsid, subkey, "", view);
    if (progId.empty() || progId.find('\\') != std::string::npos) continue;
    UniqueKey back = OpenKey(HKEY_CLASSES_ROOT, progId + "\\CLSID", KEY_QUERY_VALUE, view);
    if (back && EqualsNoCase(ReadString(back.Get(), "").value_or(""), clsid)) addClass(progId);
  }
  if (std::string typeLib = ClassText(clsid, "TypeLib", "", view); IsGuidText(typeLib)) addClass("TypeLib\\" + typeLib);
  if (std::string appId = ClassText(clsid, "", "AppID", view); IsGuidText(appId)) addClass("AppID\\" + appId);
  return pieces;
}

std::string UninstalledBhoComment(const std::string& name) { return "Uninstalled BHO \"" + name + "\""; }

namespace {

// Whether the opened process is still the program that was listed: the same
// image name and, when `file` is given, the file still loaded as `modules`
// found it. An ID can be reused between the listing and the uninstall, so the
// check and the end use this one handle.
bool IsStillLinked(HANDLE process, const LinkedProcess& listed, const std::string& file, const ModuleIndex& modules) {
  char image[MAX_PATH * 3] = {};
  DWORD length = sizeof image;
  if (!QueryFullProcessImageNameA(process, 0, image, &length)) return false;
  std::string path(image, length);
  std::string base = path.substr(path.find_last_of("\\/") + 1);
  if (!SameNameIgnoringCase(base, listed.exeName)) return false;
  return file.empty() || modules.Loads(listed.processId, file);
}

}  // namespace

bool TerminateLinkedProcesses(const std::vector<LinkedProcess>& processes, const std::string& file, HWND owner) {
  bool allEnded = true;
  ModuleIndex modules;
  if (!file.empty() && !processes.empty()) modules.Build(owner);
  RemovalGuards guards;
  for (const LinkedProcess& linked : processes) {
    if (!guards.ProcessRefusal(linked.processId, linked.exeName).empty()) continue;
    UniqueHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, linked.processId));
    if (!process || !IsStillLinked(process.Get(), linked, file, modules)) continue;  // gone, or another program now
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

bool RunUninstallSteps(CADODatabase& database, const std::string& appFolder, const SelectedBho& bho, HWND owner,
                       const UninstallTiming& timing, const std::function<void(UninstallStep)>& done) {
  // Resolved once: the unregistration removes the class key that names the file.
  std::string file = BhoFile(bho.clsid, bho.view);
  std::string name = BhoName(database, bho.clsid);
  std::vector<Piece> keys = BhoRegistryPieces(bho.clsid, bho.view);

  RemovalAction action(database, RemovalGuards{appFolder, {}}, UninstalledBhoComment(name));
  // The unregistration deletes keys of its own accord: they are kept before it runs.
  for (const Piece& key : keys) {
    if (action.Keep(key)) continue;
    Prompt(owner,
           "ERROR: The BHO " + name + " was not uninstalled, because its registry keys could not be backed up to " +
               appFolder + "BKUP. Nothing was changed.",
           "Tidewell", MB_OK | MB_ICONERROR);
    return false;
  }

  if (!TerminateLinkedProcesses(bho.processes, file, owner))
    Prompt(owner, "BHO might not uninstall properly", "Tidewell", MB_OK);
  done(UninstallStep::Terminated);
  Sleep(timing.stepPause);

  UnregisterBho(database, file, name, owner, timing.unregister);
  done(UninstallStep::Unregistered);
  Sleep(timing.stepPause);

  // The step is ticked only when the file is really gone (kept in BKUP).
  PieceOutcome removed = file.empty() ? PieceOutcome{true, ""} : action.Remove(Piece::File(file));
  if (removed.gone)
    done(UninstallStep::Deleted);
  else
    Prompt(owner, "Unable to delete file (" + file + ")" + (removed.reason.empty() ? "" : ": " + removed.reason),
           "Tidewell", MB_OK);
  Sleep(timing.stepPause);

  for (const Piece& key : keys) action.Remove(key);
  action.Commit();
  done(UninstallStep::Cleaned);
  return true;
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
