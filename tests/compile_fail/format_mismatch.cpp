// Statement and log formats whose arguments do not fit must not build. Compiled once per CASE by
// the tests: CASE 0 is the control that must build, every other case must be refused.
#include <string>

#include "common/runlog.h"
#include "db/db.h"

void Formats(RunLog& log, const std::string& schema, const char* pnr, int rc, long year) {
#if CASE == 0
  Db_Format("SELECT 1 FROM %s.Qxs327Tag WHERE TagPnr = '%s' AND x = %d AND y = %ld", schema, pnr, rc, year);
  log.Printf("Error: Urlaubsvortrag einpflegen. %d Person: %s! Jahr: %ld!\n", rc, pnr, year);
#elif CASE == 1
  Db_Format("SELECT 1 FROM %s.Qxs327Tag WHERE TagPnr = '%s'", schema);  // an argument missing
#elif CASE == 2
  Db_Format("WHERE UrvJhr = %ld", rc);  // an int for a long
#elif CASE == 3
  Db_Format("WHERE TagPnr = '%s'", rc);  // a number for a text
#elif CASE == 4
  log.Printf("Error: Bak_NxtDay_Init RC:%d\n", pnr);  // a text for a number
#elif CASE == 5
  log.Printf("Person: %s!\n", pnr, rc);  // one argument too many
#endif
}
