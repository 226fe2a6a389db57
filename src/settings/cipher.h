#pragma once
// The cipher of the settings values: Blowfish (16 rounds, 64-bit blocks) in ECB mode. A value is
// stored as upper-case hexadecimal text; every 8-byte block is read as two little-endian 32-bit
// halves before the block function and written back the same way.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The key that enciphers every value of a settings file.
inline constexpr std::string_view kCfgCipherKey = "KORVANE";

struct Bf_State {
  uint32_t P[18];
  uint32_t S[4][256];
};

// The standard key setup: S-boxes from the initial table, P-array mixed with the key bytes
// (taken cyclically, most significant first), then both replaced by repeated encryption.
void Bf_Init(Bf_State* state, const unsigned char* key_bytes, std::size_t key_length);
void Bf_Encrypt(const Bf_State* state, uint32_t* L, uint32_t* R);
void Bf_Decrypt(const Bf_State* state, uint32_t* L, uint32_t* R);

// count characters of text become count/2 bytes. Every character is accepted: 'A'-'F' are 10..15,
// any other character c counts as c - '0' (mod 256), so lower-case digits give other bytes.
void Hex_ToBin(const char* text, std::size_t count, unsigned char* out);
// count bytes become 2*count upper-case digits, high nibble first; no terminator is written.
void Bin_ToHex(const unsigned char* bytes, std::size_t count, char* out);

// The two routines below set up the key schedule in a work state, by default one of their own on
// the stack; a caller may hand its own. Either way the state holds key material only during the
// call and is all zero afterwards, so that no key schedule lingers in memory.
//
// Deciphers a stored value into out: the decoded text up to its first zero byte. Only whole blocks
// of 16 digits are decoded; an incomplete rest is ignored. Always returns 1.
int Cfg_Value_Decode(std::string_view hex_text, std::string* out, std::string_view cipher_key,
                     Bf_State* work = nullptr);
// Enciphers plain_text into out: 16 upper-case digits per started 8 bytes, the last block filled
// up with zero bytes.
void Cfg_Value_Encode(std::string_view plain_text, std::string* out, std::string_view cipher_key,
                      Bf_State* work = nullptr);

// The 1042 initial words: P[0..17], then S1..S4 (the hexadecimal digits of pi).
const uint32_t* Bf_InitialTable();
