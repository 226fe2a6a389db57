// Statement and log formats whose arguments do not fit must not build, nor an error line written
// as any other line or the other way round. Compiled once per CASE by the tests: CASE 0 is the
// control that must build, every other case must be refused.
#include <string>

#include "common/runlog.h"
#include "db/db.h"

void Formats(RunLog& log, const std::string& schema, const char* pnr, int rc, long year) {
#if CASE == 0
  Db_Format("SELECT 1 FROM %s.Qxs327Tag WHERE TagPnr = '%s' AND x = %d AND y = %ld", schema, pnr, rc, year);
  log.Error({}, "Error: Urlaubsvortrag einpflegen. %d Person: %s! Jahr: %ld!\n", rc, pnr, year);
  log.Printf("ZtgTag: %d!\nZtgAgr: %s!\n", rc, pnr);
#elif CASE == 1
  Db_Format("SELECT 1 FROM %s.Qxs327Tag WHERE TagPnr = '%s'", schema);  // an argument missing
#elif CASE == 2
  Db_Format("WHERE UrvJhr = %ld", rc);  // an int for a long
#elif CASE == 3
  Db_Format("WHERE TagPnr = '%s'", rc);  // a number for a text
#elif CASE == 4
  log.Error({}, "Error: Bak_NxtDay_Init RC:%d\n", pnr);  // a text for a number
#elif CASE == 5
  log.Printf("Person: %s!\n", pnr, rc);  // one argument too many
#elif CASE == 6
  log.Printf("Person: %s!\nError: x\n", pnr);  // an error line not marked as one
#elif CASE == 7
  log.Error({}, "Aktuelles Schema: %s \n", pnr);  // marked, but no error line in the file
#endif
}
