#pragma once
// The demo company: calendars, week models, groups with rotating cycles and their plans, persons
// with assignment rows, group assignments, and a few existing day, schedule-assignment and
// leave-carry-over rows. Everything follows from the seed and the first date of the base
// calendar, so the same database and seed give the same company.
#include <map>
#include <string>

#include "session.h"

namespace pxdb {

struct DemoOptions {
  std::string schema;
  long persons = 1000;
  unsigned long long seed = 1;
};

// Fills the company into an installed, empty client schema. Returns false with a message that
// names the failing statement. *rows receives the number of rows written per table.
bool FillDemo(Session& session, const DemoOptions& options, std::map<std::string, long>* rows, std::string* message);

}  // namespace pxdb
