#pragma once
// The records of the person run that its steps hand each other: the person's assignment row and
// a day record; and the rules they share (how keys compare, when the day reads move).
#include <cstring>

#include "common/text.h"

// SQL Server's native error for an object it does not know (208): the client schema has no
// calendar table of its own, and the day reads move to the system's (run.variants.day_table).
constexpr int kNoTable = 208;

// Date keys (yyyymmdd) and person numbers compare as text.
inline bool Key_Less(const char* a, const char* b) {
  return std::strcmp(a, b) < 0;
}

// The person's current assignment row: the live row with the latest valid-from date among those
// that have not ended. Kept for the whole pass of one person. Text fields hold their column's
// characters as the client receives them (Txt_Size).
struct BsvSatz {
  char BsvPnr[Txt_Size(8)];   // person number
  char BsvGvo[9];             // valid-from date key
  char BsvGbi[9];             // valid-to date key, empty when open
  char BsvKal[Txt_Size(3)];   // working-time calendar number
  char BsvAkr[Txt_Size(5)];   // becomes ZtgAkr
  char BsvAbr[Txt_Size(5)];   // becomes ZtgBsd
  char PnrNam[Txt_Size(50)];  // person name, becomes ZtgPnm
};

// The day record of one person and date.
struct TagSatz {
  char TagPnr[Txt_Size(8)];
  char TagTag[9];
  char TagVon[9];
  char TagUhr[7];
  char TagBis[9];
  char TagEnd[7];
  char TagTtp[Txt_Size(3)];  // the calendar's day type, becomes ZtgTtp
};
