#pragma once
// The person run: day records, schedule-assignment records and leave-carry-over years for every
// person from pnr_von to pnr_bis.
int Pnr_Schedule_Generate(const char* beg_dat, const char* end_key, const char* pnr_von, const char* pnr_bis);
