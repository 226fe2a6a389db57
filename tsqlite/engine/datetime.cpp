// The datetime library: the calendar, reading a date and time text as SQL Server reads it, and
// the storage forms of datetime, datetime2, smalldatetime and time.
//
// A datetime is stored as TEXT 'YYYY-MM-DD hh:mm:ss.fff'. Internally it is a count of
// milliseconds since 1900-01-01 00:00:00, the origin SQL Server uses when it mixes datetimes
// with numbers (datetime - datetime, datetime + int, CONVERT(int, datetime)).
#include "datetime.h"

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

#include "calendar.h"
#include "decimal.h"
#include "errors.h"

namespace tsqlite {
namespace {

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

constexpr int64_t kTicksPerSecond = 10000000;

constexpr int64_t kTicksPerDay = kMsPerDay * kTicksPerMs;

constexpr int64_t kFirstDay2 = -693595;  // 0001-01-01, datetime2's first day

constexpr int64_t kLastSmallDay = 65535;  // 2079-06-06, smalldatetime's last day

int64_t RoundToScale(int64_t ticks, int scale) {
  int64_t unit = 1;
  for (int i = scale; i < 7; ++i) unit *= 10;
  return FloorDiv(ticks + unit / 2, unit) * unit;
}

// hh:mm:ss and, for a scale above 0, '.' and that many digits of the second.
void AppendTime(std::string& out, int64_t ticks_of_day, int scale) {
  const int64_t second = ticks_of_day / kTicksPerSecond;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%07d", static_cast<int>(second / 3600),
                static_cast<int>(second / 60 % 60), static_cast<int>(second % 60),
                static_cast<int>(ticks_of_day % kTicksPerSecond));
  out.append(buf, static_cast<size_t>(scale > 0 ? 9 + scale : 8));
}

ParseResult ParseTicks(const unsigned char* t, int n, int style, int64_t& ticks) {
  int64_t ms = 0;
  int sub = 0;
  const ParseResult r = ParseDatetime(t, n, style, ms, &sub, 1);
  ticks = ms * kTicksPerMs + sub;
  return r;
}

const char* const kMonthAbbrev[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468 + 25567;
}

Civil CivilFromDays(int64_t z) {
  z += 719468 - 25567;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

Parts Split(int64_t ms) {
  const int64_t day = FloorDiv(ms, kMsPerDay);
  int64_t rest = ms - day * kMsPerDay;
  const Civil c = CivilFromDays(day);
  Parts p{c.y, c.m, c.d, 0, 0, 0, 0};
  p.hh = static_cast<int>(rest / 3600000);
  rest %= 3600000;
  p.mi = static_cast<int>(rest / 60000);
  rest %= 60000;
  p.ss = static_cast<int>(rest / 1000);
  p.ms = static_cast<int>(rest % 1000);
  return p;
}

int64_t RoundToTicks(int64_t ms) {
  const int64_t second = FloorDiv(ms, 1000) * 1000;
  const int64_t ticks = ((ms - second) * 3 + 5) / 10;
  return second + (ticks * 10 + 1) / 3;
}

bool InRange(int64_t ms) {
  const int64_t day = FloorDiv(ms, kMsPerDay);
  return day >= kMinDay && day <= kMaxDay;
}

void FormatStorage(int64_t ms, char out[24]) {
  const Parts p = Split(ms);
  auto put = [&out](int at, int value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10) out[at + i] = static_cast<char>('0' + value % 10);
  };
  std::memcpy(out, "0000-00-00 00:00:00.000", 24);
  put(0, p.y, 4);
  put(5, p.m, 2);
  put(8, p.d, 2);
  put(11, p.hh, 2);
  put(14, p.mi, 2);
  put(17, p.ss, 2);
  put(20, p.ms, 3);
}

bool IsStorageForm(const unsigned char* s, int n) {
  if (n != 23 && n != 19) return false;
  static const char kPattern[] = "dddd-dd-dd dd:dd:dd.ddd";
  for (int i = 0; i < n; ++i) {
    if (kPattern[i] == 'd') {
      if (!IsDigit(s[i])) return false;
    } else if (s[i] != static_cast<unsigned char>(kPattern[i])) {
      return false;
    }
  }
  return true;
}

int Num(const unsigned char* s, int n) {
  int v = 0;
  for (int i = 0; i < n; ++i) v = v * 10 + (s[i] - '0');
  return v;
}

ParseResult ParseDatetime(const unsigned char* s, int n, int style, int64_t& out, int* sub, int min_year) {
  int i = 0;
  while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
  while (n > i && (s[n - 1] == ' ' || s[n - 1] == '\t')) --n;
  if (i == n) {
    out = 0;
    return ParseResult::Ok;
  }
  auto digits = [&](int at) {
    int k = at;
    while (k < n && IsDigit(s[k])) ++k;
    return k - at;
  };
  int y = 0, m = 0, d = 0;
  const int lead = digits(i);
  const bool time_only = lead >= 1 && lead <= 2 && i + lead < n && s[i + lead] == ':';
  if (time_only) {
    y = 1900;
    m = d = 1;
  } else if (lead == 8) {  // yyyymmdd
    y = Num(s + i, 4);
    m = Num(s + i + 4, 2);
    d = Num(s + i + 6, 2);
    i += 8;
  } else if (lead == 4 && i + 4 < n && (s[i + 4] == '-' || s[i + 4] == '/' || s[i + 4] == '.')) {
    const unsigned char sep = s[i + 4];
    y = Num(s + i, 4);
    i += 5;
    int k = digits(i);
    if (k < 1 || k > 2 || i + k >= n || s[i + k] != sep) return ParseResult::BadFormat;
    m = Num(s + i, k);
    i += k + 1;
    k = digits(i);
    if (k < 1 || k > 2) return ParseResult::BadFormat;
    d = Num(s + i, k);
    i += k;
  } else if (lead >= 1 && lead <= 2 && i + lead < n &&
             (s[i + lead] == '/' || s[i + lead] == '.' || s[i + lead] == '-')) {
    // Two numbers and a four-digit year: day first for the European styles, month first else.
    const unsigned char sep = s[i + lead];
    const int a = Num(s + i, lead);
    i += lead + 1;
    int k = digits(i);
    if (k < 1 || k > 2 || i + k >= n || s[i + k] != sep) return ParseResult::BadFormat;
    const int b = Num(s + i, k);
    i += k + 1;
    k = digits(i);
    if (k != 4) return ParseResult::BadFormat;
    y = Num(s + i, 4);
    i += 4;
    const bool day_first = style == 103 || style == 104 || style == 105 || style == 3 || style == 4 || style == 5;
    d = day_first ? a : b;
    m = day_first ? b : a;
  } else {
    return ParseResult::BadFormat;
  }
  int hh = 0, mi = 0, ss = 0, ms = 0;
  if (sub != nullptr) *sub = 0;
  if (i < n) {
    if (!time_only && s[i] != ' ' && s[i] != 'T') return ParseResult::BadFormat;
    while (i < n && (s[i] == ' ' || s[i] == 'T')) ++i;
    int k = digits(i);
    if (k < 1 || k > 2) return ParseResult::BadFormat;
    hh = Num(s + i, k);
    i += k;
    if (i >= n || s[i] != ':') return ParseResult::BadFormat;
    ++i;
    k = digits(i);
    if (k < 1 || k > 2) return ParseResult::BadFormat;
    mi = Num(s + i, k);
    i += k;
    if (i < n && s[i] == ':') {
      ++i;
      k = digits(i);
      if (k < 1 || k > 2) return ParseResult::BadFormat;
      ss = Num(s + i, k);
      i += k;
      if (i < n && (s[i] == '.' || s[i] == ':')) {
        ++i;
        k = digits(i);
        if (k < 1) return ParseResult::BadFormat;
        // Fractions beyond milliseconds are cut, shorter ones scaled: .5 is 500 ms.
        int frac = 0;
        for (int j = 0; j < 3; ++j) frac = frac * 10 + (j < k ? s[i + j] - '0' : 0);
        ms = frac;
        if (sub != nullptr) {
          for (int j = 3; j < 7; ++j) *sub = *sub * 10 + (j < k ? s[i + j] - '0' : 0);
        }
        i += k;
      }
    }
    while (i < n && s[i] == ' ') ++i;
    if (i + 2 <= n && (s[i] == 'A' || s[i] == 'a' || s[i] == 'P' || s[i] == 'p') &&
        (s[i + 1] == 'M' || s[i + 1] == 'm')) {
      if (hh < 1 || hh > 12) return ParseResult::OutOfRange;
      const bool pm = s[i] == 'P' || s[i] == 'p';
      hh = hh % 12 + (pm ? 12 : 0);
      i += 2;
    }
    if (i != n) return ParseResult::BadFormat;
  }
  if (m < 1 || m > 12 || d < 1 || y < min_year || y > 9999 || d > DaysInMonth(y, m) || hh > 23 || mi > 59 || ss > 59) {
    return ParseResult::OutOfRange;
  }
  out = DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) * kMsPerDay +
        ((hh * 60 + mi) * 60 + ss) * int64_t{1000} + ms;
  return ParseResult::Ok;
}

int ScaleOf(sqlite3_value* v) {
  const int scale = sqlite3_value_int(v);
  return scale < 0 ? 0 : scale > 7 ? 7 : scale;
}

bool FormatDatetime2(int64_t ticks, int scale, std::string& out) {
  const int64_t day = FloorDiv(ticks, kTicksPerDay);
  if (day < kFirstDay2 || day > kMaxDay) return false;
  char buf[24];
  FormatStorage(day * kMsPerDay, buf);
  out.assign(buf, 11);
  AppendTime(out, ticks - day * kTicksPerDay, scale);
  return true;
}

std::string FormatTime(int64_t ticks, int scale) {
  std::string out;
  AppendTime(out, ticks - FloorDiv(ticks, kTicksPerDay) * kTicksPerDay, scale);
  return out;
}

ParseResult Datetime2Text(const unsigned char* t, int n, int style, int scale, std::string& out) {
  int64_t ticks = 0;
  const ParseResult r = ParseTicks(t, n, style, ticks);
  if (r != ParseResult::Ok) return r;
  return FormatDatetime2(RoundToScale(ticks, scale), scale, out) ? ParseResult::Ok : ParseResult::OutOfRange;
}

ParseResult TimeText(const unsigned char* t, int n, int style, int scale, std::string& out) {
  int64_t ticks = 0;
  const ParseResult r = ParseTicks(t, n, style, ticks);
  if (r == ParseResult::Ok) out = FormatTime(RoundToScale(ticks, scale), scale);
  return r;
}

bool SmallDatetimeText(int64_t ms, std::string& out) {
  ms = FloorDiv(ms + 30001, 60000) * 60000;
  const int64_t day = FloorDiv(ms, kMsPerDay);
  if (day < 0 || day > kLastSmallDay) return false;
  char buf[24];
  FormatStorage(ms, buf);
  out.assign(buf, 19);
  return true;
}

bool FormatStyle(int64_t ms, int style, std::string& out) {
  const Parts p = Split(ms);
  if (style == 112) {
    // The date key every date of planex comes back as: written without snprintf, which cost more
    // than the rest of the conversion.
    char key[8];
    int parts[3][2] = {{p.y, 4}, {p.m, 2}, {p.d, 2}};
    char* at = key;
    for (auto& [value, width] : parts) {
      for (int i = width - 1; i >= 0; --i, value /= 10) at[i] = static_cast<char>('0' + value % 10);
      at += width;
    }
    out.assign(key, sizeof key);
    return true;
  }
  char buf[48];
  const bool two_digit_year = style >= 1 && style <= 12;
  const int yy = two_digit_year ? p.y % 100 : p.y;
  const char* yfmt = two_digit_year ? "%02d" : "%04d";
  char year[8];
  std::snprintf(year, sizeof year, yfmt, yy);
  switch (two_digit_year ? style + 100 : style) {
    case -1:
    case 0:
    case 100: {
      const int h12 = p.hh % 12 == 0 ? 12 : p.hh % 12;
      std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", kMonthAbbrev[p.m - 1], p.d, p.y, h12, p.mi,
                    p.hh < 12 ? "AM" : "PM");
      break;
    }
    case 101:
      std::snprintf(buf, sizeof buf, "%02d/%02d/%s", p.m, p.d, year);
      break;
    case 102:
      std::snprintf(buf, sizeof buf, "%s.%02d.%02d", year, p.m, p.d);
      break;
    case 103:
      std::snprintf(buf, sizeof buf, "%02d/%02d/%s", p.d, p.m, year);
      break;
    case 104:
      std::snprintf(buf, sizeof buf, "%02d.%02d.%s", p.d, p.m, year);
      break;
    case 105:
      std::snprintf(buf, sizeof buf, "%02d-%02d-%s", p.d, p.m, year);
      break;
    case 108:
    case 8:
    case 24:
      std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", p.hh, p.mi, p.ss);
      break;
    case 110:
      std::snprintf(buf, sizeof buf, "%02d-%02d-%s", p.m, p.d, year);
      break;
    case 111:
      std::snprintf(buf, sizeof buf, "%s/%02d/%02d", year, p.m, p.d);
      break;
    case 112:
      std::snprintf(buf, sizeof buf, "%s%02d%02d", year, p.m, p.d);
      break;
    case 20:
    case 120:
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.y, p.m, p.d, p.hh, p.mi, p.ss);
      break;
    case 21:
    case 25:
    case 121:
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.y, p.m, p.d, p.hh, p.mi, p.ss, p.ms);
      break;
    case 23:
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.y, p.m, p.d);
      break;
    case 126:
      if (p.ms) {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", p.y, p.m, p.d, p.hh, p.mi, p.ss, p.ms);
      } else {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", p.y, p.m, p.d, p.hh, p.mi, p.ss);
      }
      break;
    default:
      return false;
  }
  out = buf;
  return true;
}

bool TextToDatetime(std::string_view text, std::string& storage, int& native, std::string& message) {
  // 'yyyymmdd', the form planex writes every date in: a valid day in datetime's range is midnight
  // of that day without the search for a format. Anything else, errors included, takes the
  // general way.
  if (text.size() == 8 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const auto number = [&](size_t at, size_t len) {
      int v = 0;
      for (size_t k = at; k < at + len; ++k) v = v * 10 + (text[k] - '0');
      return v;
    };
    const int year = number(0, 4), month = number(4, 2), day = number(6, 2);
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year >= 1753 && month >= 1 && month <= 12 && day >= 1 &&
        day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0)) {
      storage.assign(text.substr(0, 4));
      storage += '-';
      storage.append(text.substr(4, 2));
      storage += '-';
      storage.append(text.substr(6, 2));
      storage += " 00:00:00.000";
      return true;
    }
  }
  int64_t ms = 0;
  const ParseResult r =
      ParseDatetime(reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()), 0, ms);
  if (r == ParseResult::Ok && InRange(RoundToTicks(ms))) {
    char buf[24];
    FormatStorage(RoundToTicks(ms), buf);
    storage.assign(buf, 23);
    return true;
  }
  Error error =
      r == ParseResult::BadFormat ? Raised<Err::DatetimeFromText>() : Raised<Err::DatetimeOutOfRange>("datetime");
  native = error.native;
  message = std::move(error.message);
  return false;
}

Temporal TemporalOf(const SqlType& type, int& scale) {
  scale = type.kind == SqlType::Kind::Datetime2 || type.kind == SqlType::Kind::Time ? type.scale : 7;
  switch (type.kind) {
    case SqlType::Kind::Datetime2:
      return Temporal::Datetime2;
    case SqlType::Kind::SmallDatetime:
      return Temporal::SmallDatetime;
    case SqlType::Kind::Time:
      return Temporal::Time;
    case SqlType::Kind::Date:
      return Temporal::Date;
    case SqlType::Kind::Datetime:
    case SqlType::Kind::DatetimeOffset:
      return Temporal::Datetime;
    default:
      return Temporal::None;
  }
}

bool TextToTemporal(std::string_view text, Temporal kind, int scale, std::string& storage, int& native,
                    std::string& message) {
  const auto* t = reinterpret_cast<const unsigned char*>(text.data());
  const int n = static_cast<int>(text.size());
  ParseResult r = ParseResult::Ok;
  const char* type = "datetime2";
  if (kind == Temporal::Time) {
    r = TimeText(t, n, 0, scale, storage);
    type = "time";
  } else if (kind == Temporal::Datetime2) {
    r = Datetime2Text(t, n, 0, scale, storage);
  } else {
    int64_t ms = 0;
    r = ParseDatetime(t, n, 0, ms);
    if (r == ParseResult::Ok && !SmallDatetimeText(ms, storage)) r = ParseResult::OutOfRange;
    type = "smalldatetime";
  }
  if (r == ParseResult::Ok) return true;
  Error error = r == ParseResult::BadFormat ? Raised<Err::DatetimeFromText>() : Raised<Err::DatetimeOutOfRange>(type);
  native = error.native;
  message = std::move(error.message);
  return false;
}

}  // namespace tsqlite
