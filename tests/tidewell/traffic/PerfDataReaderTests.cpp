#include "tidewell/traffic/PerfDataReader.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "tests/tidewell/traffic/PerfBlockBuilder.h"

namespace tidewell {
namespace {

using test::PerfBlockBuilder;
using test::SyntheticObject;

constexpr std::array<uint32_t, 3> kWanted = {264, 506, 388};

SyntheticObject NetworkInterfaces() {
  SyntheticObject object;
  object.counters = {{520, 4}, {264, 4}, {506, 8}, {388, 8}};
  object.instances = {{u"Loopback", {1000000000, 111, 0x1'0000'0002, 333}},
                      {u"Ethernet", {100000000, 4000000000u, 5, 9}}};
  return object;
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) { std::memcpy(bytes.data() + at, &value, 4); }

TEST(PerfDataReader, ReadsTheWantedCountersOfEveryInstanceWithTheirWidths) {
  SyntheticObject processor;
  processor.titleIndex = 238;
  processor.counters = {{264, 4}};
  processor.instances = {{u"0", {77}}};
  auto block = PerfBlockBuilder().Build({processor, NetworkInterfaces()});

  auto instances = ReadPerfObject(block, 510, kWanted);
  ASSERT_TRUE(instances);
  ASSERT_EQ(instances->size(), 2u);
  EXPECT_EQ((*instances)[0].name, u"Loopback");
  EXPECT_EQ((*instances)[1].name, u"Ethernet");
  const auto& loopback = (*instances)[0].counters;
  ASSERT_EQ(loopback.size(), 3u);
  EXPECT_EQ(loopback[0]->value, 111u);
  EXPECT_EQ(loopback[0]->bits, 32);
  EXPECT_EQ(loopback[1]->value, 0x1'0000'0002u) << "a 64-bit counter keeps its high word";
  EXPECT_EQ(loopback[1]->bits, 64);
  EXPECT_EQ((*instances)[1].counters[0]->value, 4000000000u);
}

TEST(PerfDataReader, AMissingCounterIsEmptyAndAMissingObjectIsNothing) {
  SyntheticObject object = NetworkInterfaces();
  object.counters[3].titleIndex = 999;  // no total
  auto block = PerfBlockBuilder().Build({object});
  auto instances = ReadPerfObject(block, 510, kWanted);
  ASSERT_TRUE(instances);
  EXPECT_FALSE((*instances)[0].counters[2]);
  EXPECT_TRUE((*instances)[0].counters[0]);

  EXPECT_FALSE(ReadPerfObject(block, 511, kWanted));
  auto empty = PerfBlockBuilder().Build({});
  EXPECT_FALSE(ReadPerfObject(empty, 510, kWanted)) << "what Wine returns: a header without objects";
}

TEST(PerfDataReader, NamesStopAtTheirLimit) {
  SyntheticObject object = NetworkInterfaces();
  object.instances[0].name = std::u16string(600, u'x');
  auto block = PerfBlockBuilder().Build({object});
  auto instances = ReadPerfObject(block, 510, kWanted);
  ASSERT_TRUE(instances);
  EXPECT_EQ((*instances)[0].name.size(), kMaxPerfNameUnits);
}

// Each damage, applied to a good block, must be refused without reading
// outside it or walking for ever.
struct Damage {
  const char* what;
  void (*apply)(std::vector<uint8_t>& block, size_t firstInstance);
};

const Damage kDamages[] = {
    {"block header longer than the block", [](auto& b, size_t) { Put32(b, 24, 1u << 30); }},
    {"block header shorter than itself", [](auto& b, size_t) { Put32(b, 24, 4); }},
    {"object of length zero", [](auto& b, size_t) { Put32(b, test::kBlockHeaderLength, 0); }},
    {"object longer than the block", [](auto& b, size_t) { Put32(b, test::kBlockHeaderLength, 0xFFFFFFF0u); }},
    {"counter definition of length zero",
     [](auto& b, size_t) { Put32(b, test::kBlockHeaderLength + test::kObjectHeaderLength, 0); }},
    {"counts of counters beyond any provider",
     [](auto& b, size_t) { Put32(b, test::kBlockHeaderLength + 32, 0x7FFFFFFF); }},
    {"instance count beyond the cap", [](auto& b, size_t) { Put32(b, test::kBlockHeaderLength + 40, 1u << 20); }},
    {"instance of length zero", [](auto& b, size_t at) { Put32(b, at, 0); }},
    {"instance longer than the object", [](auto& b, size_t at) { Put32(b, at, 0x7FFFFFF0); }},
    {"counter block of length zero", [](auto& b, size_t at) { Put32(b, at + 48, 0); }},  // after the 48-byte "Loopback" entry
    {"definition length past the object", [](auto& b, size_t) { Put32(b, test::kBlockHeaderLength + 4, 1u << 31); }},
};

TEST(PerfDataReader, RefusesDamagedBlocks) {
  const SyntheticObject object = NetworkInterfaces();
  const size_t firstInstance = PerfBlockBuilder::FirstInstanceOffset(object);
  for (const auto& damage : kDamages) {
    auto block = PerfBlockBuilder().Build({object});
    damage.apply(block, firstInstance);
    EXPECT_FALSE(ReadPerfObject(block, 510, kWanted)) << damage.what;
  }
}

TEST(PerfDataReader, OffsetsOutsideTheirPartReadNothingRatherThanNeighbours) {
  SyntheticObject object = NetworkInterfaces();
  auto block = PerfBlockBuilder().Build({object});
  const size_t firstInstance = PerfBlockBuilder::FirstInstanceOffset(object);
  Put32(block, firstInstance + 16, 0xFFFFFF00u);  // name offset far outside the instance
  // The received counter's offset points past its counter block.
  Put32(block, test::kBlockHeaderLength + test::kObjectHeaderLength + test::kCounterDefinitionLength + 36, 4096);
  auto instances = ReadPerfObject(block, 510, kWanted);
  ASSERT_TRUE(instances);
  EXPECT_TRUE((*instances)[0].name.empty());
  EXPECT_FALSE((*instances)[0].counters[0]);
  EXPECT_TRUE((*instances)[0].counters[1]);
}

TEST(PerfDataReader, EveryShortenedBlockIsReadSafely) {
  auto block = PerfBlockBuilder().Build({NetworkInterfaces()});
  for (size_t length = 0; length < block.size(); ++length) {
    std::vector<uint8_t> cut(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_FALSE(ReadPerfObject(cut, 510, kWanted)) << length;
  }
}

}  // namespace
}  // namespace tidewell
