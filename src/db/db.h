#pragma once
// The one ODBC connection of a run.

// Connects to the data source with user and password. 0 when connected, -1 on failure.
int Db_Connect(const char* user, const char* password, const char* dsn);
