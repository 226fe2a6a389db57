#include "common/text.h"

#include <algorithm>

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

std::size_t Str_CharLen(const char* text, std::size_t n) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t len = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead <= 0xDF ? 2 : 1;
  if (lead > 0xF4) len = 1;
  if (len > n) return 1;
  for (std::size_t i = 1; i < len; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 1;
  }
  return len;
}

namespace {
// The bytes below 0x80 that text starts with, up to max: each is a character of its own.
std::size_t AsciiLead(std::string_view text, std::size_t max) {
  std::size_t i = 0;
  while (i < max && i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  return i;
}
}  // namespace

std::size_t Str_Chars(std::string_view text) {
  std::size_t i = AsciiLead(text, text.size());
  std::size_t chars = i;
  for (; i < text.size(); i += Str_CharLen(text.data() + i, text.size() - i)) ++chars;
  return chars;
}

std::string_view Str_Head(std::string_view text, std::size_t max_chars, std::size_t max_bytes) {
  std::size_t end = AsciiLead(text, std::min(max_chars, max_bytes));
  for (std::size_t chars = end; end < text.size() && chars < max_chars; ++chars) {
    const std::size_t len = Str_CharLen(text.data() + end, text.size() - end);
    if (end + len > max_bytes) break;
    end += len;
  }
  return text.substr(0, end);
}

std::string_view Str_View(const char* value, std::size_t max) {
  if (value == nullptr) return "";
  std::string_view text(value, strnlen(value, max));
  if (text.size() < max) return text;
  // A UTF-8 lead byte near the end whose sequence the bound cuts.
  for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
    const auto c = static_cast<unsigned char>(text[text.size() - back]);
    if ((c & 0xC0) == 0x80) continue;
    const std::size_t need = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 1;
    if (need > back) text.remove_suffix(back);
    break;
  }
  return text;
}

void Str_Copy(char* dst, std::size_t size, std::string_view value) {
  if (size == 0) return;
  const std::string_view head = Str_Head(value, value.size(), size - 1);
  if (!head.empty()) std::memcpy(dst, head.data(), head.size());
  dst[head.size()] = '\0';
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
