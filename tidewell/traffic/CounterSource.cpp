// winsock2.h must come before windows.h; ws2ipdef.h unlocks the IP helper's
// 64-bit interface table in netioapi.h.
#include <winsock2.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include "tidewell/traffic/CounterSource.h"

#include <algorithm>
#include <array>
#include <map>

#include "tidewell/traffic/PerfDataReader.h"

namespace tidewell {

namespace {

std::string ToAnsi(const wchar_t* text, size_t length) {
  if (length == 0) return {};
  int size = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), result.data(), size, nullptr, nullptr);
  return result;
}

// ---- Performance data of the "Network Interface" object

constexpr uint32_t kNetworkInterfaceObject = 510;
constexpr std::array<uint32_t, 4> kPerfCounters = {264, 506, 388, 520};  // received, sent, total, bandwidth
constexpr size_t kPerfBufferStep = 40960;
constexpr size_t kPerfBufferLimit = 4 * 1024 * 1024;

class PerformanceDataSource final : public CounterSource {
 public:
  ~PerformanceDataSource() override { RegCloseKey(HKEY_PERFORMANCE_DATA); }
  CounterSourceKind Kind() const override { return CounterSourceKind::PerformanceData; }

  bool Enumerate() {
    std::vector<PerfInstance> instances;
    if (!Fetch(instances)) return false;
    std::map<std::u16string, int> occurrences;
    for (const auto& instance : instances) {
      keys_.push_back({instance.name, occurrences[instance.name]++});
      names_.push_back(ToAnsi(reinterpret_cast<const wchar_t*>(instance.name.data()), instance.name.size()));
      for (int c = 0; c < 3; ++c)
        if (instance.counters[c] && instance.counters[c]->bits == 32) bits_ = 32;
    }
    MakeNamesUnique(names_);
    return true;
  }

 protected:
  int CounterBits() const override { return bits_; }

  bool Query(std::vector<InterfaceCounters>& rows) override {
    std::vector<PerfInstance> instances;
    if (!Fetch(instances)) return false;
    // Repeated instance names are told apart by their order among equals.
    std::map<std::u16string, int> occurrences;
    for (const auto& instance : instances) {
      Key key{instance.name, occurrences[instance.name]++};
      auto found = std::find(keys_.begin(), keys_.end(), key);
      if (found == keys_.end()) continue;
      auto& row = rows[static_cast<size_t>(found - keys_.begin())];
      auto value = [&](int c) { return instance.counters[c] ? instance.counters[c]->value : 0; };
      row.received = value(0);
      row.sent = value(1);
      row.total = value(2);
      row.bandwidth = value(3);
      row.present = instance.counters[0] || instance.counters[1] || instance.counters[2];
    }
    return true;
  }

 private:
  struct Key {
    std::u16string name;
    int occurrence;
    bool operator==(const Key&) const = default;
  };

  bool Fetch(std::vector<PerfInstance>& instances) {
    if (buffer_.empty()) buffer_.resize(kPerfBufferStep);
    for (;;) {
      DWORD length = static_cast<DWORD>(buffer_.size());
      LONG status = RegQueryValueExA(HKEY_PERFORMANCE_DATA, "510", nullptr, nullptr, buffer_.data(), &length);
      if (status == ERROR_MORE_DATA) {
        // Grow by doubling, and never without bound: a provider may keep asking.
        if (buffer_.size() >= kPerfBufferLimit) return false;
        buffer_.resize(std::min(buffer_.size() * 2, kPerfBufferLimit));
        continue;
      }
      if (status != ERROR_SUCCESS) return false;
      auto result = ReadPerfObject(std::span<const uint8_t>(buffer_.data(), std::min<size_t>(length, buffer_.size())),
                                   kNetworkInterfaceObject, kPerfCounters);
      if (!result) return false;
      instances = std::move(*result);
      return true;
    }
  }

  std::vector<uint8_t> buffer_;
  std::vector<Key> keys_;
  int bits_ = 64;
};

// ---- The IP helper's interface table, 64-bit counters

class InterfaceTable2Source final : public CounterSource {
 public:
  CounterSourceKind Kind() const override { return CounterSourceKind::InterfaceTable2; }

  bool Enumerate() {
    PMIB_IF_TABLE2 table = nullptr;
    if (GetIfTable2(&table) != NO_ERROR || !table) return false;
    for (ULONG i = 0; i < table->NumEntries; ++i) {
      const MIB_IF_ROW2& row = table->Table[i];
      // Filter drivers repeat their adapter's rows and counters.
      if (row.InterfaceAndOperStatusFlags.FilterInterface) continue;
      luids_.push_back(row.InterfaceLuid.Value);
      names_.push_back(ToAnsi(row.Description, wcsnlen(row.Description, IF_MAX_STRING_SIZE)));
    }
    FreeMibTable(table);
    MakeNamesUnique(names_);
    return true;
  }

 protected:
  int CounterBits() const override { return 64; }

  bool Query(std::vector<InterfaceCounters>& rows) override {
    PMIB_IF_TABLE2 table = nullptr;
    if (GetIfTable2(&table) != NO_ERROR || !table) return false;
    for (ULONG i = 0; i < table->NumEntries; ++i) {
      const MIB_IF_ROW2& row = table->Table[i];
      auto found = std::find(luids_.begin(), luids_.end(), row.InterfaceLuid.Value);
      if (found == luids_.end()) continue;
      auto& out = rows[static_cast<size_t>(found - luids_.begin())];
      out.received = row.InOctets;
      out.sent = row.OutOctets;
      out.total = row.InOctets + row.OutOctets;
      out.bandwidth = row.ReceiveLinkSpeed;
      out.present = true;
    }
    FreeMibTable(table);
    return true;
  }

 private:
  std::vector<ULONG64> luids_;
};

// ---- The older interface table, 32-bit counters

class InterfaceTableSource final : public CounterSource {
 public:
  CounterSourceKind Kind() const override { return CounterSourceKind::InterfaceTable; }

  bool Enumerate() {
    if (!Fetch()) return false;
    const auto* table = reinterpret_cast<const MIB_IFTABLE*>(buffer_.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
      const MIB_IFROW& row = table->table[i];
      indices_.push_back(row.dwIndex);
      DWORD length = std::min<DWORD>(row.dwDescrLen, MAXLEN_IFDESCR);
      std::string name(reinterpret_cast<const char*>(row.bDescr), length);
      name.resize(std::min(name.size(), name.find('\0')));
      names_.push_back(name);
    }
    MakeNamesUnique(names_);
    return true;
  }

 protected:
  int CounterBits() const override { return 32; }

  bool Query(std::vector<InterfaceCounters>& rows) override {
    if (!Fetch()) return false;
    const auto* table = reinterpret_cast<const MIB_IFTABLE*>(buffer_.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
      const MIB_IFROW& row = table->table[i];
      auto found = std::find(indices_.begin(), indices_.end(), row.dwIndex);
      if (found == indices_.end()) continue;
      auto& out = rows[static_cast<size_t>(found - indices_.begin())];
      out.received = row.dwInOctets;
      out.sent = row.dwOutOctets;
      out.total = uint64_t{row.dwInOctets} + row.dwOutOctets;
      out.bandwidth = row.dwSpeed;
      out.present = true;
    }
    return true;
  }

 private:
  bool Fetch() {
    for (int attempt = 0; attempt < 4; ++attempt) {
      ULONG length = static_cast<ULONG>(buffer_.size());
      DWORD status = GetIfTable(buffer_.empty() ? nullptr : reinterpret_cast<MIB_IFTABLE*>(buffer_.data()),
                                &length, FALSE);
      if (status == NO_ERROR && !buffer_.empty()) return true;
      if (status != ERROR_INSUFFICIENT_BUFFER && !(status == NO_ERROR && buffer_.empty())) return false;
      buffer_.resize(std::max<size_t>(length, sizeof(MIB_IFTABLE)));
    }
    return false;
  }

  std::vector<uint8_t> buffer_;  // byte-aligned is enough: MIB_IFTABLE holds only DWORDs and bytes
  std::vector<DWORD> indices_;
};

template <class Source>
std::unique_ptr<CounterSource> Open() {
  auto source = std::make_unique<Source>();
  if (!source->Enumerate()) return nullptr;
  return source;
}

}  // namespace

const char* CounterSourceName(CounterSourceKind kind) {
  switch (kind) {
    case CounterSourceKind::PerformanceData: return "performance data";
    case CounterSourceKind::InterfaceTable2: return "interface table (64-bit)";
    default: return "interface table (32-bit)";
  }
}

CounterSnapshot CounterSource::Read() {
  ++reads_;
  CounterSnapshot snapshot;
  snapshot.rows.resize(names_.size());
  snapshot.counterBits = CounterBits();
  snapshot.timeMs = GetTickCount64();
  snapshot.valid = Query(snapshot.rows);
  return snapshot;
}

std::unique_ptr<CounterSource> OpenCounterSource(CounterSourceKind kind) {
  switch (kind) {
    case CounterSourceKind::PerformanceData: return Open<PerformanceDataSource>();
    case CounterSourceKind::InterfaceTable2: return Open<InterfaceTable2Source>();
    default: return Open<InterfaceTableSource>();
  }
}

std::unique_ptr<CounterSource> OpenBestCounterSource() {
  for (auto kind : {CounterSourceKind::PerformanceData, CounterSourceKind::InterfaceTable2,
                    CounterSourceKind::InterfaceTable}) {
    auto source = OpenCounterSource(kind);
    if (source && !source->Names().empty()) return source;
  }
  auto empty = OpenCounterSource(CounterSourceKind::InterfaceTable2);
  return empty ? std::move(empty) : OpenCounterSource(CounterSourceKind::InterfaceTable);
}

}  // namespace tidewell
