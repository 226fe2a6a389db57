// The collations of a database file. Latin1_General_CI_AS and _CS_AS order text by ICU's root
// collation (the Unicode collation algorithm with the common locale data), at secondary strength
// for case-insensitive (case ignored, accents not) and at tertiary strength for case-sensitive
// comparison (lower case before upper case at the first difference of case). SQL Server's Windows
// collations are close to it; they differ where Windows sorts by "word sort" (a hyphen or an
// apostrophe inside a word counts less than any letter) and for some characters outside code
// page 1252. Text made only of ASCII letters, digits and blanks, such as person numbers and codes,
// compares without ICU: for such text ICU's order is that of the letters' lower case, which keeps
// the key lookups of a run as fast as byte order.
#include "collation.h"

#include <unicode/normalizer2.h>
#include <unicode/ucol.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <cstring>

namespace tsqlite {

namespace {

struct Named {
  const char* name;
  Collation collation;
  const char* sqlite;
};

constexpr Named kCollations[] = {
    {"Latin1_General_CI_AS", Collation::CiAs, "tsqlite_ci_as"},
    {"Latin1_General_CS_AS", Collation::CsAs, "tsqlite_cs_as"},
    {"Latin1_General_100_BIN2_UTF8", Collation::Bin2Utf8, "RTRIM"},
};

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

int Trimmed(int n, const void* p) {
  const char* s = static_cast<const char*>(p);
  while (n > 0 && s[n - 1] == ' ') --n;
  return n;
}

// The collator of one SQLite collation, and whether it keeps case apart.
struct Collator {
  UCollator* icu = nullptr;
  bool case_sensitive = false;
};

// Per byte: its lower case for ASCII letters, digits and the blank, for which ICU's root order is
// that of the lower case (digits before letters, the blank before both); 0 for any other byte.
struct PlainTable {
  unsigned char fold[256] = {};
  constexpr PlainTable() {
    fold[static_cast<unsigned char>(' ')] = ' ';
    for (int c = '0'; c <= '9'; ++c) fold[c] = static_cast<unsigned char>(c);
    for (int c = 'a'; c <= 'z'; ++c) fold[c] = static_cast<unsigned char>(c);
    for (int c = 'A'; c <= 'Z'; ++c) fold[c] = static_cast<unsigned char>(c - 'A' + 'a');
  }
};
constexpr PlainTable kPlain;

// The order ICU gives two texts, trailing blanks left out.
int CompareIcu(const Collator& c, int n1, const void* p1, int n2, const void* p2) {
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult r =
      ucol_strcollUTF8(c.icu, static_cast<const char*>(p1), n1, static_cast<const char*>(p2), n2, &status);
  if (U_FAILURE(status)) {  // not UTF-8: bytes decide, so that the order stays total
    const int k = std::memcmp(p1, p2, static_cast<size_t>(n1 < n2 ? n1 : n2));
    return k != 0 ? k : n1 - n2;
  }
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

// ASCII texts compare in one pass without ICU (person numbers, codes, dates as text): a common
// beginning weighs the same in both, the first letter, digit or blank that differs in more than
// case decides, then the length (the longer text's rest must be printable, which ICU never
// ignores), then (case-sensitive) the first difference of case, lower case first. Where the first
// difference involves any other character, or a text holds a character beyond ASCII, ICU decides.
int Compare(void* collator, int n1, const void* p1, int n2, const void* p2) {
  const Collator& c = *static_cast<const Collator*>(collator);
  n1 = Trimmed(n1, p1);
  n2 = Trimmed(n2, p2);
  const auto* a = static_cast<const unsigned char*>(p1);
  const auto* b = static_cast<const unsigned char*>(p2);
  const int n = n1 < n2 ? n1 : n2;
  int case_difference = 0;
  int i = 0;
  for (; i < n; ++i) {
    if (a[i] == b[i]) {  // the same ASCII character weighs the same in both
      if (a[i] >= 0x80) return CompareIcu(c, n1, p1, n2, p2);
      continue;
    }
    const unsigned char x = kPlain.fold[a[i]], y = kPlain.fold[b[i]];
    if (x == 0 || y == 0) return CompareIcu(c, n1, p1, n2, p2);
    // A difference of letters decides whatever follows (no character of the root collation
    // joins an ASCII letter or digit before it into one).
    if (x != y) return x < y ? -1 : 1;
    if (case_difference == 0) case_difference = a[i] > b[i] ? -1 : 1;  // lower case first
  }
  const unsigned char* rest = n1 > n ? a : b;
  for (int k = n; k < (n1 > n ? n1 : n2); ++k) {  // printable ASCII is never ignored
    if (rest[k] < 0x20 || rest[k] >= 0x7F) return CompareIcu(c, n1, p1, n2, p2);
  }
  if (n1 != n2) return n1 < n2 ? -1 : 1;
  return c.case_sensitive ? case_difference : 0;
}

void CloseCollator(void* collator) {
  auto* c = static_cast<Collator*>(collator);
  ucol_close(c->icu);
  delete c;
}

// The characters of code page 1252 at 0x80..0x9F outside Latin-1.
bool In1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return true;
  switch (c) {
    case 0x81:
    case 0x8D:
    case 0x8F:
    case 0x90:
    case 0x9D:  // unassigned bytes kept as they are
    case 0x20AC:
    case 0x201A:
    case 0x0192:
    case 0x201E:
    case 0x2026:
    case 0x2020:
    case 0x2021:
    case 0x02C6:
    case 0x2030:
    case 0x0160:
    case 0x2039:
    case 0x0152:
    case 0x017D:
    case 0x2018:
    case 0x2019:
    case 0x201C:
    case 0x201D:
    case 0x2022:
    case 0x2013:
    case 0x2014:
    case 0x02DC:
    case 0x2122:
    case 0x0161:
    case 0x203A:
    case 0x0153:
    case 0x017E:
    case 0x0178:
      return true;
    default:
      return false;
  }
}

void Append(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

bool CollationByName(std::string_view name, Collation& out) {
  for (const Named& n : kCollations) {
    if (EqualNoCase(name, n.name)) {
      out = n.collation;
      return true;
    }
  }
  return false;
}

const char* CollationName(Collation c) {
  for (const Named& n : kCollations) {
    if (n.collation == c) return n.name;
  }
  return "";
}

const char* SqliteCollation(Collation c) {
  for (const Named& n : kCollations) {
    if (n.collation == c) return n.sqlite;
  }
  return "RTRIM";
}

const char* SqliteCollationOf(std::string_view name) {
  Collation known;
  if (CollationByName(name, known)) return SqliteCollation(known);
  for (size_t i = 0; i + 3 <= name.size(); ++i) {
    if (EqualNoCase(name.substr(i, 3), "_CI")) return "NOCASE";
  }
  return "RTRIM";
}

std::string_view CollationNameOfColumn(std::string_view sqlite_collation) {
  for (const Named& n : kCollations) {
    if (EqualNoCase(sqlite_collation, n.sqlite)) return n.name;
  }
  return EqualNoCase(sqlite_collation, "BINARY") ? CollationName(Collation::Bin2Utf8) : sqlite_collation;
}

bool IgnoresCase(std::string_view sqlite_collation) {
  return EqualNoCase(sqlite_collation, SqliteCollation(Collation::CiAs)) || EqualNoCase(sqlite_collation, "NOCASE");
}

int RegisterCollations(sqlite3* db) {
  for (const Named& n : kCollations) {
    if (n.collation == Collation::Bin2Utf8) continue;  // SQLite's own RTRIM
    UErrorCode status = U_ZERO_ERROR;
    auto* collator = new Collator{ucol_open("", &status), n.collation == Collation::CsAs};
    if (U_FAILURE(status)) {
      CloseCollator(collator);
      return SQLITE_ERROR;
    }
    ucol_setStrength(collator->icu, collator->case_sensitive ? UCOL_TERTIARY : UCOL_SECONDARY);
    // SQLite calls CloseCollator also when registering fails.
    const int rc = sqlite3_create_collation_v2(db, n.sqlite, SQLITE_UTF8, collator, Compare, CloseCollator);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

char32_t FoldCase(char32_t c) {
  return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

bool PlainLatin1(std::string_view utf8) {
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) continue;
    if (i + 1 >= utf8.size()) return false;
    const auto next = static_cast<unsigned char>(utf8[i + 1]);
    if (!((c == 0xC3 && next >= 0x80 && next <= 0xBF) || (c == 0xC2 && next >= 0xA0 && next <= 0xBF))) return false;
    ++i;
  }
  return true;
}

std::string To1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
  const icu::UnicodeString text =
      icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  for (int32_t i = 0; i < text.length();) {
    const UChar32 c = text.char32At(i);
    i += U16_LENGTH(c);
    if (In1252(static_cast<char32_t>(c))) {
      Append(out, static_cast<char32_t>(c));
      continue;
    }
    // Best fit: a letter with a mark outside the code page becomes its base letter (ő as o), a
    // letter with a stroke the letter without it (Ł as L).
    icu::UnicodeString parts;
    char32_t fit = '?';
    static constexpr char32_t kStroked[][2] = {
        {0x0110, 'D'}, {0x0111, 'd'}, {0x0126, 'H'}, {0x0127, 'h'}, {0x0131, 'i'}, {0x0141, 'L'}, {0x0142, 'l'},
        {0x0166, 'T'}, {0x0167, 't'}, {0x0180, 'b'}, {0x0197, 'I'}, {0x01B5, 'Z'}, {0x01B6, 'z'}};
    for (const auto& [from, to] : kStroked) {
      if (static_cast<char32_t>(c) == from) fit = to;
    }
    if (fit == '?' && U_SUCCESS(status) && nfd != nullptr && nfd->getDecomposition(c, parts) && parts.length() > 0) {
      const UChar32 base = parts.char32At(0);
      if (base < 0x80 && u_isalpha(base)) fit = static_cast<char32_t>(base);
    }
    Append(out, fit);
  }
  return out;
}

}  // namespace tsqlite
