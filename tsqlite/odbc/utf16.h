#pragma once
// Text between the engine's UTF-8 and the UTF-16 of the ODBC wide calls.
#include <string>
#include <string_view>

namespace tsqlite {

// UTF-8 to UTF-16 (bytes that are not UTF-8 are taken as Latin-1), and back (an unpaired
// surrogate becomes U+FFFD).
std::u16string Utf16(std::string_view s);
std::string Utf8(std::u16string_view s);

}  // namespace tsqlite
