#include "tidewell/report/MachineReport.h"

#include <windows.h>

#include <unordered_map>
#include <vector>

#include "Version.h"
#include "shared/db/AdoRecordset.h"
#include "shared/text/Text.h"
#include "shared/win/FileSigner.h"
#include "shared/win/Handles.h"
#include "shared/win/Profile.h"
#include "shared/win/RegistryLocation.h"
#include "shared/win/Utf8.h"
#include "tidewell/addons/AddonReport.h"
#include "tidewell/bho/BhoCatalog.h"
#include "tidewell/bho/BhoListing.h"
#include "tidewell/removal/ModuleIndex.h"
#include "tidewell/removal/ProcessList.h"
#include "tidewell/report/ReportText.h"
#include "tidewell/spyware/DefinitionsFile.h"
#include "tidewell/startup/StartupManager.h"
#include "tidewell/startup/StartupText.h"

namespace tidewell {
namespace {

struct FileFacts {
  bool exists = false;
  std::string company;
  std::string signer;
  bool signedAtAll = false;
};

// One look per file: a library loaded by many processes is checked once.
class FileFactsCache {
 public:
  const FileFacts& Of(const std::string& path) {
    std::string key = UpperCaseName(path);
    auto found = facts_.find(key);
    if (found != facts_.end()) return found->second;
    FileFacts facts;
    facts.exists = !path.empty() && GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    if (facts.exists) {
      facts.company = VersionString(path, "CompanyName");
      FileSignature signature = CachedSignatureOf(path);
      facts.signer = SignatureText(signature);
      facts.signedAtAll = signature.state != FileSignature::State::Unsigned;
    }
    return facts_.emplace(key, facts).first->second;
  }

 private:
  std::unordered_map<std::string, FileFacts> facts_;
};

std::string TimeText(const SYSTEMTIME& time) {
  return ReportTimeText(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond);
}

// The file's last write time in local time; empty when it cannot be read.
std::string FileTimeText(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(WideFromUtf8(path).c_str(), GetFileExInfoStandard, &data)) return {};
  FILETIME local{};
  SYSTEMTIME time{};
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  FileTimeToSystemTime(&local, &time);
  return TimeText(time);
}

// RtlGetVersion, since GetVersionEx answers what the manifest claims.
std::string WindowsVersionText() {
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
  auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (!rtlGetVersion || rtlGetVersion(&version) != 0) return "unknown";
  char text[64];
  wsprintfA(text, "%lu.%lu.%lu", version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber);
  return text;
}

std::string BhoDefinitionsCount(CADODatabase& database) {
  CADORecordset count(database);
  int value = 0;
  if (!count.Open("select count(*) as n from BHOS") || !count.GetFieldInt("n", value)) return "unknown";
  return std::to_string(value);
}

// The date Skylark stored with its last successful update.
std::string LastUpdateText() {
  std::string record = ReadProfileValue(kUpdateRecordKey);
  size_t bar = record.find('|');
  std::string date = bar == std::string::npos ? std::string() : record.substr(bar + 1);
  return date.empty() || date == "0.0.0" ? "never" : date;
}

std::string HeaderText(CADODatabase& database, const std::string& databasePath) {
  SYSTEMTIME local{}, utc{};
  GetLocalTime(&local);
  GetSystemTime(&utc);
  std::string definitionsDate = FileTimeText(DefinitionsPathFor(databasePath));
  std::string text = "Tidewell report\r\n";
  text += "Version: " TIDEWELL_VERSION_TEXT " (" TIDEWELL_BITNESS_TEXT ")\r\n";
  text += "Date: " + TimeText(local) + " local, " + TimeText(utc) + " UTC\r\n";
  text += "Windows: " + WindowsVersionText() + "\r\n";
  text += std::string("Second registry view: ") + (HasTwoViews() ? "yes" : "no") + "\r\n";
  text += "BHO definitions: " + BhoDefinitionsCount(database) + ", last update " + LastUpdateText() + "\r\n";
  text += "extra.neo: " + (definitionsDate.empty() ? std::string("missing") : definitionsDate) + "\r\n\r\n";
  return text;
}

std::string ViewText(RegistryView view) {
  if (!HasTwoViews()) return "";
  RegistryLocation location{HKEY_LOCAL_MACHINE, "SOFTWARE", view};
  return location.ExactView() == RegistryView::Bits32 ? "32-bit" : "64-bit";
}

std::string ExistsText(const std::string& path, const FileFacts& facts) {
  if (path.empty()) return "no file";
  return facts.exists ? "exists" : "missing";
}

std::vector<ReportLine> BhoLines(CADODatabase& database, const ModuleIndex& modules, FileFactsCache& files,
                                 const StopToken& stop) {
  std::vector<ReportLine> lines;
  auto bhos = CollectRegisteredBhos(database, modules, stop);
  if (!bhos) return lines;
  for (const BhoItem& bho : *bhos) {
    if (stop.StopRequested()) break;
    std::optional<BhoRow> row = FindBhoRow(database, bho.clsid);
    std::string path = BhoFile(bho.clsid, bho.view);
    const FileFacts& facts = files.Of(path);
    std::string processes;
    for (const LinkedProcess& process : bho.processes)
      processes += (processes.empty() ? "" : ", ") + process.exeName;
    std::vector<std::string> fields{bho.clsid,
                                    ViewText(bho.view),
                                    row ? row->name : "Unknown BHO",
                                    row ? row->risk : "not rated",
                                    path,
                                    ExistsText(path, facts),
                                    facts.company,
                                    facts.signer,
                                    processes.empty() ? "" : "loaded by " + processes};
    if (!row && !facts.signedAtAll) fields.push_back("not rated and unsigned");
    lines.push_back({ViewText(bho.view), bho.clsid, ReportFields(fields)});
  }
  return lines;
}

std::string StartupPlace(const StartupEntry& entry) {
  std::string place = entry.root == kStartupRootMachine ? "HKLM\\" : "HKCU\\";
  place += std::string(kRunKeyPath).substr(0, std::string(kRunKeyPath).size() - 1);
  std::string view = StartupViewText(entry);
  return view.empty() ? place : place + " (" + view + ")";
}

std::vector<ReportLine> StartupLines(CADODatabase& database, FileFactsCache& files, const StopToken& stop) {
  std::vector<ReportLine> lines;
  for (const StartupEntry& entry : ListStartupEntries()) {
    if (stop.StopRequested()) break;
    std::string place = StartupPlace(entry);
    std::string program = StartupProgramPath(entry.command);
    const FileFacts& facts = files.Of(program);
    std::string description = DescribeStartupCommand(database, entry.command);
    bool known = !IsUnknownStartupDescription(description);
    if (!known) description.clear();
    if (StartsWithNoCase(description, kDescriptionPrefix)) description.erase(0, strlen(kDescriptionPrefix));
    std::string name = entry.name.empty() ? "(default)" : entry.name;
    std::vector<std::string> fields{place, name, entry.command, program, ExistsText(program, facts), facts.company,
                                    facts.signer, description};
    if (!known && !facts.signedAtAll) fields.push_back("not rated and unsigned");
    lines.push_back({place, name, ReportFields(fields)});
  }
  return lines;
}

std::string ImagePath(const PROCESSENTRY32& entry) {
  UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
  wchar_t path[MAX_PATH * 4];
  DWORD length = static_cast<DWORD>(std::size(path));
  if (process && QueryFullProcessImageNameW(process.Get(), 0, path, &length))
    return Utf8FromWideLossy(std::wstring_view(path, length));
  return entry.szExeFile;
}

std::vector<ReportLine> ProcessLines(FileFactsCache& files, const StopToken& stop) {
  std::vector<ReportLine> lines;
  CProcessList processes;
  if (!processes.Refresh()) return lines;
  for (size_t i = 0; i < processes.ProcessCount() && !stop.StopRequested(); ++i) {
    const PROCESSENTRY32& entry = processes.Process(i).entry;
    if (entry.th32ProcessID == 0) continue;
    std::string path = ImagePath(entry);
    const FileFacts& facts = files.Of(path);
    lines.push_back({path, "", ReportFields({path, facts.company, facts.signer})});
  }
  return lines;
}

std::vector<ReportLine> HostsLines() {
  char system[MAX_PATH];
  UINT length = GetSystemDirectoryA(system, sizeof system);
  std::vector<ReportLine> lines;
  if (length == 0 || length >= sizeof system) return lines;
  std::optional<std::string> text = ReadWholeFile(std::string(system) + "\\drivers\\etc\\hosts");
  if (!text) return lines;
  for (const std::string& entry : HostsEntries(*text)) lines.push_back({"", entry, entry});
  return lines;
}

std::string EnvironmentText(const wchar_t* name) {
  wchar_t value[MAX_PATH * 4];
  DWORD length = GetEnvironmentVariableW(name, value, static_cast<DWORD>(std::size(value)));
  if (length == 0 || length >= std::size(value)) return {};
  return Utf8FromWide(std::wstring_view(value, length)).value_or("");
}

// The profile folder in every spelling a path may take, then the bare names.
std::vector<PrivateName> PrivateNames() {
  std::vector<PrivateName> names;
  std::string profile = EnvironmentText(L"USERPROFILE");
  if (!profile.empty()) {
    names.push_back({profile, "%USERPROFILE%"});
    wchar_t shortPath[MAX_PATH * 4];
    DWORD length = GetShortPathNameW(WideFromUtf8(profile).c_str(), shortPath, static_cast<DWORD>(std::size(shortPath)));
    if (length > 0 && length < std::size(shortPath))
      names.push_back({Utf8FromWide(std::wstring_view(shortPath, length)).value_or(""), "%USERPROFILE%"});
  }
  // Under Wine the Unix home folder is reachable through drive Z:.
  std::string home = EnvironmentText(L"HOME");
  if (home.size() > 1 && home[0] == '/') names.push_back({"Z:" + ReplaceAll(home, "/", "\\"), "%USERPROFILE%"});
  wchar_t buffer[256];
  DWORD length = static_cast<DWORD>(std::size(buffer));
  if (GetUserNameW(buffer, &length) && length > 1)
    names.push_back({Utf8FromWide(std::wstring_view(buffer, length - 1)).value_or(""), "%USERNAME%"});
  length = static_cast<DWORD>(std::size(buffer));
  if (GetComputerNameW(buffer, &length) && length > 0)
    names.push_back({Utf8FromWide(std::wstring_view(buffer, length)).value_or(""), "%COMPUTERNAME%"});
  return names;
}

}  // namespace

std::optional<std::string> MakeMachineReport(CADODatabase& database, const std::string& databasePath,
                                             const StopToken& stop) {
  ModuleIndex modules;
  modules.Build();
  FileFactsCache files;
  std::vector<std::pair<const char*, std::vector<ReportLine>>> sections;
  sections.emplace_back("BHOs", BhoLines(database, modules, files, stop));
  sections.emplace_back("Startup entries", StartupLines(database, files, stop));
  sections.emplace_back("Running processes", ProcessLines(files, stop));
  sections.emplace_back("Hosts file", HostsLines());
  sections.emplace_back(kAddonReportTitle, AddonReportLines(ListBrowserAddons(AddonPlaces::FromEnvironment(), stop)));
  if (stop.StopRequested()) return std::nullopt;
  std::string text = HeaderText(database, databasePath);
  for (auto& [title, lines] : sections) {
    SortReportLines(lines);
    text += ReportSection(title, lines);
  }
  return HidePrivateNames(text, PrivateNames());
}

bool WriteMachineReport(CADODatabase& database, const std::string& databasePath, const std::string& outputPath,
                        std::string& error, const StopToken& stop) {
  // Made first, so a stopped report leaves no empty file behind.
  std::optional<std::string> text = MakeMachineReport(database, databasePath, stop);
  if (!text) {
    error = "The report was stopped";
    return false;
  }
  UniqueHandle file(CreateFileW(WideFromUtf8(outputPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!file || !WriteFile(file.Get(), text->data(), static_cast<DWORD>(text->size()), &written, nullptr) ||
      written != text->size()) {
    error = "Cannot write the report to " + outputPath;
    return false;
  }
  return true;
}

}  // namespace tidewell
