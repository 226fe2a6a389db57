// The roster page's texts and colours, without a database: what a name or code from the database
// becomes on the page, and which colour a group keeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "roster_html.h"

namespace {

using pxdb::GroupColours;
using pxdb::HtmlText;

// Markup characters are escaped; UTF-8 stays as it is up to its limits (the first and last code
// point of each length, the last before the surrogates), and every byte of a sequence that is not
// UTF-8 (overlong, surrogate, past U+10FFFF, cut short, a stray continuation byte, a control
// character) becomes U+FFFD.
TEST(RosterHtml, TextIsEscapedAndKeptToUtf8) {
  const std::string bad = "\xEF\xBF\xBD";
  struct Case {
    std::string in, out;
  } cases[] = {
      {"<b a=\"x\">&'", "&lt;b a=&quot;x&quot;&gt;&amp;&#39;"},
      {"M\xC3\xBCller\tA", "M\xC3\xBCller\tA"},
      {"\xC2\x80\xDF\xBF", "\xC2\x80\xDF\xBF"},
      {"\xC1\xBF", bad + bad},
      {"\xE0\xA0\x80\xED\x9F\xBF\xEF\xBF\xBF", "\xE0\xA0\x80\xED\x9F\xBF\xEF\xBF\xBF"},
      {"\xE0\x9F\xBF", bad + bad + bad},
      {"\xED\xA0\x80", bad + bad + bad},
      {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      {"\xF0\x8F\xBF\xBF", bad + bad + bad + bad},
      {"\xF4\x90\x80\x80", bad + bad + bad + bad},
      {"\xF5\x80", bad + bad},
      {"a\x80z", "a" + bad + "z"},
      {"\xE2\x82", bad + bad},
      {"\xF0\x90\x80", bad + bad + bad},
      {std::string("\x01\x1F\x7F", 3), bad + bad + "\x7F"},
  };
  for (const Case& c : cases) EXPECT_EQ(HtmlText(c.in), c.out) << c.in;
}

// G1, G26 and G36 share a palette slot by their codes, as do G15 and G27; the legend's groups move
// to the next free slot in their order, past the last slot to the first. Trailing blanks of a
// code do not count; a group missing from the legend takes its code's slot.
TEST(RosterHtml, GroupsOfTheLegendKeepColoursOfTheirOwn) {
  const GroupColours colours({{"G1", "", 7, false},
                              {"G26  ", "", 7, false},
                              {"G15", "", 7, false},
                              {"G27", "", 7, false},
                              {"G8", "", 7, false}});
  struct Case {
    const char* group;
    int slot;
  } cases[] = {{"G1", 0}, {"G26", 1}, {"G15", 8}, {"G27", 2}, {"G8 ", 3}, {"G36", 0}, {"G3", 2}};
  for (const Case& c : cases) EXPECT_EQ(colours.Of(c.group), c.slot) << c.group;
}

}  // namespace
