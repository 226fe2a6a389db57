#pragma once
// Small in-place text routines shared by the subsystems. They work on bytes in the "C" locale:
// bytes above 127 (umlauts of any encoding) are never changed.
#include <string>

// Maps 'a'..'z' to 'A'..'Z' in place and returns text.
char* Str_Upper(char* text);
std::string& Str_Upper(std::string& text);
// Removes trailing blanks and tabs in place and returns text; all blanks and tabs give "".
char* Str_TrimRight(char* text);
std::string& Str_TrimRight(std::string& text);
