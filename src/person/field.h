#pragma once
// Fixed-size text fields of the person records: every value is copied with a bound, so a value
// longer than its field arrives cut to the field's size less one, always terminated.
#include <cstddef>
#include <cstring>
#include <string_view>

template <std::size_t N>
void Fld_Copy(char (&field)[N], std::string_view value) {
  static_assert(N > 0);
  const std::size_t n = value.size() < N - 1 ? value.size() : N - 1;
  std::memcpy(field, value.data(), n);
  field[n] = '\0';
}

template <std::size_t N>
void Fld_Copy(char (&field)[N], const char* value) {
  Fld_Copy(field, std::string_view(value != nullptr ? value : ""));
}
