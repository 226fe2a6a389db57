#include "settings/cipher.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr uint32_t kInitTable[18 + 4 * 256] = {
#include "settings/bf_init_table.inc"
};

void Wipe(Bf_State* state) {
  // volatile stores cannot be dropped by the optimiser as dead writes.
  volatile uint32_t* words = reinterpret_cast<volatile uint32_t*>(state);
  for (std::size_t i = 0; i < sizeof(Bf_State) / sizeof(uint32_t); ++i) words[i] = 0;
}

uint32_t F(const Bf_State* s, uint32_t x) {
  uint32_t a = (x >> 24) & 0xFF, b = (x >> 16) & 0xFF, c = (x >> 8) & 0xFF, d = x & 0xFF;
  return ((s->S[0][a] + s->S[1][b]) ^ s->S[2][c]) + s->S[3][d];
}

uint32_t LoadLe(const unsigned char* b) {
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

void StoreLe(uint32_t v, unsigned char* b) {
  b[0] = static_cast<unsigned char>(v);
  b[1] = static_cast<unsigned char>(v >> 8);
  b[2] = static_cast<unsigned char>(v >> 16);
  b[3] = static_cast<unsigned char>(v >> 24);
}

// The key schedule of one call: set up from the key, wiped on every way out of the call.
class KeySchedule {
 public:
  KeySchedule(std::string_view key, Bf_State* work) : state_(work != nullptr ? work : &own_) {
    Bf_Init(state_, reinterpret_cast<const unsigned char*>(key.data()), key.size());
  }
  ~KeySchedule() {
    Wipe(state_);
    Wipe(&own_);
  }
  KeySchedule(const KeySchedule&) = delete;
  KeySchedule& operator=(const KeySchedule&) = delete;
  const Bf_State* get() const { return state_; }

 private:
  Bf_State own_{};
  Bf_State* state_;
};

}  // namespace

void Bf_Init(Bf_State* state, const unsigned char* key_bytes, std::size_t key_length) {
  std::memcpy(state->S, kInitTable + 18, sizeof(state->S));
  std::size_t k = 0;
  for (int i = 0; i < 18; ++i) {
    uint32_t w = 0;
    for (int n = 0; n < 4; ++n) {
      // An empty key leaves the P-array as the table has it rather than reading past the key.
      uint32_t byte = key_length > 0 ? key_bytes[k] : 0;
      if (key_length > 0) k = (k + 1) % key_length;
      w = (w << 8) | byte;
    }
    state->P[i] = kInitTable[i] ^ w;
  }
  uint32_t L = 0, R = 0;
  for (int i = 0; i < 18; i += 2) {
    Bf_Encrypt(state, &L, &R);
    state->P[i] = L;
    state->P[i + 1] = R;
  }
  for (auto& box : state->S) {
    for (int j = 0; j < 256; j += 2) {
      Bf_Encrypt(state, &L, &R);
      box[j] = L;
      box[j + 1] = R;
    }
  }
}

void Bf_Encrypt(const Bf_State* state, uint32_t* L, uint32_t* R) {
  uint32_t l = *L, r = *R;
  for (int i = 0; i < 16; ++i) {
    l ^= state->P[i];
    r ^= F(state, l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= state->P[16];
  l ^= state->P[17];
  *L = l;
  *R = r;
}

void Bf_Decrypt(const Bf_State* state, uint32_t* L, uint32_t* R) {
  uint32_t l = *L, r = *R;
  for (int i = 17; i > 1; --i) {
    l ^= state->P[i];
    r ^= F(state, l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= state->P[1];
  l ^= state->P[0];
  *L = l;
  *R = r;
}

void Hex_ToBin(const char* text, std::size_t count, unsigned char* out) {
  auto value = [](char ch) -> unsigned {
    unsigned c = static_cast<unsigned char>(ch);
    return c >= 'A' && c <= 'F' ? c - 55 : (c - 48) & 0xFF;
  };
  for (std::size_t i = 0; i + 1 < count; i += 2)
    out[i / 2] = static_cast<unsigned char>((16 * value(text[i]) + value(text[i + 1])) & 0xFF);
}

void Bin_ToHex(const unsigned char* bytes, std::size_t count, char* out) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < count; ++i) {
    out[2 * i] = kDigits[bytes[i] >> 4];
    out[2 * i + 1] = kDigits[bytes[i] & 0x0F];
  }
}

int Cfg_Value_Decode(std::string_view hex_text, std::string* out, std::string_view cipher_key, Bf_State* work) {
  const KeySchedule key(cipher_key, work);
  std::string bytes;
  bytes.reserve(hex_text.size() / 2);
  for (std::size_t s = 0; s + 16 <= hex_text.size(); s += 16) {
    unsigned char block[8];
    Hex_ToBin(hex_text.data() + s, 16, block);
    uint32_t L = LoadLe(block), R = LoadLe(block + 4);
    Bf_Decrypt(key.get(), &L, &R);
    StoreLe(L, block);
    StoreLe(R, block + 4);
    bytes.append(reinterpret_cast<const char*>(block), 8);
  }
  // The zero bytes that filled up the last block are not part of the value.
  *out = bytes.substr(0, bytes.find('\0'));
  return 1;
}

void Cfg_Value_Encode(std::string_view plain_text, std::string* out, std::string_view cipher_key, Bf_State* work) {
  const KeySchedule key(cipher_key, work);
  out->clear();
  for (std::size_t s = 0; s < plain_text.size(); s += 8) {
    unsigned char block[8] = {};
    std::memcpy(block, plain_text.data() + s, std::min<std::size_t>(8, plain_text.size() - s));
    uint32_t L = LoadLe(block), R = LoadLe(block + 4);
    Bf_Encrypt(key.get(), &L, &R);
    StoreLe(L, block);
    StoreLe(R, block + 4);
    char hex[16];
    Bin_ToHex(block, 8, hex);
    out->append(hex, 16);
  }
}

const uint32_t* Bf_InitialTable() {
  return kInitTable;
}
