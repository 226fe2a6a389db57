// Placeholders until the generators land.
#include "person/pnr.h"

int Pnr_Schedule_Generate(const char*, const char*, const char*, const char*) { return 0; }
