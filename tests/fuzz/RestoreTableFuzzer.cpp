// Any bytes as System Restore's drivetable.txt: the reader must stay inside
// the input, and a rewrite must change the limit alone.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tidewell/cleanup/RestoreTable.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first eight bytes choose the new limit, the rest is the file.
  int64_t megabytes = 0;
  if (size >= sizeof megabytes) {
    std::memcpy(&megabytes, data, sizeof megabytes);
    data += sizeof megabytes;
    size -= sizeof megabytes;
  }
  const std::string file(reinterpret_cast<const char*>(data), size);
  auto limit = tidewell::ParseRestoreLimit(file);
  Require(!limit || *limit >= 0);
  auto rewritten = tidewell::RewriteRestoreLimit(file, megabytes);
  if (!rewritten) return 0;
  Require(limit.has_value());
  auto clamped = [](int64_t value) { return value < 0 ? 0 : std::min(value, tidewell::kMaxLimitMegabytes); };
  Require(tidewell::ParseRestoreLimit(*rewritten) == clamped(megabytes));
  // Writing the old limit back gives it back (within the range a rewrite
  // stores), in a file no longer than the original.
  if (auto back = tidewell::RewriteRestoreLimit(*rewritten, *limit)) {
    Require(tidewell::ParseRestoreLimit(*back) == clamped(*limit));
    Require(back->size() <= file.size());
  }
  return 0;
}
