#pragma once
// Small text routines shared by the subsystems. They work on bytes in the "C" locale: bytes above
// 127 (umlauts of any encoding) are never changed.
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

// 'a'..'z' to 'A'..'Z'; every other byte as it is. The one case mapping of planex and its tools.
constexpr char Str_UpperChar(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Maps 'a'..'z' to 'A'..'Z' in place and returns text.
char* Str_Upper(char* text);
std::string& Str_Upper(std::string& text);
// Removes trailing blanks and tabs in place and returns text; all blanks and tabs give "".
char* Str_TrimRight(char* text);
std::string& Str_TrimRight(std::string& text);

// Bytes a buffer needs for a char/varchar value of width characters: a code page 1252 server
// sends each character to this client as up to 3 bytes of UTF-8; one more for the terminator.
constexpr std::size_t Txt_Size(std::size_t width) {
  return 3 * width + 1;
}

// The length in bytes of the character that starts at text[0] (n > 0 bytes available): a whole
// UTF-8 sequence, or 1 for any byte that does not start one (text in a single-byte encoding).
std::size_t Str_CharLen(const char* text, std::size_t n);
// The number of characters in text, each counted once as the server counts them.
std::size_t Str_Chars(std::string_view text);
// The longest head of text of at most max_chars characters and max_bytes bytes that ends on a
// character boundary.
std::string_view Str_Head(std::string_view text, std::size_t max_chars, std::size_t max_bytes);

// Bounded copy into a text buffer of size bytes: at most size-1 bytes of value, cut at a
// character boundary, always terminated, so a longer value arrives cut and never overflows.
// A null value counts as "".
void Str_Copy(char* dst, std::size_t size, std::string_view value);
// A text read no further than max bytes (a buffer without terminator is safe); when it reaches
// max, a character cut there by the bound is left out. A null text counts as "".
std::string_view Str_View(const char* value, std::size_t max);
// A text is read no further than the bytes the target can hold.
inline void Str_Copy(char* dst, std::size_t size, const char* value) {
  if (size == 0) return;
  Str_Copy(dst, size, Str_View(value, size - 1));
}

// The same for the fixed-size text fields of the records, with the size taken from the field.
template <std::size_t N>
void Fld_Copy(char (&field)[N], std::string_view value) {
  static_assert(N > 0);
  Str_Copy(field, N, value);
}
template <std::size_t N>
void Fld_Copy(char (&field)[N], const char* value) {
  Str_Copy(field, N, value);
}

// The same for the record fields that hold char/varchar values, sized Txt_Size(width): a longer
// value is cut to the field's width in characters, at a character boundary.
template <std::size_t N>
constexpr std::size_t Txt_Width(const char (&)[N]) {
  static_assert(N > 0 && (N - 1) % 3 == 0, "a text field is sized with Txt_Size");
  return (N - 1) / 3;
}
template <std::size_t N>
void Txt_Copy(char (&field)[N], std::string_view value) {
  const std::string_view head = Str_Head(value, Txt_Width(field), N - 1);
  if (!head.empty()) std::memcpy(field, head.data(), head.size());
  field[head.size()] = '\0';
}
template <std::size_t N>
void Txt_Copy(char (&field)[N], const char* value) {
  Txt_Copy(field, Str_View(value, N - 1));
}
// True when value fits the text field whole: no more characters than its width.
template <std::size_t N>
bool Txt_Fits(const char (&field)[N], std::string_view value) {
  return value.size() < N && Str_Chars(value) <= Txt_Width(field);
}

// The text with every control character (bytes below 32 and 127) written as an escape: \n, \r,
// \t, or \xHH. Used where outside values go into line-oriented files, so that a value cannot end
// a line or start a new one.
std::string Str_Escape(std::string_view text);
// True when text holds a control character that Str_Escape would rewrite.
bool Str_HasControl(std::string_view text);
