#pragma once
// Format texts checked when the program is built: a CheckedFormat<Args...> can only be made from a
// format whose conversions match Args one by one, as std::format_string does for std::format.
// A statement or log line whose arguments do not fit its text therefore does not build.
//
// The conversions are those the system's texts use: %s takes a text (a char array, const char*,
// std::string or std::string_view), %d an int, %ld a long; %% is a percent sign. Nothing else.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

namespace format_detail {

enum class Kind { Text, Int, Long, Other };

template <class T>
consteval Kind KindOf() {
  using D = std::remove_cv_t<std::decay_t<T>>;
  if constexpr (std::is_same_v<D, char*> || std::is_same_v<D, const char*> || std::is_same_v<D, std::string> ||
                std::is_same_v<D, std::string_view>) {
    return Kind::Text;
  } else if constexpr (std::is_same_v<D, int>) {
    return Kind::Int;
  } else if constexpr (std::is_same_v<D, long>) {
    return Kind::Long;
  } else {
    return Kind::Other;
  }
}

// Called only when a format does not fit its arguments; being no constexpr function, it stops the
// build at the place where the format is written.
void FormatDoesNotMatchItsArguments();

}  // namespace format_detail

// True when the conversions of fmt match the argument types Args in number and kind.
template <class... Args>
constexpr bool Fmt_Matches(std::string_view fmt) {
  using format_detail::Kind;
  constexpr std::array<Kind, sizeof...(Args)> kinds = {format_detail::KindOf<Args>()...};
  std::size_t next = 0;
  for (std::size_t i = 0; i < fmt.size(); ++i) {
    if (fmt[i] != '%') continue;
    if (++i == fmt.size()) return false;
    if (fmt[i] == '%') continue;
    Kind want = Kind::Other;
    if (fmt[i] == 's') {
      want = Kind::Text;
    } else if (fmt[i] == 'd') {
      want = Kind::Int;
    } else if (fmt[i] == 'l' && i + 1 < fmt.size() && fmt[i + 1] == 'd') {
      want = Kind::Long;
      ++i;
    } else {
      return false;
    }
    if (next == kinds.size() || kinds[next] != want) return false;
    ++next;
  }
  return next == kinds.size();
}

template <class... Args>
class CheckedFormat {
 public:
  // Implicit on purpose: a string literal or constexpr text converts at the call, checked there.
  consteval CheckedFormat(const char* text) : text_(text) {  // NOLINT(google-explicit-constructor)
    if (!Fmt_Matches<Args...>(text)) format_detail::FormatDoesNotMatchItsArguments();
  }
  constexpr const char* c_str() const { return text_; }

 private:
  const char* text_;
};

// The format parameter of a function whose arguments follow it: Args are deduced from the
// arguments only, then the format is checked against them.
template <class... Args>
using FormatFor = CheckedFormat<std::type_identity_t<Args>...>;
