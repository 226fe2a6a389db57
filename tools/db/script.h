#pragma once
// T-SQL scripts as sqlcmd reads them: batches separated by lines holding only GO, and $(VAR)
// scripting variables substituted before a batch is sent.
#include <istream>
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

// The same split, one batch at a time from a stream, so that running a script of any size (the
// dump of a large company) holds no more than its largest batch.
class BatchReader {
 public:
  explicit BatchReader(std::istream& in) : in_(in) {}
  // The next batch; false at the end of the script.
  bool Next(Batch* batch);

 private:
  std::istream& in_;
  int line_no_ = 1;  // the line read next
  bool done_ = false;
};

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
