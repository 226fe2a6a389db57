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

// Bounded copy into a text buffer of size bytes: at most size-1 bytes of value, always
// terminated, so a longer value arrives cut and never overflows. A null value counts as "".
void Str_Copy(char* dst, std::size_t size, std::string_view value);
// A text is read no further than the bytes it can give, so a buffer without terminator is safe.
inline void Str_Copy(char* dst, std::size_t size, const char* value) {
  if (size == 0) return;
  Str_Copy(dst, size, std::string_view(value != nullptr ? value : "", value != nullptr ? strnlen(value, size - 1) : 0));
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

// The text with every control character (bytes below 32 and 127) written as an escape: \n, \r,
// \t, or \xHH. Used where outside values go into line-oriented files, so that a value cannot end
// a line or start a new one.
std::string Str_Escape(std::string_view text);
// True when text holds a control character that Str_Escape would rewrite.
bool Str_HasControl(std::string_view text);
