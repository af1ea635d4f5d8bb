#include "tidewell/traffic/NetWatchDialog.h"

#include "resources/resource.h"

namespace tidewell {

namespace {

struct GraphSlot {
  int id;
  TrafficType type;
};
constexpr GraphSlot kGraphs[] = {{IDC_NET_GRAPH_INCOMING, TrafficType::Incoming},
                                 {IDC_NET_GRAPH_OUTGOING, TrafficType::Outgoing},
                                 {IDC_NET_GRAPH_TOTAL, TrafficType::Total}};
constexpr GraphSlot kHiddenGraphs[] = {{IDC_GRAPH_TOTAL, TrafficType::Total},
                                       {IDC_GRAPH_INCOMING, TrafficType::Incoming},
                                       {IDC_GRAPH_OUTGOING, TrafficType::Outgoing}};

// Beyond the desktop's right edge by 5 pixels, 30 pixels above its bottom.
constexpr int kRightOverhang = 5, kBottomGap = 30;

const std::vector<std::string> kNoNames;

}  // namespace

CNetWatchDialog::CNetWatchDialog(CounterSourceFactory openSource) : openSource_(std::move(openSource)) {}

bool CNetWatchDialog::Create(HWND owner) {
  if (!Dialog::Create(GetModuleHandleA(nullptr), IDD_NET_WATCH, owner)) return false;
  RECT window{}, desktop{};
  GetWindowRect(Handle(), &window);
  GetWindowRect(GetDesktopWindow(), &desktop);
  int width = window.right - window.left, height = window.bottom - window.top;
  SetWindowPos(Handle(), nullptr, desktop.right + kRightOverhang - width, desktop.bottom - kBottomGap - height, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

bool CNetWatchDialog::OnInit() {
  for (size_t i = 0; i < graphs_.size(); ++i) graphs_[i].Attach(Item(kGraphs[i].id), kGraphs[i].type, this);
  ShowWhole(false);
  return false;
}

void CNetWatchDialog::Show() {
  if (!Handle()) return;
  ShowWindow(Handle(), SW_SHOWNOACTIVATE);
  SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void CNetWatchDialog::Hide() {
  if (Handle()) ShowWindow(Handle(), SW_HIDE);
}

TrafficGraph& CNetWatchDialog::Graph(int id) {
  for (size_t i = 0; i < graphs_.size(); ++i)
    if (kGraphs[i].id == id) return graphs_[i];
  return graphs_.back();
}

const std::vector<std::string>& CNetWatchDialog::InterfaceNames() const {
  return source_ ? source_->Names() : kNoNames;
}

void CNetWatchDialog::OnShown() {
  if (!sourceOpened_) {
    // Once: the interface list stays as enumerated while the program runs.
    sourceOpened_ = true;
    source_ = openSource_ ? openSource_() : nullptr;
  }
  // The window starts empty each time it opens; this reading primes the rates.
  latest_ = source_ ? source_->Read() : CounterSnapshot{};
  for (auto& graph : graphs_) graph.SelectInterface(graph.State().Interface());
  SetTimer(Handle(), TIMER_NET_SAMPLE, kSamplePeriodMs, nullptr);
  SetTimer(Handle(), TIMER_NET_REPAINT, kRepaintPeriodMs, nullptr);
  SetTimer(Handle(), TIMER_NET_REGION, kRegionPeriodMs, nullptr);
}

void CNetWatchDialog::OnHidden() {
  for (UINT_PTR timer : {TIMER_NET_SAMPLE, TIMER_NET_REPAINT, TIMER_NET_REGION}) KillTimer(Handle(), timer);
  ShowWhole(false);
}

void CNetWatchDialog::SampleNow() {
  if (!source_ || !IsWindowVisible(Handle())) return;
  latest_ = source_->Read();
  for (auto& graph : graphs_) graph.Sample(latest_);
}

void CNetWatchDialog::OnTimer(UINT_PTR id) {
  switch (id) {
    case TIMER_NET_SAMPLE: SampleNow(); break;
    case TIMER_NET_REPAINT:
      for (auto& graph : graphs_) graph.Scroll();
      break;
    case TIMER_NET_REGION: UpdateRegion(); break;
    default: break;
  }
}

bool CNetWatchDialog::PointerOver() const {
  POINT cursor{};
  if (!GetCursorPos(&cursor)) return false;
  HWND under = WindowFromPoint(cursor);
  return under && (under == Handle() || IsChild(Handle(), under));
}

void CNetWatchDialog::UpdateRegion() {
  bool whole = fullView_ || PointerOver();
  fullView_ = false;
  ShowWhole(whole);
}

void CNetWatchDialog::ShowWhole(bool whole) {
  if (whole == whole_) return;
  whole_ = whole;
  if (whole) {
    SetWindowRgn(Handle(), nullptr, TRUE);
    return;
  }
  RECT frame{}, window{};
  GetWindowRect(Item(IDC_NET_FRAME), &frame);
  GetWindowRect(Handle(), &window);
  OffsetRect(&frame, -window.left, -window.top);
  // The system owns the region from here on.
  SetWindowRgn(Handle(), CreateRectRgnIndirect(&frame), TRUE);
}

bool CNetWatchDialog::OnCommand(int id, int code) {
  if ((id == IDOK || id == IDCANCEL) && code == BN_CLICKED) {
    Hide();  // the window lives as long as the main window
    return true;
  }
  return false;
}

INT_PTR CNetWatchDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  switch (message) {
    case WM_SHOWWINDOW:
      if (wParam)
        OnShown();
      else
        OnHidden();
      return 0;
    case WM_CLOSE:
      handled = true;
      Hide();
      return TRUE;
    case WM_SETCURSOR:
      // The pointer is over the window: show it whole until it leaves.
      fullView_ = true;
      ShowWhole(true);
      return 0;
    default: (void)lParam; return 0;
  }
}

std::unique_ptr<TrafficWatch> TrafficWatch::Create(HWND mainWindow, CounterSourceFactory openSource) {
  std::unique_ptr<TrafficWatch> watch(new TrafficWatch(std::move(openSource)));
  for (size_t i = 0; i < watch->hidden_.size(); ++i)
    watch->hidden_[i].Attach(GetDlgItem(mainWindow, kHiddenGraphs[i].id), kHiddenGraphs[i].type, nullptr);
  watch->dialog_.Create(mainWindow);
  return watch;
}

}  // namespace tidewell
