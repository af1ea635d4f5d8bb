#include "shared/win/Prompt.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "shared/win/UiThread.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ScriptedPrompt.h"

namespace tidewell {
namespace {

TEST(Prompt, ScriptAnswersInOrderAndRecordsTheWording) {
  test::ScriptedPrompt script{IDYES, IDCANCEL};
  EXPECT_EQ(Prompt(nullptr, "Would you like to backup your registries first?", "Tidewell",
                   MB_YESNOCANCEL | MB_ICONQUESTION),
            IDYES);
  EXPECT_EQ(Prompt(nullptr, "Second", "Tidewell registry backup", MB_YESNO), IDCANCEL);
  auto requests = script.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].text, "Would you like to backup your registries first?");
  EXPECT_EQ(requests[0].caption, "Tidewell");
  EXPECT_EQ(requests[0].type, UINT(MB_YESNOCANCEL | MB_ICONQUESTION));
  EXPECT_EQ(requests[1].caption, "Tidewell registry backup");
}

TEST(Prompt, NestedScriptsRestoreTheOuterOne) {
  test::ScriptedPrompt outer{IDNO};
  {
    test::ScriptedPrompt inner{IDYES};
    EXPECT_EQ(Prompt(nullptr, "inner", "c"), IDYES);
  }
  EXPECT_EQ(Prompt(nullptr, "outer", "c"), IDNO);
  EXPECT_EQ(outer.Requests().size(), 1u);
}

LRESULT CALLBACK RunsPostedTasks(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunOnUiThreadMessage) {
    RunPostedTask(lParam);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(Prompt, BoxesPostedByAWorkerComeOneAfterAnotherInTheirOrder) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = RunsPostedTasks;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "TidewellPostedPromptTest";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              windowClass.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  // Each box runs the thread's messages while it is open, as a real one does.
  std::vector<std::string> shown;
  int open = 0, mostOpen = 0;
  PromptHandler previous = SetPromptHandler([&](const PromptRequest& request) {
    shown.push_back(request.text);
    mostOpen = std::max(mostOpen, ++open);
    test::PumpFor(std::chrono::milliseconds(50));
    --open;
    return IDOK;
  });
  std::thread worker([window] {
    for (const char* text : {"first", "second", "third"}) PostPrompt(window, text, "", MB_OK);
  });
  worker.join();
  EXPECT_TRUE(test::PumpUntil([&] { return shown.size() == 3; }, std::chrono::seconds(5)));
  SetPromptHandler(std::move(previous));
  EXPECT_EQ(shown, (std::vector<std::string>{"first", "second", "third"}));
  EXPECT_EQ(mostOpen, 1) << "a box never opens over another";
  DestroyWindow(window);
}

}  // namespace
}  // namespace tidewell
