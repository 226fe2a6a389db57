#include "settings/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <span>
#include <utility>

#include "common/file.h"
#include "common/schema.h"
#include "common/text.h"
#include "settings/cipher.h"

namespace {

void Clear(CfgSatz* r) {
  r->number = 0;
  r->section.clear();
  r->key.clear();
  r->value.clear();
}

// Reads the settings file one line at a time, as a program reading it in text mode on the
// system's home platform sees it: a CR directly before an LF is part of the line end, and a byte
// 0x1A ends the text.
class LineReader {
 public:
  enum Result { Line, End, TooLong };

  // Only a regular file is read: a device or a pipe could feed lines without end, and opening a
  // pipe would wait for a writer.
  explicit LineReader(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      problem_ = CfgProblem::CannotOpen;
      error_ = errno;
      return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      problem_ = CfgProblem::NotAFile;
      directory_ = S_ISDIR(st.st_mode);
    } else if ((file_ = ::fdopen(fd, "rb")) == nullptr) {
      problem_ = CfgProblem::CannotOpen;
      error_ = errno;
    }
    if (file_ == nullptr) ::close(fd);
  }
  ~LineReader() {
    if (file_ != nullptr) std::fclose(file_);
  }
  // Why the file is not read (None when it is), with the error number or whether it is a folder.
  CfgProblem Problem() const { return problem_; }
  int Error() const { return error_; }
  bool Directory() const { return directory_; }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line with its LF when it has one. A line longer than kCfgLineMax is not taken: the
  // file is then no settings file, and what pairs follow could not be told apart.
  Result Next(std::string* line) {
    line->clear();
    if (file_ == nullptr || ended_) return End;
    for (int c; (c = std::getc(file_)) != EOF;) {
      if (c == 0x1A) {
        ended_ = true;
        break;
      }
      if (c == '\r') {
        const int next = std::getc(file_);
        if (next == '\n') c = '\n';
        if (next != EOF && next != '\n') std::ungetc(next, file_);
      }
      if (line->size() == kCfgLineMax) return TooLong;
      line->push_back(static_cast<char>(c));
      if (c == '\n') return Line;
    }
    return line->empty() ? End : Line;
  }

 private:
  FILE* file_ = nullptr;
  bool ended_ = false;
  CfgProblem problem_ = CfgProblem::None;
  int error_ = 0;
  bool directory_ = false;
};

// Reads a number the way atoi does (blanks, sign, digits up to the first other character), but
// saturates instead of overflowing on a number field longer than a 32-bit integer.
int32_t ReadNumber(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  long long v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > static_cast<long long>(INT32_MAX) + 1) v = static_cast<long long>(INT32_MAX) + 1;
  }
  if (negative) v = -v;
  if (v > INT32_MAX) v = INT32_MAX;
  return static_cast<int32_t>(v);
}

// One lookup of a pass over the settings file: what it asks for, and the record it fills.
struct CfgLookup {
  std::string_view section;
  std::string_view key;
  int32_t number = 0;
  CfgSatz* record = nullptr;
  bool done = false;
};

// Reads the pairs of the file in order and gives every lookup the first pair that matches it (by
// section, key or number), its value deciphered; a lookup that no pair matches keeps its record
// cleared. Stops once every lookup has its pair, so the file is read only as far as it must be.
void ReadPairs(LineReader& reader, std::span<CfgLookup> lookups) {
  for (CfgLookup& lookup : lookups) Clear(lookup.record);
  std::size_t open = lookups.size();
  CfgSatz r;
  std::string line1, line2, field;
  while (open > 0 && reader.Next(&line1) == LineReader::Line && reader.Next(&line2) == LineReader::Line) {
    Clear(&r);
    int p1 = Str_NthPos(line1, ';', 1);
    int p2 = Str_NthPos(line1, ';', 2);
    Str_SubCopy(line1, p1 + 1, p2 - p1 - 1, &r.section);

    field.clear();
    Str_SubCopy(line2, 0, Str_NthPos(line2, ';', 1), &field);
    r.number = ReadNumber(field);

    if (line2.find('\n') == std::string::npos) line2.push_back('\n');
    int q1 = Str_NthPos(line2, ';', 1);
    int q2 = Str_NthPos(line2, ';', 2);
    Str_SubCopy(line2, q1 + 1, q2 - q1 - 1, &r.key);
    if (q2 < 0) {
      // A line without any ';' is all value, line end included.
      r.value = line2;
    } else {
      int e = static_cast<int>(line2.find('\n'));
      Str_SubCopy(line2, q2 + 1, e - q2 - 1, &r.value);
    }

    std::string decoded;
    bool deciphered = false;
    for (CfgLookup& lookup : lookups) {
      if (lookup.done || !(r.section == lookup.section || r.key == lookup.key || r.number == lookup.number)) continue;
      if (!deciphered) Cfg_Value_Decode(r.value, &decoded, kCfgCipherKey);
      deciphered = true;
      *lookup.record = r;
      lookup.record->value = decoded;
      lookup.done = true;
      --open;
    }
  }
}

}  // namespace

int Str_NthPos(std::string_view text, char ch, int n) {
  int count = 0;
  int last = -1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != ch) continue;
    last = static_cast<int>(i);
    if (++count == n) return last;
  }
  return last;
}

void Str_SubCopy(std::string_view src, int start, int length, std::string* dst) {
  if (length < 0) return;
  if (start < 0 || static_cast<std::size_t>(start) > src.size()) {
    dst->clear();
    return;
  }
  std::string_view rest = src.substr(static_cast<std::size_t>(start));
  dst->assign(length == 0 ? rest : rest.substr(0, static_cast<std::size_t>(length)));
}

void Cfg_Value_Read(std::string_view section, std::string_view key, int32_t number, const char* path, CfgSatz* record) {
  LineReader reader(path);
  CfgLookup lookup{section, key, number, record};
  ReadPairs(reader, {&lookup, 1});
}

CfgSettings Cfg_Settings_Read(const std::string& path) {
  CfgSettings settings;
  if (path.empty()) {
    settings.problem = CfgProblem::NoPath;
    return settings;
  }
  LineReader reader(path.c_str());
  settings.problem = reader.Problem();
  settings.error = reader.Error();
  settings.directory = reader.Directory();
  // Asked as the run always asked, one key at a time: empty section, the key, number 0.
  CfgSatz login, password, dsn, schema;
  CfgLookup lookups[] = {
      {"", "LOGIN", 0, &login}, {"", "PASS", 0, &password}, {"", "NET8", 0, &dsn}, {"", "SCHEMA", 0, &schema}};
  ReadPairs(reader, lookups);
  settings.login = std::move(login.value);
  settings.password = std::move(password.value);
  settings.dsn = std::move(dsn.value);
  settings.schema = std::move(schema.value);
  return settings;
}

bool Cfg_Value_Check(const char* what, std::string_view value, bool may_be_empty, std::string* error) {
  if (value.empty() && !may_be_empty) {
    *error = std::string(what) + " must not be empty";
    return false;
  }
  if (value.size() > kCfgValueMax) {
    *error = std::string(what) + " has " + std::to_string(value.size()) +
             " characters; a settings value may have at most " + std::to_string(kCfgValueMax);
    return false;
  }
  if (value.find('\0') != std::string_view::npos) {
    *error = std::string(what) + " must not contain a zero byte";
    return false;
  }
  if (Str_HasControl(value)) {
    *error = std::string(what) + " must not contain a control character (line end, tab, escape, ...)";
    return false;
  }
  return true;
}

std::string Cfg_File_Text(std::string_view login, std::string_view password, std::string_view dsn,
                          std::string_view client_schema) {
  struct Pair {
    int number;
    const char* key;
    std::string value;
  } pairs[] = {{1, "LOGIN", std::string(login)},
               {2, "PASS", std::string(password)},
               {3, "NET8", std::string(dsn)},
               {4, "SCHEMA", Schema_Setting(client_schema)}};
  std::string text;
  for (const auto& p : pairs) {
    std::string hex;
    Cfg_Value_Encode(p.value, &hex, kCfgCipherKey);
    text += std::string("0;PLANEX;") + p.key + "\n";
    text += std::to_string(p.number) + ";" + p.key + ";" + hex + "\n";
  }
  return text;
}

bool Cfg_File_Write(const std::string& path, std::string_view text, std::string* error) {
  return File_Replace(path, text, 0600, error);
}
