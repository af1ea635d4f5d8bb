#pragma once
// The traffic graph: a static control taken over to draw one traffic type of
// one interface as scrolling bars over a grid, with a caption of the current
// and maximum rate and a right-click menu to choose the interface and the
// scaling. It samples only when its window feeds it a reading; a graph
// nobody feeds (the main window's hidden ones) never samples or paints.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "shared/win/Handles.h"
#include "tidewell/traffic/TrafficModel.h"

namespace tidewell {

// The GDI objects a graph draws with; created once per graph, on its first paint.
struct GraphPaintKit {
  GraphPaintKit();
  UniqueGdi<HBRUSH> background;
  UniqueGdi<HPEN> grid, barPen, peakPen;
  UniqueGdi<HFONT> font;  // "Arial", 10 pixels, weight 100
  COLORREF text;
};

// Draws the whole graph into rect: background, grid, bars, caption.
void DrawTrafficGraph(HDC dc, const RECT& rect, const TrafficGraphState& state, const GraphPaintKit& kit);

// What the graph's window offers it: the interface names and the last reading.
class ITrafficFeed {
 public:
  virtual const std::vector<std::string>& InterfaceNames() const = 0;
  virtual const CounterSnapshot* LatestReading() const = 0;

 protected:
  ~ITrafficFeed() = default;
};

// The graph's context menu for the given names and reading.
UniqueMenu BuildGraphMenu(const TrafficGraphState& state, const std::vector<std::string>& names,
                          const CounterSnapshot* reading);

class TrafficGraph {
 public:
  TrafficGraph() = default;
  ~TrafficGraph();
  TrafficGraph(const TrafficGraph&) = delete;
  TrafficGraph& operator=(const TrafficGraph&) = delete;

  // Takes over the control; feed may be null (then there is no menu either).
  bool Attach(HWND control, TrafficType type, const ITrafficFeed* feed);
  void Detach();

  HWND Window() const { return window_; }
  const TrafficGraphState& State() const { return state_; }
  // Sampling tick: only a visible graph takes the reading and repaints.
  void Sample(const CounterSnapshot& reading);
  // Repaint tick: the grid scrolls on a visible graph only.
  void Scroll();
  void SelectInterface(int index);
  // A command of the context menu, as if chosen there.
  void OnMenuChoice(int id);
  // Paints so far: hidden graphs must show none.
  int PaintCount() const { return paints_; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR self);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  void Paint();
  void ShowMenu(POINT screen);
  bool Visible() const { return window_ && IsWindowVisible(window_); }

  HWND window_ = nullptr;
  const ITrafficFeed* feed_ = nullptr;
  TrafficGraphState state_;
  std::unique_ptr<GraphPaintKit> kit_;
  UniqueGdi<HBITMAP> buffer_;
  SIZE bufferSize_{};
  int paints_ = 0;
};

}  // namespace tidewell
