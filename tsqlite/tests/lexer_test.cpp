// The one T-SQL lexer: where each token begins and ends, for the shapes of text clients send.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "lexer.h"

namespace tsqlite {
namespace {

// The tokens of text, one letter per kind and the token's text: "W:SELECT S N:1".
std::string Tokens(std::string_view text) {
  static const char kLetters[] = "ESCWQNTVMOF";  // in the order of Tok; T for a string
  std::string out;
  for (size_t i = 0;;) {
    const Lexeme t = NextToken(text, i);
    if (t.type == Tok::End) break;
    EXPECT_EQ(t.offset, i);
    EXPECT_GT(t.length, 0u);
    EXPECT_LE(t.offset + t.length, text.size());
    i = t.offset + t.length;
    if (!out.empty()) out += ' ';
    out += kLetters[static_cast<int>(t.type)];
    if (t.type != Tok::Space) out += ":" + std::string(text.substr(t.offset, t.length));
    if (!t.closed) out += "(open)";
  }
  return out;
}

TEST(Lexer, SplitsTextIntoTokensWithOffsets) {
  const std::pair<const char*, const char*> cases[] = {
      {"SELECT a,1", "W:SELECT S W:a O:, N:1"},
      {"N'it''s' 'x", "T:N'it''s' S T:'x(open)"},
      {"[a]]b] \"c\"", "Q:[a]]b] S Q:\"c\""},
      {"1.5e3 .5 0x1F 1e 12abc", "N:1.5e3 S N:.5 S N:0x1F S N:1 W:e S N:12 W:abc"},
      {"a--b\nc", "W:a C:--b S W:c"},
      {"/* /* */ x */y /* open", "C:/* /* */ x */ W:y S C:/* open(open)"},
      {"@x @@ROWCOUNT a<=b!c?", "V:@x S V:@@ROWCOUNT S W:a O:<= W:b F:! W:c M:?"},
      {"- -1", "O:- S O:- N:1"},
      {"\x01;", "F:\x01 O:;"},
  };
  for (const auto& [text, tokens] : cases) EXPECT_EQ(tokens, Tokens(text)) << text;
}

// A client passes a statement as a buffer and a length: the lexer reads nothing past the length,
// whatever follows in the buffer.
TEST(Lexer, StopsAtTheEndOfATextCutFromALongerBuffer) {
  const struct {
    const char* buffer;
    size_t length;
    const char* tokens;
  } cases[] = {
      {"1  x", 2, "N:1 S"},   {"1 --x", 3, "N:1 S O:-"}, {"1 /*x*/", 3, "N:1 S O:/"}, {"1 .5", 3, "N:1 S O:."},
      {"a<=b", 2, "W:a O:<"}, {"'ab''c'", 4, "T:'ab'"},  {"12.5e3", 2, "N:12"},       {"[a]]b]", 3, "Q:[a]"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.tokens, Tokens(std::string_view(c.buffer, c.length))) << c.buffer;
}

// A keyword is known in any case and only as a whole word; reserved ones end an expression.
TEST(Lexer, KeywordsByCodeWhateverTheirCase) {
  const struct {
    const char* word;
    Kw kw;
    bool reserved;
  } cases[] = {
      {"select", Kw::Select, true},
      {"SeLeCt", Kw::Select, true},
      {"selects", Kw::None, false},
      {"sel", Kw::None, false},
      {"NOCOUNT", Kw::Nocount, false},
      {"datetime2", Kw::Datetime2, false},
      {"", Kw::None, false},
      {"Current_Timestamp", Kw::CurrentTimestamp, false},
      // words of one length and first letter, the table's first and last rows, its longest word
      {"deny", Kw::Deny, true},
      {"Desc", Kw::Desc, true},
      {"drop", Kw::Drop, true},
      {"dropx", Kw::None, false},
      {"action", Kw::Action, false},
      {"xact_abort", Kw::XactAbort, false},
      {"concat_null_yields_null", Kw::ConcatNullYieldsNull, false},
      {"_select", Kw::None, false},
      {"@@ROWCOUNT", Kw::None, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.kw, KeywordOf(c.word)) << c.word;
    EXPECT_EQ(c.reserved, IsReserved(KeywordOf(c.word))) << c.word;
  }
  EXPECT_EQ(Kw::None, KeywordOf(std::string(40, 'A')));
  for (const auto& [name, global] :
       {std::pair{"@@rowcount", Global::Rowcount}, std::pair{"@@Identity", Global::Identity},
        std::pair{"@@rowcounts", Global::None}, std::pair{"rowcount", Global::None}}) {
    EXPECT_EQ(global, GlobalOf(name)) << name;
  }
}

}  // namespace
}  // namespace tsqlite
