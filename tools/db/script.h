#pragma once
// T-SQL scripts as sqlcmd reads them: batches separated by lines holding only GO, and $(VAR)
// scripting variables substituted before a batch is sent.
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pxdb {

struct Batch {
  std::string text;
  int first_line = 1;  // line of the script where the batch's first statement begins
};

// Splits a script at its GO lines (case-insensitive, blanks around allowed). Batches that hold
// nothing but blanks and comments are dropped.
std::vector<Batch> SplitBatches(std::string_view script);

// Replaces every $(NAME) by its value. Returns false, with the name in *missing, for a variable
// that has no value; sqlcmd refuses such a script too.
bool Substitute(std::string_view text, const std::map<std::string, std::string>& vars, std::string* out,
                std::string* missing);

// The text with -- and /* */ comments outside quoted literals replaced by blanks (line ends are
// kept, so line numbers stay right).
std::string BlankComments(std::string_view text);

// A text value as a T-SQL literal: in single quotes, embedded quotes doubled.
std::string Quote(std::string_view value);

// A date key (YYYYMMDD) as the system writes dates: CONVERT(Datetime, 'YYYYMMDD', 112).
std::string DateLiteral(std::string_view key);

}  // namespace pxdb
