// Text functions: LIKE with SQL Server's patterns, SUBSTRING, DATALENGTH, STR, code page 1252, NEWID.
#include "text_functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "collation.h"
#include "decimal.h"
#include "operands.h"

namespace tsqlite {
namespace {

// The code point at s[i] (UTF-8; a byte that starts no valid sequence stands for itself); i is
// moved past it.
char32_t NextChar(std::string_view s, size_t& i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  size_t len = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  if (i + len > s.size()) len = 1;
  for (size_t k = 1; k < len; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) len = 1;
  }
  char32_t cp = len == 1 ? c : c & (0x7F >> len);
  for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  i += len;
  return cp;
}

// One [...] of a LIKE pattern at p[i] (just past '['): [abc], [a-c], [^a]. False when the class
// is not closed, and '[' is then an ordinary character.
bool MatchClass(std::string_view p, size_t& i, char32_t c, bool& matched, bool fold) {
  size_t k = i;
  bool negate = k < p.size() && p[k] == '^';
  if (negate) ++k;
  bool hit = false;
  bool first = true;
  while (k < p.size() && (p[k] != ']' || first)) {
    first = false;
    const char32_t lo = NextChar(p, k);
    char32_t hi = lo;
    if (k + 1 < p.size() && p[k] == '-' && p[k + 1] != ']') {
      ++k;
      hi = NextChar(p, k);
    }
    hit = hit || (c >= lo && c <= hi) || (fold && FoldCase(c) >= FoldCase(lo) && FoldCase(c) <= FoldCase(hi));
  }
  if (k >= p.size()) return false;
  i = k + 1;
  matched = hit != negate;
  return true;
}

// SQL Server's LIKE: % any run, _ one character, [..] a class, escape makes the next pattern
// character literal. Characters compare exactly, as = does, or with their case taken away (fold)
// under a case-insensitive collation.
bool Like(std::string_view v, std::string_view p, int64_t escape, bool fold) {
  auto same = [fold](char32_t a, char32_t b) { return a == b || (fold && FoldCase(a) == FoldCase(b)); };
  size_t vi = 0, pi = 0;
  size_t star_p = std::string_view::npos, star_v = 0;
  while (vi < v.size()) {
    bool ok = false;
    if (pi < p.size()) {
      size_t pj = pi;
      const char32_t pc = NextChar(p, pj);
      size_t vj = vi;
      const char32_t vc = NextChar(v, vj);
      if (escape >= 0 && pc == static_cast<char32_t>(escape) && pj < p.size()) {
        const char32_t literal = NextChar(p, pj);
        ok = same(literal, vc);
      } else if (pc == '%') {
        star_p = pj;
        star_v = vi;
        pi = pj;
        continue;
      } else if (pc == '_') {
        ok = true;
      } else if (pc == '[') {
        bool matched = false;
        if (MatchClass(p, pj, vc, matched, fold)) {
          ok = matched;
        } else {
          ok = vc == '[';
        }
      } else {
        ok = same(pc, vc);
      }
      if (ok) {
        vi = vj;
        pi = pj;
        continue;
      }
    }
    if (star_p == std::string_view::npos) return false;
    NextChar(v, star_v);
    vi = star_v;
    pi = star_p;
  }
  while (pi < p.size() && p[pi] == '%') ++pi;
  return pi == p.size();
}

// ts_like(value, pattern, escape): value LIKE pattern [ESCAPE escape]; trailing blanks of the
// value do not count, those of the pattern do. ts_like_ci ignores the case of letters.
void LikeOf(sqlite3_context* ctx, sqlite3_value** argv, bool fold) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  std::string value = TextOf(argv[0]);
  while (!value.empty() && value.back() == ' ') value.pop_back();
  const std::string pattern = TextOf(argv[1]);
  int64_t escape = -1;
  if (sqlite3_value_type(argv[2]) != SQLITE_NULL) {
    const std::string e = TextOf(argv[2]);
    size_t i = 0;
    if (!e.empty()) escape = NextChar(e, i);
  }
  sqlite3_result_int(ctx, Like(value, pattern, escape, fold) ? 1 : 0);
}

}  // namespace

void FnNewId(sqlite3_context* ctx, int, sqlite3_value**) {
  unsigned char b[16];
  sqlite3_randomness(sizeof b, b);
  b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);
  b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
  char text[37];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  sqlite3_result_text(ctx, text, 36, SQLITE_TRANSIENT);
}

void FnLike(sqlite3_context* ctx, int, sqlite3_value** argv) {
  LikeOf(ctx, argv, false);
}

void FnLikeCi(sqlite3_context* ctx, int, sqlite3_value** argv) {
  LikeOf(ctx, argv, true);
}

void FnTo1252(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return sqlite3_result_value(ctx, argv[0]);
  const std::string_view text(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                              static_cast<size_t>(sqlite3_value_bytes(argv[0])));
  if (PlainLatin1(text)) return sqlite3_result_value(ctx, argv[0]);
  const std::string converted = To1252(text);
  sqlite3_result_text(ctx, converted.data(), static_cast<int>(converted.size()), SQLITE_TRANSIENT);
}

void FnDataLength(sqlite3_context* ctx, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
      return sqlite3_result_null(ctx);
    case SQLITE_BLOB:
      return sqlite3_result_int64(ctx, sqlite3_value_bytes(argv[0]));
    default:
      break;
  }
  const bool text = sqlite3_value_type(argv[0]) == SQLITE_TEXT;
  const unsigned char* p = sqlite3_value_text(argv[0]);
  const int bytes = sqlite3_value_bytes(argv[0]);
  if (p == nullptr) return sqlite3_result_null(ctx);
  const int unit = text ? sqlite3_value_int(argv[1]) : 0;
  if (unit == 1) return sqlite3_result_int64(ctx, bytes);
  int64_t characters = 0, astral = 0;
  for (int i = 0; i < bytes; ++i) {
    if ((p[i] & 0xC0) != 0x80) ++characters;
    if (p[i] >= 0xF0) ++astral;
  }
  sqlite3_result_int64(ctx, unit == 2 ? 2 * (characters + astral) : characters);
}

void FnSubstring(sqlite3_context* ctx, int, sqlite3_value** argv) {
  for (int k = 0; k < 3; ++k) {
    if (sqlite3_value_type(argv[k]) == SQLITE_NULL) {
      sqlite3_result_null(ctx);
      return;
    }
  }
  const int64_t start = sqlite3_value_int64(argv[1]);
  const int64_t length = sqlite3_value_int64(argv[2]);
  if (length < 0) {
    RaiseError(ctx, Raised<Err::InvalidLength>("substring"));
    return;
  }
  const std::string s = TextOf(argv[0]);
  const int64_t first = start < 1 ? 1 : start;
  const int64_t end = start > INT64_MAX - length ? INT64_MAX : start + length;  // one past the last
  if (end <= first) {
    sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
    return;
  }
  size_t i = 0;
  int64_t position = 1;
  for (; position < first && i < s.size(); ++position) NextChar(s, i);
  const size_t begin = i;
  for (; position < end && i < s.size(); ++position) NextChar(s, i);
  const size_t stop = i;
  sqlite3_result_text(ctx, s.data() + begin, static_cast<int>(stop - begin), SQLITE_TRANSIENT);
}

void FnStr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  }
  const double x = sqlite3_value_double(argv[0]);
  const int64_t length = argc > 1 ? sqlite3_value_int64(argv[1]) : 10;
  int64_t decimals = argc > 2 ? sqlite3_value_int64(argv[2]) : 0;
  if (length < 1 || length > 8000 || decimals < 0) return sqlite3_result_null(ctx);
  if (decimals > 16) decimals = 16;
  for (;; --decimals) {
    char buf[400];
    const int n = std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(decimals), x);
    if (n > 0 && n <= length) {
      std::string out(static_cast<size_t>(length - n), ' ');
      out.append(buf, static_cast<size_t>(n));
      return sqlite3_result_text(ctx, out.c_str(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
    }
    if (decimals == 0) break;
  }
  const std::string stars(static_cast<size_t>(length), '*');
  sqlite3_result_text(ctx, stars.c_str(), static_cast<int>(stars.size()), SQLITE_TRANSIENT);
}

}  // namespace tsqlite
