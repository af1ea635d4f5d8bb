#include "skylark/SkylarkDialog.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include "shared/db/ConnectionString.h"
#include "shared/dbupgrade/DeliveredDefinitions.h"
#include "shared/win/AppPaths.h"
#include "shared/net/ServerHosts.h"
#include "shared/win/Profile.h"
#include "shared/win/Prompt.h"
#include "shared/win/RunningMark.h"
#include "skylark/SkylarkResource.h"
#include "skylark/UpdateAnswer.h"
#include "skylark/WorkerBoundary.h"

namespace tidewell {

namespace {

constexpr const char* kCaption = "Skylark";

class CAboutDialog : public Dialog {};

}  // namespace

std::string FindDatabasePath(HWND owner) {
  std::string path = ReadProfileValue("AppPath");
  if (path.size() > 255) path.resize(255);
  if (!path.empty()) return path;
  char file[MAX_PATH] = {};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  if (!GetOpenFileNameA(&dialog)) return {};
  std::string chosen = file;
  size_t slash = chosen.rfind('\\');
  path = (slash == std::string::npos ? std::string() : chosen.substr(0, slash + 1)) + kDatabaseFileName;
  WriteProfileValue("AppPath", path);
  return path;
}

CSkylarkDialog::CSkylarkDialog() = default;

CSkylarkDialog::~CSkylarkDialog() { workersEnded_ = workers_.StopAndWait(); }

bool CSkylarkDialog::OnInit() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  char about[128] = {};
  if (LoadStringA(instance, IDS_SKYLARK_ABOUT, about, sizeof about) > 0) {
    HMENU system = GetSystemMenu(Handle(), FALSE);
    AppendMenuA(system, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(system, MF_STRING, IDM_SKYLARK_ABOUT, about);
  }
  bigIcon_.Reset(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_SKYLARK), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
  smallIcon_.Reset(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_SKYLARK), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
  SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
  SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));

  std::string path = FindDatabasePath(Handle());
  if (path.empty() || !database_.Open(BuildConnectionString(path))) {
    Prompt(Handle(), "Database not found!", kCaption, MB_OK);
    End(0);
    return true;
  }
  BringDatabaseUpToDate(database_, path);
  std::string record = UsableUpdateRecord(ReadProfileValue(kUpdateRecordKey));
  SetDlgItemTextA(Handle(), IDC_SKYLARK_LAST_UPDATE, UpdateRecordDate(record).c_str());
  SendMessageA(Item(IDC_SKYLARK_PROGRESS), PBM_SETRANGE32, 0, 100);
  return true;
}

bool CSkylarkDialog::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return false;
  if (id == IDOK) OnUpdate();
  else if (id == IDCANCEL) OnExit();
  else return false;
  return true;
}

void CSkylarkDialog::SetStatus(const std::string& text) { SetDlgItemTextA(Handle(), IDC_SKYLARK_STATUS, text.c_str()); }

void CSkylarkDialog::SetProgress(int position) { SendMessageA(Item(IDC_SKYLARK_PROGRESS), PBM_SETPOS, position, 0); }

void CSkylarkDialog::OnUpdate() {
  HWND button = Item(IDOK);
  // A second Enter while a run starts must not start another.
  if (running_ || !IsWindowEnabled(button)) return;
  EnableWindow(button, FALSE);
  running_ = true;
  runStop_ = StopSource();

  CADODatabase* database = &database_;
  std::string host = UpdateServerHost();
  bool started = workers_.Start(runStop_, [this, reach = Reach(), database, host](const StopToken& token) {
    UpdateOutcome outcome = GuardedRun([&] {
      UpdateSinks sinks;
      sinks.stopRequested = [token] { return token.StopRequested(); };
      sinks.progress = [this, reach](int position) { reach.Post([this, position] { SetProgress(position); }); };
      sinks.status = [this, reach](const std::string& text) { reach.Post([this, text] { SetStatus(text); }); };
      UpdateOutcome run = RunUpdate(*database, host, ReadProfileValue(kUpdateRecordKey), sinks);
      // The date is stored only once the merge has committed.
      if (run.kind == UpdateOutcome::Kind::Updated) WriteProfileValue(kUpdateRecordKey, run.newRecord);
      return run;
    });
    // Without the result the window would stay disabled, or hidden and running, for ever.
    PostSurely([&] { return reach.Post([this, outcome] { Finish(outcome); }); },
               [&] { return !IsWindow(reach.Window()); });
  });
  if (!started) {
    running_ = false;
    EnableWindow(button, TRUE);
  }
}

void CSkylarkDialog::Finish(const UpdateOutcome& outcome) {
  running_ = false;
  if (exitPending_) {
    End(IDCANCEL);
    return;
  }
  switch (outcome.kind) {
    case UpdateOutcome::Kind::Updated:
      EnableWindow(Item(IDOK), TRUE);
      SetProgress(100);
      SetStatus(outcome.resultText);
      SetDlgItemTextA(Handle(), IDC_SKYLARK_LAST_UPDATE, UpdateRecordDate(outcome.newRecord).c_str());
      break;
    case UpdateOutcome::Kind::NoConnection:
    case UpdateOutcome::Kind::TooLarge:
      // One failed attempt per start: the button stays disabled.
      SetProgress(100);
      Prompt(Handle(), outcome.kind == UpdateOutcome::Kind::TooLarge ? kTooLargeText : kNoConnectionText, kCaption,
             MB_OK);
      break;
    case UpdateOutcome::Kind::MergeFailed:
    case UpdateOutcome::Kind::Failed:
      SetProgress(0);
      SetStatus("Skylark");
      Prompt(Handle(), outcome.kind == UpdateOutcome::Kind::Failed ? kRunFailedText : kMergeFailedText, kCaption,
             MB_OK | MB_ICONEXCLAMATION);
      EnableWindow(Item(IDOK), TRUE);
      break;
    case UpdateOutcome::Kind::Cancelled:
      EnableWindow(Item(IDOK), TRUE);
      break;
  }
}

void CSkylarkDialog::OnExit() {
  if (!running_) {
    End(IDCANCEL);
    return;
  }
  // The merge rolls back when stopped; the window ends once the worker reports.
  exitPending_ = true;
  ShowWindow(Handle(), SW_HIDE);
  runStop_.RequestStop();
}

void CSkylarkDialog::OnDestroy() {
  workersEnded_ = workers_.StopAndWait();
}

INT_PTR CSkylarkDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  (void)lParam;
  if (message == QuitRequestMessage()) {  // an installer's: ends as Cancel does, asking nothing
    OnExit();
    handled = true;
    return TRUE;
  }
  if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == IDM_SKYLARK_ABOUT) {
    CAboutDialog about;
    about.DoModal(GetModuleHandleA(nullptr), IDD_SKYLARK_ABOUT, Handle());
    handled = true;
    return TRUE;
  }
  if (message == WM_QUERYDRAGICON) {
    handled = true;
    return reinterpret_cast<INT_PTR>(smallIcon_.Get());
  }
  if (message == WM_PAINT && IsIconic(Handle())) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Handle(), &paint);
    SendMessageA(Handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(Handle(), &client);
    int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, bigIcon_.Get());
    EndPaint(Handle(), &paint);
    handled = true;
    return TRUE;
  }
  return 0;
}

}  // namespace tidewell
