// DATEADD, DATEPART, DATEDIFF, @@DATEFIRST and the current time.
#include "date_functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "builtins.h"
#include "calendar.h"
#include "conversions.h"
#include "datetime.h"
#include "decimal.h"
#include "statement_cache.h"
#include "operands.h"

namespace tsqlite {
namespace {

using Part = DatePart;

Part PartOf(sqlite3_value* v) {
  const char* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return t ? DatePartOf(t) : Part::Unknown;
}

void RaiseBadPart(sqlite3_context* ctx, sqlite3_value* v, const char* function) {
  RaiseError(ctx, Raised<Err::UnknownOption>(TextOf(v), function));
}

// Monday = 1 .. Sunday = 7 for a day count from 1900-01-01 (which was a Monday).
int IsoWeekday(int64_t day) {
  return static_cast<int>(((day % 7) + 7) % 7) + 1;
}

int WeekdayByDateFirst(int64_t day, int date_first) {
  return (IsoWeekday(day) - date_first + 7) % 7 + 1;
}

int IsoWeekNumber(int64_t day) {
  // The ISO week belongs to the year of its Thursday.
  const int64_t thursday = day - IsoWeekday(day) + 4;
  const Civil c = CivilFromDays(thursday);
  const int64_t jan1 = DaysFromCivil(c.y, 1, 1);
  return static_cast<int>((thursday - jan1) / 7 + 1);
}

int64_t AddMonths(int64_t ms, int64_t months, bool& ok) {
  const int64_t day = FloorDiv(ms, kMsPerDay);
  const int64_t time = ms - day * kMsPerDay;
  const Civil c = CivilFromDays(day);
  const int64_t total = static_cast<int64_t>(c.y) * 12 + (c.m - 1) + months;
  const int64_t y = FloorDiv(total, 12);
  const int m = static_cast<int>(total - y * 12) + 1;
  ok = y >= 1753 && y <= 9999;
  if (!ok) return 0;
  const int d = std::min(c.d, DaysInMonth(static_cast<int>(y), m));
  return DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) * kMsPerDay + time;
}

int64_t DatePartValue(Part part, int64_t ms, int date_first) {
  const int64_t day = FloorDiv(ms, kMsPerDay);
  const Parts p = Split(ms);
  switch (part) {
    case Part::Year:
      return p.y;
    case Part::Quarter:
      return (p.m - 1) / 3 + 1;
    case Part::Month:
      return p.m;
    case Part::DayOfYear:
      return day - DaysFromCivil(p.y, 1, 1) + 1;
    case Part::Day:
      return p.d;
    case Part::Week: {
      // Week 1 holds 1 January; a new week starts on the DATEFIRST day.
      const int64_t jan1 = DaysFromCivil(p.y, 1, 1);
      const int offset = WeekdayByDateFirst(jan1, date_first) - 1;
      return (day - jan1 + offset) / 7 + 1;
    }
    case Part::Weekday:
      return WeekdayByDateFirst(day, date_first);
    case Part::Hour:
      return p.hh;
    case Part::Minute:
      return p.mi;
    case Part::Second:
      return p.ss;
    case Part::Millisecond:
      return p.ms;
    case Part::IsoWeek:
      return IsoWeekNumber(day);
    case Part::Unknown:
      break;
  }
  return 0;
}

int DateFirstOf(sqlite3_context* ctx) {
  const int* df = static_cast<const int*>(sqlite3_user_data(ctx));
  const int v = df ? *df : 7;
  return v >= 1 && v <= 7 ? v : 7;
}

}  // namespace

void FnDateAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const Part part = PartOf(argv[0]);
  if (part == Part::Unknown) {
    RaiseBadPart(ctx, argv[0], "dateadd");
    return;
  }
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  Operand n = NumericOf(Classify(argv[1]));
  if (n.type == ValueType::Datetime || (n.type == ValueType::Text && !TextToNumber(argv[1], n))) {
    RaiseNotInt(ctx, argv[1]);
    return;
  }
  // A real is checked before it becomes an integer: one past a bigint's range has no integer.
  const bool real_too_far = n.type == ValueType::Real && !(std::fabs(n.r) <= 4e9);
  const int64_t count = n.type == ValueType::Real && !real_too_far ? static_cast<int64_t>(std::trunc(n.r)) : n.i;
  if (real_too_far || count > 4000000000LL || count < -4000000000LL) {
    RaiseOverflow(ctx);
    return;
  }
  int scale = 0;
  const Form form = FormOf(argv[2], scale);
  if (form == Form::Time && part < Part::Hour) {
    // A time has no date to move.
    return RaiseError(ctx, Raised<Err::DatepartNotSupported>(TextOf(argv[0]), "dateadd", "time"));
  }
  const unsigned char* x = sqlite3_value_text(argv[2]);
  const bool date = argc > 3 && form == Form::Datetime && sqlite3_value_type(argv[2]) == SQLITE_TEXT &&
                    sqlite3_value_bytes(argv[2]) == 10 && x[4] == '-' && x[7] == '-';
  if (date && part >= Part::Hour) {
    return RaiseError(ctx, Raised<Err::DatepartNotSupported>(TextOf(argv[0]), "dateadd", "date"));
  }
  int64_t ms;
  int sub = 0;
  if (form == Form::Datetime) {
    if (!ToDatetime(ctx, argv[2], 0, ms)) return;
  } else {
    const ParseResult r = ParseDatetime(sqlite3_value_text(argv[2]), sqlite3_value_bytes(argv[2]), 0, ms, &sub, 1);
    if (r != ParseResult::Ok) return RaiseParse(ctx, r);
  }
  bool ok = true;
  switch (part) {
    case Part::Year:
      ms = AddMonths(ms, count * 12, ok);
      break;
    case Part::Quarter:
      ms = AddMonths(ms, count * 3, ok);
      break;
    case Part::Month:
      ms = AddMonths(ms, count, ok);
      break;
    case Part::DayOfYear:
    case Part::Day:
    case Part::Weekday:
      ms += count * kMsPerDay;
      break;
    case Part::Week:
    case Part::IsoWeek:
      ms += count * 7 * kMsPerDay;
      break;
    case Part::Hour:
      ms += count * 3600000;
      break;
    case Part::Minute:
      ms += count * 60000;
      break;
    case Part::Second:
      ms += count * 1000;
      break;
    case Part::Millisecond:
      ms += count;
      break;
    case Part::Unknown:
      break;
  }
  std::string out;
  if (form == Form::Time) {
    out = FormatTime(ms * kTicksPerMs + sub, scale);
  } else if (form == Form::Datetime2 && ok) {
    ok = FormatDatetime2(ms * kTicksPerMs + sub, scale, out);
  }
  if (!ok) {
    RaiseOverflow(ctx);
    return;
  }
  if (date) {
    const Parts p = Split(ms);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", p.y, p.m, p.d);
    return sqlite3_result_text(ctx, text, 10, SQLITE_TRANSIENT);
  }
  if (form == Form::Datetime) return ResultDatetime(ctx, ms);
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

void FnDatePart(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const Part part = PartOf(argv[0]);
  if (part == Part::Unknown) {
    RaiseBadPart(ctx, argv[0], "datepart");
    return;
  }
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  int64_t ms;
  if (!ToDatetime(ctx, argv[1], 0, ms)) return;
  sqlite3_result_int64(ctx, DatePartValue(part, ms, DateFirstOf(ctx)));
}

void FnDateDiff(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const Part part = PartOf(argv[0]);
  if (part == Part::Unknown) {
    RaiseBadPart(ctx, argv[0], "datediff");
    return;
  }
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  int64_t a, b;
  if (!ToDatetime(ctx, argv[1], 0, a) || !ToDatetime(ctx, argv[2], 0, b)) return;
  const Parts pa = Split(a), pb = Split(b);
  const int64_t da = FloorDiv(a, kMsPerDay), db = FloorDiv(b, kMsPerDay);
  int64_t r = 0;
  switch (part) {
    case Part::Year:
      r = pb.y - pa.y;
      break;
    case Part::Quarter:
      r = (pb.y * 4 + (pb.m - 1) / 3) - (pa.y * 4 + (pa.m - 1) / 3);
      break;
    case Part::Month:
      r = (pb.y * 12 + pb.m) - (pa.y * 12 + pa.m);
      break;
    case Part::DayOfYear:
    case Part::Day:
    case Part::Weekday:
      r = db - da;
      break;
    case Part::Week:  // weeks counted from Sunday, whatever DATEFIRST says
      r = FloorDiv(db + 1, 7) - FloorDiv(da + 1, 7);
      break;
    case Part::IsoWeek:
      r = FloorDiv(db, 7) - FloorDiv(da, 7);
      break;
    case Part::Hour:
      r = FloorDiv(b, 3600000) - FloorDiv(a, 3600000);
      break;
    case Part::Minute:
      r = FloorDiv(b, 60000) - FloorDiv(a, 60000);
      break;
    case Part::Second:
      r = FloorDiv(b, 1000) - FloorDiv(a, 1000);
      break;
    case Part::Millisecond:
      r = b - a;
      break;
    case Part::Unknown:
      break;
  }
  if (!IsInt32(r)) {
    RaiseError(ctx, Raised<Err::DatediffOverflow>());
    return;
  }
  sqlite3_result_int64(ctx, r);
}

void FnDateFirst(sqlite3_context* ctx, int, sqlite3_value**) {
  sqlite3_result_int(ctx, DateFirstOf(ctx));
}

void FnNow(sqlite3_context* ctx, int, sqlite3_value**) {
  auto* cache = static_cast<StatementCache*>(sqlite3_user_data(ctx));
  if (cache->now.empty()) {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ts.tv_nsec / 1000000));
    // The clock's milliseconds rounded to a datetime tick (1/300 s), as the server's
    // CURRENT_TIMESTAMP and GETDATE() return a datetime: a stored time stamp reads back as itself.
    std::string storage, message;
    int native = 0;
    cache->now = TextToDatetime(text, storage, native, message) ? storage : text;
  }
  sqlite3_result_text(ctx, cache->now.data(), static_cast<int>(cache->now.size()), SQLITE_TRANSIENT);
}

}  // namespace tsqlite
