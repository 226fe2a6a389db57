#pragma once
// The client schema: the name pasted unbracketed before the client's table names in every
// statement text. One rule for planex, planex-settings and planex-db.
#include <cstddef>
#include <string>
#include <string_view>

// The longest client schema.
inline constexpr std::size_t kSchemaMax = 20;

// A client schema that works unbracketed in T-SQL: a regular identifier (an ASCII letter or '_'
// first, then ASCII letters, digits, '_', '$', '#' or '@'), 1 to 20 characters, and no T-SQL
// reserved word (in any case). Anything else would fail every statement of the run, or change it.
bool Schema_Valid(std::string_view schema);
// The rule above in words, for messages.
inline constexpr const char* kSchemaRule =
    "1 to 20 characters: an ASCII letter or '_' first, then letters, digits, '_', '$', '#' or '@'; "
    "no T-SQL reserved word";
// The client schema formed from the SCHEMA setting: its last character dropped, upper-cased.
std::string Schema_Form(std::string_view setting);
// The SCHEMA setting that Schema_Form turns into client_schema (upper-cased): the schema with one
// character appended, since Schema_Form drops the last one.
std::string Schema_Setting(std::string_view client_schema);
