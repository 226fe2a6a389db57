#pragma once
// The batch run: command line, run log, connection settings, connect, the three generators.
#include <string>
#include <string_view>

// Runs planex with its command line (argv[0] is the program) and returns the exit status:
// 1 when PLANEX.LOG cannot be created, else 0; how the run went stands in the run log. A lone
// --help, -h or --version prints the usage or the version on standard output and writes no log.
int Batch_Run(int argc, const char* const* argv);

// EndeJahr: exactly four digits.
bool Batch_EndeJahr_Valid(std::string_view ende_jahr);
// BegDat: "0" (no start date) or eight digits forming a real date YYYYMMDD.
bool Batch_BegDat_Valid(std::string_view beg_dat);
// A bound of "0" on either side means every person: blanks up to "zzzzzzzz".
void Batch_AllPersons(std::string* pnr_von, std::string* pnr_bis);
// The session's lock wait in milliseconds from PLANEX_LOCK_TIMEOUT (seconds; nullptr when not
// set): 30 s by default, -1 to wait as long as the server does, 0 not to wait. A value that is not
// such a number is said on standard error and the default holds.
long Batch_Lock_Timeout_Ms(const char* seconds);
