// Hexadecimal text as the update server sends it: deciphered under the
// definitions key, then read as definitions. Seeds are enciphered documents;
// ECB lets the fuzzer splice whole blocks of them.

#include <cstdint>
#include <string>

#include "shared/crypto/BlowfishCipher.h"
#include "tests/fuzz/FuzzChecks.h"

using tidewell::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const tidewell::CBlowfishCipher cipher("qrvtkzam");
  std::string hex(reinterpret_cast<const char*>(data), size);
  std::string text;
  try {
    text = cipher.DecryptFromHex(hex);
  } catch (const tidewell::CBlowfishException&) {
    Require(size < 2);  // only an answer without a single digit pair is refused
    return 0;
  }
  Require(text.size() <= (size / 2 + 7) / 8 * 8);
  if (!text.empty()) Require(cipher.DecryptFromHex(cipher.EncryptToHex(text)) == text);

  static const std::string declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
  for (size_t at; (at = text.find(declaration)) != std::string::npos;) text.erase(at, declaration.size());
  tidewell::fuzz::LoadBothWays(text.c_str());
  return 0;
}
