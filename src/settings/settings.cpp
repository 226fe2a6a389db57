#include "settings/settings.h"

#include <climits>
#include <cstdio>

#include "settings/cipher.h"

namespace {

void Clear(CfgSatz* r) {
  r->number = 0;
  r->section.clear();
  r->key.clear();
  r->value.clear();
}

// The file's text as a program reading it in text mode on the system's home platform sees it: a
// CR directly before an LF is part of the line end, and a byte 0x1A ends the text.
bool ReadText(const char* path, std::string* text) {
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  std::string raw;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) raw.append(buf, n);
  std::fclose(f);
  std::size_t eof_mark = raw.find('\x1A');
  if (eof_mark != std::string::npos) raw.resize(eof_mark);
  text->clear();
  text->reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    text->push_back(raw[i]);
  }
  return true;
}

// Next line of text from *pos, with its LF when it has one. Lines are taken whole, however long,
// so that an over-long line cannot shift the pairing of the lines after it.
bool NextLine(const std::string& text, std::size_t* pos, std::string* line) {
  if (*pos >= text.size()) return false;
  std::size_t lf = text.find('\n', *pos);
  std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
  line->assign(text, *pos, end - *pos);
  *pos = end;
  return true;
}

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

void Cfg_Value_Read(std::string_view section, std::string_view key, int32_t number, const char* path,
                    CfgSatz* record) {
  Clear(record);
  std::string text;
  if (!ReadText(path, &text)) return;

  std::size_t pos = 0;
  std::string line1, line2, field;
  while (NextLine(text, &pos, &line1) && NextLine(text, &pos, &line2)) {
    CfgSatz& r = *record;

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

    if (r.section == section || r.key == key || r.number == number) {
      std::string decoded;
      Cfg_Value_Decode(r.value, &decoded, kCfgCipherKey);
      r.value = std::move(decoded);
      return;
    }
    Clear(record);
  }
}
