#include "tidewell/traffic/PerfDataReader.h"

#include <algorithm>
#include <cstdint>

namespace tidewell {

namespace {

// Offsets inside the structures of winperf.h; the same in 32- and 64-bit
// builds, as the 64-bit headers turn the title pointers into DWORDs.
namespace block {
constexpr size_t kTotalByteLength = 20, kHeaderLength = 24, kNumObjectTypes = 28, kSize = 32;
}
namespace object {
constexpr size_t kTotalByteLength = 0, kDefinitionLength = 4, kHeaderLength = 8, kTitleIndex = 12,
                 kNumCounters = 32, kNumInstances = 40, kSize = 64;
}
namespace counter {
constexpr size_t kByteLength = 0, kTitleIndex = 4, kSize32 = 32, kOffset = 36, kSize = 40;
}
namespace instance {
constexpr size_t kByteLength = 0, kNameOffset = 16, kNameLength = 20, kSize = 24;
}

// A window onto [begin, end) of the block; every read checks it.
class Window {
 public:
  Window(std::span<const uint8_t> bytes, size_t begin, size_t end) : bytes_(bytes), begin_(begin), end_(end) {}

  bool Has(size_t offset, size_t length) const {
    return offset <= end_ - begin_ && length <= end_ - begin_ - offset;
  }
  std::optional<uint16_t> U16(size_t offset) const {
    if (!Has(offset, 2)) return std::nullopt;
    const uint8_t* p = bytes_.data() + begin_ + offset;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
  }
  std::optional<uint32_t> U32(size_t offset) const {
    if (!Has(offset, 4)) return std::nullopt;
    const uint8_t* p = bytes_.data() + begin_ + offset;
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
  }
  std::optional<uint64_t> U64(size_t offset) const {
    if (offset > SIZE_MAX - 8) return std::nullopt;
    auto low = U32(offset), high = U32(offset + 4);
    if (!low || !high) return std::nullopt;
    return uint64_t{*low} | uint64_t{*high} << 32;
  }
  // The span [offset, offset + length) as its own window.
  std::optional<Window> Sub(size_t offset, size_t length) const {
    if (!Has(offset, length)) return std::nullopt;
    return Window(bytes_, begin_ + offset, begin_ + offset + length);
  }
  size_t Length() const { return end_ - begin_; }

 private:
  std::span<const uint8_t> bytes_;
  size_t begin_, end_;
};

struct WantedCounter {
  uint32_t offset = 0;
  uint32_t size = 0;  // 0: the object has no such counter
};

std::u16string ReadName(const Window& entry, uint32_t nameOffset, uint32_t nameLength) {
  std::u16string name;
  for (size_t i = 0; i < nameLength / 2 && name.size() < kMaxPerfNameUnits; ++i) {
    auto unit = entry.U16(nameOffset + 2 * i);
    if (!unit || *unit == 0) break;
    name.push_back(static_cast<char16_t>(*unit));
  }
  return name;
}

std::optional<std::vector<PerfInstance>> ReadObject(const Window& object, std::span<const uint32_t> wanted) {
  auto definitionLength = object.U32(object::kDefinitionLength);
  auto headerLength = object.U32(object::kHeaderLength);
  auto numCounters = object.U32(object::kNumCounters);
  auto numInstances = object.U32(object::kNumInstances);
  if (!definitionLength || !headerLength || !numCounters || !numInstances) return std::nullopt;
  if (*headerLength > *definitionLength || !object.Has(0, *definitionLength)) return std::nullopt;
  if (*numCounters > kMaxPerfCounters) return std::nullopt;

  std::vector<WantedCounter> counters(wanted.size());
  size_t at = *headerLength;
  for (uint32_t i = 0; i < *numCounters; ++i) {
    auto length = object.U32(at + counter::kByteLength);
    if (!length || *length < counter::kSize || !object.Has(at, *length) || at + *length > *definitionLength)
      return std::nullopt;
    uint32_t title = *object.U32(at + counter::kTitleIndex);
    for (size_t w = 0; w < wanted.size(); ++w) {
      if (wanted[w] == title && counters[w].size == 0) {
        counters[w].size = *object.U32(at + counter::kSize32);
        counters[w].offset = *object.U32(at + counter::kOffset);
      }
    }
    at += *length;
  }

  std::vector<PerfInstance> instances;
  // PERF_NO_INSTANCES (-1): one counter block and no named instance.
  if (static_cast<int32_t>(*numInstances) < 0) return instances;
  if (*numInstances > kMaxPerfInstances) return std::nullopt;
  at = *definitionLength;
  for (uint32_t i = 0; i < *numInstances; ++i) {
    auto length = object.U32(at + instance::kByteLength);
    if (!length || *length < instance::kSize) return std::nullopt;
    auto entry = object.Sub(at, *length);
    if (!entry) return std::nullopt;
    auto blockLength = object.U32(at + *length);
    if (!blockLength || *blockLength < 4) return std::nullopt;
    auto values = object.Sub(at + *length, *blockLength);
    if (!values) return std::nullopt;

    PerfInstance item;
    uint32_t nameOffset = *entry->U32(instance::kNameOffset), nameLength = *entry->U32(instance::kNameLength);
    if (entry->Has(nameOffset, nameLength)) item.name = ReadName(*entry, nameOffset, nameLength);
    for (const auto& wantedCounter : counters) {
      std::optional<PerfCounterValue> value;
      if (wantedCounter.size == 4) {
        if (auto v = values->U32(wantedCounter.offset)) value = PerfCounterValue{*v, 32};
      } else if (wantedCounter.size == 8) {
        if (auto v = values->U64(wantedCounter.offset)) value = PerfCounterValue{*v, 64};
      }
      item.counters.push_back(value);
    }
    instances.push_back(std::move(item));
    at += size_t{*length} + *blockLength;  // both bounded by the object: no overflow, always forward
  }
  return instances;
}

}  // namespace

std::optional<std::vector<PerfInstance>> ReadPerfObject(std::span<const uint8_t> bytes, uint32_t objectIndex,
                                                        std::span<const uint32_t> counterIndices) {
  Window whole(bytes, 0, bytes.size());
  auto total = whole.U32(block::kTotalByteLength);
  auto header = whole.U32(block::kHeaderLength);
  auto numObjects = whole.U32(block::kNumObjectTypes);
  if (bytes.size() < block::kSize || !total || !header || !numObjects) return std::nullopt;
  // The block never extends past what was returned, whatever it claims.
  auto data = whole.Sub(0, std::min<size_t>(*total, bytes.size()));
  if (!data || *header < block::kSize || *header > data->Length()) return std::nullopt;

  size_t at = *header;
  for (uint32_t i = 0; i < *numObjects && i < kMaxPerfObjects; ++i) {
    auto length = data->U32(at + object::kTotalByteLength);
    if (!length || *length < object::kSize) return std::nullopt;
    auto object = data->Sub(at, *length);
    if (!object) return std::nullopt;
    if (*object->U32(object::kTitleIndex) == objectIndex) return ReadObject(*object, counterIndices);
    at += *length;
  }
  return std::nullopt;
}

}  // namespace tidewell
