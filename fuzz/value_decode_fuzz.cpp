// Feeds arbitrary bytes to the value cipher: as enciphered text to the decoder, with the system
// key and with keys of any length (empty included), and as plain text through encoder and
// decoder. Non-hex characters, lower case and lengths that are no multiple of 16 must decode
// to a bounded text without any out-of-bounds access; a round trip must give the text back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/cipher.h"

namespace {

bool AllZero(const Bf_State& state) {
  const uint32_t* words = reinterpret_cast<const uint32_t*>(&state);
  for (std::size_t i = 0; i < sizeof(Bf_State) / sizeof(uint32_t); ++i)
    if (words[i] != 0) return false;
  return true;
}

// The cipher's work state, handed to every call so that its wiping can be checked.
Bf_State work_state;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "value cipher: %s\n", what);
  std::abort();
}

void CheckDecoded(std::string_view hex, const std::string& out) {
  Check(out.find('\0') == std::string::npos, "decoded text holds a zero byte");
  Check(out.size() <= hex.size() / 16 * 8, "decoded text longer than its whole blocks");
  Check(AllZero(work_state), "cipher state not wiped after decoding");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string out;

  // The input as a stored value under the system key.
  Check(Cfg_Value_Decode(input, &out, kCfgCipherKey, &work_state) == 1, "decoder did not return 1");
  CheckDecoded(input, out);

  // The first byte chooses a key length (0 to 63 bytes) taken from the front of the input, the
  // rest is the value.
  if (size > 0) {
    std::size_t key_length = std::min<std::size_t>(data[0] % 64, size - 1);
    std::string_view key = input.substr(1, key_length);
    std::string_view hex = input.substr(1 + key_length);
    Check(Cfg_Value_Decode(hex, &out, key, &work_state) == 1, "decoder did not return 1");
    CheckDecoded(hex, out);

    // The input as plain text: encoding gives 16 upper-case digits per started 8 bytes, and
    // decoding them gives the text back up to its first zero byte.
    std::string enciphered, back;
    Cfg_Value_Encode(hex, &enciphered, key, &work_state);
    Check(AllZero(work_state), "cipher state not wiped after encoding");
    Check(enciphered.size() == (hex.size() + 7) / 8 * 16, "enciphered length");
    for (char c : enciphered)
      Check((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'), "enciphered text is no upper-case hex");
    Cfg_Value_Decode(enciphered, &back, key);
    Check(back == hex.substr(0, hex.find('\0')), "round trip changed the text");
  }

  // Hex_ToBin and Bin_ToHex on buffers sized exactly for count: an odd count writes count / 2 bytes.
  std::string bytes(size / 2, '\0');
  Hex_ToBin(input.data(), size, reinterpret_cast<unsigned char*>(bytes.data()));
  std::string hex(bytes.size() * 2, '\0');
  Bin_ToHex(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), hex.data());
  std::string again(bytes.size(), '\0');
  Hex_ToBin(hex.data(), hex.size(), reinterpret_cast<unsigned char*>(again.data()));
  Check(again == bytes, "hex text of a byte string does not read back as the same bytes");
  return 0;
}
