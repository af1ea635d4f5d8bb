#include "shared/crypto/BlowfishCipher.h"

#include <algorithm>
#include <cstring>

#include "shared/crypto/BlowfishTables.h"

namespace tidewell {

namespace {

constexpr size_t kBlock = CBlowfishCipher::kBlockLength;

BlowfishBlock LoadBlock(const unsigned char* bytes) {
  auto half = [](const unsigned char* b) {
    return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | uint32_t{b[3]};
  };
  return {half(bytes), half(bytes + 4)};
}

void StoreBlock(const BlowfishBlock& block, unsigned char* bytes) {
  auto half = [](uint32_t value, unsigned char* b) {
    b[0] = static_cast<unsigned char>(value >> 24);
    b[1] = static_cast<unsigned char>(value >> 16);
    b[2] = static_cast<unsigned char>(value >> 8);
    b[3] = static_cast<unsigned char>(value);
  };
  half(block.left, bytes);
  half(block.right, bytes + 4);
}

void XorInto(BlowfishBlock& block, const BlowfishBlock& other) {
  block.left ^= other.left;
  block.right ^= other.right;
}

// Rejects what Encrypt would reject, and a length so large that padding it overflows.
size_t PaddedLength(size_t length) {
  if (length == 0 || length > SIZE_MAX - kBlock) throw CBlowfishException(kIncorrectBufferLength);
  return (length + kBlock - 1) / kBlock * kBlock;
}

// strlen eight bytes a step: Wine's runtime scans a byte at a time, which
// showed when deciphering megabytes.
size_t FirstNul(std::string_view text) {
  constexpr uint64_t kOnes = 0x0101010101010101, kHighs = 0x8080808080808080;
  size_t at = 0;
  for (; text.size() - at >= 8; at += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    if (((word - kOnes) & ~word & kHighs) != 0) break;
  }
  while (at < text.size() && text[at] != '\0') ++at;
  return at;
}

// Uppercase digits are taken at their value; everything the system writes is lowercase.
int HexValue(char digit) {
  unsigned char c = static_cast<unsigned char>(digit);
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return c < ':' ? c - '0' : c - 87;
}

}  // namespace

CBlowfishCipher::CBlowfishCipher(const void* key, size_t keyLength, const BlowfishBlock& chain)
    : chain_(chain) {
  // A missing key is refused like an empty one rather than read.
  if (key == nullptr || keyLength == 0) throw CBlowfishException(kIncorrectKeyLength);
  keyLength = std::min(keyLength, kMaxKeyLength);
  unsigned char work[kMaxKeyLength] = {};
  std::memcpy(work, key, keyLength);

  std::memcpy(p_, kBlowfishInitialP, sizeof p_);
  std::memcpy(s_, kBlowfishInitialS, sizeof s_);
  size_t at = 0;
  for (uint32_t& entry : p_) {
    uint32_t word = 0;
    for (int i = 0; i < 4; ++i) {
      word = word << 8 | work[at];
      at = (at + 1) % keyLength;
    }
    entry ^= word;
  }

  BlowfishBlock block;
  for (size_t i = 0; i < 18; i += 2) {
    EncryptBlock(block);
    p_[i] = block.left;
    p_[i + 1] = block.right;
  }
  for (auto& box : s_) {
    for (size_t i = 0; i < 256; i += 2) {
      EncryptBlock(block);
      box[i] = block.left;
      box[i + 1] = block.right;
    }
  }
}

inline uint32_t CBlowfishCipher::Round(uint32_t half) const {
  return ((s_[0][half >> 24] + s_[1][(half >> 16) & 0xFF]) ^ s_[2][(half >> 8) & 0xFF]) + s_[3][half & 0xFF];
}

// Two rounds per step, so the halves trade places without a swap. The pragmas
// unroll the loops, which GCC at -O2 (the Windows build) leaves rolled.
void CBlowfishCipher::EncryptBlock(BlowfishBlock& block) const {
  uint32_t left = block.left;
  uint32_t right = block.right;
#pragma GCC unroll 8
  for (int i = 0; i < 16; i += 2) {
    left ^= p_[i];
    right ^= Round(left);
    right ^= p_[i + 1];
    left ^= Round(right);
  }
  block.left = right ^ p_[17];
  block.right = left ^ p_[16];
}

void CBlowfishCipher::DecryptBlock(BlowfishBlock& block) const {
  uint32_t left = block.left;
  uint32_t right = block.right;
#pragma GCC unroll 8
  for (int i = 17; i > 1; i -= 2) {
    left ^= p_[i];
    right ^= Round(left);
    right ^= p_[i - 1];
    left ^= Round(right);
  }
  block.left = right ^ p_[0];
  block.right = left ^ p_[1];
}

// EncryptBlock and DecryptBlock on two blocks, their rounds interleaved.
void CBlowfishCipher::EncryptPair(BlowfishBlock (&pair)[2]) const {
  uint32_t left0 = pair[0].left, right0 = pair[0].right;
  uint32_t left1 = pair[1].left, right1 = pair[1].right;
#pragma GCC unroll 8
  for (int i = 0; i < 16; i += 2) {
    left0 ^= p_[i];
    left1 ^= p_[i];
    right0 ^= Round(left0) ^ p_[i + 1];
    right1 ^= Round(left1) ^ p_[i + 1];
    left0 ^= Round(right0);
    left1 ^= Round(right1);
  }
  pair[0] = {right0 ^ p_[17], left0 ^ p_[16]};
  pair[1] = {right1 ^ p_[17], left1 ^ p_[16]};
}

void CBlowfishCipher::DecryptPair(BlowfishBlock (&pair)[2]) const {
  uint32_t left0 = pair[0].left, right0 = pair[0].right;
  uint32_t left1 = pair[1].left, right1 = pair[1].right;
#pragma GCC unroll 8
  for (int i = 17; i > 1; i -= 2) {
    left0 ^= p_[i];
    left1 ^= p_[i];
    right0 ^= Round(left0) ^ p_[i - 1];
    right1 ^= Round(left1) ^ p_[i - 1];
    left0 ^= Round(right0);
    left1 ^= Round(right1);
  }
  pair[0] = {right0 ^ p_[0], left0 ^ p_[1]};
  pair[1] = {right1 ^ p_[0], left1 ^ p_[1]};
}

void CBlowfishCipher::Encrypt(const void* in, void* out, size_t length, int mode) const {
  Transform(in, out, length, mode, true);
}

void CBlowfishCipher::Decrypt(const void* in, void* out, size_t length, int mode) const {
  Transform(in, out, length, mode, false);
}

void CBlowfishCipher::Transform(const void* in, void* out, size_t length, int mode, bool encrypt) const {
  if (length == 0 || length % kBlock != 0) throw CBlowfishException(kIncorrectBufferLength);
  const auto* source = static_cast<const unsigned char*>(in);
  auto* target = static_cast<unsigned char*>(out);
  size_t at = 0;
  if (mode != CBC && mode != CFB) {
    // ECB blocks do not depend on each other: two at once keep two chains of
    // table lookups in flight, where one block alone waits on every round.
    for (; length - at >= 2 * kBlock; at += 2 * kBlock) {
      BlowfishBlock pair[2] = {LoadBlock(source + at), LoadBlock(source + at + kBlock)};
      if (encrypt)
        EncryptPair(pair);
      else
        DecryptPair(pair);
      StoreBlock(pair[0], target + at);
      StoreBlock(pair[1], target + at + kBlock);
    }
  }
  BlowfishBlock chain = chain_;
  for (; at < length; at += kBlock) {
    // Each block is read whole before its output is written, so in may equal out.
    BlowfishBlock block = LoadBlock(source + at);
    if (mode == CBC) {
      if (encrypt) {
        XorInto(block, chain);
        EncryptBlock(block);
        chain = block;
      } else {
        BlowfishBlock ciphertext = block;
        DecryptBlock(block);
        XorInto(block, chain);
        chain = ciphertext;
      }
    } else if (mode == CFB) {
      BlowfishBlock input = block;
      EncryptBlock(chain);
      XorInto(block, chain);
      chain = encrypt ? block : input;
    } else if (encrypt) {
      EncryptBlock(block);
    } else {
      DecryptBlock(block);
    }
    StoreBlock(block, target + at);
  }
}

std::vector<unsigned char> CBlowfishCipher::EncryptBytes(const void* in, size_t length) const {
  std::vector<unsigned char> bytes(PaddedLength(length));
  std::memcpy(bytes.data(), in, length);
  Encrypt(bytes.data(), bytes.data(), bytes.size());
  return bytes;
}

std::string CBlowfishCipher::DecryptBytes(const void* in, size_t length) const {
  // Copied first: a short last block is completed with zero bytes, never read past the input.
  size_t padded = PaddedLength(length);
  std::string text;
  text.reserve(padded);
  text.assign(static_cast<const char*>(in), length);
  text.append(padded - length, '\0');
  Decrypt(text.data(), text.data(), text.size());
  text.resize(FirstNul(text));
  return text;
}

std::string CBlowfishCipher::EncryptToHex(std::string_view text) const {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::vector<unsigned char> bytes = EncryptBytes(text.data(), text.size());
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xF];
  }
  return hex;
}

std::string CBlowfishCipher::DecryptFromHex(std::string_view hex) const {
  std::vector<unsigned char> bytes(hex.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<unsigned char>(HexValue(hex[2 * i]) * 16 + HexValue(hex[2 * i + 1]));
  return DecryptBytes(bytes.data(), bytes.size());
}

}  // namespace tidewell
