#pragma once
// A bounds-checked reader of the performance-data block that the registry's
// performance root returns. The block comes from outside the program (any
// provider may write into it), so every offset, length and count is checked
// before it is followed, and every walk must move forward or stop.
// Portable: the layouts are read byte by byte, little-endian, as on Windows.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tidewell {

struct PerfCounterValue {
  uint64_t value = 0;
  int bits = 32;  // the counter's width: 32 or 64
};

struct PerfInstance {
  std::u16string name;  // at most kMaxPerfNameUnits code units
  // One entry per wanted counter, in the order asked; empty when the object
  // has no such counter.
  std::vector<std::optional<PerfCounterValue>> counters;
};

// Caps against blocks that claim more than any real provider writes.
inline constexpr size_t kMaxPerfObjects = 1024;
inline constexpr size_t kMaxPerfCounters = 1024;
inline constexpr size_t kMaxPerfInstances = 4096;
inline constexpr size_t kMaxPerfNameUnits = 255;

// The instances of object `objectIndex` with the values of the wanted
// counters. Empty optional when the block is malformed anywhere on the way
// to the object or inside it, or when it holds no such object.
std::optional<std::vector<PerfInstance>> ReadPerfObject(std::span<const uint8_t> block, uint32_t objectIndex,
                                                        std::span<const uint32_t> counterIndices);

}  // namespace tidewell
