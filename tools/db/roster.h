#pragma once
// planex-db roster: one self-contained HTML page showing, person by person and day by day, the
// schedule-assignment records a run generated, for shift planners who would rather look than query.
#include <string>

#include "dates.h"
#include "session.h"

namespace pxdb {

struct RosterOptions {
  std::string schema;            // client schema, upper case
  Day from{}, to{};              // first and last day shown
  std::string pnr_from, pnr_to;  // person numbers, inclusive; empty = open end
  std::string out;               // file to write; empty = standard output
};

// Parses "FROM..TO" (either end may be left out). False for anything else.
bool ParseRosterPersons(const std::string& text, std::string* from, std::string* to);

// Writes the page. Returns the exit status: 0, or 1 when a read or the output failed.
int RunRoster(Session& session, const RosterOptions& options);

}  // namespace pxdb
