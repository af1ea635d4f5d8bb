#include "shared/crypto/BlowfishCipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace tidewell {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes Encipher(const CBlowfishCipher& cipher, const std::string& text, int mode = CBlowfishCipher::ECB) {
  Bytes out(text.size());
  cipher.Encrypt(text.data(), out.data(), text.size(), mode);
  return out;
}

std::string ExceptionText(auto&& action) {
  try {
    action();
  } catch (const CBlowfishException& e) {
    return e.what();
  }
  return "no exception";
}

const std::string kSixteen = "Sixteen bytes!!!";
const std::string kDefinitionsKey = "qrvtkzam";

TEST(BlowfishKey, LongerKeysAreCutTo56Bytes) {
  std::string key56(56, 'k');
  for (size_t i = 0; i < key56.size(); ++i) key56[i] = static_cast<char>('A' + i % 50);
  CBlowfishCipher cut(key56);
  CBlowfishCipher with57(key56 + "x");
  CBlowfishCipher with80(key56 + std::string(24, 'z'));
  CBlowfishCipher with55(key56.substr(0, 55));
  EXPECT_EQ(Encipher(with57, kSixteen), Encipher(cut, kSixteen));
  EXPECT_EQ(Encipher(with80, kSixteen), Encipher(cut, kSixteen));
  EXPECT_NE(Encipher(with55, kSixteen), Encipher(cut, kSixteen));
}

TEST(BlowfishKey, ShortKeysAreCycled) {
  // A 1-byte key feeds that byte four times into every subkey word, as does the byte repeated.
  EXPECT_EQ(Encipher(CBlowfishCipher("A"), kSixteen), Encipher(CBlowfishCipher("AAAA"), kSixteen));
  EXPECT_EQ(Encipher(CBlowfishCipher("A"), kSixteen), Encipher(CBlowfishCipher(std::string(56, 'A')), kSixteen));
  EXPECT_EQ(Encipher(CBlowfishCipher("ab"), kSixteen), Encipher(CBlowfishCipher("abababab"), kSixteen));
  EXPECT_NE(Encipher(CBlowfishCipher("ab"), kSixteen), Encipher(CBlowfishCipher("ba"), kSixteen));
}

TEST(BlowfishKey, EmptyOrMissingKeyIsRefused) {
  EXPECT_EQ(ExceptionText([] { CBlowfishCipher cipher("", 0); }), "Incorrect key length");
  EXPECT_EQ(ExceptionText([] { CBlowfishCipher cipher(std::string_view{}); }), "Incorrect key length");
  EXPECT_EQ(ExceptionText([] { CBlowfishCipher cipher(nullptr, 8); }), "Incorrect key length");
  // A standard exception, for callers that catch those.
  EXPECT_THROW(CBlowfishCipher(""), std::exception);
}

TEST(BlowfishBuffers, LengthMustBeANonZeroMultipleOfEight) {
  CBlowfishCipher cipher(kDefinitionsKey);
  Bytes in(16, 'x');
  for (size_t length : {size_t{0}, size_t{12}, size_t{7}, size_t{15}}) {
    for (int mode : {CBlowfishCipher::ECB, CBlowfishCipher::CBC, CBlowfishCipher::CFB}) {
      Bytes out(16, 0xAA);
      EXPECT_EQ(ExceptionText([&] { cipher.Encrypt(in.data(), out.data(), length, mode); }), "Incorrect buffer length")
          << "length " << length << " mode " << mode;
      EXPECT_EQ(ExceptionText([&] { cipher.Decrypt(in.data(), out.data(), length, mode); }), "Incorrect buffer length");
      EXPECT_EQ(out, Bytes(16, 0xAA)) << "nothing may be written before the refusal";
    }
  }
}

TEST(BlowfishModes, EveryModeRoundTripsInPlaceAndApart) {
  BlowfishBlock chain{0x01234567, 0x89ABCDEF};
  CBlowfishCipher cipher(kDefinitionsKey, chain);
  std::string text = "Twenty-four bytes of it.";
  for (int mode : {CBlowfishCipher::ECB, CBlowfishCipher::CBC, CBlowfishCipher::CFB}) {
    Bytes apart = Encipher(cipher, text, mode);
    Bytes inPlace(text.begin(), text.end());
    cipher.Encrypt(inPlace.data(), inPlace.data(), inPlace.size(), mode);
    EXPECT_EQ(inPlace, apart) << "mode " << mode;
    cipher.Decrypt(inPlace.data(), inPlace.data(), inPlace.size(), mode);
    EXPECT_EQ(std::string(inPlace.begin(), inPlace.end()), text) << "mode " << mode;
  }
}

// Longer runs are enciphered two blocks at a time, with a single one left over
// when the count is odd: each block must still be the block function's.
TEST(BlowfishModes, EcbRunsMatchTheBlockFunctionBlockByBlock) {
  CBlowfishCipher cipher(kDefinitionsKey);
  for (size_t blocks = 1; blocks <= 5; ++blocks) {
    std::string text;
    for (size_t i = 0; i < blocks * 8; ++i) text += static_cast<char>(i * 37 + 11);
    Bytes run = Encipher(cipher, text);
    for (size_t at = 0; at < run.size(); at += 8) {
      Bytes single(8);
      cipher.Encrypt(text.data() + at, single.data(), 8);  // one block: never paired
      EXPECT_EQ(Bytes(run.begin() + at, run.begin() + at + 8), single) << blocks << " blocks, block " << at / 8;
    }
    Bytes back(run.size());
    cipher.Decrypt(run.data(), back.data(), run.size());
    EXPECT_EQ(std::string(back.begin(), back.end()), text) << blocks << " blocks";
  }
}

TEST(BlowfishModes, ChainedModesDifferFromEcbAndUnknownModesAreEcb) {
  CBlowfishCipher cipher(kDefinitionsKey, BlowfishBlock{1, 2});
  std::string repeated = "samesamesamesame";
  Bytes ecb = Encipher(cipher, repeated, CBlowfishCipher::ECB);
  EXPECT_TRUE(std::equal(ecb.begin(), ecb.begin() + 8, ecb.begin() + 8));
  Bytes cbc = Encipher(cipher, repeated, CBlowfishCipher::CBC);
  EXPECT_FALSE(std::equal(cbc.begin(), cbc.begin() + 8, cbc.begin() + 8));
  EXPECT_NE(Encipher(cipher, repeated, CBlowfishCipher::CFB), ecb);
  EXPECT_EQ(Encipher(cipher, repeated, 3), ecb);
  EXPECT_EQ(Encipher(cipher, repeated, -1), ecb);
}

TEST(BlowfishModes, EveryCallRestartsFromTheInitialChain) {
  CBlowfishCipher cipher(kDefinitionsKey, BlowfishBlock{0xFEDCBA98, 0x76543210});
  for (int mode : {CBlowfishCipher::CBC, CBlowfishCipher::CFB}) {
    Bytes first = Encipher(cipher, kSixteen, mode);
    EXPECT_EQ(Encipher(cipher, kSixteen, mode), first) << "mode " << mode;
    Bytes back(first.size());
    cipher.Decrypt(first.data(), back.data(), first.size(), mode);
    cipher.Decrypt(first.data(), back.data(), first.size(), mode);
    EXPECT_EQ(std::string(back.begin(), back.end()), kSixteen) << "mode " << mode;
  }
}

TEST(BlowfishBytes, FiveByteTextPadsToOneBlockAndComesBack) {
  CBlowfishCipher cipher(kDefinitionsKey);
  Bytes enciphered = cipher.EncryptBytes("hello", 5);
  ASSERT_EQ(enciphered.size(), 8u);
  EXPECT_EQ(enciphered, Encipher(cipher, std::string("hello\0\0\0", 8)));
  std::string text = cipher.DecryptBytes(enciphered.data(), enciphered.size());
  EXPECT_EQ(text, "hello");
  EXPECT_EQ(text.size(), 5u);
}

TEST(BlowfishBytes, WholeBlocksGetNoExtraBlock) {
  CBlowfishCipher cipher(kDefinitionsKey);
  EXPECT_EQ(cipher.EncryptBytes("12345678", 8).size(), 8u);
  EXPECT_EQ(cipher.EncryptBytes("123456789", 9).size(), 16u);
  Bytes enciphered = cipher.EncryptBytes(kSixteen.data(), kSixteen.size());
  EXPECT_EQ(cipher.DecryptBytes(enciphered.data(), enciphered.size()), kSixteen);
}

TEST(BlowfishBytes, TextEndsAtTheFirstNul) {
  CBlowfishCipher cipher(kDefinitionsKey);
  Bytes enciphered = cipher.EncryptBytes("ab\0cdefghij", 11);
  EXPECT_EQ(cipher.DecryptBytes(enciphered.data(), enciphered.size()), "ab");
  // The NUL at every place of three blocks, among bytes next to zero in value.
  const std::string mix = std::string("\x01\x80\xff\x7f", 4) + "A1";
  for (size_t nul = 0; nul <= 24; ++nul) {
    std::string text;
    for (size_t i = 0; i < 24; ++i) text += i == nul ? '\0' : mix[i % mix.size()];
    Bytes packed = cipher.EncryptBytes(text.data(), text.size());
    EXPECT_EQ(cipher.DecryptBytes(packed.data(), packed.size()), text.substr(0, nul)) << "NUL at " << nul;
  }
}

TEST(BlowfishBytes, EmptyInputIsRefused) {
  CBlowfishCipher cipher(kDefinitionsKey);
  EXPECT_EQ(ExceptionText([&] { cipher.EncryptBytes("", 0); }), "Incorrect buffer length");
  EXPECT_EQ(ExceptionText([&] { cipher.DecryptBytes("", 0); }), "Incorrect buffer length");
}

TEST(BlowfishBytes, ShortLastBlockIsCompletedWithZeroBytes) {
  CBlowfishCipher cipher(kDefinitionsKey);
  std::string text = "A text of 18 bytes";
  Bytes enciphered = cipher.EncryptBytes(text.data(), text.size());
  ASSERT_EQ(enciphered.size(), 24u);
  // Exactly 13 bytes in their own allocation: the sanitizers catch any read past them.
  Bytes cut(enciphered.begin(), enciphered.begin() + 13);
  std::string fromCut = cipher.DecryptBytes(cut.data(), cut.size());
  Bytes zeroed = cut;
  zeroed.resize(16, 0);
  std::string fromZeroed = cipher.DecryptBytes(zeroed.data(), zeroed.size());
  EXPECT_EQ(fromCut, fromZeroed);
  EXPECT_EQ(fromCut.substr(0, 8), text.substr(0, 8));
}

TEST(BlowfishHex, KnownAnswerIsLowercase) {
  const unsigned char zeroKey[8] = {};
  CBlowfishCipher cipher(zeroKey, sizeof zeroKey);
  EXPECT_EQ(cipher.EncryptToHex(std::string(8, '\0')), "4ef997456198dd78");
}

TEST(BlowfishHex, IsTwiceThePaddedLengthAndRoundTrips) {
  CBlowfishCipher cipher(kDefinitionsKey);
  for (std::string text : {"x", "hello", "12345678", "name=Toolbar&clsid={1234-5678}&risk=high"}) {
    std::string hex = cipher.EncryptToHex(text);
    EXPECT_EQ(hex.size(), 2 * ((text.size() + 7) / 8 * 8)) << text;
    EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos) << hex;
    EXPECT_EQ(cipher.DecryptFromHex(hex), text);
  }
}

TEST(BlowfishHex, UppercaseDigitsReadAsLowercase) {
  CBlowfishCipher cipher(kDefinitionsKey);
  std::string hex = cipher.EncryptToHex("Upper and lower");
  std::string upper = hex;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ASSERT_NE(upper, hex);
  EXPECT_EQ(cipher.DecryptFromHex(upper), "Upper and lower");
}

TEST(BlowfishHex, OddLastDigitIsIgnoredAndTooShortIsRefused) {
  CBlowfishCipher cipher(kDefinitionsKey);
  std::string hex = cipher.EncryptToHex("odd");
  EXPECT_EQ(cipher.DecryptFromHex(hex + "f"), "odd");
  EXPECT_EQ(ExceptionText([&] { cipher.DecryptFromHex(""); }), "Incorrect buffer length");
  EXPECT_EQ(ExceptionText([&] { cipher.DecryptFromHex("a"); }), "Incorrect buffer length");
}

TEST(BlowfishHex, ForeignCharactersDecodeWithoutFault) {
  CBlowfishCipher cipher(kDefinitionsKey);
  // Meaningless bytes, but a whole answer of any characters must decipher safely.
  std::string junk;
  for (int c = 1; c < 256; ++c) junk += static_cast<char>(c);
  std::string text = cipher.DecryptFromHex(junk);
  EXPECT_LE(text.size(), junk.size() / 2 + 8);
}

}  // namespace
}  // namespace tidewell
