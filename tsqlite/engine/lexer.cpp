#include "lexer.h"

#include <cstring>

namespace tsqlite {

namespace {

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

}  // namespace tsqlite
