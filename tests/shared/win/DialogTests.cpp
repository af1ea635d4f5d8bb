#include "shared/win/Dialog.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "shared/win/UiThread.h"

namespace tidewell {
namespace {

constexpr int kTestDialog = 200, kEdit = 1001, kGoButton = 1002;

class GoDialog : public Dialog {
 public:
  int goClicks = 0;
  bool initialised = false;

 protected:
  bool OnInit() override {
    initialised = true;
    SetDlgItemTextA(Handle(), kEdit, "ready");
    PostMessageA(Handle(), WM_COMMAND, MAKEWPARAM(kGoButton, BN_CLICKED), 0);
    return true;
  }
  bool OnCommand(int id, int code) override {
    static const CommandEntry<GoDialog> commands[] = {{kGoButton, BN_CLICKED, &GoDialog::OnGo}};
    return DispatchCommand(this, commands, id, code) || Dialog::OnCommand(id, code);
  }

 private:
  void OnGo() {
    ++goClicks;
    char text[32];
    GetDlgItemTextA(Handle(), kEdit, text, sizeof text);
    End(std::string(text) == "ready" ? 42 : 0);
  }
};

TEST(Dialog, RoutesCommandsThroughTheTableAndEndsWithTheResult) {
  GoDialog dialog;
  EXPECT_EQ(dialog.DoModal(GetModuleHandleA(nullptr), kTestDialog, nullptr), 42);
  EXPECT_TRUE(dialog.initialised);
  EXPECT_EQ(dialog.goClicks, 1);
  EXPECT_EQ(dialog.Handle(), nullptr);  // cleared when the window went
}

TEST(Dialog, CancelEndsWithIdCancelByDefault) {
  class CancelDialog : public Dialog {
    bool OnInit() override {
      PostMessageA(Handle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return true;
    }
  } dialog;
  EXPECT_EQ(dialog.DoModal(GetModuleHandleA(nullptr), kTestDialog, nullptr), IDCANCEL);
}

// A worker hands its result to the UI thread; the closure runs there, not on the worker.
TEST(UiThread, ClosuresFromAWorkerRunOnTheDialogsThread) {
  class WorkerDialog : public Dialog {
   public:
    DWORD ranOn = 0;
    std::thread worker;

   protected:
    bool OnInit() override {
      worker = std::thread([this, reach = Reach()] {
        reach.Post([this] {
          ranOn = GetCurrentThreadId();
          End(7);
        });
      });
      return true;
    }
  } dialog;
  EXPECT_EQ(dialog.DoModal(GetModuleHandleA(nullptr), kTestDialog, nullptr), 7);
  dialog.worker.join();
  EXPECT_EQ(dialog.ranOn, GetCurrentThreadId());
}

void Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

TEST(WindowReach, ClosuresForAWindowThatIsGoneAreFreedUnrun) {
  int ran = 0;
  auto held = std::make_shared<int>(0);
  EXPECT_FALSE(WindowReach().Post([&ran, held] { ++ran; }));
  EXPECT_EQ(held.use_count(), 1);

  Dialog dialog;  // stays open until destroyed
  ASSERT_NE(dialog.Create(GetModuleHandleA(nullptr), kTestDialog, nullptr), nullptr);
  WindowReach first = dialog.Reach();
  // Queued while the window lived, still queued when it is destroyed.
  ASSERT_TRUE(first.Post([&ran, held] { ++ran; }));
  EXPECT_EQ(held.use_count(), 2);
  dialog.Destroy();
  Pump();
  EXPECT_EQ(ran, 0);
  EXPECT_EQ(held.use_count(), 1);

  // The same object made again (the handle may even be reused): the old
  // reach stays dead, the new one works.
  ASSERT_NE(dialog.Create(GetModuleHandleA(nullptr), kTestDialog, nullptr), nullptr);
  first.Post([&ran] { ran += 10; });
  dialog.Reach().Post([&ran] { ran += 1; });
  Pump();
  EXPECT_EQ(ran, 1);
  dialog.Destroy();
}

TEST(WindowReach, OnlyTheLatestRequestsClosuresRun) {
  Dialog dialog;  // stays open until destroyed
  ASSERT_NE(dialog.Create(GetModuleHandleA(nullptr), kTestDialog, nullptr), nullptr);
  LatestRequest fill;
  std::string ran;
  WindowReach older = fill.Next(dialog.Reach());
  WindowReach newer = fill.Next(dialog.Reach());
  older.Post([&ran] { ran += "older "; });
  newer.Post([&ran] { ran += "newer "; });
  dialog.Reach().Post([&ran] { ran += "plain "; });  // not tied to the requests
  Pump();
  EXPECT_EQ(ran, "newer plain ");
  EXPECT_TRUE(fill.IsLatest(newer));

  newer.Post([&ran] { ran += "cancelled"; });
  fill.Cancel();  // after the post, before its turn: judged when it runs
  Pump();
  EXPECT_EQ(ran, "newer plain ");
  EXPECT_FALSE(fill.IsLatest(newer));
  dialog.Destroy();
}

TEST(Dialog, ModelessDialogLivesUntilDestroyed) {
  GoDialog dialog;
  // Modeless: the posted Go click arrives through the message loop and ends it.
  HWND window = dialog.Create(GetModuleHandleA(nullptr), kTestDialog, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindow(window));
  MSG message;
  while (dialog.Handle() && GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageA(window, &message)) DispatchMessageA(&message);
  }
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(dialog.goClicks, 1);
}

}  // namespace
}  // namespace tidewell
