#pragma once
// The date and time types as the engine stores them, and text read as SQL Server reads it for
// them (datetime.cpp). The executor converts the texts bound to date and time columns with these.
#include <string>
#include <string_view>

#include "sql_type.h"

namespace tsqlite {

// A text as SQL Server converts it to datetime (yyyymmdd, yyyy-mm-dd[Thh:mi:ss[.mmm]], ...), in the
// storage form and rounded to 1/300 s. False with SQL Server's error (241 not a date, 242 out of
// range) otherwise.
bool TextToDatetime(std::string_view text, std::string& storage, int& native, std::string& message);

// The date and time types of a column, each with its storage form: datetime 'YYYY-MM-DD
// hh:mm:ss.fff' (1/300 s), date 'YYYY-MM-DD', datetime2(n) 'YYYY-MM-DD hh:mm:ss[.f]' and time(n)
// 'hh:mm:ss[.f]' with n digits of the second (100 ns at n = 7), smalldatetime 'YYYY-MM-DD
// hh:mm:00'.
enum class Temporal { None, Datetime, Date, Datetime2, SmallDatetime, Time };

// The temporal type of a declared column type ("DATETIME2(3)"), and its digits of the second (7
// when not given).
Temporal TemporalOf(const SqlType& type, int& scale);

// A text as SQL Server converts it to datetime2(scale), smalldatetime or time(scale), in that
// type's storage form; false with SQL Server's error (241, 242) otherwise.
bool TextToTemporal(std::string_view text, Temporal kind, int scale, std::string& storage, int& native,
                    std::string& message);

}  // namespace tsqlite
