#pragma once
// Gives every working-time calendar in use (system family, then client family) its day rows up to
// the end date key.
int Kal_Calendar_Generate(const char* end_key);
