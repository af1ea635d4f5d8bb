// Any XML read as definitions: only a SPYWARE document loads, whatever
// survives the safety filter must pass it again, and nothing that names an
// empty or climbing part is kept.

#include <cstdint>
#include <string>

#include "tests/fuzz/FuzzChecks.h"
#include "tidewell/spyware/Definitions.h"

using tidewell::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  tidewell::CXmlNode root;
  if (!tidewell::ParseDefinitions(text.c_str(), root)) return 0;
  Require(root.name == tidewell::kDefinitionsRoot);
  tidewell::SpywareDefinitions definitions = tidewell::ReadDefinitions(root);
  for (const tidewell::SpywareEntry& entry : definitions.entries) {
    Require(!entry.name.empty());
    for (const auto& key : entry.keys) Require(tidewell::UnsafeKeySignature(key).empty() && !key.value.empty());
    for (const auto& value : entry.values) Require(tidewell::UnsafeValueSignature(value).empty());
    for (const auto& file : entry.files)
      Require(tidewell::UnsafeFileSignature(file).empty() && !file.name.empty());
    for (const auto& folder : entry.folders) Require(tidewell::UnsafeFolderSignature(folder).empty());
    for (const auto& cookie : entry.cookies) Require(cookie.size() >= 3);
  }
  return 0;
}
