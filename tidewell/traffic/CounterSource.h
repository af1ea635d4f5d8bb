#pragma once
// Where the byte counters of the network interfaces come from. The source is
// chosen once, when the interfaces are enumerated, and then read once per
// sampling tick for every graph together:
//  - the performance data of object "510" ("Network Interface"), on Windows
//    when the counters are enabled;
//  - the IP helper's interface table with 64-bit counters (GetIfTable2);
//  - the older interface table with 32-bit counters (GetIfTable).
// Under Wine the performance data holds no objects, so the IP helper serves.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tidewell/traffic/TrafficModel.h"

namespace tidewell {

enum class CounterSourceKind { PerformanceData, InterfaceTable2, InterfaceTable };
const char* CounterSourceName(CounterSourceKind kind);

class CounterSource {
 public:
  virtual ~CounterSource() = default;
  CounterSource(const CounterSource&) = delete;
  CounterSource& operator=(const CounterSource&) = delete;

  virtual CounterSourceKind Kind() const = 0;
  // Interface names as enumerated, made unique; the index is the interface number.
  const std::vector<std::string>& Names() const { return names_; }
  // Reads every interface's counters once.
  CounterSnapshot Read();
  // How many times the source was read: the cost of sampling.
  uint64_t ReadCount() const { return reads_; }

 protected:
  CounterSource() = default;
  // Fills one row per enumerated interface; false when nothing could be read.
  virtual bool Query(std::vector<InterfaceCounters>& rows) = 0;
  virtual int CounterBits() const = 0;

  std::vector<std::string> names_;

 private:
  uint64_t reads_ = 0;
};

// Enumerates with the given kind; empty when that source cannot be read.
std::unique_ptr<CounterSource> OpenCounterSource(CounterSourceKind kind);
// The first source in the order above that lists an interface; the IP
// helper's table (possibly empty) when none does.
std::unique_ptr<CounterSource> OpenBestCounterSource();

}  // namespace tidewell
