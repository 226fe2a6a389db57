#pragma once
// The roster page written as a stream: the head with its styles, legend and grid header once, then
// one table row per person as it is read, then the end. Every text from the database is escaped.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "roster_read.h"

namespace pxdb {

// Text for HTML content and quoted attribute values: & < > " ' escaped, and bytes that are not
// UTF-8 replaced by U+FFFD, so that no database text can become markup.
std::string HtmlText(std::string_view text);

// The palette slot of a group's colour: follows from its code alone, so a group keeps its colour
// from page to page; groups of the legend that would share a slot move to the next free one.
class GroupColours {
 public:
  explicit GroupColours(const std::vector<RosterGroup>& groups);
  int Of(const std::string& group) const;

 private:
  std::vector<std::pair<std::string, int>> fixed_;
};

class RosterPage {
 public:
  RosterPage(std::FILE* out, const RosterFacts& facts, const std::string& schema, Day from, Day to,
             const std::string& pnr_from, const std::string& pnr_to);
  void Begin();
  void Row(const RosterPerson& person, const std::vector<RosterCell>& cells);
  void End();

 private:
  std::FILE* out_;
  const RosterFacts& facts_;
  std::string schema_, pnr_from_, pnr_to_;
  Day from_, to_;
  GroupColours colours_;

  void Put(std::string_view text) { std::fwrite(text.data(), 1, text.size(), out_); }
  int TypeClass(const std::string& day_type) const;
  void Legend();
  void GridHead();
};

}  // namespace pxdb
