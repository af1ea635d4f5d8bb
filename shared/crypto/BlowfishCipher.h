#pragma once
// Blowfish (16 rounds, 64-bit blocks, keys of 1 to 56 bytes). Tidewell deciphers
// the spyware definitions with it in byte form, Skylark the update server's
// answers in hexadecimal form; both use ECB with NUL padding.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tidewell {

inline constexpr const char* kIncorrectKeyLength = "Incorrect key length";
inline constexpr const char* kIncorrectBufferLength = "Incorrect buffer length";

// The cipher's only failure: a key or a buffer it refuses. It reaches the
// caller, which catches it before its own layer ends.
class CBlowfishException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Bytes 0-3 of an 8-byte group are the left half, byte 0 most significant;
// bytes 4-7 the right half the same way.
struct BlowfishBlock {
  uint32_t left = 0;
  uint32_t right = 0;
};

class CBlowfishCipher {
 public:
  // Any other mode value is taken as ECB.
  enum Mode { ECB = 0, CBC = 1, CFB = 2 };
  static constexpr size_t kBlockLength = 8;
  static constexpr size_t kMaxKeyLength = 56;

  // Keys longer than 56 bytes are cut. A missing or empty key throws
  // kIncorrectKeyLength. The chain is only read by CBC and CFB.
  CBlowfishCipher(const void* key, size_t keyLength, const BlowfishBlock& chain = {});
  explicit CBlowfishCipher(std::string_view key, const BlowfishBlock& chain = {})
      : CBlowfishCipher(key.data(), key.size(), chain) {}

  void EncryptBlock(BlowfishBlock& block) const;
  void DecryptBlock(BlowfishBlock& block) const;

  // length must be a non-zero multiple of 8, else kIncorrectBufferLength is
  // thrown before anything is written. CBC and CFB start every call from the
  // chain given at construction. in and out may be the same buffer.
  void Encrypt(const void* in, void* out, size_t length, int mode = ECB) const;
  void Decrypt(const void* in, void* out, size_t length, int mode = ECB) const;

  // ECB over the input padded with NUL bytes to a multiple of 8; the result's
  // size is that padded length. An empty input throws kIncorrectBufferLength.
  std::vector<unsigned char> EncryptBytes(const void* in, size_t length) const;
  // ECB over the input, a short last block padded with zero bytes; the result
  // is the plaintext up to its first NUL byte. An empty input throws.
  std::string DecryptBytes(const void* in, size_t length) const;

  // Lowercase digit pairs of EncryptBytes(text).
  std::string EncryptToHex(std::string_view text) const;
  // Digit pairs in either case; an odd last character is ignored and other
  // characters decode to meaningless bytes. Fewer than two characters throw.
  std::string DecryptFromHex(std::string_view hex) const;

 private:
  uint32_t Round(uint32_t half) const;
  void EncryptPair(BlowfishBlock (&pair)[2]) const;
  void DecryptPair(BlowfishBlock (&pair)[2]) const;
  void Transform(const void* in, void* out, size_t length, int mode, bool encrypt) const;

  BlowfishBlock chain_;  // copied at the start of every CBC and CFB call, never advanced
  uint32_t p_[18];
  uint32_t s_[4][256];
};

}  // namespace tidewell
