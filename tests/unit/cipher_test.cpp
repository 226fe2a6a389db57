#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "settings/cipher.h"

namespace {

std::string FromHex(const std::string& hex) {
  std::string out(hex.size() / 2, '\0');
  Hex_ToBin(hex.data(), hex.size(), reinterpret_cast<unsigned char*>(out.data()));
  return out;
}

// Reverses the bytes within each 4-byte half of every block: turns a block of the settings format
// into the big-endian convention of published Blowfish vectors, and back.
std::string ReverseHalves(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 8 <= hex.size(); i += 8)
    for (int b = 3; b >= 0; --b) out += hex.substr(i + 2 * b, 2);
  return out;
}

// Enciphers and deciphers with the system key. The text deciphered into holds something already,
// which the decoder must replace.
std::string Enc(const std::string& plain) {
  std::string hex = "stale";
  Cfg_Value_Encode(plain, &hex, kCfgCipherKey);
  return hex;
}
std::string Dec(const std::string& hex) {
  std::string text = "stale";
  Cfg_Value_Decode(hex, &text, kCfgCipherKey);
  return text;
}

// Half i (0 = left, 1 = right) of a big-endian hex block as a number.
uint32_t Half(const std::string& hex, int i) {
  return std::stoul(hex.substr(8 * i, 8), nullptr, 16);
}

bool StateIsZero(const Bf_State& s) {
  for (uint32_t w : s.P)
    if (w != 0) return false;
  for (const auto& box : s.S)
    for (uint32_t w : box)
      if (w != 0) return false;
  return true;
}

TEST(Cipher, InitialTableHoldsTheDigitsOfPi) {
  const uint32_t* t = Bf_InitialTable();
  EXPECT_EQ(t[0], 0x243F6A88u);          // P[0]
  EXPECT_EQ(t[17], 0x8979FB1Bu);         // P[17]
  EXPECT_EQ(t[18], 0xD1310BA6u);         // S1[0]
  EXPECT_EQ(t[18 + 256], 0x4B7A70E9u);   // S2[0]
  EXPECT_EQ(t[18 + 1023], 0x3AC372E6u);  // S4[255]
}

// Published big-endian vectors (key, plain block, cipher block) must hold for the settings format
// once each block half is byte-reversed on the way in and out.
TEST(Cipher, PublishedVectorsHoldThroughByteReversal) {
  struct Case {
    std::string key;       // raw key bytes
    std::string plain_be;  // hex, big-endian convention
    std::string cipher_be;
  } cases[] = {
      {std::string(8, '\0'), "0000000000000000", "4EF997456198DD78"},
      {std::string(8, '\xFF'), "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
      {"abcdefghijklmnopqrstuvwxyz", "424C4F5746495348", "324ED0FEF413A203"},  // "BLOWFISH"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cipher_be);
    std::string hex;
    Cfg_Value_Encode(FromHex(ReverseHalves(c.plain_be)), &hex, c.key);
    EXPECT_EQ(hex, ReverseHalves(c.cipher_be));

    // The block function itself works on the halves as numbers.
    Bf_State state;
    Bf_Init(&state, reinterpret_cast<const unsigned char*>(c.key.data()), c.key.size());
    uint32_t L = Half(c.plain_be, 0), R = Half(c.plain_be, 1);
    Bf_Encrypt(&state, &L, &R);
    EXPECT_EQ(L, Half(c.cipher_be, 0));
    EXPECT_EQ(R, Half(c.cipher_be, 1));
    Bf_Decrypt(&state, &L, &R);
    EXPECT_EQ(L, Half(c.plain_be, 0));
    EXPECT_EQ(R, Half(c.plain_be, 1));
  }
}

// Values enciphered with the system key by an independent, standard Blowfish.
TEST(Cipher, SystemKeyKnownAnswers) {
  struct Case {
    std::string plain, hex;
  } cases[] = {
      {"planex", "0CB77001EF3C0D7C"},
      {"12345678", "845E243A6A3B0A21"},
      {"NO_SUCH_DSN", "CD6840F9E003191B8D2504666B44DAF8"},
  };
  for (const auto& c : cases) {
    std::string text;
    EXPECT_EQ(Enc(c.plain), c.hex);
    EXPECT_EQ(Cfg_Value_Decode(c.hex, &text, kCfgCipherKey), 1);
    EXPECT_EQ(text, c.plain);
  }
}

TEST(Cipher, RoundTripPadsToWholeBlocks) {
  for (std::size_t len : {0, 1, 7, 8, 9, 15, 16, 17, 95, 96}) {
    std::string plain;
    for (std::size_t i = 0; i < len; ++i) plain += static_cast<char>(1 + (i * 37) % 255);
    const std::string hex = Enc(plain);
    EXPECT_EQ(hex.size(), 16 * ((len + 7) / 8)) << len;
    EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(Dec(hex), plain) << len;
  }
}

TEST(Cipher, NineCharactersFillTheSecondBlockWithZeros) {
  const std::string hex = Enc("ABCDEFGHI");
  ASSERT_EQ(hex.size(), 32u);
  EXPECT_EQ(hex.substr(16), Enc(std::string("I\0\0\0\0\0\0\0", 8)));
}

TEST(Cipher, StateIsWipedAfterEveryCall) {
  std::string hex, text;
  auto work = std::make_unique<Bf_State>();
  Cfg_Value_Encode("secret", &hex, kCfgCipherKey, work.get());
  EXPECT_TRUE(StateIsZero(*work));
  Cfg_Value_Decode(hex, &text, kCfgCipherKey, work.get());
  EXPECT_TRUE(StateIsZero(*work));
  EXPECT_EQ(text, "secret");
  Cfg_Value_Decode("", &text, kCfgCipherKey, work.get());
  EXPECT_TRUE(StateIsZero(*work));
}

TEST(Cipher, LowerCaseDigitsDecodeToOtherBytes) {
  EXPECT_NE(Dec("6abb37a49e6940e0"), "secret");
  EXPECT_EQ(Dec("6ABB37A49E6940E0"), "secret");
}

TEST(Cipher, BigEndianHalvesDecodeToOtherText) {
  const std::string hex = "0CB77001EF3C0D7C";  // "planex"
  Bf_State state;
  Bf_Init(&state, reinterpret_cast<const unsigned char*>(kCfgCipherKey.data()), kCfgCipherKey.size());
  uint32_t L = Half(hex, 0), R = Half(hex, 1);
  Bf_Decrypt(&state, &L, &R);
  std::string text;
  for (uint32_t h : {L, R})
    for (int s = 24; s >= 0; s -= 8) text += static_cast<char>(h >> s);
  EXPECT_NE(text.substr(0, 6), "planex");
}

TEST(Cipher, IncompleteLastBlockIsIgnored) {
  const std::string hex = Enc("abcdefgh12");
  for (std::size_t cut : {17u, 21u, 31u}) EXPECT_EQ(Dec(hex.substr(0, cut)), "abcdefgh") << cut;
  EXPECT_EQ(Dec(hex.substr(0, 15)), "");
}

TEST(Cipher, HexDigitsMapWithoutRejectingAnything) {
  struct Case {
    std::string hex;
    std::string bytes;
  } cases[] = {
      {"00FFA509", std::string("\x00\xFF\xA5\x09", 4)},
      {"a0", "\x10"},  // 'a' counts as 'a' - '0' = 49, so (16 * 49) mod 256
      {"G0", "\x70"},  // 'G' - '0' = 23
      {"0a", "\x31"},
  };
  for (const auto& c : cases) EXPECT_EQ(FromHex(c.hex), c.bytes) << c.hex;

  const unsigned char bytes[] = {0x00, 0x0F, 0xA5, 0xFF};
  char out[9] = {};
  Bin_ToHex(bytes, 4, out);
  EXPECT_STREQ(out, "000FA5FF");
}

}  // namespace
