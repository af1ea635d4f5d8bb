#include "shared/win/RegistryLocation.h"

#include <gtest/gtest.h>

#include "shared/win/Environment.h"

namespace tidewell {
namespace {

constexpr RegistryView k32 = RegistryView::Bits32, k64 = RegistryView::Bits64, kNative = RegistryView::Native;
constexpr bool kBuild64 = sizeof(void*) == 8;

TEST(RegistryLocation, TheToolAndTheFileNameTheKeyWhereItsViewKeepsIt) {
  // Wine's prefix is a 64-bit Windows for both builds: two views.
  ASSERT_TRUE(HasTwoViews());
  struct Case {
    HKEY hive;
    const char* path;
    RegistryView view;
    const char* tool;
  };
  const std::string nativeSoftware = kBuild64 ? "HKLM\\SOFTWARE\\X" : "HKLM\\SOFTWARE\\Wow6432Node\\X";
  const Case cases[] = {
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\X", k32, "HKLM\\SOFTWARE\\Wow6432Node\\X"},
      {HKEY_LOCAL_MACHINE, "software\\X\\Y", k32, "HKLM\\software\\Wow6432Node\\X\\Y"},
      {HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\X", k32, "HKCU\\Software\\Classes\\Wow6432Node\\CLSID\\X"},
      {HKEY_CLASSES_ROOT, "CLSID\\X", k32, "HKCR\\Wow6432Node\\CLSID\\X"},
      // Named below Wow6432Node already, or a key both views share: as it is.
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\X", k32, "HKLM\\SOFTWARE\\Wow6432Node\\X"},
      {HKEY_CURRENT_USER, "Software\\Classes\\Wow6432Node\\X", k32, "HKCU\\Software\\Classes\\Wow6432Node\\X"},
      {HKEY_CLASSES_ROOT, "Wow6432Node\\CLSID\\X", k32, "HKCR\\Wow6432Node\\CLSID\\X"},
      {HKEY_CLASSES_ROOT, "", k32, "HKCR"},
      {HKEY_LOCAL_MACHINE, "SOFTWARE", k32, "HKLM\\SOFTWARE"},
      {HKEY_LOCAL_MACHINE, "SYSTEM\\X", k32, "HKLM\\SYSTEM\\X"},
      {HKEY_CURRENT_USER, "Software\\X", k32, "HKCU\\Software\\X"},
      // The 64-bit view is the one the names already say.
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\X", k64, "HKLM\\SOFTWARE\\X"},
      {HKEY_CLASSES_ROOT, "CLSID\\X", k64, "HKCR\\CLSID\\X"},
      {HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\X", k64, "HKCU\\Software\\Classes\\CLSID\\X"},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\X", kNative, nativeSoftware.c_str()},
  };
  for (const Case& c : cases) {
    RegistryLocation location{c.hive, c.path, c.view};
    SCOPED_TRACE(location.DisplayName());
    EXPECT_EQ(location.ToolName(), c.tool);
    std::string tool = c.tool;
    std::string root = tool.substr(0, tool.find('\\'));
    EXPECT_EQ(location.FileName(), RootKeyName(*HiveOfName(root)) + tool.substr(root.size()));
  }
}

TEST(RegistryLocation, ParseTakesEitherRootNameAndTrimsThePath) {
  struct Case {
    const char* text;
    HKEY hive;  // nullptr: refused
    const char* path;
  };
  const Case cases[] = {
      {"HKLM\\Software\\X", HKEY_LOCAL_MACHINE, "Software\\X"},
      {"HKEY_CURRENT_USER\\Software\\X\\", HKEY_CURRENT_USER, "Software\\X"},
      {"hkey_classes_root\\CLSID", HKEY_CLASSES_ROOT, "CLSID"},
      {"HKU\\.DEFAULT", HKEY_USERS, ".DEFAULT"},
      {"HKCC", HKEY_CURRENT_CONFIG, ""},
      {"HKCR\\", HKEY_CLASSES_ROOT, ""},
      {"HKLMX\\Software", nullptr, ""},
      {"HKEY_CURENT_USER\\Software", nullptr, ""},
      {"\\HKLM\\Software", nullptr, ""},
      {"", nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto parsed = RegistryLocation::Parse(c.text, k32);
    ASSERT_EQ(parsed.has_value(), c.hive != nullptr);
    if (!parsed) continue;
    EXPECT_EQ(parsed->hive, c.hive);
    EXPECT_EQ(parsed->path, c.path);
    EXPECT_EQ(parsed->view, k32);
  }
}

TEST(RegistryLocation, DepthCountsTheNamesBelowTheHive) {
  struct Case {
    const char* path;
    size_t depth;
  };
  for (Case c : {Case{"", 0}, Case{"\\", 0}, Case{"Software", 1}, Case{"Software\\A", 2}, Case{"\\A\\\\B\\", 2},
                 Case{"CLSID\\{x}\\InprocServer32", 3}}) {
    EXPECT_EQ((RegistryLocation{HKEY_CURRENT_USER, c.path}.Depth()), c.depth) << c.path;
  }
}

// Keys planted for one test under names no other run uses, removed before and after.
class PlantedLocationTest : public ::testing::Test {
 protected:
  PlantedLocationTest() : unique_("{TwLocation-" + std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(GetTickCount64()) + "}") {}
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  void Clean() {
    for (const RegistryLocation& key : {UserClass(), MachineClass(), MachineOnlyClass(), Scratch(), MachineScratch()})
      for (RegistryView view : {k32, k64}) DeleteKeyTree(key.hive, key.path, view);
  }
  RegistryLocation UserClass() const { return {HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\" + unique_}; }
  RegistryLocation MachineClass() const { return {HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\" + unique_}; }
  RegistryLocation MachineOnlyClass() const {
    return {HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\" + unique_ + "-machine"};
  }
  RegistryLocation Scratch() const { return {HKEY_CURRENT_USER, "Software\\TidewellTests\\Location" + unique_}; }
  RegistryLocation MachineScratch() const {
    return {HKEY_LOCAL_MACHINE, "Software\\TidewellTests\\Location" + unique_};
  }
  std::string unique_;
};

TEST_F(PlantedLocationTest, DeleteRefusesTheMergedViewAndTheHiveAndTakesAKeyWithItsSubkeys) {
  ASSERT_TRUE(MachineClass().Child("InprocServer32").Create());
  ASSERT_TRUE(Scratch().Child("A\\B").Create());
  UniqueKey scratch = Scratch().Open();
  ASSERT_TRUE(scratch);
  // The class as HKCR shows it: refused, though it opens there.
  RegistryLocation merged{HKEY_CLASSES_ROOT, "CLSID\\" + unique_};
  ASSERT_TRUE(merged.Exists());
  EXPECT_FALSE(merged.Delete());
  EXPECT_TRUE(MachineClass().Child("InprocServer32").Exists());
  // A handle taken as the hive: nothing below it is a key to delete.
  EXPECT_FALSE((RegistryLocation{scratch.Get(), ""}.Delete()));
  EXPECT_FALSE((RegistryLocation{scratch.Get(), "\\"}.Delete()));
  EXPECT_TRUE(Scratch().Child("A\\B").Exists());

  EXPECT_TRUE(Scratch().Delete());
  EXPECT_FALSE(Scratch().Exists());
}

TEST_F(PlantedLocationTest, RealCopiesAreTheUsersAndTheMachinesClassesThatExist) {
  for (const RegistryLocation& copy : {UserClass(), MachineClass(), MachineOnlyClass()})
    ASSERT_TRUE(copy.Child("InprocServer32").Create()) << copy.DisplayName();
  struct Case {
    RegistryLocation asked;
    std::vector<RegistryLocation> copies;
  };
  const Case cases[] = {
      {{HKEY_CLASSES_ROOT, "CLSID\\" + unique_ + "\\InprocServer32"},
       {UserClass().Child("InprocServer32"), MachineClass().Child("InprocServer32")}},
      {{HKEY_CLASSES_ROOT, "CLSID\\" + unique_ + "-machine"}, {MachineOnlyClass()}},
      {{HKEY_CLASSES_ROOT, "CLSID\\" + unique_ + "-nowhere"}, {}},
      // A real hive's key is its own copy.
      {MachineClass(), {MachineClass()}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked.DisplayName());
    EXPECT_EQ(c.asked.RealCopies(), c.copies);
  }
}

TEST_F(PlantedLocationTest, TheRealNameTellsAKeyBothViewsShareFromOneEachViewKeeps) {
  struct Case {
    RegistryLocation key;
    bool shared;
  };
  // The user's Software is one key for both views; the machine's is kept apart.
  const Case cases[] = {
      {Scratch(), true},
      {MachineScratch(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key.DisplayName());
    RegistryLocation in32{c.key.hive, c.key.path, k32}, in64{c.key.hive, c.key.path, k64};
    ASSERT_TRUE(in32.Create());
    ASSERT_TRUE(in64.Create());
    EXPECT_FALSE(in32.RealName().empty());
    EXPECT_EQ(in32.RealName() == in64.RealName(), c.shared) << in32.RealName() << " / " << in64.RealName();
    DeleteKeyTree(c.key.hive, c.key.path, k32);
    DeleteKeyTree(c.key.hive, c.key.path, k64);
  }
  EXPECT_EQ(Scratch().RealName(), "");
}

TEST(RegistryLocation, ARegisteredPathIsExpandedAsItsViewsProgramsSeeIt) {
  struct Case {
    RegistryView view;
    const char* registered;
    const char* variable;  // whose value the registered variable takes
  };
  for (Case c : {Case{k32, "%ProgramFiles%", "ProgramFiles(x86)"}, Case{k64, "%ProgramFiles%", "ProgramW6432"},
                 Case{k32, "%CommonProgramFiles%", "CommonProgramFiles(x86)"},
                 Case{k64, "%CommonProgramFiles%", "CommonProgramW6432"}, Case{k32, "%windir%", "windir"},
                 Case{kNative, "%ProgramFiles%", "ProgramFiles"}}) {
    SCOPED_TRACE(std::string(c.registered) + " " + ViewLabel(c.view));
    std::optional<std::string> value = EnvironmentVariable(c.variable);
    ASSERT_TRUE(value);
    RegistryLocation location{HKEY_CLASSES_ROOT, "CLSID\\{x}\\InprocServer32", c.view};
    EXPECT_EQ(location.ExpandPath(std::string(c.registered) + "\\x.dll"), *value + "\\x.dll");
  }
  // The 64-bit build's own Program Files is not the 32-bit view's.
  if (kBuild64) {
    EXPECT_NE(*EnvironmentVariable("ProgramFiles"), *EnvironmentVariable("ProgramFiles(x86)"));
  }
  // A caller's own rules for the variables: here only the first is expanded.
  RegistryLocation in32{HKEY_CLASSES_ROOT, "CLSID", k32};
  auto firstOnly = [](const std::string& text, const EnvironmentLookup& lookup) {
    size_t end = text.find('%', 1);
    return lookup(text.substr(1, end - 1)).value_or("") + text.substr(end + 1);
  };
  EXPECT_EQ(in32.ExpandPath("%ProgramFiles%\\%windir%", firstOnly),
            *EnvironmentVariable("ProgramFiles(x86)") + "\\%windir%");
}

TEST(RegistryLocation, ASystemFileIsReachedInTheFolderOfItsView) {
  char system[MAX_PATH], windows[MAX_PATH], wow[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
  ASSERT_GT(GetSystemWindowsDirectoryA(windows, MAX_PATH), 0u);
  ASSERT_GT(GetSystemWow64DirectoryA(wow, MAX_PATH), 0u);
  std::string file = std::string(system) + "\\helper.dll";
  // A 32-bit class's System32 is SysWOW64; a 64-bit class's, seen from the
  // 32-bit build, is reached through Sysnative.
  std::string for32 = kBuild64 ? std::string(wow) + "\\helper.dll" : file;
  std::string for64 = kBuild64 ? file : std::string(windows) + "\\Sysnative\\helper.dll";
  EXPECT_EQ(PathFromView(file, k32), for32);
  EXPECT_EQ(PathFromView(file, k64), for64);
  EXPECT_EQ(PathFromView("C:\\Tools\\helper.dll", k32), "C:\\Tools\\helper.dll");
  EXPECT_EQ(PathFromView(std::string(system) + "x\\helper.dll", k32), std::string(system) + "x\\helper.dll");
  // The same through a location, from a variable.
  EXPECT_EQ((RegistryLocation{HKEY_CLASSES_ROOT, "CLSID", k32}.ExpandPath("%SystemRoot%\\System32\\helper.dll")),
            kBuild64 ? std::string(wow) + "\\helper.dll" : std::string(windows) + "\\System32\\helper.dll");
}

}  // namespace
}  // namespace tidewell
