#include "demo.h"

#include <array>
#include <cstdlib>
#include <cstdio>
#include <string_view>
#include <vector>

#include "dates.h"
#include "script.h"

namespace pxdb {
namespace {

using std::chrono::days;

// splitmix64: small, fast and the same on every platform, unlike the standard distributions.
class Random {
 public:
  explicit Random(unsigned long long seed) : state_(seed) {}
  unsigned long long Next() {
    unsigned long long z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // 0 .. n-1
  int Below(int n) { return static_cast<int>(Next() % static_cast<unsigned long long>(n)); }
  template <typename T, size_t N>
  const T& Pick(const std::array<T, N>& items) {
    return items[static_cast<size_t>(Below(static_cast<int>(N)))];
  }

 private:
  unsigned long long state_;
};

// Names with apostrophes and umlauts on purpose: they must travel through every statement intact.
constexpr std::array<std::string_view, 24> kFirstNames = {
    "Anna", "Jürgen", "Zoë",   "Björn",  "Sören", "Käthe",  "Günther", "Renée", "Seán",   "Maria", "Thomas", "Jörg",
    "Ümit", "Lena",   "Niamh", "D'Arcy", "Paul",  "Sabine", "Michael", "Agnès", "Hélène", "Ole",   "Özlem",  "Stefan"};
constexpr std::array<std::string_view, 24> kLastNames = {
    "Müller", "Schäfer", "O'Brien",        "Weiß",    "Dürr",    "Groß",    "D'Angelo", "Schmidt",
    "Köhler", "Nußbaum", "Lütke",          "O'Neill", "Bauer",   "Fischer", "Hoffmann", "Krämer",
    "Böhm",   "Jäger",   "Ó Súilleabháin", "Meier",   "Zöllner", "Wagner",  "Brückner", "L'Hôte"};
constexpr std::array<std::string_view, 5> kDepartments = {"Montage", "Lager", "Verwaltung", "Qualität", "Versand"};
constexpr std::array<std::string_view, 5> kCostCentres = {
    "4711 Fertigung Süd", "4712 Lager & Logistik", "4800 Verwaltung", "4910 Qualitätssicherung", "5020 Versand 'Nord'"};
constexpr std::array<std::string_view, 4> kCostTypes = {"K1", "K2", "K3", "K4"};
constexpr std::array<std::string_view, 4> kCostUnits = {"100200", "100300", "200100", "300400"};
constexpr std::array<std::string_view, 3> kContracts = {"VZ", "TZ50", "TZ75"};
constexpr std::array<std::string_view, 3> kAccounting = {"GLZ", "STD", "SCH"};

struct Group {
  const char* num;
  const char* name;
  int length;
  const char* pattern;  // one letter per cycle day: F early, S late, N night, - free
};
constexpr std::array<Group, 4> kGroups = {{
    {"G07A", "Frühschicht", 7, "FFFFF--"},
    {"G07B", "Spätschicht", 7, "SSSSS--"},
    {"G14", "Wechselschicht zwei Wochen", 14, "FFFFF--SSSSS--"},
    {"G21", "Dreischicht", 21, "FFFFF--SSSSS--NNNNN--"},
}};

// Writes rows one statement at a time inside transactions of a few thousand rows.
class Loader {
 public:
  Loader(Session& session, std::map<std::string, long>* rows) : session_(session), rows_(rows) {}

  bool Insert(const std::string& table, const char* columns, const std::string& values) {
    std::string sql = "INSERT INTO " + table + " (" + columns + ") VALUES (" + values + ")";
    DbError e;
    if (!session_.Exec(sql, &e)) {
      error_ = FormatError(e) + "\n  in: " + sql;
      return false;
    }
    ++(*rows_)[table];
    if (++pending_ >= 2000) {
      pending_ = 0;
      if (!session_.Commit(&e)) {
        error_ = "commit: " + FormatError(e);
        return false;
      }
    }
    return true;
  }
  const std::string& Error() const { return error_; }

 private:
  Session& session_;
  std::map<std::string, long>* rows_;
  long pending_ = 0;
  std::string error_;
};

std::string Num(long long n) {
  return std::to_string(n);
}
std::string D(Day d) {
  return DateLiteral(DateKey(d));
}
// A date-time at midnight, style 120, as the day records carry it.
std::string Midnight(Day d) {
  std::string k = DateKey(d);
  return "CONVERT(Datetime, " + Quote(k.substr(0, 4) + "-" + k.substr(4, 2) + "-" + k.substr(6, 2) + " 00:00:00") +
         ", 120)";
}

// The cycle day of a group on a day, for the schedule-assignment rows the demo writes itself.
int CycleDay(Day day, Day start, int start_day, int length) {
  long long x = (day - start).count() + start_day - 1;
  return static_cast<int>(((x % length) + length) % length) + 1;
}

class Demo {
 public:
  Demo(Session& session, const DemoOptions& options, std::map<std::string, long>* rows)
      : session_(session), o_(options), load_(session, rows), rnd_(options.seed) {}

  bool Run(std::string* message);

 private:
  Session& session_;
  const DemoOptions& o_;
  Loader load_;
  Random rnd_;
  Day first_{};  // first day after the base calendar's first row
  int date_first_ = 7;
  std::string error_;  // a failed read; failed writes are in load_.Error()

  std::string T(const char* table) const { return o_.schema + "." + table; }
  bool Calendars();
  bool Groups();
  bool Person(long i);
};

bool Demo::Calendars() {
  // Week models are keyed by the server's weekday numbers, which follow its DATEFIRST.
  auto wch = [&](const char* kal, int iso_day, const char* type, int status) {
    int wd = (iso_day - date_first_ + 7) % 7 + 1;
    return load_.Insert(T("Qxs137Wch"), "WchKal, WchTag, WchTtp, WchSta",
                        Quote(kal) + ", " + Num(wd) + ", " + Quote(type) + ", " + Num(status));
  };
  std::string n;
  DbError e;
  if (!session_.Scalar("SELECT COUNT(*) FROM QXSYSTEM.Qxs135Muw WHERE MuwKal = 'S5'", &n, &e)) {
    error_ = "cannot read the system calendars: " + FormatError(e);
    return false;
  }
  if (n == "0") {  // another client's demo may have written the system calendars already
    if (!load_.Insert("QXSYSTEM.Qxs135Muw", "MuwKal, MuwBez, MuwSta", "'S5', 'Fünftagewoche (System)', 1") ||
        !load_.Insert("QXSYSTEM.Qxs135Muw", "MuwKal, MuwBez, MuwSta", "'S6', 'Sechstagewoche (System)', 1")) {
      return false;
    }
  }
  struct Master {
    const char* kal;
    const char* name;
    int status;
  };
  const Master client[] = {{"K5", "Fünftagewoche", 1},
                           {"K6", "Sechstagewoche", 1},
                           {"WE", "Wochenende", 1},
                           {"K0", "Ohne Wochenmodell", 1},
                           {"K7", "Siebentagewoche (gelöscht)", 4}};
  for (const Master& m : client) {
    if (!load_.Insert(T("Qxs135Mu2"), "Mu2Kal, Mu2Bez, Mu2Sta",
                      Quote(m.kal) + ", " + Quote(m.name) + ", " + Num(m.status))) {
      return false;
    }
  }
  // S5: every day typed, weekend free; S6 and K6: Monday to Saturday; K5: five rows only, so its
  // persons have no weekend days at all; WE: weekend-only; K7: a full week under a deleted master.
  for (int d = 1; d <= 7; ++d) {
    if (!wch("S5", d, d <= 5 ? "AT" : "FR", 1)) return false;
    if (d <= 6 && !wch("S6", d, "AT", 1)) return false;
    if (d <= 5 && !wch("K5", d, "AT", 1)) return false;
    if (d <= 6 && !wch("K6", d, d <= 5 ? "AT" : "SA", 1)) return false;
    if (d >= 6 && !wch("WE", d, "AT", 1)) return false;
    if (!wch("K7", d, "AT", 1)) return false;
  }
  return wch("K5", 6, "AT", 4);  // a deleted Saturday row that must not count
}

bool Demo::Groups() {
  for (const Group& g : kGroups) {
    if (!load_.Insert(T("Qxs160Agr"), "AgrNum, AgrBez, AgrTge, AgrSta",
                      Quote(g.num) + ", " + Quote(g.name) + ", " + Num(g.length) + ", 1")) {
      return false;
    }
    for (int day = 1; day <= g.length; ++day) {
      char c = g.pattern[day - 1];
      // Free days carry a blank working time and only an account rule.
      std::string azt = c == '-' ? "" : std::string(1, c) + (c == 'N' ? "22" : c == 'S' ? "14" : "06");
      std::string vra = c == '-' ? "FR" : (c == 'N' ? "V3" : "V1");
      if (!load_.Insert(T("Qxs161Wpl"), "WplAgr, WplTag, WplAzt, WplVra, WplSta",
                        Quote(g.num) + ", " + Num(day) + ", " + Quote(azt) + ", " + Quote(vra) + ", 1")) {
        return false;
      }
    }
  }
  // A deleted group with its plan: nobody may be scheduled into it.
  if (!load_.Insert(T("Qxs160Agr"), "AgrNum, AgrBez, AgrTge, AgrSta", "'G99', 'Aufgelöste Gruppe', 7, 4")) {
    return false;
  }
  for (int day = 1; day <= 7; ++day) {
    if (!load_.Insert(T("Qxs161Wpl"), "WplAgr, WplTag, WplAzt, WplVra, WplSta",
                      "'G99', " + Num(day) + ", 'X', 'X', 4")) {
      return false;
    }
  }
  return true;
}

bool Demo::Person(long i) {
  char pnr_buf[24];
  std::snprintf(pnr_buf, sizeof pnr_buf, "%08ld", i);
  const std::string pnr = pnr_buf;
  // One draw per statement: the order in which operands of + are evaluated is unspecified, and
  // the company must not depend on the compiler.
  const std::string last(rnd_.Pick(kLastNames));
  const std::string first(rnd_.Pick(kFirstNames));
  const std::string name = last + ", " + first;
  const int status = i % 97 == 0 ? 4 : 1;  // a few deleted persons
  if (!load_.Insert(T("Qxs300Pnr"), "PnrNum, PnrNam, PnrSta", Quote(pnr) + ", " + Quote(name) + ", " + Num(status))) {
    return false;
  }

  // Assignment rows. The kind of person follows the number, the details the random stream.
  const int kind = static_cast<int>(i % 20);
  const char* calendar = rnd_.Below(3) == 0 ? "K6" : "K5";
  auto bsv = [&](Day from, const Day* to, const char* kal) {
    const std::string contract(rnd_.Pick(kContracts));
    const std::string accounting(rnd_.Pick(kAccounting));
    return load_.Insert(T("Qxs310Bsv"), "BsvPnr, BsvGvo, BsvGbi, BsvKal, BsvAkr, BsvAbr, BsvSta",
                        Quote(pnr) + ", " + D(from) + ", " + (to ? D(*to) : "NULL") + ", " + Quote(kal) + ", " +
                            Quote(contract) + ", " + Quote(accounting) + ", 1");
  };
  const Day hired = first_ - days{30 + rnd_.Below(3000)};
  bool ok = true;
  switch (kind) {
    case 3: {  // an ended row followed by the current one
      Day end = first_ - days{100};
      ok = bsv(hired - days{400}, &end, "K6") && bsv(end + days{1}, nullptr, "K5");
      break;
    }
    case 7:  // the current row and one that begins in the future; the future one counts
      ok = bsv(hired, nullptr, "K5") && bsv(first_ + days{60}, nullptr, "K6");
      break;
    case 11: {  // every row ended: the person is not scheduled any more
      Day end = first_ - days{10};
      ok = bsv(hired - days{400}, &end, calendar);
      break;
    }
    case 13:  // a calendar without week model: no calendar days, only leave years
      ok = bsv(hired, nullptr, "K0");
      break;
    case 17:  // weekend staff
      ok = bsv(hired, nullptr, "WE");
      break;
    default:
      ok = bsv(hired, nullptr, calendar);
  }
  if (!ok) return false;

  // Group assignments: valid from before the first day, the cycle started somewhere in the
  // month before; every tenth person changes group a third into the year.
  const Group& g = kGroups[static_cast<size_t>(rnd_.Below(static_cast<int>(kGroups.size())))];
  const Day cycle_start = first_ - days{rnd_.Below(30)};
  const int start_day = 1 + rnd_.Below(g.length);
  const std::string abt(rnd_.Pick(kDepartments)), kst(rnd_.Pick(kCostCentres));
  const std::string krt(rnd_.Pick(kCostTypes)), ktr(rnd_.Pick(kCostUnits));
  auto zuo = [&](const Group& grp, Day from, const Day* to, Day sdt, int stg) {
    return load_.Insert(T("Qxs311Zuo"),
                        "ZuoPnr, ZuoAgr, ZuoAbt, ZuoKst, ZuoKrt, ZuoKtr, ZuoVra, ZuoGvo, ZuoGbi, ZUOSDT, ZUOSTG, "
                        "ZuoSta",
                        Quote(pnr) + ", " + Quote(grp.num) + ", " + Quote(abt) + ", " + Quote(kst) + ", " + Quote(krt) +
                            ", " + Quote(ktr) + ", 'V1', " + D(from) + ", " + (to ? D(*to) : "NULL") + ", " + D(sdt) +
                            ", " + Num(stg) + ", 1");
  };
  if (i % 10 == 5) {
    const Day change = first_ + days{120};
    const Day end = change - days{1};
    const Group& next = kGroups[(static_cast<size_t>(i) / 10) % kGroups.size()];
    ok = zuo(g, first_ - days{365}, &end, cycle_start, start_day) && zuo(next, change, nullptr, change, 1);
  } else {
    ok = zuo(g, first_ - days{365}, nullptr, cycle_start, start_day);
  }
  if (!ok) return false;

  // Existing day and schedule-assignment records for the first two weeks.
  if (i % 25 == 0 && kind != 11) {
    for (int k = 0; k < 14; ++k) {
      const Day d = first_ + days{k};
      if (!load_.Insert(T("Qxs327Tag"), "TagPnr, TagTag, TagVon, TagUhr, TagBis, TagEnd, TagDat",
                        Quote(pnr) + ", " + D(d) + ", " + D(d) + ", " + Midnight(d) + ", " + D(d) + ", " + Midnight(d) +
                            ", CURRENT_TIMESTAMP")) {
        return false;
      }
      const int cycle = CycleDay(d, cycle_start, start_day, g.length);
      if (!load_.Insert(T("Qxs329Ztg"),
                        "ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt, ZtgAgr, ZtgTag, "
                        "ZtgBsd, ZtgVra, ZtgAzt, ZtgTtp, ZtgDat, ZtgSta, ZtgPnm",
                        Quote(pnr) + ", " + D(d) + ", 'VZ', " + Quote(abt) + ", " + Quote(kst) + ", " + Quote(ktr) +
                            ", " + Quote(krt) + ", " + Quote(g.num) + ", " + Num(cycle) +
                            ", 'GLZ', 'V1', '', 'AT', CURRENT_TIMESTAMP, 1, " + Quote(name))) {
        return false;
      }
    }
  }
  // Leave carried over from the two years before.
  if (i % 8 == 0) {
    const int y = static_cast<int>(std::chrono::year_month_day{first_}.year());
    for (int year = y - 2; year < y; ++year) {
      if (!load_.Insert(T("Qxs332Urv"), "UrvPnr, UrvJhr, UrvTge",
                        Quote(pnr) + ", " + Num(year) + ", " + Num(rnd_.Below(15)))) {
        return false;
      }
    }
  }
  return true;
}

bool Demo::Run(std::string* message) {
  DbError e;
  std::string first_key, weekday, persons;
  if (!session_.Scalar("SELECT COUNT(*) FROM " + T("Qxs300Pnr"), &persons, &e)) {
    *message = "client schema " + o_.schema + " is not installed: " + FormatError(e);
    return false;
  }
  if (persons != "0") {
    *message = "client schema " + o_.schema + " already holds " + persons + " persons; the demo needs an empty schema";
    return false;
  }
  if (!session_.Scalar("SELECT CONVERT(char(8), MIN(BakDtm), 112) FROM QXSYSTEM.Qxs133Bak", &first_key, &e)) {
    *message = "cannot read the base calendar: " + FormatError(e);
    return false;
  }
  Day base{};
  if (!ParseDateKey(first_key, &base)) {
    *message = "the base calendar is empty; run planex-db init first";
    return false;
  }
  if (!session_.Scalar("SELECT BakWtg FROM QXSYSTEM.Qxs133Bak WHERE BakDtm = " + DateLiteral(first_key), &weekday,
                       &e)) {
    *message = "cannot read the base calendar: " + FormatError(e);
    return false;
  }
  first_ = base + days{1};
  date_first_ = DateFirstFrom(base, std::atoi(weekday.c_str()));

  if (!session_.SetAutocommit(false, &e)) {
    *message = "cannot start a transaction: " + FormatError(e);
    return false;
  }
  bool ok = Calendars() && Groups();
  for (long i = 1; ok && i <= o_.persons; ++i) ok = Person(i);
  if (ok && !session_.Commit(&e)) {
    *message = "commit: " + FormatError(e);
    ok = false;
  } else if (!ok) {
    *message = error_.empty() ? load_.Error() : error_;
    session_.Rollback();
  }
  DbError ignored;
  session_.SetAutocommit(true, &ignored);
  return ok;
}

}  // namespace

bool FillDemo(Session& session, const DemoOptions& options, std::map<std::string, long>* rows, std::string* message) {
  Demo demo(session, options, rows);
  return demo.Run(message);
}

}  // namespace pxdb
