// The scan engine against fake spyware planted in the test prefix: every
// signature type is found where it is, only in the chosen scope, and a clean
// prefix with the delivered definitions yields nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "shared/win/FileSystem.h"
#include "shared/win/Utf8.h"
#include "tests/support/TestFolder.h"
#include "tests/tidewell/spyware/SpywareFixtures.h"
#include "tidewell/spyware/FolderIndex.h"
#include "tidewell/spyware/ScanLocations.h"
#include "tidewell/spyware/SpywareRemoval.h"
#include "tidewell/spyware/SpywareScan.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;

using test::Environment;
using test::SpyName;

std::string Upper(std::string text) {
  CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// Everything the tests plant, with the definitions that name it.
struct PlantedSpyware {
  std::string vendor = SpyName("vendor");
  test::PlantedFolder vendorFolder{Environment("ProgramFiles") + "\\" + vendor};
  std::string agent = vendorFolder.File("agent.exe");
  std::string dll = vendorFolder.File("spy.dll");
  std::string systemFile = Environment("windir") + "\\System32\\" + SpyName("sys") + ".dll";
  test::PlantedFolder loose{Environment("TEMP") + "\\" + SpyName("loose")};
  std::string looseFile = loose.File("looseagent.exe");
  std::string userKey = SpyName("userkey"), machineKey = SpyName("machinekey"), onlyKey = SpyName("only32");
  test::PlantedKey user{HKEY_CURRENT_USER, "Software\\" + userKey + "\\a\\b"};
  test::PlantedKey machine64{HKEY_LOCAL_MACHINE, "Software\\" + machineKey + "\\Settings", RegistryView::Bits64};
  test::PlantedKey machine32{HKEY_LOCAL_MACHINE, "Software\\" + machineKey + "\\Settings", RegistryView::Bits32};
  test::PlantedKey only32{HKEY_LOCAL_MACHINE, "Software\\" + onlyKey + "\\Only32", RegistryView::Bits32};
  std::string cookieFolder = Environment("USERPROFILE") + "\\Cookies";
  bool madeCookieFolder = CreateDirectoryA(cookieFolder.c_str(), nullptr) != 0;
  std::string cookie = cookieFolder + "\\" + SpyName("cookie") + ".txt";
  std::string cookieText = SpyName("tracker");
  // Names the tracker only in a value and inside a longer host: not the tracker's.
  std::string otherSite = cookieFolder + "\\" + SpyName("othersite") + ".txt";

  PlantedSpyware() {
    test::WriteTextFile(agent, "agent");
    std::filesystem::copy_file(test::ProgramFolder() / "test_bho.dll", dll);
    test::WriteTextFile(systemFile, "system");
    test::WriteTextFile(looseFile, "loose");
    machine64.SetValue("small", 10);
    machine64.SetValue("big", 300);
    machine32.SetValue("small", 10);
    machine32.SetValue("big", 300);
    test::WriteTextFile(cookie, test::CookieRecord(cookieText + ".example/", "1") +
                                    test::CookieRecord("ads.second-" + cookieText + ".example/x", "2"));
    test::WriteTextFile(otherSite, test::CookieRecord("guru" + cookieText + ".example/", "utmcsr=" + cookieText +
                                                      ".example|second-" + cookieText + ".example"));
  }
  ~PlantedSpyware() {
    test::RemoveTree(systemFile);
    test::RemoveTree(cookie);
    test::RemoveTree(otherSite);
    if (madeCookieFolder) RemoveDirectoryA(cookieFolder.c_str());
  }

  std::string Xml() const {
    std::string systemName = systemFile.substr(systemFile.find_last_of('\\') + 1);
    return "<SPYWARE><ENTRY NAME=\"Planted Adware\"><DESCRIPTION>Planted by a test.</DESCRIPTION><REGISTRY><KEYS>"
           "<K1 MAIN=\"HKEY_CURRENT_USER\" SUB=\"Software\\\\" + userKey + "\\\\a\" VALUE=\"b\"/>"
           "<K2 MAIN=\"HKEY_LOCAL_MACHINE\" SUB=\"Software\\\\" + onlyKey + "\" VALUE=\"Only32\"/>"
           "</KEYS><VALUES>"
           "<V1 MAIN=\"HKEY_LOCAL_MACHINE\" SUB=\"Software\\\\" + machineKey + "\\\\Settings\" VALUE=\"small\"/>"
           "<V2 MAIN=\"HKEY_LOCAL_MACHINE\" SUB=\"Software\\\\" + machineKey + "\\\\Settings\" VALUE=\"big\"/>"
           "</VALUES></REGISTRY><FILES>"
           "<F1 NAME=\"agent.exe\" PATH=\"PFDir\\\\" + vendor + "\"/>"
           "<F2 NAME=\"spy.dll\" PATH=\"PFDir\\\\" + vendor + "\"/>"
           "<F3 NAME=\"" + systemName + "\" PATH=\"Sys32Dir\"/>"
           "<F4 NAME=\"looseagent.exe\" PATH=\"\"/>"
           "</FILES><DIRECTORIES><D1 NAME=\"" + vendor + "\" PATH=\"PFDir\"/></DIRECTORIES>"
           "<COOKIES><C1 NAME=\"" + cookieText + ".example\"/>"
           "<C2 NAME=\"second-" + cookieText + ".example\"/></COOKIES>"
           "</ENTRY></SPYWARE>";
  }

  std::multiset<std::pair<std::string, std::string>> Expected() const {
    std::string settings = "HKEY_LOCAL_MACHINE\\Software\\" + machineKey + "\\Settings\\";
    return {{kTypeMemory, Upper(dll)},
            {kTypeCookie, cookie},
            {kTypeCookie, cookie},
            {kTypeRegKey, "HKEY_CURRENT_USER\\Software\\" + userKey + "\\a\\b"},
            {kTypeRegKey, "HKEY_LOCAL_MACHINE\\Software\\" + onlyKey + "\\Only32"},
            {kTypeRegValue, settings + "small"},
            {kTypeRegValue, settings + "big"},
            {kTypeDir, vendorFolder.Path()},
            {kTypeFile, agent},
            {kTypeFile, dll},
            {kTypeFile, systemFile},
            {kTypeFile, looseFile}};
  }

  ScanScope Everything() const {
    ScanScope scope;
    scope.memory = scope.registry = scope.cookies = scope.myComputer = true;
    scope.includedFolders = {loose.Path()};
    return scope;
  }
};

SpywareDefinitions Parse(const std::string& xml) {
  CXmlNode root;
  EXPECT_TRUE(ParseDefinitions(xml, root));
  SpywareDefinitions definitions = ReadDefinitions(root);
  EXPECT_TRUE(definitions.skipped.empty());
  return definitions;
}

std::multiset<std::pair<std::string, std::string>> Found(const std::vector<Detection>& detections) {
  std::multiset<std::pair<std::string, std::string>> found;
  for (const Detection& detection : detections) found.emplace(detection.type, detection.entry);
  return found;
}

TEST(SpywareScan, FindsEveryPlantedTraceOfEveryType) {
  PlantedSpyware planted;
  test::HostProcess host(planted.dll);
  ASSERT_TRUE(host.WaitUntilLoaded(planted.dll, 10s));
  SpywareDefinitions definitions = Parse(planted.Xml());
  char before[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, before);
  ScanHooks hooks;
  // The current folder is looked at while the cookies are read, not only afterwards.
  std::set<std::string> folders;
  hooks.status = [&](const std::string& text) {
    char now[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, now);
    if (text.rfind("Scanning cookies:", 0) == 0) folders.insert(now);
  };

  std::vector<Detection> detections = ScanForSpyware(definitions, planted.Everything(), hooks);

  EXPECT_EQ(Found(detections), planted.Expected());
  for (const Detection& detection : detections) EXPECT_EQ(detection.name, "Planted Adware");
  auto only32 = std::find_if(detections.begin(), detections.end(),
                             [](const Detection& d) { return d.entry.find("\\Only32") != std::string::npos; });
  ASSERT_NE(only32, detections.end());
  EXPECT_EQ(only32->views, std::vector<RegistryView>{RegistryView::Bits32});
  auto big = std::find_if(detections.begin(), detections.end(), [](const Detection& d) { return d.valueName == "big"; });
  ASSERT_NE(big, detections.end());
  EXPECT_EQ(big->views.size(), 2u) << "found in both views";
  EXPECT_EQ(folders, std::set<std::string>{before}) << "the cookie scan leaves the current folder alone";
}

TEST(SpywareScan, LooksOnlyWhereTheScopeSays) {
  PlantedSpyware planted;
  test::HostProcess host(planted.dll);
  ASSERT_TRUE(host.WaitUntilLoaded(planted.dll, 10s));
  SpywareDefinitions definitions = Parse(planted.Xml());
  struct Case {
    const char* what;
    ScanScope scope;
    std::set<std::string> types;
  };
  ScanScope memory, registry, cookies, files, none;
  memory.memory = true;
  registry.registry = true;
  cookies.cookies = true;
  files.myComputer = true;
  const Case cases[] = {
      {"memory", memory, {kTypeMemory}},
      {"registry", registry, {kTypeRegKey, kTypeRegValue}},
      {"cookies", cookies, {kTypeCookie}},
      {"my computer without folders", files, {kTypeDir, kTypeFile}},
      {"nothing", none, {}},
  };
  for (const Case& item : cases) {
    std::set<std::string> types;
    for (const Detection& detection : ScanForSpyware(definitions, item.scope, {})) types.insert(detection.type);
    EXPECT_EQ(types, item.types) << item.what;
  }
  // Without the included folder the file with no PATH is not looked for there.
  std::vector<Detection> found = ScanForSpyware(definitions, files, {});
  EXPECT_EQ(std::count_if(found.begin(), found.end(), [&](const Detection& d) { return d.entry == planted.looseFile; }),
            0);
}

TEST(SpywareScan, ACleanPrefixWithTheDeliveredDefinitionsFindsNothing) {
  std::ifstream file(test::ProgramFolder() / "extra.neo", std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::optional<SpywareDefinitions> definitions = LoadDefinitions(bytes);
  ASSERT_TRUE(definitions);
  ScanScope everything;
  everything.memory = everything.registry = everything.cookies = everything.myComputer = true;
  everything.includedFolders = ListScanDrives();
  ASSERT_FALSE(everything.includedFolders.empty());
  for (const Detection& detection : ScanForSpyware(*definitions, everything, {}))
    ADD_FAILURE() << detection.name << " " << detection.type << " " << detection.entry;
}

// Through the code page each name would come back as another name ("Cech"),
// as "??", or as a way up ("../x"); the canaries stand where those lead.
TEST(SpywareScan, NamesInAnyScriptAreFoundAndRemovedAndNothingBesideThem) {
  const std::string names[] = {"Čech", "日本", "．．／x", "😀"};
  std::string base = SpyName("intl");
  test::PlantedFolder root(Environment("ProgramFiles") + "\\" + base);
  std::string files = root.File("files"), dirs = root.File("sub\\dirs");
  for (const std::string& folder : {files, root.File("sub"), dirs, root.File("sub\\x"), dirs + "\\Cech"})
    ASSERT_TRUE(CreateDirectoryW(LongPath(folder).c_str(), nullptr)) << folder;
  const std::string canaries[] = {root.File("x"), root.File("sub\\x\\keep"), files + "\\Cech", dirs + "\\Cech\\keep"};
  for (const std::string& canary : canaries) ASSERT_TRUE(test::WriteTextFile(canary, "keep"));
  std::string keyPath = "Software\\" + base;
  test::PlantedKey keys(HKEY_CURRENT_USER, keyPath + "\\keys\\Cech"), values(HKEY_CURRENT_USER, keyPath + "\\values");
  ASSERT_TRUE(values.SetValue("Cech", 4));
  UniqueKey keyParent = OpenKey(HKEY_CURRENT_USER, keyPath + "\\keys", KEY_ALL_ACCESS);

  std::string xmlKeys, xmlValues, xmlFiles, xmlFolders;
  std::multiset<std::pair<std::string, std::string>> expected;
  for (const std::string& name : names) {
    std::wstring wide = WideFromUtf8(name);
    ASSERT_TRUE(test::WriteTextFile(files + "\\" + name, "spy")) << name;
    ASSERT_TRUE(CreateDirectoryW(LongPath(dirs + "\\" + name).c_str(), nullptr)) << name;
    ASSERT_TRUE(test::WriteTextFile(dirs + "\\" + name + "\\inner.dat", "spy")) << name;
    xmlFiles += "<F NAME=\"" + name + "\" PATH=\"PFDir\\\\" + base + "\\\\files\"/>";
    xmlFolders += "<D NAME=\"" + name + "\" PATH=\"PFDir\\\\" + base + "\\\\sub\\\\dirs\"/>";
    expected.emplace(kTypeFile, files + "\\" + name);
    expected.emplace(kTypeDir, dirs + "\\" + name);
    HKEY made = nullptr;
    ASSERT_EQ(RegCreateKeyExW(keyParent.Get(), wide.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(made);
    ASSERT_EQ(RegSetValueExW(values.Key(), wide.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>("spy"), 3),
              ERROR_SUCCESS);
    xmlKeys += "<K MAIN=\"HKEY_CURRENT_USER\" SUB=\"Software\\\\" + base + "\\\\keys\" VALUE=\"" + name + "\"/>";
    xmlValues += "<V MAIN=\"HKEY_CURRENT_USER\" SUB=\"Software\\\\" + base + "\\\\values\" VALUE=\"" + name + "\"/>";
    expected.emplace(kTypeRegKey, "HKEY_CURRENT_USER\\" + keyPath + "\\keys\\" + name);
    expected.emplace(kTypeRegValue, "HKEY_CURRENT_USER\\" + keyPath + "\\values\\" + name);
  }
  SpywareDefinitions definitions =
      Parse("<SPYWARE><ENTRY NAME=\"Everywhere\"><DESCRIPTION>d</DESCRIPTION><REGISTRY><KEYS>" + xmlKeys +
            "</KEYS><VALUES>" + xmlValues + "</VALUES></REGISTRY><FILES>" + xmlFiles + "</FILES><DIRECTORIES>" +
            xmlFolders + "</DIRECTORIES></ENTRY></SPYWARE>");
  ScanScope scope;
  scope.myComputer = true;
  scope.registry = true;

  std::vector<Detection> detections = ScanForSpyware(definitions, scope, {});
  EXPECT_EQ(Found(detections), expected);
  test::TestRemoval remover;
  for (const Detection& detection : detections) {
    RemovalOutcome outcome = remover.Remove(detection);
    EXPECT_TRUE(outcome.gone) << detection.entry << ": " << outcome.reason;
  }

  for (const std::string& name : names) {
    EXPECT_TRUE(IsGone(files + "\\" + name)) << name;
    EXPECT_TRUE(IsGone(dirs + "\\" + name)) << name;
    HKEY left = nullptr;
    EXPECT_NE(RegOpenKeyExW(keyParent.Get(), WideFromUtf8(name).c_str(), 0, KEY_READ, &left), ERROR_SUCCESS) << name;
    if (left) RegCloseKey(left);
    EXPECT_EQ(RegQueryValueExW(values.Key(), WideFromUtf8(name).c_str(), nullptr, nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND)
        << name;
  }
  for (const std::string& canary : canaries) EXPECT_TRUE(test::Exists(canary)) << canary;
  EXPECT_TRUE(OpenKey(HKEY_CURRENT_USER, keyPath + "\\keys\\Cech"));
  EXPECT_EQ(RegQueryValueExA(values.Key(), "Cech", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
}

TEST(SpywareScan, CookiesAreReadFromTheProfilesAndTheShellsFoldersEachOnce) {
  EnvironmentLookup ann = [](const std::string& name) {
    return name == "USERPROFILE" ? std::optional<std::string>("C:\\Users\\Ann") : std::nullopt;
  };
  using Folders = std::vector<std::string>;
  std::string shell = "C:\\Users\\Ann\\AppData\\Local\\Microsoft\\Windows\\INetCookies";
  EXPECT_EQ(CookieFolders(ann, shell), (Folders{"C:\\Users\\Ann\\Cookies", shell, shell + "\\Low"}));
  // Windows XP: the profile's folder is the shell's.
  EXPECT_EQ(CookieFolders(ann, "C:\\USERS\\ANN\\Cookies"),
            (Folders{"C:\\Users\\Ann\\Cookies", "C:\\USERS\\ANN\\Cookies\\Low"}));
  EXPECT_EQ(CookieFolders(ann, ""), Folders{"C:\\Users\\Ann\\Cookies"});
  EXPECT_NE(ShellCookieFolder().find("Cookies"), std::string::npos) << ShellCookieFolder();
}

TEST(FolderIndex, AFolderThatRefusesItsListingIsAskedAboutEachCandidate) {
  test::PlantedFolder folder(Environment("TEMP") + "\\" + SpyName("refusing"));
  ASSERT_TRUE(test::WriteTextFile(folder.File("agent.exe"), "agent"));
  const struct {
    DWORD listingError;
    bool found;
  } cases[] = {{ERROR_ACCESS_DENIED, true}, {ERROR_SUCCESS, false}, {ERROR_PATH_NOT_FOUND, false}};
  for (const auto& item : cases) {
    int listings = 0;
    // Lists nothing: the file can only be found by asking for it.
    FolderIndex index([&](const std::string&, const std::function<bool(const FolderEntry&)>&) {
      ++listings;
      return item.listingError;
    });
    EXPECT_EQ(index.Find(folder.File("agent.exe")).has_value(), item.found) << item.listingError;
    EXPECT_EQ(index.Find(folder.File("AGENT.EXE")).has_value(), item.found) << item.listingError;
    EXPECT_FALSE(index.Find(folder.File("missing.exe"))) << item.listingError;
    EXPECT_EQ(listings, 1) << item.listingError;
  }
}

// Wine never shows the "no disk" box; the thread's error mode is what keeps Windows from it.
TEST(SpywareScan, ProbesWithoutTheSystemsNoDiskBox) {
  std::string folder = "<DIRECTORIES><D NAME=\"" + SpyName("quiet") + "\" PATH=\"\"/></DIRECTORIES>";
  SpywareDefinitions definitions =
      Parse("<SPYWARE><E NAME=\"Quiet\"><DESCRIPTION>d</DESCRIPTION>" + folder + "</E></SPYWARE>");
  ScanScope scope;
  scope.myComputer = true;
  std::set<DWORD> modes;
  ScanHooks hooks;
  hooks.status = [&](const std::string&) { modes.insert(GetThreadErrorMode()); };
  DWORD original = 0;
  ASSERT_TRUE(SetThreadErrorMode(SEM_NOGPFAULTERRORBOX, &original));
  ScanForSpyware(definitions, scope, hooks);
  DWORD after = GetThreadErrorMode();
  SetThreadErrorMode(original, nullptr);
  EXPECT_EQ(modes, std::set<DWORD>{SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX});
  EXPECT_EQ(after, static_cast<DWORD>(SEM_NOGPFAULTERRORBOX)) << "the thread's own mode comes back";
}

TEST(SpywareScan, EachHiveOfTheDefinitionsOpensItsOwnRoot) {
  struct Case {
    const char* written;
    HKEY root;
  };
  for (Case c : {Case{"hkey_classes_root", HKEY_CLASSES_ROOT}, Case{"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                 Case{"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, Case{"HKEY_USERS", HKEY_USERS},
                 Case{"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG}, Case{"HKCU", HKEY_LOCAL_MACHINE}}) {
    EXPECT_EQ(HiveKey(HiveFromName(c.written)), c.root) << c.written;
  }
}

TEST(SpywareScan, AStopEndsTheScanWithoutResults) {
  PlantedSpyware planted;
  SpywareDefinitions definitions = Parse(planted.Xml());
  StopSource stop;
  stop.RequestStop();
  ScanHooks hooks;
  hooks.stop = stop.Token();
  EXPECT_TRUE(ScanForSpyware(definitions, planted.Everything(), hooks).empty());
}

}  // namespace
}  // namespace tidewell
