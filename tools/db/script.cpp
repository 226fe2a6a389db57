#include "script.h"

#include <cctype>
#include <sstream>
#include <utility>

namespace pxdb {
namespace {

bool IsGoLine(std::string_view line) {
  size_t b = 0, e = line.size();
  while (b < e && std::isspace(static_cast<unsigned char>(line[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(line[e - 1]))) --e;
  return e - b == 2 && std::toupper(static_cast<unsigned char>(line[b])) == 'G' &&
         std::toupper(static_cast<unsigned char>(line[b + 1])) == 'O';
}

// Lines before the first statement text of a batch (blank lines and comments), or -1 when the
// batch holds no statement at all.
int LeadingLines(std::string_view text) {
  int lines = 0;
  for (char c : BlankComments(text)) {
    if (c == '\n') {
      ++lines;
    } else if (!std::isspace(static_cast<unsigned char>(c))) {
      return lines;
    }
  }
  return -1;
}

}  // namespace

std::vector<Batch> SplitBatches(std::string_view script) {
  std::istringstream in{std::string(script)};
  BatchReader reader(in);
  std::vector<Batch> batches;
  for (Batch batch; reader.Next(&batch);) batches.push_back(std::move(batch));
  return batches;
}

bool BatchReader::Next(Batch* batch) {
  while (!done_) {
    Batch current;
    current.first_line = line_no_;
    bool go = false;
    for (std::string line; std::getline(in_, line);) {
      ++line_no_;
      if (!in_.eof()) line.push_back('\n');  // the last line may lack its line end
      if (IsGoLine(line)) {
        go = true;
        break;
      }
      current.text.append(line);
    }
    done_ = !go;
    const int leading = LeadingLines(current.text);
    if (leading >= 0) {
      current.first_line += leading;  // errors point at the statement, not at its comments
      *batch = std::move(current);
      return true;
    }
  }
  return false;
}

bool Substitute(std::string_view text, const std::map<std::string, std::string>& vars, std::string* out,
                std::string* missing) {
  out->clear();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t start = text.find("$(", pos);
    if (start == std::string_view::npos) break;
    size_t close = text.find(')', start + 2);
    if (close == std::string_view::npos) break;
    std::string name(text.substr(start + 2, close - start - 2));
    out->append(text.substr(pos, start - pos));
    // sqlcmd variable names are case-insensitive.
    auto found = vars.end();
    for (auto it = vars.begin(); it != vars.end(); ++it) {
      if (it->first.size() != name.size()) continue;
      bool same = true;
      for (size_t i = 0; i < name.size() && same; ++i) {
        same =
            std::toupper(static_cast<unsigned char>(it->first[i])) == std::toupper(static_cast<unsigned char>(name[i]));
      }
      if (same) {
        found = it;
        break;
      }
    }
    if (found == vars.end()) {
      *missing = name;
      return false;
    }
    out->append(found->second);
    pos = close + 1;
  }
  out->append(text.substr(pos));
  return true;
}

std::string BlankComments(std::string_view text) {
  std::string out(text);
  size_t i = 0;
  while (i < out.size()) {
    char c = out[i];
    if (c == '\'' || c == '"' || c == '[') {
      char close = c == '[' ? ']' : c;
      ++i;
      while (i < out.size()) {
        if (out[i] == close) {
          if (i + 1 < out.size() && out[i + 1] == close) {
            i += 2;  // doubled quote inside the literal
            continue;
          }
          break;
        }
        ++i;
      }
      ++i;
    } else if (c == '-' && i + 1 < out.size() && out[i + 1] == '-') {
      while (i < out.size() && out[i] != '\n') out[i++] = ' ';
    } else if (c == '/' && i + 1 < out.size() && out[i + 1] == '*') {
      // T-SQL block comments nest.
      int depth = 0;
      do {
        if (out[i] == '/' && i + 1 < out.size() && out[i + 1] == '*') {
          ++depth;
          out[i] = out[i + 1] = ' ';
          i += 2;
        } else if (out[i] == '*' && i + 1 < out.size() && out[i + 1] == '/') {
          --depth;
          out[i] = out[i + 1] = ' ';
          i += 2;
        } else {
          if (out[i] != '\n') out[i] = ' ';
          ++i;
        }
      } while (depth > 0 && i < out.size());
    } else {
      ++i;
    }
  }
  return out;
}

std::string Quote(std::string_view value) {
  std::string out = "'";
  for (char c : value) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

std::string DateLiteral(std::string_view key) {
  return "CONVERT(Datetime, " + Quote(key) + ", 112)";
}

}  // namespace pxdb
