#include "roster.h"

#include <cstdio>
#include <memory>

#include "roster_html.h"
#include "roster_read.h"

namespace pxdb {

bool ParseRosterPersons(const std::string& text, std::string* from, std::string* to) {
  const size_t dots = text.find("..");
  if (dots == std::string::npos) return false;
  *from = text.substr(0, dots);
  *to = text.substr(dots + 2);
  // Person numbers have at most 8 characters; no control characters travel into a statement.
  for (const std::string* s : {from, to}) {
    if (s->size() > 8) return false;
    for (unsigned char c : *s) {
      if (c < 0x20 || c == 0x7F) return false;
    }
  }
  return true;
}

int RunRoster(Session& session, const RosterOptions& o) {
  RosterReader reader(session, o.schema, o.from, o.to, o.pnr_from, o.pnr_to);
  RosterFacts facts;
  auto failed = [&](const char* what) {
    std::fprintf(stderr, "planex-db: roster: cannot read %s: %s\n", what, FormatError(reader.Error()).c_str());
    return 1;
  };
  if (!reader.Facts(&facts)) return failed("the facts above the grid");

  // A file is written beside its place and renamed at the end, so that a failed run leaves no
  // half page under the name asked for.
  const std::string part = o.out.empty() ? std::string() : o.out + ".part";
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(nullptr, std::fclose);
  std::FILE* out = stdout;
  if (!o.out.empty()) {
    file.reset(std::fopen(part.c_str(), "wb"));
    if (!file) {
      std::perror(("planex-db: roster: " + part).c_str());
      return 1;
    }
    out = file.get();
  }
  auto give_up = [&](int status) {
    if (file) {
      file.reset();
      std::remove(part.c_str());
    }
    return status;
  };
  RosterPage page(out, facts, o.schema, o.from, o.to, o.pnr_from, o.pnr_to);
  page.Begin();
  std::vector<RosterPerson> persons;
  std::vector<RosterCell> cells;
  for (;;) {
    if (!reader.NextPersons(&persons)) return give_up(failed("the persons"));
    if (persons.empty()) break;
    for (const RosterPerson& p : persons) {
      if (!reader.Days(p, &cells)) return give_up(failed(("the days of person " + p.num).c_str()));
      page.Row(p, cells);
    }
  }
  page.End();
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::perror("planex-db: roster: writing the page");
    return give_up(1);
  }
  if (file) {
    if (std::fclose(file.release()) != 0 || std::rename(part.c_str(), o.out.c_str()) != 0) {
      std::perror(("planex-db: roster: " + o.out).c_str());
      std::remove(part.c_str());
      return 1;
    }
    std::printf("Roster written to %s\n", o.out.c_str());
  }
  return 0;
}

}  // namespace pxdb
