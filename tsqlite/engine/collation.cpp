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

bool Plain(const unsigned char* s, int n) {
  for (int i = 0; i < n; ++i) {
    const unsigned char c = s[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ' ')) return false;
  }
  return true;
}

unsigned char Lower(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// The order of two texts of ASCII letters, digits and blanks, as ICU's root collation gives it.
int ComparePlain(const unsigned char* a, int na, const unsigned char* b, int nb, bool case_sensitive) {
  const int n = na < nb ? na : nb;
  int case_difference = 0;
  for (int i = 0; i < n; ++i) {
    const unsigned char x = Lower(a[i]), y = Lower(b[i]);
    if (x != y) return x < y ? -1 : 1;
    if (case_difference == 0 && a[i] != b[i]) case_difference = a[i] > b[i] ? -1 : 1;  // lower case first
  }
  if (na != nb) return na < nb ? -1 : 1;
  return case_sensitive ? case_difference : 0;
}

int Compare(void* collator, int n1, const void* p1, int n2, const void* p2) {
  n1 = Trimmed(n1, p1);
  n2 = Trimmed(n2, p2);
  const auto* a = static_cast<const unsigned char*>(p1);
  const auto* b = static_cast<const unsigned char*>(p2);
  auto* c = static_cast<UCollator*>(collator);
  if (Plain(a, n1) && Plain(b, n2)) return ComparePlain(a, n1, b, n2, ucol_getStrength(c) != UCOL_SECONDARY);
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult r =
      ucol_strcollUTF8(c, static_cast<const char*>(p1), n1, static_cast<const char*>(p2), n2, &status);
  if (U_FAILURE(status)) {  // not UTF-8: bytes decide, so that the order stays total
    const int k = std::memcmp(p1, p2, static_cast<size_t>(n1 < n2 ? n1 : n2));
    return k != 0 ? k : n1 - n2;
  }
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

void CloseCollator(void* collator) {
  ucol_close(static_cast<UCollator*>(collator));
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

int RegisterCollations(sqlite3* db) {
  for (const Named& n : kCollations) {
    if (n.collation == Collation::Bin2Utf8) continue;  // SQLite's own RTRIM
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open("", &status);
    if (U_FAILURE(status)) return SQLITE_ERROR;
    ucol_setStrength(collator, n.collation == Collation::CiAs ? UCOL_SECONDARY : UCOL_TERTIARY);
    const int rc = sqlite3_create_collation_v2(db, n.sqlite, SQLITE_UTF8, collator, Compare, CloseCollator);
    if (rc != SQLITE_OK) {
      ucol_close(collator);
      return rc;
    }
  }
  return SQLITE_OK;
}

char32_t FoldCase(char32_t c) {
  return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
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
    // Best fit: a letter with a mark outside the code page becomes its base letter (ő as o).
    icu::UnicodeString parts;
    char32_t fit = '?';
    if (U_SUCCESS(status) && nfd != nullptr && nfd->getDecomposition(c, parts) && parts.length() > 0) {
      const UChar32 base = parts.char32At(0);
      if (base < 0x80 && u_isalpha(base)) fit = static_cast<char32_t>(base);
    }
    Append(out, fit);
  }
  return out;
}

}  // namespace tsqlite
