#include "tidewell/traffic/TrafficGraph.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>

namespace tidewell {

namespace {

constexpr UINT_PTR kSubclassId = 0x7452;  // one subclass of ours per control
constexpr COLORREF kBackground = RGB(0, 0, 0), kGrid = RGB(0, 96, 48), kBar = RGB(0, 176, 0),
                   kPeak = RGB(255, 255, 0), kText = RGB(200, 255, 200);

// Puts an object into a DC for one scope.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~Selected() { SelectObject(dc_, old_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

void DrawGrid(HDC dc, const RECT& rect, const TrafficGraphState& state, HPEN pen) {
  // All lines in one call: the graph repaints ten times a second.
  std::vector<POINT> points;
  std::vector<DWORD> counts;
  const int cell = TrafficGraphState::kGridCell;
  for (int x = rect.left + state.GridOffsetX(); x < rect.right; x += cell) {
    points.push_back({x, rect.top});
    points.push_back({x, rect.bottom});
    counts.push_back(2);
  }
  for (int y = rect.bottom - 2 - state.GridOffsetY(); y >= rect.top; y -= cell) {
    points.push_back({rect.left, y});
    points.push_back({rect.right, y});
    counts.push_back(2);
  }
  if (counts.empty()) return;
  Selected selected(dc, pen);
  PolyPolyline(dc, points.data(), counts.data(), static_cast<DWORD>(counts.size()));
}

void DrawBars(HDC dc, const RECT& rect, const TrafficGraphState& state, const GraphPaintKit& kit) {
  const double maximum = state.Maximum();
  if (!(maximum > 0)) return;  // a silent interface: nothing to scale against
  const int height = rect.bottom - rect.top;
  const auto& history = state.History();
  const int columns = std::min(state.Columns(), static_cast<int>((rect.right - rect.left) / 2));
  // Every bar as two one-pixel lines and every peak as one short line, each
  // kind in one call: a call per column costs more than the whole frame may.
  std::vector<POINT> bodies, peaks;
  bodies.reserve(static_cast<size_t>(columns) * 4);
  peaks.reserve(static_cast<size_t>(columns) * 2);
  for (int k = 0; k < columns; ++k) {
    const GraphSample& sample = history[static_cast<size_t>(k)];
    if (!sample.present || !(sample.value > 0)) continue;
    double scaled = std::min(sample.value * height / maximum, static_cast<double>(height));
    int bar = std::clamp(static_cast<int>(std::lround(scaled)), 1, height);
    int x = rect.left + 2 * k, top = rect.bottom - bar;
    if (bar > 1) {
      for (int column : {x, x + 1}) {
        bodies.push_back({column, top + 1});
        bodies.push_back({column, rect.bottom});  // lines leave out their last point
      }
    }
    peaks.push_back({x, top});
    peaks.push_back({x + 2, top});
  }
  auto draw = [dc](const std::vector<POINT>& points, HPEN pen) {
    if (points.empty()) return;
    std::vector<DWORD> counts(points.size() / 2, 2);
    Selected selected(dc, pen);
    PolyPolyline(dc, points.data(), counts.data(), static_cast<DWORD>(counts.size()));
  };
  draw(bodies, kit.barPen.Get());
  draw(peaks, kit.peakPen.Get());
}

}  // namespace

GraphPaintKit::GraphPaintKit()
    : background(CreateSolidBrush(kBackground)),
      grid(CreatePen(PS_SOLID, 1, kGrid)),
      barPen(CreatePen(PS_SOLID, 1, kBar)),
      peakPen(CreatePen(PS_SOLID, 1, kPeak)),
      font(CreateFontA(10, 0, 0, 0, 100, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial")),
      text(kText) {}

void DrawTrafficGraph(HDC dc, const RECT& rect, const TrafficGraphState& state, const GraphPaintKit& kit) {
  int saved = SaveDC(dc);
  IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);  // the caption may be wider
  FillRect(dc, &rect, kit.background.Get());
  DrawGrid(dc, rect, state, kit.grid.Get());
  DrawBars(dc, rect, state, kit);
  std::string caption = state.Caption();
  Selected font(dc, kit.font.Get());
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = SetTextColor(dc, kit.text);
  TextOutA(dc, rect.left + 2, rect.top + 5, caption.c_str(), static_cast<int>(caption.size()));
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
  RestoreDC(dc, saved);
}

UniqueMenu BuildGraphMenu(const TrafficGraphState& state, const std::vector<std::string>& names,
                          const CounterSnapshot* reading) {
  auto total = [&](size_t index) -> uint64_t {
    if (!reading || !reading->valid || index >= reading->rows.size()) return 0;
    return CounterValue(reading->rows[index], state.Type());
  };
  UniqueMenu menu(CreatePopupMenu());
  UniqueMenu interfaces(CreatePopupMenu());
  if (!menu || !interfaces) return {};
  const size_t selected = static_cast<size_t>(state.Interface());
  if (selected < names.size()) {
    AppendMenuA(menu.Get(), MF_STRING, kMenuSelectedInterface, InterfaceMenuText(names[selected], total(selected)).c_str());
    AppendMenuA(menu.Get(), MF_SEPARATOR, 0, nullptr);
  }
  const size_t listed = std::min(names.size(), static_cast<size_t>(kMaxMenuInterfaces));
  for (size_t i = 0; i < listed; ++i) {
    UINT flags = MF_STRING | (i == selected ? MF_CHECKED : 0);
    AppendMenuA(interfaces.Get(), flags, kMenuFirstInterface + i, InterfaceMenuText(names[i], total(i)).c_str());
  }
  // The menu owns the submenu from here on.
  AppendMenuA(menu.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(interfaces.Release()), "Select Interface");
  AppendMenuA(menu.Get(), MF_SEPARATOR, 0, nullptr);
  std::string toggle = std::string("Toggle scaling to ") + state.ScalingLabel();
  AppendMenuA(menu.Get(), MF_STRING, kMenuToggleScaling, toggle.c_str());
  return menu;
}

TrafficGraph::~TrafficGraph() { Detach(); }

bool TrafficGraph::Attach(HWND control, TrafficType type, const ITrafficFeed* feed) {
  Detach();
  if (!control || !SetWindowSubclass(control, Procedure, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
    return false;
  window_ = control;
  feed_ = feed;
  state_.SetType(type);
  RECT client{};
  GetClientRect(control, &client);
  state_.Resize(client.right);
  // The system owns the region from here on.
  SetWindowRgn(control, CreateRoundRectRgn(0, 0, client.right + 1, client.bottom + 1, 5, 5), FALSE);
  return true;
}

void TrafficGraph::Detach() {
  if (window_) RemoveWindowSubclass(window_, Procedure, kSubclassId);
  window_ = nullptr;
}

void TrafficGraph::Sample(const CounterSnapshot& reading) {
  if (!Visible()) return;
  state_.AddSample(reading);
  InvalidateRect(window_, nullptr, FALSE);
}

void TrafficGraph::Scroll() {
  if (!Visible()) return;
  state_.AdvanceGrid();
  InvalidateRect(window_, nullptr, FALSE);
}

void TrafficGraph::SelectInterface(int index) {
  state_.SelectInterface(index, feed_ ? feed_->LatestReading() : nullptr);
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

void TrafficGraph::OnMenuChoice(int id) {
  if (auto index = InterfaceFromMenuId(id)) {
    if (feed_ && static_cast<size_t>(*index) < feed_->InterfaceNames().size()) SelectInterface(*index);
  } else if (id == kMenuToggleScaling) {
    state_.ToggleScaling();
  }
}

void TrafficGraph::ShowMenu(POINT screen) {
  if (!feed_) return;
  UniqueMenu menu = BuildGraphMenu(state_, feed_->InterfaceNames(), feed_->LatestReading());
  if (!menu) return;
  int id = TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, 0,
                          window_, nullptr);
  OnMenuChoice(id);
}

void TrafficGraph::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  if (!dc) return;
  ++paints_;
  RECT client{};
  GetClientRect(window_, &client);
  state_.Resize(client.right);
  if (!kit_) kit_ = std::make_unique<GraphPaintKit>();
  // Drawn off-screen and copied in one piece, so the grid does not flicker.
  if (!buffer_ || bufferSize_.cx != client.right || bufferSize_.cy != client.bottom) {
    buffer_.Reset(CreateCompatibleBitmap(dc, std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1)));
    bufferSize_ = {client.right, client.bottom};
  }
  UniqueMemoryDc memory(CreateCompatibleDC(dc));
  if (memory && buffer_) {
    Selected bitmap(memory.Get(), buffer_.Get());
    DrawTrafficGraph(memory.Get(), client, state_, *kit_);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory.Get(), 0, 0, SRCCOPY);
  } else {
    DrawTrafficGraph(dc, client, state_, *kit_);
  }
  EndPaint(window_, &paint);
}

LRESULT TrafficGraph::Handle(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  (void)wParam;
  handled = true;
  switch (message) {
    case WM_PAINT: Paint(); return 0;
    case WM_ERASEBKGND: return 1;
    // A static lets the mouse through to its parent; the graph takes it.
    case WM_NCHITTEST: return HTCLIENT;
    case WM_LBUTTONDOWN:
      // Dragging a graph moves its window, which may have no caption showing.
      ReleaseCapture();
      SendMessageA(GetAncestor(window_, GA_ROOT), WM_NCLBUTTONDOWN, HTCAPTION, 0);
      return 0;
    case WM_RBUTTONDOWN: {
      POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(window_, &point);
      ShowMenu(point);
      return 0;
    }
    default: handled = false; return 0;
  }
}

LRESULT CALLBACK TrafficGraph::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self) {
  (void)id;
  auto* graph = reinterpret_cast<TrafficGraph*>(self);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, Procedure, kSubclassId);
    graph->window_ = nullptr;
    return DefSubclassProc(window, message, wParam, lParam);
  }
  try {
    bool handled = false;
    LRESULT result = graph->Handle(message, wParam, lParam, handled);
    if (handled) return result;
  } catch (...) {
    // Nothing crosses the window procedure; the system draws the plain control.
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace tidewell
