// Any bytes as a .reg file: the reader must stay inside the input, end, and
// give only what a restore can check against the registry.

#include <cstdint>
#include <cstdlib>
#include <strings.h>
#include <string_view>

#include "tidewell/removal/RegFileReader.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto keys = tidewell::ReadRegFile(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!keys) return 0;
  for (const auto& key : *keys) {
    // A root of the registry, in any case, and no separator left at the end.
    Require(key.path.size() >= 5 && key.path.back() != '\\' && strncasecmp(key.path.c_str(), "HKEY_", 5) == 0);
    Require(!key.deleted || key.values.empty());
    for (const auto& value : key.values) {
      if (value.deleted) {
        Require(value.data.empty());
        continue;
      }
      if (value.type == tidewell::kRegSz || value.type == tidewell::kRegExpandSz || value.type == tidewell::kRegMultiSz)
        Require(value.data.empty() ||
                (value.data.size() % 2 == 0 && value.data[value.data.size() - 2] == 0 && value.data.back() == 0));
    }
  }
  return 0;
}
