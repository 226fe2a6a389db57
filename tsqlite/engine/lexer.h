#pragma once
// The one T-SQL lexer. Parameterize() runs it over a statement as the client sent it to take the
// literals out; the translator runs it over the resulting shape key. Both therefore agree on
// where every literal, name and comment begins and ends.
#include <cstddef>
#include <string_view>

namespace tsqlite {

enum class Tok {
  End,       // no more text
  Space,     // blanks and line ends
  Comment,   // -- to the end of the line, or /* ... */ (nested)
  Word,      // keyword or name
  Quoted,    // [name] or "name"
  Number,    // 12, 1.5, .5, 1e3, 0x1F
  String,    // 'text' or N'text'
  Variable,  // @name, @@NAME
  Marker,    // '?': a literal taken out of a shape key (in client text, an ODBC parameter marker)
  Op,        // operators and punctuation, two characters for <= >= <> != !< !>
  Foreign,   // a byte that belongs to no T-SQL token
};

struct Lexeme {
  Tok type = Tok::End;
  size_t offset = 0;  // where the token starts in the text
  size_t length = 0;
  bool closed = true;     // String, Quoted, Comment: the closing mark was found before the text ended
  bool national = false;  // String: N'...'
  bool real = false;      // Number: has a fraction or an exponent
  bool hex = false;       // Number: 0x...
};

// The words the translator knows, each a code of its own (Kw::None: any other word). The table in
// lexer.cpp spells each and says which T-SQL reserves; a new keyword is one name here and one row
// there, in the same place (a compile-time check holds them in step).
enum class Kw : unsigned char {
  None,
  Action,
  Add,
  All,
  Alter,
  And,
  AnsiNulls,
  AnsiNullDfltOn,
  AnsiPadding,
  AnsiWarnings,
  Arithabort,
  As,
  Asc,
  Authorization,
  Begin,
  Between,
  Bigint,
  Binary,
  Bit,
  Break,
  By,
  Cascade,
  Case,
  Cast,
  Char,
  Character,
  Check,
  Clustered,
  Collate,
  Column,
  Commit,
  ConcatNullYieldsNull,
  Constraint,
  Continue,
  Convert,
  Create,
  Cross,
  CurrentTimestamp,
  Date,
  Datefirst,
  Dateformat,
  Datetime,
  Datetime2,
  Dec,
  Decimal,
  Declare,
  Default,
  Delete,
  Deny,
  Desc,
  Distinct,
  Drop,
  Else,
  End,
  Escape,
  Except,
  Exec,
  Execute,
  Exists,
  Float,
  For,
  Foreign,
  From,
  Full,
  Go,
  Grant,
  Group,
  Having,
  Identity,
  If,
  Image,
  ImplicitTransactions,
  In,
  Include,
  Index,
  Inner,
  Insert,
  Int,
  Integer,
  Intersect,
  Into,
  Is,
  Join,
  Key,
  Language,
  Left,
  Like,
  LockTimeout,
  Max,
  Merge,
  Money,
  Nchar,
  No,
  Nocount,
  Nonclustered,
  Not,
  Ntext,
  Null,
  Numeric,
  NumericRoundabort,
  Nvarchar,
  Off,
  On,
  Option,
  Or,
  Order,
  Outer,
  Output,
  Percent,
  Primary,
  Print,
  QuotedIdentifier,
  Real,
  References,
  Return,
  Revoke,
  Right,
  Rollback,
  Schema,
  Select,
  Set,
  Smalldatetime,
  Smallint,
  Smallmoney,
  Table,
  Text,
  TextimageOn,
  Textsize,
  Then,
  Time,
  Tinyint,
  Top,
  Tran,
  Transaction,
  Truncate,
  Union,
  Unique,
  Uniqueidentifier,
  Update,
  Use,
  Values,
  Varbinary,
  Varchar,
  View,
  When,
  Where,
  While,
  With,
  XactAbort,
};

// The code of a word, case-insensitive; Kw::None for a name that is no keyword.
Kw KeywordOf(std::string_view word);

// The word a code stands for, upper case; "" for Kw::None.
std::string_view KeywordText(Kw kw);

// Words that end an expression or a name list where T-SQL would otherwise take them as an alias.
bool IsReserved(Kw kw);

// The server's variables a statement may read (@@NAME), each a code of its own.
enum class Global : unsigned char { None, Datefirst, Identity, LockTimeout, Rowcount, Version };

// The code of a variable token (@@ included), case-insensitive; Global::None for any other.
Global GlobalOf(std::string_view variable);

// The token that begins at text[pos] (Tok::End at the end of the text).
Lexeme NextToken(std::string_view text, size_t pos);

// Character classes of T-SQL, shared with the translator.
inline bool IsSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
inline bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}
inline bool IsAlpha(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool IsIdentStart(unsigned char c) {
  return IsAlpha(c) || c == '_' || c == '#' || c >= 0x80;
}
inline bool IsIdentChar(unsigned char c) {
  return IsIdentStart(c) || IsDigit(c) || c == '$' || c == '@';
}
inline char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Case-insensitive comparison with an upper-case ASCII word.
inline bool WordIs(std::string_view w, std::string_view upper) {
  if (w.size() != upper.size()) return false;
  for (size_t i = 0; i < w.size(); ++i) {
    if (Upper(w[i]) != upper[i]) return false;
  }
  return true;
}

}  // namespace tsqlite
