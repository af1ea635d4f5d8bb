// Any bytes as the reader's text: it must never read past the terminator,
// crash, or leave a tree or error record that contradicts itself.

#include <cstdint>
#include <cstring>
#include <memory>

#include "tests/fuzz/FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exactly the input and its terminator, so any read beyond is reported.
  std::unique_ptr<char[]> text(new char[size + 1]);
  std::memcpy(text.get(), data, size);
  text[size] = '\0';
  tidewell::fuzz::LoadBothWays(text.get());
  return 0;
}
