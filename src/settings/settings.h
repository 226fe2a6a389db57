#pragma once
// The settings file: a sequence of record pairs of two lines each,
//   line 1:  lead;section;rest
//   line 2:  number;key;value        (value = enciphered hexadecimal text, may contain ';')
// Cfg_Value_Read finds the first pair that matches by section, key or number, and gives it with
// its value deciphered in the caller's settings record.
#include <cstdint>
#include <string>
#include <string_view>

struct CfgSatz {
  int32_t number = 0;
  std::string section;
  std::string key;
  std::string value;
};

// Looks the pair up in the file at path. A pair is taken when its section equals section, or its
// key equals key, or its number equals number. A missing file or no match leaves *record
// cleared, which the caller sees as an empty value.
void Cfg_Value_Read(std::string_view section, std::string_view key, int32_t number, const char* path,
                    CfgSatz* record);

// Index of the n-th occurrence of ch in text; the last one when there are fewer than n; -1 when
// there is none.
int Str_NthPos(std::string_view text, char ch, int n);
// Sets *dst to length characters of src from index start; a length of 0 takes the rest of src, a
// negative length leaves *dst as it was. Never reads past the end of src.
void Str_SubCopy(std::string_view src, int start, int length, std::string* dst);
