#pragma once
// Extends the base calendar QXSYSTEM.Qxs133Bak day by day up to the end date key.
void Bak_Calendar_Extend(const char* end_key);
