// Tidewell's "Update" button, pressed in the real program: Skylark starts from
// Tidewell's own folder, whatever the current folder, and a missing Skylark
// is reported instead of passing in silence.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "resource.h"
#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "tests/skylark/SkylarkTestSupport.h"
#include "tests/support/RunningProgram.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A visible top-level window with this caption in another process than `except`.
HWND WaitForForeignWindow(const char* caption, DWORD except, std::chrono::milliseconds timeout) {
  for (auto deadline = std::chrono::steady_clock::now() + timeout; std::chrono::steady_clock::now() < deadline;
       Sleep(50)) {
    for (HWND window = FindWindowExA(nullptr, nullptr, nullptr, caption); window;
         window = FindWindowExA(nullptr, window, nullptr, caption)) {
      DWORD process = 0;
      GetWindowThreadProcessId(window, &process);
      if (process != except && IsWindowVisible(window)) return window;
    }
  }
  return nullptr;
}

TEST(UpdateButton, StartsSkylarkFromTidewellsFolderAndSaysSoWhenItIsMissing) {
  CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects");
  test::SkylarkProfile profile;  // Tidewell writes AppPath, which Skylark then reads
  test::TestAppFolder folder;
  test::TempFolder elsewhere;  // the current folder, which holds no Skylark
  for (const char* program : {"Tidewell.exe", "Skylark.exe"})
    fs::copy_file(test::ProgramFolder() / program, folder.Path() / program);
  test::RunningProgram tidewell(folder.File("Tidewell.exe"), elsewhere.Text());
  ASSERT_TRUE(tidewell.Started());
  HWND main = nullptr;
  for (int tries = 0; !main && tries < 400 && !tidewell.WaitForExit(50ms); ++tries)
    main = FindWindowA("#32770", "Tidewell v" TIDEWELL_EXPECTED_VERSION);
  ASSERT_NE(main, nullptr);
  DWORD tidewellId = 0;
  GetWindowThreadProcessId(main, &tidewellId);
  PostMessageA(main, WM_COMMAND, ID_TRAY_OPEN, 0);
  auto pressUpdate = [&] {
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDB_UPDATE, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(main, IDB_UPDATE)));
  };

  pressUpdate();
  HWND updater = WaitForForeignWindow("BHO updater", tidewellId, 30s);
  ASSERT_NE(updater, nullptr) << "Skylark did not start";
  DWORD skylarkId = 0;
  GetWindowThreadProcessId(updater, &skylarkId);
  UniqueHandle skylark(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, skylarkId));
  char image[MAX_PATH] = {};
  DWORD length = MAX_PATH;
  ASSERT_TRUE(QueryFullProcessImageNameA(skylark.Get(), 0, image, &length));
  EXPECT_TRUE(fs::equivalent(image, folder.File("Skylark.exe"))) << image;
  PostMessageA(updater, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  ASSERT_EQ(WaitForSingleObject(skylark.Get(), 20000), WAIT_OBJECT_0);

  fs::remove(folder.Path() / "Skylark.exe");
  pressUpdate();
  HWND box = tidewell.WaitForWindow("Tidewell", 20s);
  ASSERT_NE(box, nullptr) << "no message for the missing updater";
  std::vector<std::string> texts = test::ChildTexts(box);
  std::string expected = "Could not start the definitions updater: " + folder.File("Skylark.exe") + " is missing.";
  EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << expected;
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  PostMessageA(main, WM_COMMAND, ID_TRAY_QUIT, 0);
  EXPECT_EQ(tidewell.WaitForExit(20s), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace tidewell
