#include "lexer.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

namespace tsqlite {

namespace {

struct Keyword {
  const char* text;  // upper case
  Kw kw;
  bool reserved;
};

constexpr Keyword kKeywords[] = {
    {"ACTION", Kw::Action, false},
    {"ADD", Kw::Add, true},
    {"ALL", Kw::All, true},
    {"ALTER", Kw::Alter, true},
    {"AND", Kw::And, true},
    {"ANSI_NULLS", Kw::AnsiNulls, false},
    {"ANSI_NULL_DFLT_ON", Kw::AnsiNullDfltOn, false},
    {"ANSI_PADDING", Kw::AnsiPadding, false},
    {"ANSI_WARNINGS", Kw::AnsiWarnings, false},
    {"ARITHABORT", Kw::Arithabort, false},
    {"AS", Kw::As, true},
    {"ASC", Kw::Asc, true},
    {"AUTHORIZATION", Kw::Authorization, false},
    {"BEGIN", Kw::Begin, true},
    {"BETWEEN", Kw::Between, true},
    {"BIGINT", Kw::Bigint, false},
    {"BINARY", Kw::Binary, false},
    {"BIT", Kw::Bit, false},
    {"BREAK", Kw::Break, true},
    {"BY", Kw::By, true},
    {"CASCADE", Kw::Cascade, false},
    {"CASE", Kw::Case, true},
    {"CAST", Kw::Cast, false},
    {"CHAR", Kw::Char, false},
    {"CHARACTER", Kw::Character, false},
    {"CHECK", Kw::Check, true},
    {"CLUSTERED", Kw::Clustered, false},
    {"COLLATE", Kw::Collate, true},
    {"COLUMN", Kw::Column, false},
    {"COMMIT", Kw::Commit, true},
    {"CONCAT_NULL_YIELDS_NULL", Kw::ConcatNullYieldsNull, false},
    {"CONSTRAINT", Kw::Constraint, true},
    {"CONTINUE", Kw::Continue, true},
    {"CONVERT", Kw::Convert, false},
    {"CREATE", Kw::Create, true},
    {"CROSS", Kw::Cross, true},
    {"CURRENT_TIMESTAMP", Kw::CurrentTimestamp, false},
    {"DATE", Kw::Date, false},
    {"DATEFIRST", Kw::Datefirst, false},
    {"DATEFORMAT", Kw::Dateformat, false},
    {"DATETIME", Kw::Datetime, false},
    {"DATETIME2", Kw::Datetime2, false},
    {"DEC", Kw::Dec, false},
    {"DECIMAL", Kw::Decimal, false},
    {"DECLARE", Kw::Declare, true},
    {"DEFAULT", Kw::Default, true},
    {"DELETE", Kw::Delete, true},
    {"DENY", Kw::Deny, true},
    {"DESC", Kw::Desc, true},
    {"DISTINCT", Kw::Distinct, true},
    {"DROP", Kw::Drop, true},
    {"ELSE", Kw::Else, true},
    {"END", Kw::End, true},
    {"ESCAPE", Kw::Escape, true},
    {"EXCEPT", Kw::Except, true},
    {"EXEC", Kw::Exec, true},
    {"EXECUTE", Kw::Execute, true},
    {"EXISTS", Kw::Exists, true},
    {"FLOAT", Kw::Float, false},
    {"FOR", Kw::For, true},
    {"FOREIGN", Kw::Foreign, true},
    {"FROM", Kw::From, true},
    {"FULL", Kw::Full, true},
    {"GO", Kw::Go, true},
    {"GRANT", Kw::Grant, true},
    {"GROUP", Kw::Group, true},
    {"HAVING", Kw::Having, true},
    {"IDENTITY", Kw::Identity, true},
    {"IF", Kw::If, true},
    {"IMAGE", Kw::Image, false},
    {"IMPLICIT_TRANSACTIONS", Kw::ImplicitTransactions, false},
    {"IN", Kw::In, true},
    {"INCLUDE", Kw::Include, false},
    {"INDEX", Kw::Index, false},
    {"INNER", Kw::Inner, true},
    {"INSERT", Kw::Insert, true},
    {"INT", Kw::Int, false},
    {"INTEGER", Kw::Integer, false},
    {"INTERSECT", Kw::Intersect, true},
    {"INTO", Kw::Into, true},
    {"IS", Kw::Is, true},
    {"JOIN", Kw::Join, true},
    {"KEY", Kw::Key, false},
    {"LANGUAGE", Kw::Language, false},
    {"LEFT", Kw::Left, true},
    {"LIKE", Kw::Like, true},
    {"LOCK_TIMEOUT", Kw::LockTimeout, false},
    {"MAX", Kw::Max, false},
    {"MERGE", Kw::Merge, true},
    {"MONEY", Kw::Money, false},
    {"NCHAR", Kw::Nchar, false},
    {"NO", Kw::No, false},
    {"NOCOUNT", Kw::Nocount, false},
    {"NONCLUSTERED", Kw::Nonclustered, false},
    {"NOT", Kw::Not, true},
    {"NTEXT", Kw::Ntext, false},
    {"NULL", Kw::Null, true},
    {"NUMERIC", Kw::Numeric, false},
    {"NUMERIC_ROUNDABORT", Kw::NumericRoundabort, false},
    {"NVARCHAR", Kw::Nvarchar, false},
    {"OFF", Kw::Off, false},
    {"ON", Kw::On, true},
    {"OPTION", Kw::Option, true},
    {"OR", Kw::Or, true},
    {"ORDER", Kw::Order, true},
    {"OUTER", Kw::Outer, true},
    {"OUTPUT", Kw::Output, true},
    {"PERCENT", Kw::Percent, false},
    {"PRIMARY", Kw::Primary, true},
    {"PRINT", Kw::Print, true},
    {"QUOTED_IDENTIFIER", Kw::QuotedIdentifier, false},
    {"REAL", Kw::Real, false},
    {"REFERENCES", Kw::References, true},
    {"RETURN", Kw::Return, true},
    {"REVOKE", Kw::Revoke, true},
    {"RIGHT", Kw::Right, true},
    {"ROLLBACK", Kw::Rollback, true},
    {"SCHEMA", Kw::Schema, false},
    {"SELECT", Kw::Select, true},
    {"SET", Kw::Set, true},
    {"SMALLDATETIME", Kw::Smalldatetime, false},
    {"SMALLINT", Kw::Smallint, false},
    {"SMALLMONEY", Kw::Smallmoney, false},
    {"TABLE", Kw::Table, false},
    {"TEXT", Kw::Text, false},
    {"TEXTIMAGE_ON", Kw::TextimageOn, false},
    {"TEXTSIZE", Kw::Textsize, false},
    {"THEN", Kw::Then, true},
    {"TIME", Kw::Time, false},
    {"TINYINT", Kw::Tinyint, false},
    {"TOP", Kw::Top, true},
    {"TRAN", Kw::Tran, false},
    {"TRANSACTION", Kw::Transaction, false},
    {"TRUNCATE", Kw::Truncate, true},
    {"UNION", Kw::Union, true},
    {"UNIQUE", Kw::Unique, true},
    {"UNIQUEIDENTIFIER", Kw::Uniqueidentifier, false},
    {"UPDATE", Kw::Update, true},
    {"USE", Kw::Use, true},
    {"VALUES", Kw::Values, true},
    {"VARBINARY", Kw::Varbinary, false},
    {"VARCHAR", Kw::Varchar, false},
    {"VIEW", Kw::View, true},
    {"WHEN", Kw::When, true},
    {"WHERE", Kw::Where, true},
    {"WHILE", Kw::While, true},
    {"WITH", Kw::With, true},
    {"XACT_ABORT", Kw::XactAbort, false},
};

// Row k spells code k + 1, in the order of the enumeration.
constexpr bool InStep() {
  for (size_t k = 0; k < std::size(kKeywords); ++k) {
    if (static_cast<size_t>(kKeywords[k].kw) != k + 1) return false;
  }
  return true;
}
static_assert(InStep(), "kKeywords must list every Kw once, in the enumeration's order");

// The end of a quoted run that began at open (a quote or bracket), doubled closing marks standing
// for themselves; sets closed.
size_t EndOfQuoted(std::string_view s, size_t first, char close, bool& closed) {
  closed = false;
  size_t j = first;
  while (j < s.size()) {
    if (s[j] == close) {
      if (j + 1 < s.size() && s[j + 1] == close) {
        j += 2;
        continue;
      }
      closed = true;
      return j + 1;
    }
    ++j;
  }
  return j;
}

}  // namespace

Lexeme NextToken(std::string_view s, size_t i) {
  Lexeme t;
  t.offset = i;
  const size_t n = s.size();
  if (i >= n) return t;
  const unsigned char c = static_cast<unsigned char>(s[i]);
  size_t j = i + 1;
  auto digits = [&](size_t k) {
    while (k < n && IsDigit(static_cast<unsigned char>(s[k]))) ++k;
    return k;
  };
  if (IsSpace(c)) {
    t.type = Tok::Space;
    while (j < n && IsSpace(static_cast<unsigned char>(s[j]))) ++j;
  } else if (c == '-' && j < n && s[j] == '-') {
    t.type = Tok::Comment;
    while (j < n && s[j] != '\n') ++j;
  } else if (c == '/' && j < n && s[j] == '*') {
    t.type = Tok::Comment;
    int nest = 1;
    t.closed = false;
    for (j = i + 2; j < n;) {
      if (s[j] == '/' && j + 1 < n && s[j + 1] == '*') {
        ++nest;
        j += 2;
      } else if (s[j] == '*' && j + 1 < n && s[j + 1] == '/') {
        j += 2;
        if (--nest == 0) {
          t.closed = true;
          break;
        }
      } else {
        ++j;
      }
    }
  } else if (c == '\'' || ((c == 'N' || c == 'n') && j < n && s[j] == '\'')) {
    t.type = Tok::String;
    t.national = c != '\'';
    j = EndOfQuoted(s, t.national ? i + 2 : i + 1, '\'', t.closed);
  } else if (IsDigit(c) || (c == '.' && j < n && IsDigit(static_cast<unsigned char>(s[j])))) {
    t.type = Tok::Number;
    if (c == '0' && j < n && (s[j] == 'x' || s[j] == 'X')) {
      t.hex = true;
      j = i + 2;
      while (j < n && std::strchr("0123456789abcdefABCDEF", s[j]) != nullptr && s[j] != '\0') ++j;
    } else {
      j = digits(i);
      if (j < n && s[j] == '.') {
        t.real = true;
        j = digits(j + 1);
      }
      if (j < n && (s[j] == 'e' || s[j] == 'E')) {
        size_t k = j + 1;
        if (k < n && (s[k] == '+' || s[k] == '-')) ++k;
        if (k < n && IsDigit(static_cast<unsigned char>(s[k]))) {
          t.real = true;
          j = digits(k);
        }
      }
    }
  } else if (IsIdentStart(c)) {
    t.type = Tok::Word;
    while (j < n && IsIdentChar(static_cast<unsigned char>(s[j]))) ++j;
  } else if (c == '@') {
    t.type = Tok::Variable;
    while (j < n && IsIdentChar(static_cast<unsigned char>(s[j]))) ++j;
  } else if (c == '[' || c == '"') {
    t.type = Tok::Quoted;
    j = EndOfQuoted(s, i + 1, c == '[' ? ']' : '"', t.closed);
  } else if (c == '?') {
    t.type = Tok::Marker;
  } else if (std::strchr("(),.;=<>+-*/%&|^~!", c) != nullptr && c != '\0') {
    t.type = Tok::Op;
    // Two characters: <= >= <> != !< !>. Commas and parentheses, most of a long INSERT's
    // operators, skip the test.
    if ((c == '<' || c == '>' || c == '!') && j < n) {
      const char d = s[j];
      if (d == '=' || (c == '<' && d == '>') || (c == '!' && (d == '<' || d == '>'))) j = i + 2;
    }
    if (c == '!' && j == i + 1) t.type = Tok::Foreign;  // '!' only begins a two-character operator
  } else {
    t.type = Tok::Foreign;
  }
  t.length = j - i;
  return t;
}

namespace {

constexpr size_t kLongest = 32;  // no keyword is longer
constexpr size_t kLetters = 26;  // every keyword begins with a letter A-Z

// Keywords are found by their length and first letter: the rows of one bucket are compared, and
// most names of tables and columns fall into an empty one. No allocation, no hashing: Parameterize
// asks for every word of every statement.
constexpr size_t Bucket(size_t length, char first) {
  return length * kLetters + static_cast<size_t>(first - 'A');
}

struct Buckets {
  std::array<uint8_t, std::size(kKeywords)> rows{};             // kKeywords' rows, bucket by bucket
  std::array<uint16_t, (kLongest + 1) * kLetters + 1> begin{};  // bucket b is rows[begin[b], begin[b + 1])
};

constexpr Buckets kBuckets = [] {
  static_assert(std::size(kKeywords) <= 255, "a row number must fit Buckets::rows");
  Buckets b;
  for (const Keyword& k : kKeywords) ++b.begin[Bucket(std::char_traits<char>::length(k.text), k.text[0]) + 1];
  for (size_t i = 1; i < b.begin.size(); ++i) b.begin[i] = static_cast<uint16_t>(b.begin[i] + b.begin[i - 1]);
  std::array<uint16_t, (kLongest + 1)* kLetters + 1> next = b.begin;
  for (size_t r = 0; r < std::size(kKeywords); ++r) {
    b.rows[next[Bucket(std::char_traits<char>::length(kKeywords[r].text), kKeywords[r].text[0])]++] =
        static_cast<uint8_t>(r);
  }
  return b;
}();

constexpr bool Bucketable() {
  for (const Keyword& k : kKeywords) {
    const size_t n = std::char_traits<char>::length(k.text);
    if (n == 0 || n > kLongest || k.text[0] < 'A' || k.text[0] > 'Z') return false;
  }
  return true;
}
static_assert(Bucketable(), "every keyword must begin with A-Z and be at most kLongest long");

}  // namespace

std::string_view KeywordText(Kw kw) {
  return kw == Kw::None ? std::string_view() : std::string_view(kKeywords[static_cast<size_t>(kw) - 1].text);
}

Kw KeywordOf(std::string_view word) {
  const size_t n = word.size();
  if (n == 0 || n > kLongest) return Kw::None;
  const char first = Upper(word[0]);
  if (first < 'A' || first > 'Z') return Kw::None;
  const size_t bucket = Bucket(n, first);
  for (size_t i = kBuckets.begin[bucket]; i < kBuckets.begin[bucket + 1]; ++i) {
    const Keyword& k = kKeywords[kBuckets.rows[i]];
    size_t j = 1;
    while (j < n && Upper(word[j]) == k.text[j]) ++j;
    if (j == n) return k.kw;
  }
  return Kw::None;
}

Global GlobalOf(std::string_view variable) {
  static constexpr struct {
    const char* name;  // upper case
    Global global;
  } kGlobals[] = {
      {"@@DATEFIRST", Global::Datefirst}, {"@@IDENTITY", Global::Identity}, {"@@LOCK_TIMEOUT", Global::LockTimeout},
      {"@@ROWCOUNT", Global::Rowcount},   {"@@VERSION", Global::Version},
  };
  for (const auto& g : kGlobals) {
    if (WordIs(variable, g.name)) return g.global;
  }
  return Global::None;
}

bool IsReserved(Kw kw) {
  return kw != Kw::None && kKeywords[static_cast<size_t>(kw) - 1].reserved;
}

}  // namespace tsqlite
