#include "tidewell/traffic/TrafficModel.h"

#include <cstdio>
#include <map>

namespace tidewell {

namespace {

std::string KilobytesText(double bytes) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f KB/sec", bytes / 1024);
  return text;
}

}  // namespace

TrafficType TrafficTypeFrom(int type) {
  switch (type) {
    case 1: return TrafficType::Incoming;
    case 2: return TrafficType::Outgoing;
    default: return TrafficType::Total;
  }
}

uint64_t CounterValue(const InterfaceCounters& row, TrafficType type) {
  switch (type) {
    case TrafficType::Incoming: return row.received;
    case TrafficType::Outgoing: return row.sent;
    default: return row.total;
  }
}

uint64_t CounterDelta(uint64_t previous, uint64_t current, int bits) {
  if (bits >= 64) return current >= previous ? current - previous : 0;
  const uint64_t mask = (uint64_t{1} << bits) - 1;
  previous &= mask;
  current &= mask;
  if (current >= previous) return current - previous;
  uint64_t wrapped = current + (mask - previous) + 1;
  return wrapped <= mask / 2 ? wrapped : 0;
}

void MakeNamesUnique(std::vector<std::string>& names) {
  std::map<std::string, int> seen;
  for (const auto& name : names) seen[name] = 0;
  std::map<std::string, int> used;
  for (auto& name : names) {
    int& count = used[name];
    if (++count == 1) continue;
    // "x #2" may itself be taken by a real interface: count on past it.
    std::string candidate = name + " #" + std::to_string(count);
    while (seen.count(candidate)) candidate = name + " #" + std::to_string(++count);
    seen[candidate] = 0;
    name = candidate;
  }
}

std::optional<int> InterfaceFromMenuId(int id) {
  if (id < kMenuFirstInterface || id >= kMenuFirstInterface + kMaxMenuInterfaces) return std::nullopt;
  return id - kMenuFirstInterface;
}

std::string InterfaceMenuText(const std::string& name, uint64_t totalBytes) {
  char figure[64];
  std::snprintf(figure, sizeof figure, " : %.1f MB", static_cast<double>(totalBytes) / 1048576);
  return name + figure;
}

void TrafficGraphState::Resize(int width) {
  size_t columns = width > 0 ? static_cast<size_t>(width / 2) : 0;
  if (history_.size() == columns + 1) return;
  history_.assign(columns + 1, GraphSample{0, true});
}

void TrafficGraphState::Clear() {
  for (auto& sample : history_) sample = GraphSample{0, true};
  maximum_ = 0;
  current_ = 0;
}

void TrafficGraphState::SelectInterface(int index, const CounterSnapshot* latest) {
  interface_ = index;
  Clear();
  lastValue_.reset();
  if (latest && latest->valid && index >= 0 && static_cast<size_t>(index) < latest->rows.size() &&
      latest->rows[index].present) {
    lastValue_ = CounterValue(latest->rows[index], type_);
    lastTimeMs_ = latest->timeMs;
  }
}

void TrafficGraphState::AddSample(const CounterSnapshot& reading) {
  double value = 0;
  if (reading.valid && interface_ >= 0 && static_cast<size_t>(interface_) < reading.rows.size() &&
      reading.rows[interface_].present) {
    uint64_t counter = CounterValue(reading.rows[interface_], type_);
    if (lastValue_) {
      double bytes = static_cast<double>(CounterDelta(*lastValue_, counter, reading.counterBits));
      uint64_t elapsed = reading.timeMs - lastTimeMs_;
      // Timer messages come late under load: scale to a full second.
      value = reading.timeMs > lastTimeMs_ && elapsed > 0 ? bytes * 1000.0 / static_cast<double>(elapsed) : bytes;
    }
    lastValue_ = counter;
    lastTimeMs_ = reading.timeMs;
  } else {
    lastValue_.reset();  // the next reading primes again instead of counting the gap
  }

  current_ = value;
  if (localScaling_) maximum_ = 0;
  size_t newest = history_.size() - 1;
  for (size_t k = 0; k < newest; ++k) {
    history_[k] = history_[k + 1];
    if (history_[k].present && history_[k].value > maximum_) maximum_ = history_[k].value;
  }
  history_[newest] = GraphSample{value, true};
  if (value > maximum_) maximum_ = value;
}

void TrafficGraphState::ToggleScaling() { localScaling_ = !localScaling_; }

void TrafficGraphState::AdvanceGrid() {
  gridX_ = (gridX_ - 1 + kGridCell) % kGridCell;
}

std::string TrafficGraphState::CurrentText() const { return KilobytesText(current_); }
std::string TrafficGraphState::MaximumText() const { return KilobytesText(maximum_); }

std::string TrafficGraphState::Caption() const {
  char text[96];
  std::snprintf(text, sizeof text, "%.1f / %.1f KB/sec", current_ / 1024, maximum_ / 1024);
  return text;
}

}  // namespace tidewell
