#pragma once
// The "Net watch" window (dialog 182): incoming, outgoing and total traffic
// of one interface each, in a small window at the desktop's lower right. It
// is created hidden once and shown by "Net watch"; closing only hides it.
// While hidden it has no timers and reads nothing. While shown, one tick a
// second reads the counter source once for all three graphs.
//
// Only the frame around the graphs shows normally; the whole window, with
// its caption and close box, shows while the pointer is over it.

#include <windows.h>

#include <array>
#include <functional>
#include <memory>

#include "shared/win/Dialog.h"
#include "tidewell/traffic/CounterSource.h"
#include "tidewell/traffic/TrafficGraph.h"

namespace tidewell {

using CounterSourceFactory = std::function<std::unique_ptr<CounterSource>()>;

class CNetWatchDialog : public Dialog, public ITrafficFeed {
 public:
  static constexpr UINT kSamplePeriodMs = 1000, kRepaintPeriodMs = 100, kRegionPeriodMs = 1000;

  // The source is opened (its interfaces enumerated) when the window first shows.
  explicit CNetWatchDialog(CounterSourceFactory openSource = OpenBestCounterSource);

  // Creates the window hidden and places it against the desktop's lower right.
  bool Create(HWND owner);
  void Show();
  void Hide();

  TrafficGraph& Graph(int id);
  CounterSource* Source() const { return source_.get(); }
  // Whether the whole window shows, or only its frame.
  bool WholeWindowShown() const { return whole_; }
  // One sampling tick and one region tick, as the timers run them.
  void SampleNow();
  void UpdateRegion();

  // ITrafficFeed
  const std::vector<std::string>& InterfaceNames() const override;
  const CounterSnapshot* LatestReading() const override { return latest_.valid ? &latest_ : nullptr; }

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  void OnTimer(UINT_PTR id) override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  void OnShown();
  void OnHidden();
  void ShowWhole(bool whole);
  bool PointerOver() const;

  CounterSourceFactory openSource_;
  std::unique_ptr<CounterSource> source_;
  bool sourceOpened_ = false;
  CounterSnapshot latest_;
  std::array<TrafficGraph, 3> graphs_;  // incoming 1001, outgoing 1002, total 1003
  bool whole_ = true;
  bool fullView_ = false;  // set by the pointer, taken by the next region tick
};

// What the main window holds: its three hidden graphs and the watcher window.
class TrafficWatch {
 public:
  // Takes over the main window's hidden graphs 1089 to 1091 (they never
  // sample) and creates the watcher window hidden.
  static std::unique_ptr<TrafficWatch> Create(HWND mainWindow,
                                              CounterSourceFactory openSource = OpenBestCounterSource);
  void Show() { dialog_.Show(); }
  CNetWatchDialog& Dialog() { return dialog_; }
  const TrafficGraph& HiddenGraph(size_t i) const { return hidden_[i]; }

 private:
  explicit TrafficWatch(CounterSourceFactory openSource) : dialog_(std::move(openSource)) {}

  std::array<TrafficGraph, 3> hidden_;  // total 1089, incoming 1090, outgoing 1091
  CNetWatchDialog dialog_;
};

}  // namespace tidewell
