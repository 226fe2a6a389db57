#pragma once
// The client schema: the name pasted before the client's table names in every statement text.
// One rule for planex, planex-settings and planex-db.
#include <string>
#include <string_view>

// The longest client schema.
inline constexpr std::size_t kSchemaMax = 20;

// Client schema as pasted before table names: 1..20 characters, each a letter, digit, '_', '$',
// '#', '@' or a byte above 127, so that it cannot change the statement it stands in.
bool Schema_Valid(std::string_view schema);
// The client schema formed from the SCHEMA setting: its last character dropped, upper-cased.
std::string Schema_Form(std::string_view setting);
