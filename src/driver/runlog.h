#pragma once
// The run log PLANEX.LOG and the values the driver fixes once for the whole run. Every subsystem
// writes its lines through Log_Printf and reads today's date key and the client schema from here.

// Creates (empties) the run log at path. Returns 0, or -1 with the system's reason in *reason.
int Log_Open(const char* path, const char** reason);
// Closes the run log; safe to call when it is not open.
void Log_Close();
bool Log_IsOpen();
// Writes one text of a log line, printf-style. A text that ends in a line end completes the line,
// which then reaches the file at once, so that the log survives a crash of the run.
void Log_Printf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Today's date key (YYYYMMDD), fixed by the driver at start-up.
void Run_SetToday(const char* date_key);
const char* Run_Today();
// The client schema (upper case, at most 20 characters), fixed by the driver before connecting.
void Run_SetSchema(const char* schema);
const char* Run_Schema();
