#include "shared/win/Dialog.h"

#include <gtest/gtest.h>

#include <memory>
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
      HWND window = Handle();
      worker = std::thread([this, window] {
        PostToWindow(window, [this] {
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

TEST(UiThread, ClosuresForAWindowThatIsGoneAreFreedUnrun) {
  bool ran = false;
  auto held = std::make_shared<int>(0);
  EXPECT_FALSE(PostToWindow(nullptr, [&ran, held] { ran = true; }));
  EXPECT_EQ(held.use_count(), 1);

  // Queued while the window lived, still queued when it is destroyed.
  GoDialog dialog;
  HWND window = dialog.Create(GetModuleHandleA(nullptr), kTestDialog, nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostToWindow(window, [&ran, held] { ran = true; }));
  EXPECT_EQ(held.use_count(), 2);
  DestroyWindow(window);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  EXPECT_FALSE(ran);
  EXPECT_EQ(held.use_count(), 1);
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
