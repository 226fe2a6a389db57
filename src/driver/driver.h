#pragma once
// The batch run: command line, run log, connection settings, connect, the three generators.
#include <string>
#include <string_view>

// Runs planex with its command line (argv[0] is the program) and returns the exit status:
// 1 when PLANEX.LOG cannot be created, else 0; how the run went stands in the run log.
int Drv_Run(int argc, const char* const* argv);

// EndeJahr: exactly four digits.
bool Drv_EndeJahr_Valid(std::string_view ende_jahr);
// BegDat: "0" (no start date) or eight digits forming a real date YYYYMMDD.
bool Drv_BegDat_Valid(std::string_view beg_dat);
// Client schema as pasted before table names: 1..20 characters, each a letter, digit, '_', '$',
// '#', '@' or a byte above 127, so that it cannot change the statement it stands in.
bool Drv_Schema_Valid(std::string_view schema);
// The client schema formed from the SCHEMA setting: its last character dropped, upper-cased.
std::string Drv_Schema_Form(std::string_view setting);
// A bound of "0" on either side means every person: blanks up to "zzzzzzzz".
void Drv_AllPersons(std::string* pnr_von, std::string* pnr_bis);
