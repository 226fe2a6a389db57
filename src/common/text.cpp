#include "common/text.h"

namespace {
bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsControl(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  return c < 32 || c == 127;
}
}  // namespace

char* Str_Upper(char* text) {
  for (char* p = text; *p != '\0'; ++p) *p = Str_UpperChar(*p);
  return text;
}

std::string& Str_Upper(std::string& text) {
  for (char& c : text) c = Str_UpperChar(c);
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

void Str_Copy(char* dst, std::size_t size, std::string_view value) {
  if (size == 0) return;
  const std::size_t n = value.size() < size - 1 ? value.size() : size - 1;
  std::memcpy(dst, value.data(), n);
  dst[n] = '\0';
}

bool Str_HasControl(std::string_view text) {
  for (char c : text)
    if (IsControl(c)) return true;
  return false;
}

std::string Str_Escape(std::string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    if (!IsControl(ch)) {
      out += ch;
      continue;
    }
    const auto c = static_cast<unsigned char>(ch);
    out += '\\';
    if (c == '\n') {
      out += 'n';
    } else if (c == '\r') {
      out += 'r';
    } else if (c == '\t') {
      out += 't';
    } else {
      out += 'x';
      out += kDigits[c >> 4];
      out += kDigits[c & 0x0F];
    }
  }
  return out;
}
