#pragma once
// The settings file: a sequence of record pairs of two lines each,
//   line 1:  lead;section;rest
//   line 2:  number;key;value        (value = enciphered hexadecimal text, may contain ';')
// Cfg_Value_Read finds the first pair that matches by section, key or number, and gives it with
// its value deciphered in the caller's settings record.
#include <cstdint>
#include <string>
#include <string_view>

// The longest line the reader takes (line end included); a settings line is far shorter. A file
// with a longer line gives no value for any key.
inline constexpr std::size_t kCfgLineMax = 64 * 1024;

struct CfgSatz {
  int32_t number = 0;
  std::string section;
  std::string key;
  std::string value;
};

// Looks the pair up in the file at path. A pair is taken when its section equals section, or its
// key equals key, or its number equals number; the file is read only up to that pair. A missing
// file, a path that is no regular file, a line longer than kCfgLineMax before the match, or no
// match leave *record cleared, which the caller sees as an empty value.
void Cfg_Value_Read(std::string_view section, std::string_view key, int32_t number, const char* path, CfgSatz* record);

// Why a settings file gave no settings at all.
enum class CfgProblem {
  None,        // the file was read (a key it lacks reads as empty)
  NoPath,      // the path is empty
  CannotOpen,  // it cannot be opened: see error
  NotAFile,    // it is a folder, a device or a pipe: see directory
};

// The four settings planex reads, from one pass over the file: each the first pair that matches
// it, as Cfg_Value_Read gives it (empty section, the key, number 0), and why the file could not
// be read when it could not.
struct CfgSettings {
  std::string login, password, dsn;
  std::string schema;  // the SCHEMA setting as stored; Schema_Form makes the client schema of it
  CfgProblem problem = CfgProblem::None;
  int error = 0;           // CannotOpen: the system's error number
  bool directory = false;  // NotAFile: the path is a folder
  bool Readable() const { return problem == CfgProblem::None; }
};
CfgSettings Cfg_Settings_Read(const std::string& path);

// Index of the n-th occurrence of ch in text; the last one when there are fewer than n; -1 when
// there is none.
int Str_NthPos(std::string_view text, char ch, int n);
// Sets *dst to length characters of src from index start; a length of 0 takes the rest of src, a
// negative length leaves *dst as it was. Never reads past the end of src.
void Str_SubCopy(std::string_view src, int start, int length, std::string* dst);

// Writing settings files (planex-settings): the same format, from the same place as the reader.

// A value holds at most 96 characters (192 hexadecimal digits).
inline constexpr std::size_t kCfgValueMax = 96;

// Refuses a value planex could not read back whole, or one that would reach the run log as
// something else: empty (unless may_be_empty), longer than kCfgValueMax, or holding a control
// character (a zero byte, a line end, ...). On refusal *error says why, starting with what.
bool Cfg_Value_Check(const char* what, std::string_view value, bool may_be_empty, std::string* error);

// The text of a settings file with the four values planex reads. Every pair has a section and a
// number of its own, so that the lookup (section, key or number may match) can only take the pair
// of the key it asks for. client_schema is the schema as planex is to use it.
std::string Cfg_File_Text(std::string_view login, std::string_view password, std::string_view dsn,
                          std::string_view client_schema);

// Writes text as the file at path, readable by its owner only: first into path.tmp, created
// afresh (never a file left there by someone else, never through a symbolic link), then renamed
// over path, so that a failed write never leaves half a file. On failure *error says why.
bool Cfg_File_Write(const std::string& path, std::string_view text, std::string* error);
