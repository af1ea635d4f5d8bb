#include "tidewell/backup/BackupWaitDlg.h"

#include <memory>

#include "resources/resource.h"

namespace tidewell {

namespace {

HWND OwnForegroundWindow() {
  HWND window = GetForegroundWindow();
  DWORD process = 0;
  if (!IsWindow(window)) return nullptr;
  GetWindowThreadProcessId(window, &process);
  // Another program's window would tie our input to that program's.
  return process == GetCurrentProcessId() ? window : nullptr;
}

void Redraw(HWND window) {
  if (window) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

}  // namespace

void CBackupWaitDlg::Open(HINSTANCE instance, HWND owner) {
  if (Handle()) return;
  previousCursor_ = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  owner_ = owner && IsWindow(owner) ? owner : OwnForegroundWindow();
  for (int attempt = 0; attempt < 11 && !owner_ && !owner; ++attempt) {
    Sleep(100);
    owner_ = OwnForegroundWindow();
  }
  if (!Create(instance, IDD_BACKUP_WAIT, owner_ ? owner_ : GetDesktopWindow())) return;
  SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  UpdateWindow(Handle());
  Redraw(owner_);
}

void CBackupWaitDlg::Close() {
  if (!Handle()) return;
  Destroy();
  SetCursor(previousCursor_ ? previousCursor_ : LoadCursor(nullptr, IDC_ARROW));
  Redraw(owner_);
  owner_ = nullptr;
}

bool CBackupWaitDlg::OnInit() {
  HWND parent = GetWindow(Handle(), GW_OWNER);
  RECT area{}, box{};
  if (!parent || !GetWindowRect(parent, &area)) SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  GetWindowRect(Handle(), &box);
  int width = box.right - box.left, height = box.bottom - box.top;
  SetWindowPos(Handle(), nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  return false;
}

BackupObserver WaitBoxObserver(HWND owner) { return WaitBoxObserver(WindowReach::ToWindow(owner)); }

BackupObserver WaitBoxObserver(const WindowReach& reach) {
  auto box = std::make_shared<CBackupWaitDlg>();
  HWND owner = reach.Window();
  // On the owner's thread: at once when already there, else posted. A box
  // whose owner is gone went with it.
  auto onOwnerThread = [reach, owner](std::function<void()> task) {
    if (GetWindowThreadProcessId(owner, nullptr) == GetCurrentThreadId())
      task();
    else
      reach.Post(std::move(task));
  };
  BackupObserver observer;
  observer.waitStarted = [=] { onOwnerThread([owner, box] { box->Open(GetModuleHandleA(nullptr), owner); }); };
  observer.waitFinished = [=] { onOwnerThread([box] { box->Close(); }); };
  return observer;
}

}  // namespace tidewell
