// The test aids of a connection: write statements and reads that fail as a busy server's do, and
// the row counts of triggers.
#include "faults.h"

#include "errors.h"

#include <cctype>
#include <cstdlib>
#include <span>

namespace tsqlite {

namespace {

bool VerbIs(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != word[i]) return false;
  }
  return text.size() == word.size() ||
         !(std::isalnum(static_cast<unsigned char>(text[word.size()])) || text[word.size()] == '_');
}

bool Number(std::string_view text, long& out) {
  if (text.empty() || text.size() > 9) return false;
  out = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  return true;
}

constexpr int kKnown[] = {1205, 1222, 547, 2627, 1105, 9002, 50000};

}  // namespace

namespace {

// A list of N:NATIVE[:after] items of the key; natives: those known, after: where allowed.
bool ParseFaults(std::string_view key, std::string_view text, std::span<const int> natives, bool after_allowed,
                 std::vector<WriteFault>& faults, std::string* problem) {
  faults.clear();
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    std::string_view item = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    WriteFault f;
    long nth = 0, native = 0;
    const std::size_t c1 = item.find(':');
    const std::size_t c2 = c1 == std::string_view::npos ? c1 : item.find(':', c1 + 1);
    const std::string_view rest = c2 == std::string_view::npos ? "" : item.substr(c2 + 1);
    bool known = false;
    if (c1 != std::string_view::npos && Number(item.substr(0, c1), nth) &&
        Number(item.substr(c1 + 1, c2 == std::string_view::npos ? std::string_view::npos : c2 - c1 - 1), native)) {
      for (const int k : natives) known = known || k == native;
    }
    if (!known || nth < 1 || (c2 != std::string_view::npos && (!after_allowed || rest != "after"))) {
      std::string list;
      for (const int k : natives) list += (list.empty() ? "" : ", ") + std::to_string(k);
      *problem = std::string(key) + " must be N:NATIVE" + (after_allowed ? "[:after]" : "") +
                 ",... with NATIVE one of " + list + ", not '" + std::string(item) + "'";
      return false;
    }
    f.nth = static_cast<unsigned long>(nth);
    f.native = static_cast<int>(native);
    f.after = c2 != std::string_view::npos;
    faults.push_back(f);
  }
  return true;
}

// The text after its leading blanks, semicolons and comments.
std::string_view FirstWord(std::string_view text) {
  std::size_t i = 0;
  for (;;) {
    while (i < text.size() && (std::isspace(static_cast<unsigned char>(text[i])) || text[i] == ';')) ++i;
    if (text.substr(i, 2) == "--") {
      const std::size_t end = text.find('\n', i);
      i = end == std::string_view::npos ? text.size() : end;
    } else if (text.substr(i, 2) == "/*") {
      const std::size_t end = text.find("*/", i + 2);
      i = end == std::string_view::npos ? text.size() : end + 2;
    } else {
      break;
    }
  }
  return text.substr(i);
}

constexpr int kLockNatives[] = {1205, 1222};

}  // namespace

bool ParseWriteFaults(std::string_view text, std::vector<WriteFault>& faults, std::string* problem) {
  return ParseFaults("FaultWrites", text, kKnown, true, faults, problem);
}

bool ParseReadFaults(std::string_view text, std::vector<WriteFault>& faults, std::string* problem) {
  return ParseFaults("FaultReads", text, kLockNatives, false, faults, problem);
}

bool IsSelect(std::string_view text) {
  return VerbIs(FirstWord(text), "SELECT");
}

std::string_view WriteVerb(std::string_view text) {
  const std::string_view word = FirstWord(text);
  for (const std::string_view verb : {"INSERT", "UPDATE", "DELETE", "MERGE"}) {
    if (VerbIs(word, verb)) return verb;
  }
  return {};
}

Error FaultError(int native, std::string_view verb, std::string_view database) {
  switch (native) {
    case 1205:
      return Raised<Err::Deadlock>("57");
    case 1222:
      return Raised<Err::LockTimeout>();
    case 547:
      return {"23000", native,
              "The " + std::string(verb) + " statement conflicted with the FOREIGN KEY constraint \"FaultWrites\". " +
                  "The conflict occurred in database \"" + std::string(database) + "\", table \"dbo.FaultWrites\"."};
    case 2627:
      return {"23000", native,
              "Violation of PRIMARY KEY constraint 'FaultWrites'. Cannot insert duplicate key in object "
              "'dbo.FaultWrites'. The duplicate key value is (1)."};
    case 1105:
      return Raised<Err::FileGroupFull>("dbo.FaultWrites", database);
    case 9002:
      return Raised<Err::LogFull>(database, "LOG_BACKUP");
    default:
      return {"42000", native, "FaultWrites: the trigger refused the " + std::string(verb) + "."};
  }
}

const WriteFault* Faults::Next(std::string_view verb) {
  if (writes.empty() || verb.empty()) return nullptr;
  ++written;
  for (const WriteFault& f : writes) {
    if (f.nth == written) return &f;
  }
  return nullptr;
}

const WriteFault* Faults::NextRead() {
  if (reads.empty()) return nullptr;
  ++read;
  for (const WriteFault& f : reads) {
    if (f.nth == read) return &f;
  }
  return nullptr;
}

}  // namespace tsqlite
