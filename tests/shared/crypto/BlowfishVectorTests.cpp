// The published Blowfish vectors, read from the copy beside the test program.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "shared/crypto/BlowfishCipher.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

std::string ToHex(const Bytes& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char b : bytes) {
    hex += digits[b >> 4];
    hex += digits[b & 15];
  }
  return hex;
}

struct Vector {
  std::string kind;
  std::vector<std::string> fields;
  int line = 0;
};

std::vector<Vector> ReadVectors(const std::string& kind) {
  std::ifstream file(test::ProgramFolder() / "blowfish-vectors.txt");
  EXPECT_TRUE(file.is_open()) << "blowfish-vectors.txt is missing beside the test program";
  std::vector<Vector> vectors;
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    std::istringstream words(line);
    Vector vector{{}, {}, number};
    if (!(words >> vector.kind) || vector.kind != kind) continue;
    for (std::string field; words >> field;) vector.fields.push_back(field);
    vectors.push_back(vector);
  }
  return vectors;
}

Bytes Encrypt(const CBlowfishCipher& cipher, const Bytes& plain, int mode) {
  Bytes out(plain.size());
  cipher.Encrypt(plain.data(), out.data(), plain.size(), mode);
  return out;
}

Bytes Decrypt(const CBlowfishCipher& cipher, const Bytes& enciphered, int mode) {
  Bytes out(enciphered.size());
  cipher.Decrypt(enciphered.data(), out.data(), enciphered.size(), mode);
  return out;
}

BlowfishBlock BlockOf(const std::string& hex) {
  return {static_cast<uint32_t>(std::stoul(hex.substr(0, 8), nullptr, 16)),
          static_cast<uint32_t>(std::stoul(hex.substr(8, 8), nullptr, 16))};
}

void ExpectEcbVector(const Bytes& key, const std::string& plainHex, const std::string& cipherHex, int line) {
  SCOPED_TRACE("vector on line " + std::to_string(line));
  CBlowfishCipher cipher(key.data(), key.size());
  Bytes plain = FromHex(plainHex);
  Bytes enciphered = Encrypt(cipher, plain, CBlowfishCipher::ECB);
  EXPECT_EQ(ToHex(enciphered), cipherHex);
  EXPECT_EQ(Decrypt(cipher, enciphered, CBlowfishCipher::ECB), plain);

  // The block functions see the same bytes as big-endian halves.
  BlowfishBlock block = BlockOf(plainHex);
  cipher.EncryptBlock(block);
  EXPECT_EQ(block.left, BlockOf(cipherHex).left);
  EXPECT_EQ(block.right, BlockOf(cipherHex).right);
  cipher.DecryptBlock(block);
  EXPECT_EQ(block.left, BlockOf(plainHex).left);
  EXPECT_EQ(block.right, BlockOf(plainHex).right);
}

TEST(BlowfishVectors, EcbWithEightByteKeys) {
  auto vectors = ReadVectors("ecb");
  ASSERT_EQ(vectors.size(), 34u);
  for (const Vector& v : vectors) ExpectEcbVector(FromHex(v.fields[0]), v.fields[1], v.fields[2], v.line);
}

TEST(BlowfishVectors, VariableKeyLengths) {
  auto vectors = ReadVectors("setkey");
  ASSERT_EQ(vectors.size(), 24u);
  for (size_t i = 0; i < vectors.size(); ++i) {
    Bytes key = FromHex(vectors[i].fields[0]);
    EXPECT_EQ(key.size(), i + 1);
    ExpectEcbVector(key, "FEDCBA9876543210", vectors[i].fields[1], vectors[i].line);
  }
}

TEST(BlowfishVectors, TextKeys) {
  auto vectors = ReadVectors("text");
  ASSERT_EQ(vectors.size(), 2u);
  for (const Vector& v : vectors) {
    std::string key = v.fields[0];
    for (char& c : key)
      if (c == '_') c = ' ';
    ExpectEcbVector(Bytes(key.begin(), key.end()), v.fields[1], v.fields[2], v.line);
  }
}

TEST(BlowfishVectors, Cbc) {
  auto vectors = ReadVectors("cbc");
  ASSERT_EQ(vectors.size(), 1u);
  const auto& f = vectors[0].fields;
  Bytes key = FromHex(f[0]);
  CBlowfishCipher cipher(key.data(), key.size(), BlockOf(f[1]));
  Bytes plain = FromHex(f[2]);
  ASSERT_EQ(plain.size(), 32u);
  Bytes enciphered = Encrypt(cipher, plain, CBlowfishCipher::CBC);
  EXPECT_EQ(ToHex(enciphered), f[3]);
  EXPECT_EQ(Decrypt(cipher, enciphered, CBlowfishCipher::CBC), plain);
}

TEST(BlowfishVectors, CfbOverWholeBlocksMatchesTheStreamPrefix) {
  auto vectors = ReadVectors("cfb64");
  ASSERT_EQ(vectors.size(), 1u);
  const auto& f = vectors[0].fields;
  Bytes key = FromHex(f[0]);
  CBlowfishCipher cipher(key.data(), key.size(), BlockOf(f[1]));
  Bytes plain = FromHex(f[2]);
  ASSERT_EQ(plain.size(), 29u);
  // The cipher takes whole blocks only; the 29 published bytes are a prefix.
  Bytes padded = plain;
  padded.resize(32);
  Bytes enciphered = Encrypt(cipher, padded, CBlowfishCipher::CFB);
  EXPECT_EQ(ToHex(Bytes(enciphered.begin(), enciphered.begin() + 29)), f[3]);
  EXPECT_EQ(Decrypt(cipher, enciphered, CBlowfishCipher::CFB), padded);
}

}  // namespace
}  // namespace tidewell
