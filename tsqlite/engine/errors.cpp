// The error table's functions: a row's message filled in, a native number's row, and the one
// encoding of an error raised by a SQLite function of ours.
#include "errors.h"

#include <sqlite3.h>

#include <charconv>
#include <string>
#include <string_view>

namespace tsqlite {

Error MakeError(Err e, std::initializer_list<std::string_view> args) {
  const ErrorRow& row = RowOf(e);
  const std::string_view text = row.text;
  Error out{row.sqlstate, row.native, {}};
  out.message.reserve(text.size());
  const std::string_view* arg = args.begin();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's' && arg != args.end()) {
      out.message += *arg++;
      ++i;
    } else {
      out.message += text[i];
    }
  }
  return out;
}

const ErrorRow* RowOfNative(int native) {
  if (native == 0) return nullptr;
  for (const ErrorRow& row : kErrors) {
    if (row.native == native) return &row;
  }
  return nullptr;
}

Error ErrorOfNative(int native, std::string message) {
  const ErrorRow* row = RowOfNative(native);
  return Error{row != nullptr ? row->sqlstate : RowOf(Err::SyntaxError).sqlstate, native, std::move(message)};
}

void RaiseError(sqlite3_context* ctx, const Error& error) {
  const std::string text = "tsqlite:" + std::to_string(error.native) + ":" + error.message;
  sqlite3_result_error(ctx, text.c_str(), static_cast<int>(text.size()));
}

bool DecodeRaised(std::string_view text, Error& out) {
  constexpr std::string_view kPrefix = "tsqlite:";
  if (text.substr(0, kPrefix.size()) != kPrefix) return false;
  text.remove_prefix(kPrefix.size());
  const size_t colon = text.find(':');
  int native = 0;
  std::from_chars(text.data(), text.data() + (colon == std::string_view::npos ? text.size() : colon), native);
  out = ErrorOfNative(native, colon == std::string_view::npos ? std::string() : std::string(text.substr(colon + 1)));
  return true;
}

}  // namespace tsqlite
