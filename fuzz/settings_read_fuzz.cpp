// Feeds arbitrary bytes to the settings-file reader as the content of a settings file and asks for
// every key planex reads, one at a time and in one pass. Whatever the file holds (over-long lines,
// no line end, 0x1A anywhere, values that are no hexadecimal text or of odd length), the reader
// must end with a record that is either cleared or describes the pair it took, the pass must give
// what the look-ups give, and nothing may read or write out of bounds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "settings/settings.h"

namespace {

std::string settings_path;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "settings reader: %s\n", what);
  std::abort();
}

void WriteSettingsFile(const uint8_t* data, std::size_t size) {
  FILE* f = std::fopen(settings_path.c_str(), "wb");
  Check(f != nullptr, "cannot write the settings file");
  if (size > 0) Check(std::fwrite(data, 1, size, f) == size, "short write of the settings file");
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // scripts/fuzz.sh points TMPDIR into the build folder, which it empties before each run; the
  // scratch folder is therefore left behind rather than removed from an exit hook that would race
  // libFuzzer's crash handler.
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/planex-fuzz-XXXXXX";
  Check(mkdtemp(dir.data()) != nullptr, "cannot create a scratch folder");
  settings_path = dir + "/planex.ini";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  WriteSettingsFile(data, size);

  struct Lookup {
    const char* section;
    const char* key;
    int32_t number;
  } lookups[] = {
      {"", "LOGIN", 0}, {"", "PASS", 0}, {"", "NET8", 0}, {"", "SCHEMA", 0}, {"DB", "", -1}, {"\x01", "\x01", 7},
  };
  // The run reads its four settings in one pass, which must give each what its own look-up gives.
  const CfgSettings settings = Cfg_Settings_Read(settings_path);
  Check(settings.Readable(), "a regular file reads as unreadable");
  const std::string* one_pass[] = {&settings.login, &settings.password, &settings.dsn, &settings.schema};
  for (std::size_t i = 0; i < std::size(lookups); ++i) {
    const Lookup& l = lookups[i];
    CfgSatz r;
    Cfg_Value_Read(l.section, l.key, l.number, settings_path.c_str(), &r);
    if (i < std::size(one_pass)) Check(*one_pass[i] == r.value, "one pass and a look-up of its own differ");
    bool cleared = r.number == 0 && r.section.empty() && r.key.empty() && r.value.empty();
    bool matched = r.section == l.section || r.key == l.key || r.number == l.number;
    Check(cleared || matched, "record holds a pair that does not match the lookup");
    // The decoder's output ends at its first zero byte and holds at most 8 bytes per 16 digits,
    // none of which can exceed the file.
    Check(r.value.find('\0') == std::string::npos, "decoded value holds a zero byte");
    Check(r.value.size() <= size / 2, "decoded value longer than the file allows");
  }
  return 0;
}
