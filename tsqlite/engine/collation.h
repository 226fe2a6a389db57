#pragma once
// The collations a database file may have: chosen when the file is made, they decide how text
// compares, sorts and groups, and what char/varchar hold.
#include <sqlite3.h>

#include <string>
#include <string_view>

namespace tsqlite {

enum class Collation {
  Bin2Utf8,  // Latin1_General_100_BIN2_UTF8: byte order, varchar in UTF-8 (files made before collations)
  CiAs,      // Latin1_General_CI_AS: case-insensitive, accent-sensitive, varchar in code page 1252
  CsAs,      // Latin1_General_CS_AS: case- and accent-sensitive, varchar in code page 1252
};

// The collation a name gives (compared without regard to case); false for a name not offered.
bool CollationByName(std::string_view name, Collation& out);
const char* CollationName(Collation c);
// The SQLite collation that text columns and comparisons under c name. Every one of them ignores
// trailing blanks.
const char* SqliteCollation(Collation c);
// The SQLite collation a COLLATE clause naming `name` compares by: a collation the database knows
// compares as it does; of any other, a case-insensitive one (_CI) as NOCASE, and the rest as RTRIM,
// which keeps trailing blanks out of the comparison as every SQL Server collation does.
const char* SqliteCollationOf(std::string_view name);
// The name of the collation a text column declared with SQLite collation `sqlite_collation` has:
// one of the three (SQLite's BINARY, of files made before collations, as binary); any other name
// as it stands.
std::string_view CollationNameOfColumn(std::string_view sqlite_collation);
// Whether the SQLite collation named (as SqliteCollation() and SqliteCollationOf() give them)
// ignores the case of letters.
bool IgnoresCase(std::string_view sqlite_collation);
// Whether char/varchar under c hold characters of code page 1252 (one byte each) rather than UTF-8.
inline bool CodePage1252(Collation c) {
  return c != Collation::Bin2Utf8;
}
inline bool CaseInsensitive(Collation c) {
  return c == Collation::CiAs;
}

// Registers the SQLite collations of SqliteCollation() on db, each with a collator of its own.
int RegisterCollations(sqlite3* db);

// A character with its case taken away, for case-insensitive LIKE.
char32_t FoldCase(char32_t c);

// Text as code page 1252 holds it: every character outside that code page becomes '?', as SQL
// Server's conversion to a varchar of that code page makes it when no best-fit letter exists.
std::string To1252(std::string_view utf8);
// True when To1252 would keep text as it is: ASCII and Latin-1 letters and signs (U+00A0..U+00FF),
// found without decoding; text with other characters may still be kept.
bool PlainLatin1(std::string_view utf8);

}  // namespace tsqlite
