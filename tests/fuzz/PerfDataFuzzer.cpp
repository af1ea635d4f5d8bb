// Any bytes as a performance-data block: the reader must stay inside the
// buffer, end, and return only what its caps allow.

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "tidewell/traffic/PerfDataReader.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

constexpr std::array<uint32_t, 4> kWanted = {264, 506, 388, 520};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the input, so any read beyond it is reported.
  std::unique_ptr<uint8_t[]> block(new uint8_t[size ? size : 1]);
  if (size) std::memcpy(block.get(), data, size);
  auto instances = tidewell::ReadPerfObject(std::span<const uint8_t>(block.get(), size), 510, kWanted);
  if (!instances) return 0;
  Require(instances->size() <= tidewell::kMaxPerfInstances);
  for (const auto& instance : *instances) {
    Require(instance.name.size() <= tidewell::kMaxPerfNameUnits);
    Require(instance.counters.size() == kWanted.size());
    for (const auto& counter : instance.counters)
      Require(!counter || counter->bits == 32 || counter->bits == 64);
  }
  return 0;
}
