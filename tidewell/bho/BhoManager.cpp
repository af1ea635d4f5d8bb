#include "tidewell/bho/BhoManager.h"

#include <windowsx.h>

#include <thread>

#include "resources/resource.h"
#include "shared/win/AppFolder.h"
#include "shared/win/Prompt.h"
#include "shared/win/TreeView.h"
#include "tidewell/shell/Messages.h"
#include "tidewell/bho/BhoInfoDialog.h"
#include "tidewell/bho/BhoKeyWatcher.h"
#include "tidewell/bho/BhoText.h"

namespace tidewell {

// Shared with the workers, which may outlive a listing request.
struct BhoManager::State {
  CADODatabase* database = nullptr;
  HWND mainWindow = nullptr;
  HWND tree = nullptr;
  WindowReach reach;  // the main window, for what is not the tree's
  ClassIdTable classIds;
  std::atomic<bool> listingGuard{false};
  std::atomic<int> workers{0};
  std::optional<StopSource> scan;  // the running deep scan's stop
  std::mutex mutex;                                // guards the texts below
  std::string notifiedClsid;
  std::string scanStatus;
  std::atomic<bool> statusPosted{false};
  std::function<void(const std::string&)> showNotifier;

  HWND Tree() const { return tree; }
};

namespace {

// Counts a worker for Busy() from its start to its end.
class WorkerScope {
 public:
  explicit WorkerScope(std::atomic<int>& count) : count_(count) {}
  ~WorkerScope() { --count_; }

 private:
  std::atomic<int>& count_;
};

void SetScanButtons(IMainWindow& main, bool scanning) {
  main.HoldTabs(scanning);
  EnableWindow(main.Button(IDB_STOP_SCAN), scanning);
  EnableWindow(main.Button(IDB_SCAN_BHOS), !scanning);
  EnableWindow(main.Button(IDB_LIST_BHOS), !scanning);
}

void RedrawTree(HWND tree) { RedrawWindow(tree, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

}  // namespace

HTREEITEM InsertBhoItem(HWND tree, ClassIdTable& classIds, const BhoItem& bho) {
  std::optional<int> index = classIds.Add(bho.clsid, bho.view);
  if (!index) return nullptr;
  HTREEITEM item = InsertTreeItem(tree, TVI_ROOT, bho.name, bho.image, *index);
  if (item) AddLinkedProcesses(tree, item, bho.processes);
  return item;
}

void AddLinkedProcesses(HWND tree, HTREEITEM item, const std::vector<LinkedProcess>& processes) {
  for (const LinkedProcess& process : processes)
    InsertTreeItem(tree, item, process.exeName, kImageLinkedProcess, static_cast<LPARAM>(process.processId));
}

BhoManager::BhoManager(IMainWindow& main) : main_(main), state_(std::make_shared<State>()) {}

BhoManager::~BhoManager() {
  if (state_->scan) state_->scan->RequestStop();
}

void BhoManager::Attach(std::function<void()> selectBhoTab, std::function<void(const std::string&)> showNotifier) {
  state_->mainWindow = main_.Window();
  state_->tree = main_.Tree();
  state_->reach = main_.Reach();
  state_->database = &main_.Database();
  selectBhoTab_ = std::move(selectBhoTab);
  std::lock_guard lock(state_->mutex);
  state_->showNotifier = std::move(showNotifier);
}

void BhoManager::RequestRefresh() const { PostMessageA(main_.Window(), WM_REFRESH_BHOS, 0, 0); }

void BhoManager::StartListing() {
  if (Scanning()) return;  // the deep scan fills the tree until it ends
  std::shared_ptr<State> state = state_;
  // The tree belongs to the latest listing or deep scan: results of an older
  // one, or of a listing whose tree another tab has taken, are dropped.
  WindowReach tree = main_.BorrowTree();
  ++state->workers;
  bool started = main_.Workers().Start([state, tree](const StopToken& stop) {
    WorkerScope scope(state->workers);
    // Requests that arrive during a listing wait their turn; exchange makes
    // the test and the set one step.
    while (state->listingGuard.exchange(true))
      if (stop.WaitFor(100)) return;
    ModuleIndex modules;
    modules.Build(state->mainWindow);
    std::optional<std::vector<BhoItem>> items = CollectRegisteredBhos(*state->database, modules, stop);
    state->listingGuard.store(false);
    if (stop.StopRequested()) return;
    if (!items) PostPrompt(state->mainWindow, "Unable to open registry key", "Tidewell", MB_OK);
    tree.Post([state, items = items.value_or(std::vector<BhoItem>{})] {
      HWND tree = state->Tree();
      TreeView_DeleteAllItems(tree);
      state->classIds.Restart();
      for (const BhoItem& bho : items)
        if (!InsertBhoItem(tree, state->classIds, bho)) break;
      RedrawTree(tree);
    });
  });
  if (!started) --state->workers;
}

void BhoManager::StartDeepScan() {
  if (selectBhoTab_) selectBhoTab_();
  SetScanButtons(main_, true);
  state_->classIds.Restart();
  TreeView_DeleteAllItems(state_->Tree());
  if (state_->scan) state_->scan->RequestStop();
  StopSource scan;
  state_->scan = scan;
  WindowReach tree = main_.BorrowTree();

  std::shared_ptr<State> state = state_;
  IMainWindow* main = &main_;
  ++state->workers;
  bool started = main_.Workers().Start(scan, [state, tree, main](const StopToken& stop) {
    WorkerScope scope(state->workers);
    DeepScanSink sink;
    sink.reportTo = state->mainWindow;
    sink.classStarted = [state, main](const std::string& classKey) {
      {
        std::lock_guard lock(state->mutex);
        state->scanStatus = classKey;
      }
      // One status update in flight at a time; it shows the latest class.
      if (state->statusPosted.exchange(true)) return;
      state->reach.Post([state, main] {
        state->statusPosted.store(false);
        std::lock_guard lock(state->mutex);
        if (state->scan) main->SetStatus(state->scanStatus);
      });
    };
    sink.found = [state, tree, stop](BhoItem item) {
      tree.Post([state, stop, item = std::move(item)] {
        if (stop.StopRequested()) return;
        InsertBhoItem(state->Tree(), state->classIds, item);
        RedrawTree(state->Tree());
      });
    };
    bool completed = DeepScanBhos(*state->database, stop, sink);
    if (!completed) return;  // "Stop scan" has already restored the buttons
    // Through the window, not the tree: the buttons come back even if the tree was taken.
    state->reach.Post([state, main, stop] {
      if (stop.StopRequested()) return;
      state->scan.reset();
      SetScanButtons(*main, false);
      main->SetStatus("");
    });
  });
  if (!started) --state->workers;
}

void BhoManager::StopDeepScan() {
  SetScanButtons(main_, false);
  main_.SetStatus("");
  if (state_->scan) state_->scan->RequestStop();
  state_->scan.reset();
}

void BhoManager::StartKeyWatch() {
  std::shared_ptr<State> state = state_;
  KeyWatchTarget target;
  target.mainWindow = main_.Window();
  target.database = &main_.Database();
  target.announce = [state](const std::string& clsid, const std::string& name) {
    std::function<void(const std::string&)> show;
    {
      std::lock_guard lock(state->mutex);
      state->notifiedClsid = clsid;
      show = state->showNotifier;
    }
    if (show) state->reach.Post([show, name] { show(name); });
  };
  main_.Workers().Start([target](const StopToken& stop) { WatchBhoKey(target, stop); });
}

std::optional<SelectedBho> BhoManager::Selected() const {
  HWND tree = state_->Tree();
  HTREEITEM item = TreeView_GetSelection(tree);
  if (!item || TreeView_GetParent(tree, item)) return std::nullopt;
  SelectedBho selected;
  selected.clsid = state_->classIds.At(TreeItemData(tree, item));
  selected.view = state_->classIds.ViewAt(TreeItemData(tree, item));
  for (HTREEITEM child = TreeView_GetChild(tree, item); child; child = TreeView_GetNextSibling(tree, child))
    selected.processes.push_back({static_cast<DWORD>(TreeItemData(tree, child)), TreeItemText(tree, child)});
  return selected;
}

void BhoManager::ShowSelectedBhoInfo() {
  std::optional<SelectedBho> selected = Selected();
  if (!selected || selected->clsid.empty()) return;
  ShowBhoInfo(main_.Window(), main_.Database(), selected->clsid, BhoInfoSource::TreeItem, [this] { RequestRefresh(); },
              selected->view);
}

void BhoManager::ShowNotifiedBhoInfo() {
  std::string clsid = NotifiedClsid();
  if (clsid.empty()) return;
  ShowBhoInfo(main_.Window(), main_.Database(), clsid, BhoInfoSource::Notifier, [this] { RequestRefresh(); });
}

int BhoManager::UninstallSelectedBho() {
  std::optional<SelectedBho> selected = Selected();
  if (!selected) return 0;
  return UninstallBho(main_.Window(), main_.Database(), GetAppFolder(), *selected, uninstallTiming_);
}

std::string BhoManager::NotifiedClsid() const {
  std::lock_guard lock(state_->mutex);
  return state_->notifiedClsid;
}

const ClassIdTable& BhoManager::ClassIds() const { return state_->classIds; }

bool BhoManager::Busy() const { return state_->workers.load() > 0; }

bool BhoManager::Scanning() const { return state_->scan.has_value(); }

std::string BhoManager::ScanStatus() const {
  if (!Scanning()) return {};
  std::lock_guard lock(state_->mutex);
  return state_->scanStatus;
}

}  // namespace tidewell
