#pragma once
// The portable heart of the traffic watcher: counter snapshots, the wrap-safe
// difference of two readings, unique interface names, and the state of one
// graph (history, maximum, scaling, texts, grid) that its drawing shows.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tidewell {

enum class TrafficType { Total = 0, Incoming = 1, Outgoing = 2 };
// Any other number is treated as total.
TrafficType TrafficTypeFrom(int type);

// One interface's counters at one reading.
struct InterfaceCounters {
  uint64_t received = 0, sent = 0, total = 0;
  uint64_t bandwidth = 0;  // bits per second, 0 when unknown
  bool present = false;    // false: the interface was not in this reading
};

// One reading of every enumerated interface, in enumeration order.
struct CounterSnapshot {
  std::vector<InterfaceCounters> rows;
  int counterBits = 64;     // the source's counter width: 32 or 64
  uint64_t timeMs = 0;      // when it was read (a monotonic millisecond clock)
  bool valid = false;       // false: the source could not be read
};

uint64_t CounterValue(const InterfaceCounters& row, TrafficType type);

// Bytes between two readings of a counter `bits` wide. A 32-bit counter that
// wrapped counts on past its top; a counter that went back by more than half
// its range (or any 64-bit one that went back) was reset and yields 0.
uint64_t CounterDelta(uint64_t previous, uint64_t current, int bits);

// Appends " #2", " #3", ... to repeated names so that every name picks out
// one interface; the first of each keeps its name.
void MakeNamesUnique(std::vector<std::string>& names);

// The graph's context menu: the selected interface, one item per interface
// from 2000 up, and the scaling toggle at 3000. Beyond 999 interfaces their
// ids would reach the toggle's, so the list stops there.
inline constexpr int kMenuSelectedInterface = 1001;
inline constexpr int kMenuFirstInterface = 2000;
inline constexpr int kMenuToggleScaling = 3000;
inline constexpr int kMaxMenuInterfaces = 999;
// The interface a menu id selects, if it selects one.
std::optional<int> InterfaceFromMenuId(int id);
// "%s : %.1f MB"
std::string InterfaceMenuText(const std::string& name, uint64_t totalBytes);

struct GraphSample {
  double value = 0;  // bytes per second
  bool present = false;
};

class TrafficGraphState {
 public:
  static constexpr int kGridCell = 10;

  explicit TrafficGraphState(TrafficType type = TrafficType::Total) : type_(type) {}

  // The width in pixels decides the columns: one per two pixels.
  void Resize(int width);
  void SetType(TrafficType type) { type_ = type; }
  // Empties the history (present, 0), drops the maximum and, when a reading
  // is at hand, primes the difference with it so the next sample is a rate.
  void SelectInterface(int index, const CounterSnapshot* latest);
  // One sampling period: the rate since the previous reading becomes the
  // newest column; the first reading after a selection only primes.
  void AddSample(const CounterSnapshot& reading);
  void ToggleScaling();
  // The grid moves left one pixel per repaint.
  void AdvanceGrid();

  TrafficType Type() const { return type_; }
  int Interface() const { return interface_; }
  bool LocalScaling() const { return localScaling_; }
  // The mode the toggle switches to: "local maximum" or "global maximum".
  const char* ScalingLabel() const { return localScaling_ ? "global maximum" : "local maximum"; }
  double Maximum() const { return maximum_; }
  double Current() const { return current_; }
  // Entries 0..N-1 are the visible columns, oldest first; entry N is the newest.
  const std::vector<GraphSample>& History() const { return history_; }
  int Columns() const { return static_cast<int>(history_.size()) - 1; }
  std::string CurrentText() const;  // "%.1f KB/sec"
  std::string MaximumText() const;  // "%.1f KB/sec"
  std::string Caption() const;      // "%.1f / %.1f KB/sec"
  int GridOffsetX() const { return gridX_; }
  int GridOffsetY() const { return gridY_; }

 private:
  void Clear();

  TrafficType type_;
  int interface_ = 0;
  std::vector<GraphSample> history_ = std::vector<GraphSample>(1);
  double maximum_ = 0, current_ = 0;
  bool localScaling_ = false;
  std::optional<uint64_t> lastValue_;
  uint64_t lastTimeMs_ = 0;
  int gridX_ = 0, gridY_ = 0;
};

}  // namespace tidewell
