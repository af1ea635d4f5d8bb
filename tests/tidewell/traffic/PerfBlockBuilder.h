#pragma once
// Writes performance-data blocks as the registry's performance root returns
// them, so the reader can be fed well-formed and damaged blocks alike.

#include <cstdint>
#include <string>
#include <vector>

namespace tidewell::test {

struct SyntheticCounter {
  uint32_t titleIndex;
  uint32_t size;  // 4 or 8
};

struct SyntheticInstance {
  std::u16string name;
  std::vector<uint64_t> values;  // one per counter
};

struct SyntheticObject {
  uint32_t titleIndex = 510;
  std::vector<SyntheticCounter> counters;
  std::vector<SyntheticInstance> instances;
};

// Field offsets, for tests that damage a block on purpose.
inline constexpr size_t kBlockHeaderLength = 88, kObjectHeaderLength = 64, kCounterDefinitionLength = 40,
                        kInstanceHeaderLength = 24;

class PerfBlockBuilder {
 public:
  std::vector<uint8_t> Build(const std::vector<SyntheticObject>& objects) {
    bytes_.assign(kBlockHeaderLength, 0);
    const char16_t signature[] = u"PERF";
    for (size_t i = 0; i < 4; ++i) Put16(2 * i, signature[i]);
    Put32(8, 1);                       // little-endian
    Put32(24, kBlockHeaderLength);     // header length
    Put32(28, static_cast<uint32_t>(objects.size()));
    for (const auto& object : objects) AppendObject(object);
    Put32(20, static_cast<uint32_t>(bytes_.size()));  // total length
    return bytes_;
  }

  // Where the first object's first instance begins, for damaging it.
  static size_t FirstInstanceOffset(const SyntheticObject& object) {
    return kBlockHeaderLength + kObjectHeaderLength + kCounterDefinitionLength * object.counters.size();
  }

 private:
  void Put16(size_t at, uint16_t value) {
    bytes_[at] = static_cast<uint8_t>(value);
    bytes_[at + 1] = static_cast<uint8_t>(value >> 8);
  }
  void Put32(size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(value >> (8 * i));
  }
  void Put64(size_t at, uint64_t value) {
    Put32(at, static_cast<uint32_t>(value));
    Put32(at + 4, static_cast<uint32_t>(value >> 32));
  }
  size_t Grow(size_t length) {
    size_t at = bytes_.size();
    bytes_.resize(at + length, 0);
    return at;
  }

  void AppendObject(const SyntheticObject& object) {
    size_t start = Grow(kObjectHeaderLength);
    const size_t counters = object.counters.size();
    Put32(start + 8, kObjectHeaderLength);
    Put32(start + 12, object.titleIndex);
    Put32(start + 32, static_cast<uint32_t>(counters));
    Put32(start + 40, static_cast<uint32_t>(object.instances.size()));
    // Every value gets eight bytes after the block's own length field.
    const uint32_t blockLength = static_cast<uint32_t>(8 + 8 * counters);
    for (size_t c = 0; c < counters; ++c) {
      size_t at = Grow(kCounterDefinitionLength);
      Put32(at, kCounterDefinitionLength);
      Put32(at + 4, object.counters[c].titleIndex);
      Put32(at + 32, object.counters[c].size);
      Put32(at + 36, static_cast<uint32_t>(8 + 8 * c));
    }
    Put32(start + 4, static_cast<uint32_t>(bytes_.size() - start));  // definition length
    for (const auto& instance : object.instances) {
      size_t nameLength = (instance.name.size() + 1) * 2;
      size_t entryLength = kInstanceHeaderLength + ((nameLength + 7) / 8) * 8;
      size_t at = Grow(entryLength);
      Put32(at, static_cast<uint32_t>(entryLength));
      Put32(at + 16, kInstanceHeaderLength);
      Put32(at + 20, static_cast<uint32_t>(nameLength));
      for (size_t i = 0; i < instance.name.size(); ++i) Put16(at + kInstanceHeaderLength + 2 * i, instance.name[i]);
      size_t values = Grow(blockLength);
      Put32(values, blockLength);
      for (size_t c = 0; c < counters && c < instance.values.size(); ++c) {
        if (object.counters[c].size == 8)
          Put64(values + 8 + 8 * c, instance.values[c]);
        else
          Put32(values + 8 + 8 * c, static_cast<uint32_t>(instance.values[c]));
      }
    }
    Put32(start, static_cast<uint32_t>(bytes_.size() - start));  // total length
  }

  std::vector<uint8_t> bytes_;
};

}  // namespace tidewell::test
