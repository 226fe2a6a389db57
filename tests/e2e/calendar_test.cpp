// The base calendar and the working-time calendars, run through the real planex against the
// embedded database with the clock pinned to 8 December 2026, rows read back through ODBC.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "fixtures/company.h"

namespace {

using fixture::Company;
using fixture::Options;
using Rows = std::vector<std::vector<std::string>>;

constexpr char kNow[] = "2026-12-08 10:00:00";

// The pieces an end-to-end run needs, built by other parts of the project; a reason when one is
// missing.
std::string MissingPiece() {
  namespace fs = std::filesystem;
  const std::string build = fixture::BuildDir();
  for (const char* file : {"planex", "planex-db", "planex-settings", "libtsqlite.so"}) {
    if (!fs::exists(build + "/" + file)) return std::string("build/") + file + " not built";
  }
  if (!fs::exists(fixture::SourceDir() + "/db/schema.sql")) return "db/schema.sql missing";
  if (!fixture::DriverAvailable()) return "embedded driver not built";
  return "";
}

#define SKIP_WITHOUT_DATABASE()                                 \
  do {                                                          \
    std::string missing = MissingPiece();                       \
    if (!missing.empty()) GTEST_SKIP() << missing;              \
  } while (0)

// Runs planex for all persons up to 31 December of end_year.
void RunPlanex(Company& company, const std::string& end_year) {
  company.WriteSettings();
  fixture::ProcResult result = company.RunPlanex({"0", end_year, "planex.ini", "0", "0"}, kNow);
  ASSERT_EQ(result.exit_code, 0) << result.err;
}

// The run log's error lines, each with its line end.
std::vector<std::string> ErrorLines(const std::string& log) {
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Error", 0) == 0) lines.push_back(line + "\n");
  }
  return lines;
}

void Exec(Company& company, const std::string& tsql) {
  std::string message;
  ASSERT_EQ(company.Exec(tsql, &message), 0) << tsql << "\n" << message;
}

// A calendar number in a master (Qxs135Muw for the system family, Qxs135Mu2 for the client one).
void AddMaster(Company& c, bool system, const std::string& num, int status = 1) {
  const std::string table = system ? "QXSYSTEM.Qxs135Muw (MuwKal, MuwSta)" : "ABC_1.Qxs135Mu2 (Mu2Kal, Mu2Sta)";
  Exec(c, "INSERT INTO " + table + " VALUES ('" + num + "', " + std::to_string(status) + ")");
}

// Week-model rows: one day type per weekday number (1..7) listed; "" leaves the weekday out.
void AddWeekModel(Company& c, const std::string& num, const std::vector<std::string>& types) {
  for (size_t i = 0; i < types.size(); ++i) {
    if (types[i].empty()) continue;
    Exec(c, "INSERT INTO ABC_1.Qxs137Wch (WchKal, WchTag, WchTtp, WchSta) VALUES ('" + num + "', " +
                std::to_string(i + 1) + ", '" + types[i] + "', 1)");
  }
}

// The dates (date keys) of one calendar's live day rows, in date order.
std::vector<std::string> CalendarDays(Company& c, bool system, const std::string& num) {
  const std::string sql =
      system ? "SELECT CONVERT(char(8), KalDtm, 112) FROM QXSYSTEM.Qxs133Kal WHERE KalNum = '" + num +
                   "' AND KalSta < 4 ORDER BY KalDtm"
             : "SELECT CONVERT(char(8), Ka2Dtm, 112) FROM ABC_1.Qxs133Ka2 WHERE Ka2Num = '" + num +
                   "' AND Ka2Sta < 4 ORDER BY Ka2Dtm";
  std::vector<std::string> days;
  for (const auto& row : c.Query(sql)) days.push_back(row.at(0));
  return days;
}

std::vector<std::string> DecemberDays(std::initializer_list<int> days) {
  std::vector<std::string> keys;
  for (int d : days) keys.push_back("202612" + std::string(d < 10 ? "0" : "") + std::to_string(d));
  return keys;
}

// An independent reckoning of a date's ISO 8601 week: the week and its year are those of the
// week's Thursday.
struct IsoWeek {
  int week;
  int year;
};
IsoWeek IsoWeekOf(std::chrono::sys_days day) {
  using namespace std::chrono;
  const int from_monday = (weekday(day).iso_encoding() - 1);
  const sys_days thursday = day - days(from_monday) + days(3);
  const year y = year_month_day(thursday).year();
  const int ordinal = (thursday - sys_days(y / January / 1)).count();
  return {ordinal / 7 + 1, static_cast<int>(y)};
}

std::string KeyOf(std::chrono::sys_days day) {
  const std::chrono::year_month_day ymd(day);
  char key[16];
  std::snprintf(key, sizeof key, "%04d%02u%02u", static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()));
  return key;
}

std::chrono::sys_days DayOfKey(const std::string& key) {
  using namespace std::chrono;
  return sys_days(year(std::stoi(key.substr(0, 4))) / month(std::stoul(key.substr(4, 2))) /
                  day(std::stoul(key.substr(6, 2))));
}

// ---------------------------------------------------------------------------------------------
// Base calendar

struct WeekCase {
  const char* name;
  const char* first_day;  // the base calendar holds the day before
  const char* end_year;
  // Selected rows: date key, week number, week-based year.
  std::vector<std::tuple<std::string, int, int>> expected;
};

TEST(BaseCalendar, WeekNumbersAndWeekYearsFollowIso8601AcrossYearEnds) {
  SKIP_WITHOUT_DATABASE();
  const WeekCase cases[] = {
      {"2015/2016: 2015 has a week 53", "20151227", "2016",
       {{"20151227", 52, 2015}, {"20151228", 53, 2015}, {"20151231", 53, 2015}, {"20160101", 53, 2015},
        {"20160103", 53, 2015}, {"20160104", 1, 2016}, {"20161231", 52, 2016}}},
      {"2020/2021: a leap year beginning on a Wednesday has a week 53", "20201226", "2021",
       {{"20201227", 52, 2020}, {"20201228", 53, 2020}, {"20201231", 53, 2020}, {"20210101", 53, 2020},
        {"20210103", 53, 2020}, {"20210104", 1, 2021}, {"20210110", 1, 2021}, {"20210111", 2, 2021}}},
      {"2024/2025: late December in week 1 of the next year", "20241228", "2025",
       {{"20241229", 52, 2024}, {"20241230", 1, 2025}, {"20241231", 1, 2025}, {"20250101", 1, 2025},
        {"20251228", 52, 2025}, {"20251229", 1, 2026}, {"20251231", 1, 2026}}},
      {"2026/2027: early January in week 53 of the year before", "20261227", "2027",
       {{"20261227", 52, 2026}, {"20261228", 53, 2026}, {"20270101", 53, 2026}, {"20270103", 53, 2026},
        {"20270104", 1, 2027}, {"20271231", 52, 2027}}},
  };
  for (const WeekCase& c : cases) {
    SCOPED_TRACE(c.name);
    Options options;
    options.first_day = c.first_day;
    Company company(options);
    RunPlanex(company, c.end_year);
    EXPECT_EQ(ErrorLines(company.Log()), std::vector<std::string>{});

    for (const auto& [key, week, week_year] : c.expected) {
      Rows rows = company.Query("SELECT BakWch, BakYow FROM QXSYSTEM.Qxs133Bak WHERE BakDtm = CONVERT(Datetime, '" +
                                key + "', 112)");
      ASSERT_EQ(rows.size(), 1u) << key;
      EXPECT_EQ(rows[0], (std::vector<std::string>{std::to_string(week), std::to_string(week_year)})) << key;
    }

    // Every row inserted, checked against the calendar of the standard library: one row per day
    // without gaps up to 31 December of the end year, each with its own parts.
    Rows rows = company.Query(
        "SELECT CONVERT(char(8), BakDtm, 112), BakJhr, BakMon, BakTag, BakWch, BakWtg, BakJtg, BakYow "
        "FROM QXSYSTEM.Qxs133Bak WHERE BakDtm >= CONVERT(Datetime, '" +
        std::string(c.first_day) + "', 112) ORDER BY BakDtm");
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front()[0], c.first_day);
    EXPECT_EQ(rows.back()[0], std::string(c.end_year) + "1231");
    std::chrono::sys_days expected_day = DayOfKey(c.first_day);
    for (const auto& row : rows) {
      using namespace std::chrono;
      const year_month_day ymd(expected_day);
      const IsoWeek iso = IsoWeekOf(expected_day);
      const int year_day = (expected_day - sys_days(ymd.year() / January / 1)).count() + 1;
      const int weekday_sunday_first = static_cast<int>(weekday(expected_day).c_encoding()) + 1;
      const std::vector<std::string> want = {
          KeyOf(expected_day),
          std::to_string(static_cast<int>(ymd.year())),
          std::to_string(static_cast<unsigned>(ymd.month())),
          std::to_string(static_cast<unsigned>(ymd.day())),
          std::to_string(iso.week),
          std::to_string(weekday_sunday_first),  // DATEFIRST 7: Sunday is 1
          std::to_string(year_day),
          std::to_string(iso.year)};
      ASSERT_EQ(row[0], want[0]) << "gap or step out of order";
      EXPECT_EQ(row, want);
      expected_day += days(1);
    }
  }
}

TEST(BaseCalendar, EmptyTableInsertsNothingAndLogsTheMissingDay) {
  SKIP_WITHOUT_DATABASE();
  Options options;
  options.first_day = "";  // no row at all
  Company company(options);
  RunPlanex(company, "2026");
  EXPECT_EQ(ErrorLines(company.Log()), std::vector<std::string>{"Error: Bak_NxtDay_Init RC:100\n"});
  EXPECT_EQ(company.Scalar("SELECT COUNT(*) FROM QXSYSTEM.Qxs133Bak"), "0");
}

TEST(BaseCalendar, AlreadyBeyondTheEndDateChangesNothing) {
  SKIP_WITHOUT_DATABASE();
  Options options;
  options.first_day = "20280101";  // holds 31 December 2027
  Company company(options);
  RunPlanex(company, "2027");
  EXPECT_EQ(ErrorLines(company.Log()), std::vector<std::string>{});
  EXPECT_EQ(company.Scalar("SELECT COUNT(*) FROM QXSYSTEM.Qxs133Bak"), "1");
}

TEST(BaseCalendar, WeekdayIsStoredAsTheServerNumbersIt) {
  SKIP_WITHOUT_DATABASE();
  struct Case {
    int date_first;
    const char* monday;
    const char* sunday;
  };
  for (const Case& c : {Case{1, "1", "7"}, Case{7, "2", "1"}}) {
    SCOPED_TRACE("DATEFIRST " + std::to_string(c.date_first));
    Options options;
    options.date_first = c.date_first;
    options.first_day = "20261201";
    Company company(options);
    RunPlanex(company, "2026");
    EXPECT_EQ(company.Scalar("SELECT BakWtg FROM QXSYSTEM.Qxs133Bak WHERE BakDtm = CONVERT(Datetime, '20261207', 112)"),
              c.monday);
    EXPECT_EQ(company.Scalar("SELECT BakWtg FROM QXSYSTEM.Qxs133Bak WHERE BakDtm = CONVERT(Datetime, '20261213', 112)"),
              c.sunday);
  }
}

// ---------------------------------------------------------------------------------------------
// Working-time calendars. The clock stands at 8 December 2026; the base calendar reaches
// 31 December 2026 in every test below.

Options DecemberCompany(int date_first = 7) {
  Options options;
  options.date_first = date_first;
  options.first_day = "20261201";
  return options;
}

TEST(WorkingCalendars, FiveDayWeekModelFollowsTheServersWeekdayNumbers) {
  SKIP_WITHOUT_DATABASE();
  // Weekday numbers 1..5 are Monday to Friday under DATEFIRST 1, Sunday to Thursday under 7.
  struct Case {
    int date_first;
    std::vector<std::string> days;
  };
  const Case cases[] = {
      {1, DecemberDays({9, 10, 11, 14, 15, 16, 17, 18, 21, 22, 23, 24, 25, 28, 29, 30, 31})},
      {7, DecemberDays({9, 10, 13, 14, 15, 16, 17, 20, 21, 22, 23, 24, 27, 28, 29, 30, 31})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("DATEFIRST " + std::to_string(c.date_first));
    Company company(DecemberCompany(c.date_first));
    // The same number in both masters is generated once per family.
    AddMaster(company, true, "5T");
    AddMaster(company, false, "5T");
    AddWeekModel(company, "5T", {"AT", "AT", "AT", "AT", "AT", "", ""});
    RunPlanex(company, "2026");
    EXPECT_EQ(ErrorLines(company.Log()), std::vector<std::string>{});
    // A calendar without day rows starts the day after the server's current date.
    EXPECT_EQ(CalendarDays(company, true, "5T"), c.days);
    EXPECT_EQ(CalendarDays(company, false, "5T"), c.days);

    EXPECT_EQ(company.Query("SELECT DISTINCT KalTtp, KalPtp, KalBtp, KalGwt, KalSta FROM QXSYSTEM.Qxs133Kal"),
              (Rows{{"AT", "AT", "AT", "100", "1"}}));
    EXPECT_EQ(company.Query("SELECT DISTINCT Ka2Ttp, Ka2Ptp, Ka2Btp, Ka2Gwt, Ka2Sta FROM ABC_1.Qxs133Ka2"),
              (Rows{{"AT", "AT", "AT", "100", "1"}}));
    EXPECT_EQ(company.Scalar("SELECT COUNT(*) FROM QXSYSTEM.Qxs133Kal WHERE KalDat IS NULL"), "0");
    EXPECT_EQ(company.Scalar("SELECT COUNT(*) FROM ABC_1.Qxs133Ka2 WHERE Ka2Dat IS NULL"), "0");
  }
}

TEST(WorkingCalendars, EachCalendarGoesOnFromItsLatestLiveDay) {
  SKIP_WITHOUT_DATABASE();
  Company company(DecemberCompany());
  const std::vector<std::string> every_day = {"AT", "AT", "AT", "AT", "AT", "AT", "AT"};
  struct Case {
    const char* num;
    int master_status;
    bool week_model;
    std::vector<std::string> existing;  // live day rows before the run
    std::vector<std::string> expected;  // live day rows after it
  };
  const Case cases[] = {
      {"NEU", 1, true, {}, DecemberDays({9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27,
                                         28, 29, 30, 31})},
      {"ALT", 1, true, {"20261227"}, DecemberDays({27, 28, 29, 30, 31})},
      {"END", 1, true, {"20261231"}, {"20261231"}},
      {"OHN", 1, false, {}, {}},  // no week model: not in use
      {"DEL", 4, true, {}, {}},   // deleted master row: not in use
  };
  for (const Case& c : cases) {
    AddMaster(company, true, c.num, c.master_status);
    if (c.week_model) AddWeekModel(company, c.num, every_day);
    for (const std::string& day : c.existing) {
      Exec(company, std::string("INSERT INTO QXSYSTEM.Qxs133Kal (KalNum, KalDtm, KalTtp, KalPtp, KalBtp, KalGwt, "
                                "KalDat, KalSta) VALUES ('") +
                        c.num + "', CONVERT(Datetime, '" + day + "', 112), 'AT', 'AT', 'AT', 100, CURRENT_TIMESTAMP, 1)");
    }
  }
  RunPlanex(company, "2026");
  EXPECT_EQ(ErrorLines(company.Log()), std::vector<std::string>{});
  for (const Case& c : cases) EXPECT_EQ(CalendarDays(company, true, c.num), c.expected) << c.num;
}

TEST(WorkingCalendars, QuotesInCalendarNumbersAndDayTypesAreStoredAsTheyAre) {
  SKIP_WITHOUT_DATABASE();
  Company company(DecemberCompany());
  AddMaster(company, true, "O''K");
  AddMaster(company, false, "O''K");
  AddWeekModel(company, "O''K", {"X''Y", "", "", "", "", "", ""});  // Sundays under DATEFIRST 7
  RunPlanex(company, "2026");
  EXPECT_EQ(ErrorLines(company.Log()), std::vector<std::string>{});
  const Rows sundays = {{"O'K", "20261213", "X'Y"}, {"O'K", "20261220", "X'Y"}, {"O'K", "20261227", "X'Y"}};
  EXPECT_EQ(company.Query("SELECT KalNum, CONVERT(char(8), KalDtm, 112), KalTtp FROM QXSYSTEM.Qxs133Kal "
                          "ORDER BY KalDtm"),
            sundays);
  EXPECT_EQ(company.Query("SELECT Ka2Num, CONVERT(char(8), Ka2Dtm, 112), Ka2Ttp FROM ABC_1.Qxs133Ka2 "
                          "ORDER BY Ka2Dtm"),
            sundays);
}

TEST(WorkingCalendars, MissingTableStopsOnlyWhatNeedsIt) {
  SKIP_WITHOUT_DATABASE();
  struct Case {
    const char* table;
    std::vector<std::string> log;
    size_t system_days;
  };
  const Case cases[] = {
      {"ABC_1.Qxs135Mu2",
       {"Error: Ka2Num Cursor Open. RC:-1\n", "Error: Nächste Ka2Num ermitteln. RC:-1\n"},
       23},
      {"ABC_1.Qxs133Ka2",
       {"Error: Letzten Ka2-Tag ermitteln. RC:-1\n", "Error: Nächste Ka2Num ermitteln. RC:-1\n"},
       23},
      {"ABC_1.Qxs137Wch",
       {"Error: KalNum Cursor Open. RC:-1\n", "Error: Nächste KalNum ermitteln. RC:-1\n",
        "Error: Ka2Num Cursor Open. RC:-1\n", "Error: Nächste Ka2Num ermitteln. RC:-1\n"},
       0},
      // Without a base calendar the extension starts from today and finds no row; each calendar's
      // day cursor fails to open, which its first fetch reports.
      {"QXSYSTEM.Qxs133Bak",
       {"Error: Letzten BAK-Tag ermitteln. RC:-1\n", "Error: Bak_NxtDay_Init RC:-1\n",
        "Error: Nächste KalSatz ermitteln. RC:-1\n", "Error: Nächste Ka2Satz ermitteln. RC:-1\n"},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    Company company(DecemberCompany());
    AddMaster(company, true, "ALL");
    AddMaster(company, false, "ALL");
    AddWeekModel(company, "ALL", {"AT", "AT", "AT", "AT", "AT", "AT", "AT"});
    Exec(company, std::string("DROP TABLE ") + c.table);
    RunPlanex(company, "2026");
    EXPECT_EQ(ErrorLines(company.Log()), c.log);
    EXPECT_EQ(CalendarDays(company, true, "ALL").size(), c.system_days);
  }
}

// ---------------------------------------------------------------------------------------------
// Refused rows are logged with their code, and the run goes on.

TEST(RefusedInserts, BaseCalendarStopsAfterTheFirstDayWithoutRow) {
  SKIP_WITHOUT_DATABASE();
  Options options;
  options.first_day = "";
  Company company(options);
  Exec(company, "DROP TABLE QXSYSTEM.Qxs133Bak");
  Exec(company,
       "CREATE TABLE QXSYSTEM.Qxs133Bak (BakDtm datetime NOT NULL, BakJhr int NOT NULL, BakMon int NOT NULL, "
       "BakTag int NOT NULL, BakWch int NOT NULL, BakWtg int NOT NULL, BakJtg int NOT NULL, BakYow int NOT NULL, "
       "BakDat datetime NULL, CONSTRAINT PK_Qxs133Bak PRIMARY KEY (BakDtm), "
       "CONSTRAINT CK_Qxs133Bak_NoChristmas CHECK (BakTag <> 25))");
  Exec(company,
       "INSERT INTO QXSYSTEM.Qxs133Bak (BakDtm, BakJhr, BakMon, BakTag, BakWch, BakWtg, BakJtg, BakYow, BakDat) "
       "VALUES (CONVERT(Datetime, '20261220', 112), 2026, 12, 20, 51, 1, 354, 2026, CURRENT_TIMESTAMP)");
  RunPlanex(company, "2026");
  // The refused 25th has no row, so the next step finds nothing to go on from.
  EXPECT_EQ(ErrorLines(company.Log()),
            (std::vector<std::string>{"Error: Bak_NewDay_Ins RC:547\n", "Error: Bak_NxtDay_Init RC:100\n"}));
  EXPECT_EQ(company.Scalar("SELECT CONVERT(char(8), MAX(BakDtm), 112) FROM QXSYSTEM.Qxs133Bak"), "20261224");
  EXPECT_EQ(company.Scalar("SELECT COUNT(*) FROM QXSYSTEM.Qxs133Bak"), "5");
}

TEST(RefusedInserts, CalendarDaysAreLoggedAndTheNextDaysFollow) {
  SKIP_WITHOUT_DATABASE();
  Company company(DecemberCompany());
  // System family: a check refuses the Fridays (weekday 6 under DATEFIRST 7).
  Exec(company, "DROP TABLE QXSYSTEM.Qxs133Kal");
  Exec(company,
       "CREATE TABLE QXSYSTEM.Qxs133Kal (KalNum varchar(3) NOT NULL, KalDtm datetime NOT NULL, KalTtp varchar(3) NULL, "
       "KalPtp varchar(3) NULL, KalBtp varchar(3) NULL, KalGwt int NULL, KalDat datetime NULL, "
       "KalSta smallint NOT NULL DEFAULT 1, CONSTRAINT PK_Qxs133Kal PRIMARY KEY (KalNum, KalDtm), "
       "CONSTRAINT CK_Qxs133Kal_NoFriday CHECK (KalTtp <> 'FR'))");
  AddMaster(company, true, "SYS");
  AddWeekModel(company, "SYS", {"AT", "AT", "AT", "AT", "AT", "FR", "AT"});
  // A deleted day row does not count for the last day: its date is offered again and refused by
  // the key, which is no constraint refusal (-1, not 547).
  AddMaster(company, true, "DUP");
  AddWeekModel(company, "DUP", {"AT", "AT", "AT", "AT", "AT", "AT", "AT"});
  for (const auto& [day, status] : {std::pair{"20261229", "1"}, std::pair{"20261230", "4"}}) {
    Exec(company, std::string("INSERT INTO QXSYSTEM.Qxs133Kal (KalNum, KalDtm, KalTtp, KalPtp, KalBtp, KalGwt, KalDat, "
                              "KalSta) VALUES ('DUP', CONVERT(Datetime, '") +
                      day + "', 112), 'AT', 'AT', 'AT', 100, CURRENT_TIMESTAMP, " + status + ")");
  }
  // Client family: a foreign key admits only calendar KEY; the days of calendar BAD are refused.
  Exec(company, "CREATE TABLE ABC_1.TstKal (TstNum varchar(3) NOT NULL, CONSTRAINT PK_TstKal PRIMARY KEY (TstNum))");
  Exec(company, "INSERT INTO ABC_1.TstKal (TstNum) VALUES ('KEY')");
  Exec(company, "DROP TABLE ABC_1.Qxs133Ka2");
  Exec(company,
       "CREATE TABLE ABC_1.Qxs133Ka2 (Ka2Num varchar(3) NOT NULL, Ka2Dtm datetime NOT NULL, Ka2Ttp varchar(3) NULL, "
       "Ka2Ptp varchar(3) NULL, Ka2Btp varchar(3) NULL, Ka2Gwt int NULL, Ka2Dat datetime NULL, "
       "Ka2Sta smallint NOT NULL DEFAULT 1, CONSTRAINT PK_Qxs133Ka2 PRIMARY KEY (Ka2Num, Ka2Dtm), "
       "CONSTRAINT FK_Qxs133Ka2_TstKal FOREIGN KEY (Ka2Num) REFERENCES ABC_1.TstKal (TstNum))");
  AddMaster(company, false, "BAD");
  AddMaster(company, false, "KEY");
  AddWeekModel(company, "BAD", {"", "", "", "", "", "", "AT"});  // Saturdays: 12, 19, 26
  AddWeekModel(company, "KEY", {"", "", "", "", "", "", "AT"});
  RunPlanex(company, "2026");

  // The order of calendars within a family is the server's; the lines do not name them.
  std::vector<std::string> log = ErrorLines(company.Log());
  std::sort(log.begin(), log.end());
  EXPECT_EQ(log, (std::vector<std::string>{
                     "Error:Ka2-Tag einfügen. RC:547\n", "Error:Ka2-Tag einfügen. RC:547\n",
                     "Error:Ka2-Tag einfügen. RC:547\n", "Error:Kal-Tag einfügen. RC:-1\n",
                     "Error:Kal-Tag einfügen. RC:547\n", "Error:Kal-Tag einfügen. RC:547\n",
                     "Error:Kal-Tag einfügen. RC:547\n"}));
  EXPECT_EQ(CalendarDays(company, true, "DUP"), DecemberDays({29, 31}));
  EXPECT_EQ(CalendarDays(company, true, "SYS"),
            DecemberDays({9, 10, 12, 13, 14, 15, 16, 17, 19, 20, 21, 22, 23, 24, 26, 27, 28, 29, 30, 31}));
  EXPECT_EQ(CalendarDays(company, false, "BAD"), std::vector<std::string>{});
  EXPECT_EQ(CalendarDays(company, false, "KEY"), DecemberDays({12, 19, 26}));
}

}  // namespace
