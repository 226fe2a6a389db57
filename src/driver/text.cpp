#include "driver/text.h"

#include <cstring>

namespace {
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

char* Str_Upper(char* text) {
  for (char* p = text; *p != '\0'; ++p) *p = Upper(*p);
  return text;
}

std::string& Str_Upper(std::string& text) {
  for (char& c : text) c = Upper(c);
  return text;
}

char* Str_TrimRight(char* text) {
  std::size_t n = std::strlen(text);
  while (n > 0 && IsBlank(text[n - 1])) --n;
  text[n] = '\0';
  return text;
}

std::string& Str_TrimRight(std::string& text) {
  std::size_t n = text.size();
  while (n > 0 && IsBlank(text[n - 1])) --n;
  text.resize(n);
  return text;
}
