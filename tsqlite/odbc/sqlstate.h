#pragma once
// The SQLSTATEs the driver reports of itself, each with its standard message: a call names the
// entry, and the state and its words come from this one table. The engine's errors carry SQL
// Server's own state, native number and message and are recorded as they come.
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace tsqlite {

enum class Sqlstate : uint8_t {
  StringTruncated,
  OptionValueChanged,
  FractionalTruncation,
  CountFieldIncorrect,
  NoResultSet,
  InvalidDescriptorIndex,
  CannotConnect,
  ConnectionNameInUse,
  ConnectionNotOpen,
  IndicatorRequired,
  NumericOutOfRange,
  BadCharacterValue,
  InvalidCursorState,
  GeneralError,
  MemoryAllocation,
  ProgramTypeOutOfRange,
  NullPointer,
  SequenceError,
  InvalidAttributeValue,
  InvalidBufferLength,
  InvalidFieldIdentifier,
  InvalidAttribute,
  InfoTypeOutOfRange,
  FetchTypeOutOfRange,
  NotImplemented,
  Count
};

struct SqlstateRow {
  Sqlstate state;
  const char* sqlstate;
  const char* message;  // the standard message; a call may give one that says more
};

// In the order of Sqlstate (checked below).
inline constexpr SqlstateRow kSqlstates[] = {
    {Sqlstate::StringTruncated, "01004", "String data, right truncated"},
    {Sqlstate::OptionValueChanged, "01S02", "Option value changed"},
    {Sqlstate::FractionalTruncation, "01S07", "Fractional truncation"},
    {Sqlstate::CountFieldIncorrect, "07002", "COUNT field incorrect"},
    {Sqlstate::NoResultSet, "07005", "Prepared statement returns no result set"},
    {Sqlstate::InvalidDescriptorIndex, "07009", "Invalid descriptor index"},
    {Sqlstate::CannotConnect, "08001", "Client unable to establish connection"},
    {Sqlstate::ConnectionNameInUse, "08002", "Connection name in use"},
    {Sqlstate::ConnectionNotOpen, "08003", "Connection not open"},
    {Sqlstate::IndicatorRequired, "22002", "Indicator variable required but not supplied"},
    {Sqlstate::NumericOutOfRange, "22003", "Numeric value out of range"},
    {Sqlstate::BadCharacterValue, "22018", "Invalid character value for the conversion to the bound type"},
    {Sqlstate::InvalidCursorState, "24000", "Invalid cursor state"},
    {Sqlstate::GeneralError, "HY000", "General error"},
    {Sqlstate::MemoryAllocation, "HY001", "Memory allocation error"},
    {Sqlstate::ProgramTypeOutOfRange, "HY003", "Program type out of range"},
    {Sqlstate::NullPointer, "HY009", "Invalid use of null pointer"},
    {Sqlstate::SequenceError, "HY010", "Function sequence error"},
    {Sqlstate::InvalidAttributeValue, "HY024", "Invalid attribute value"},
    {Sqlstate::InvalidBufferLength, "HY090", "Invalid string or buffer length"},
    {Sqlstate::InvalidFieldIdentifier, "HY091", "Invalid descriptor field identifier"},
    {Sqlstate::InvalidAttribute, "HY092", "Invalid attribute/option identifier"},
    {Sqlstate::InfoTypeOutOfRange, "HY096", "Information type out of range"},
    {Sqlstate::FetchTypeOutOfRange, "HY106", "Fetch type out of range"},
    {Sqlstate::NotImplemented, "HYC00", "Optional feature not implemented"},
};

consteval bool SqlstatesInOrder() {
  if (std::size(kSqlstates) != static_cast<size_t>(Sqlstate::Count)) return false;
  for (size_t i = 0; i < std::size(kSqlstates); ++i) {
    if (kSqlstates[i].state != static_cast<Sqlstate>(i)) return false;
  }
  return true;
}
static_assert(SqlstatesInOrder(), "kSqlstates must list every Sqlstate once, in its order");

constexpr const SqlstateRow& RowOf(Sqlstate state) {
  return kSqlstates[static_cast<size_t>(state)];
}

}  // namespace tsqlite
