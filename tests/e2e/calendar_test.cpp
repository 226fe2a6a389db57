// The base calendar and the working-time calendars, run through the real planex against the
// embedded database with the clock pinned to 8 December 2026, rows read back through ODBC.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <tuple>
#include <vector>

#include "fixtures/helpers.h"

namespace {

using namespace fixture;
using BaseCalendar = DatabaseTest;
using WorkingCalendars = DatabaseTest;
using RefusedInserts = DatabaseTest;

// Runs planex for all persons up to 31 December of end_year.
void RunPlanex(Company& company, const std::string& end_year) {
  company.WriteSettings();
  RunPlanexOk(company, "0", end_year);
}

Strings Errors(Company& company) {
  return ErrorLines(company.Log());
}

// A family of working-time calendars: its master table, its day table and the day columns' prefix.
struct Family {
  const char* master;
  const char* days;
  const char* p;
};
const Family kSystem{"QXSYSTEM.Qxs135Muw (MuwKal, MuwSta)", "QXSYSTEM.Qxs133Kal", "Kal"};
const Family kClient{"ABC_1.Qxs135Mu2 (Mu2Kal, Mu2Sta)", "ABC_1.Qxs133Ka2", "Ka2"};

// The statement for a family: '#' stands for its day table, '@' for its column prefix.
std::string For(const Family& f, const std::string& tsql) {
  std::string out;
  for (char c : tsql) out += c == '#' ? f.days : c == '@' ? f.p : std::string(1, c);
  return out;
}

void AddMaster(Company& c, const Family& f, const std::string& num, int status = 1) {
  Sql(c, std::string("INSERT INTO ") + f.master + " VALUES (" + Lit(num) + ", " + std::to_string(status) + ")");
}

void AddDay(Company& c, const std::string& num, const std::string& day, int status = 1) {
  Sql(c, seed::Day(num, day, true, status));
}

// Week-model rows: one day type per weekday number (1..7) listed; "" leaves the weekday out.
void AddWeekModel(Company& c, const std::string& num, const Strings& types) {
  for (size_t i = 0; i < types.size(); ++i)
    if (!types[i].empty()) Sql(c, seed::WeekDay(num, static_cast<int>(i) + 1, types[i]));
}
const Strings kEveryDay(7, "AT");

// A family's day table as the schema has it, with one constraint more.
void RecreateDayTable(Company& c, const Family& f, const std::string& constraint) {
  Sql(c, For(f, "DROP TABLE #"));
  Sql(c, For(f,
             "CREATE TABLE # (@Num varchar(3) NOT NULL, @Dtm datetime NOT NULL, @Ttp varchar(3) NULL, "
             "@Ptp varchar(3) NULL, @Btp varchar(3) NULL, @Gwt int NULL, @Dat datetime NULL, "
             "@Sta smallint NOT NULL DEFAULT 1, CONSTRAINT PK_Qxs133@ PRIMARY KEY (@Num, @Dtm), ") +
             constraint + ")");
}

// The dates (date keys) of one calendar's live day rows, in date order.
Strings CalendarDays(Company& c, const Family& f, const std::string& num) {
  return Column(c, For(f, "SELECT CONVERT(char(8), @Dtm, 112) FROM # WHERE @Num = ") + Lit(num) +
                       For(f, " AND @Sta < 4 ORDER BY @Dtm"));
}

// The clock stands at 8 December 2026; this base calendar reaches 31 December 2026.
Options DecemberCompany(int date_first = 7) {
  return {.date_first = date_first, .first_day = "20261201"};
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

TEST_F(BaseCalendar, WeekNumbersAndWeekYearsFollowIso8601AcrossYearEnds) {
  const WeekCase cases[] = {
      {"2015/2016: 2015 has a week 53",
       "20151227",
       "2016",
       {{"20151227", 52, 2015},
        {"20151228", 53, 2015},
        {"20151231", 53, 2015},
        {"20160101", 53, 2015},
        {"20160103", 53, 2015},
        {"20160104", 1, 2016},
        {"20161231", 52, 2016}}},
      {"2020/2021: a leap year beginning on a Wednesday has a week 53",
       "20201226",
       "2021",
       {{"20201227", 52, 2020},
        {"20201228", 53, 2020},
        {"20201231", 53, 2020},
        {"20210101", 53, 2020},
        {"20210103", 53, 2020},
        {"20210104", 1, 2021},
        {"20210110", 1, 2021},
        {"20210111", 2, 2021}}},
      {"2024/2025: late December in week 1 of the next year",
       "20241228",
       "2025",
       {{"20241229", 52, 2024},
        {"20241230", 1, 2025},
        {"20241231", 1, 2025},
        {"20250101", 1, 2025},
        {"20251228", 52, 2025},
        {"20251229", 1, 2026},
        {"20251231", 1, 2026}}},
      {"2026/2027: early January in week 53 of the year before",
       "20261227",
       "2027",
       {{"20261227", 52, 2026},
        {"20261228", 53, 2026},
        {"20270101", 53, 2026},
        {"20270103", 53, 2026},
        {"20270104", 1, 2027},
        {"20271231", 52, 2027}}},
  };
  for (const WeekCase& c : cases) {
    SCOPED_TRACE(c.name);
    Company company({.first_day = c.first_day});
    RunPlanex(company, c.end_year);
    EXPECT_EQ(Errors(company), Strings{});

    for (const auto& [key, week, week_year] : c.expected) {
      Rows rows = company.Query("SELECT BakWch, BakYow FROM QXSYSTEM.Qxs133Bak WHERE BakDtm = " + Key(key));
      ASSERT_EQ(rows.size(), 1u) << key;
      EXPECT_EQ(rows[0], (Strings{std::to_string(week), std::to_string(week_year)})) << key;
    }

    // Every row inserted, checked against the calendar of the standard library: one row per day
    // without gaps up to 31 December of the end year, each with its own parts.
    Rows rows = company.Query(
        "SELECT CONVERT(char(8), BakDtm, 112), BakJhr, BakMon, BakTag, BakWch, BakWtg, BakJtg, BakYow "
        "FROM QXSYSTEM.Qxs133Bak WHERE BakDtm >= " +
        Key(c.first_day) + " ORDER BY BakDtm");
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front()[0], c.first_day);
    EXPECT_EQ(rows.back()[0], std::string(c.end_year) + "1231");
    std::chrono::sys_days day = DayOfKey(c.first_day);
    for (const auto& row : rows) {
      using namespace std::chrono;
      const year_month_day ymd(day);
      const IsoWeek iso = IsoWeekOf(day);
      const Strings want = {KeyOf(day),
                            std::to_string(static_cast<int>(ymd.year())),
                            std::to_string(static_cast<unsigned>(ymd.month())),
                            std::to_string(static_cast<unsigned>(ymd.day())),
                            std::to_string(iso.week),
                            std::to_string(weekday(day).c_encoding() + 1),  // DATEFIRST 7: Sunday is 1
                            std::to_string((day - sys_days(ymd.year() / January / 1)).count() + 1),
                            std::to_string(iso.year)};
      ASSERT_EQ(row[0], want[0]) << "gap or step out of order";
      EXPECT_EQ(row, want);
      day += days(1);
    }
  }
}

TEST_F(BaseCalendar, EmptyTableInsertsNothingAndLogsTheMissingDay) {
  Company company;  // no row at all
  RunPlanex(company, "2026");
  EXPECT_EQ(Errors(company), Strings{"Error: Bak_NxtDay_Init RC:100\n"});
  EXPECT_EQ(company.Scalar("SELECT COUNT(*) FROM QXSYSTEM.Qxs133Bak"), "0");
}

TEST_F(BaseCalendar, AlreadyBeyondTheEndDateChangesNothing) {
  Company company({.first_day = "20280101"});  // holds 31 December 2027
  RunPlanex(company, "2027");
  EXPECT_EQ(Errors(company), Strings{});
  EXPECT_EQ(company.Scalar("SELECT COUNT(*) FROM QXSYSTEM.Qxs133Bak"), "1");
}

TEST_F(BaseCalendar, WeekdayIsStoredAsTheServerNumbersIt) {
  struct Case {
    int date_first;
    const char* monday;
    const char* sunday;
  };
  for (const Case& c : {Case{1, "1", "7"}, Case{7, "2", "1"}}) {
    SCOPED_TRACE("DATEFIRST " + std::to_string(c.date_first));
    Company company(DecemberCompany(c.date_first));
    RunPlanex(company, "2026");
    const std::string weekday = "SELECT BakWtg FROM QXSYSTEM.Qxs133Bak WHERE BakDtm = ";
    EXPECT_EQ(company.Scalar(weekday + Key("20261207")), c.monday);
    EXPECT_EQ(company.Scalar(weekday + Key("20261213")), c.sunday);
  }
}

// ---------------------------------------------------------------------------------------------
// Working-time calendars, all on DecemberCompany().

TEST_F(WorkingCalendars, FiveDayWeekModelFollowsTheServersWeekdayNumbers) {
  // Weekday numbers 1..5 are Monday to Friday under DATEFIRST 1, Sunday to Thursday under 7.
  struct Case {
    int date_first;
    Strings days;
  };
  const Case cases[] = {
      {1, DayKeys({9, 10, 11, 14, 15, 16, 17, 18, 21, 22, 23, 24, 25, 28, 29, 30, 31})},
      {7, DayKeys({9, 10, 13, 14, 15, 16, 17, 20, 21, 22, 23, 24, 27, 28, 29, 30, 31})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("DATEFIRST " + std::to_string(c.date_first));
    Company company(DecemberCompany(c.date_first));
    // The same number in both masters is generated once per family.
    AddMaster(company, kSystem, "5T");
    AddMaster(company, kClient, "5T");
    AddWeekModel(company, "5T", {"AT", "AT", "AT", "AT", "AT", "", ""});
    // Deleted rows count as none: a week-model row gives no days, a master row beside the live one
    // gives none twice, a day row after the end date is not the calendar's last day.
    Sql(company, seed::WeekDay("5T", 6, "DEL", 4));
    AddMaster(company, kSystem, "5T", 4);
    AddMaster(company, kClient, "5T", 4);
    for (bool system : {true, false}) Sql(company, seed::Day("5T", "20270104", system, 4));
    RunPlanex(company, "2026");
    EXPECT_EQ(Errors(company), Strings{});
    for (const Family& f : {kSystem, kClient}) {
      SCOPED_TRACE(f.days);
      // A calendar without day rows starts the day after the server's current date.
      EXPECT_EQ(CalendarDays(company, f, "5T"), c.days);
      EXPECT_EQ(
          company.Query(For(f, "SELECT DISTINCT @Ttp, @Ptp, @Btp, @Gwt, @Sta FROM # WHERE @Dtm < ") + Key("20270101")),
          (Rows{{"AT", "AT", "AT", "100", "1"}}));
      EXPECT_EQ(company.Scalar(For(f, "SELECT COUNT(*) FROM # WHERE @Dat IS NULL")), "0");
    }
  }
}

TEST_F(WorkingCalendars, EachCalendarGoesOnFromItsLatestLiveDay) {
  Company company(DecemberCompany());
  struct Case {
    const char* num;
    int master_status;
    bool week_model;
    Strings existing;  // live day rows before the run
    Strings expected;  // live day rows after it
  };
  const Case cases[] = {
      {"NEU", 1, true, {}, DayRange(9, 31)},
      {"ALT", 1, true, {"20261227"}, DayRange(27, 31)},
      {"END", 1, true, {"20261231"}, {"20261231"}},
      {"OHN", 1, false, {}, {}},  // no week model: not in use
      {"DEL", 4, true, {}, {}},   // deleted master row: not in use
  };
  for (const Case& c : cases) {
    AddMaster(company, kSystem, c.num, c.master_status);
    if (c.week_model) AddWeekModel(company, c.num, kEveryDay);
    for (const std::string& day : c.existing) AddDay(company, c.num, day);
  }
  RunPlanex(company, "2026");
  EXPECT_EQ(Errors(company), Strings{});
  for (const Case& c : cases) EXPECT_EQ(CalendarDays(company, kSystem, c.num), c.expected) << c.num;
}

TEST_F(WorkingCalendars, QuotesInCalendarNumbersAndDayTypesAreStoredAsTheyAre) {
  Company company(DecemberCompany());
  AddMaster(company, kSystem, "O'K");
  AddMaster(company, kClient, "O'K");
  AddWeekModel(company, "O'K", {"X'Y", "", "", "", "", "", ""});  // Sundays under DATEFIRST 7
  RunPlanex(company, "2026");
  EXPECT_EQ(Errors(company), Strings{});
  for (const Family& f : {kSystem, kClient}) {
    EXPECT_EQ(company.Query(For(f, "SELECT @Num, CONVERT(char(8), @Dtm, 112), @Ttp FROM # ORDER BY @Dtm")),
              (Rows{{"O'K", "20261213", "X'Y"}, {"O'K", "20261220", "X'Y"}, {"O'K", "20261227", "X'Y"}}))
        << f.days;
  }
}

TEST_F(WorkingCalendars, MissingTableStopsOnlyWhatNeedsIt) {
  struct Case {
    const char* table;
    Strings log;
    size_t system_days;
  };
  const Case cases[] = {
      {"ABC_1.Qxs135Mu2", {"Error: Ka2Num Cursor Open. RC:-1\n", "Error: Nächste Ka2Num ermitteln. RC:-1\n"}, 23},
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
    AddMaster(company, kSystem, "ALL");
    AddMaster(company, kClient, "ALL");
    AddWeekModel(company, "ALL", kEveryDay);
    Sql(company, std::string("DROP TABLE ") + c.table);
    RunPlanex(company, "2026");
    EXPECT_EQ(Errors(company), c.log);
    EXPECT_EQ(CalendarDays(company, kSystem, "ALL").size(), c.system_days);
  }
}

// ---------------------------------------------------------------------------------------------
// Refused rows are logged with their code, and the run goes on.

TEST_F(RefusedInserts, BaseCalendarStopsAfterTheFirstDayWithoutRow) {
  Company company;
  Sql(company, "DROP TABLE QXSYSTEM.Qxs133Bak");
  Sql(company,
      "CREATE TABLE QXSYSTEM.Qxs133Bak (BakDtm datetime NOT NULL, BakJhr int NOT NULL, BakMon int NOT NULL, "
      "BakTag int NOT NULL, BakWch int NOT NULL, BakWtg int NOT NULL, BakJtg int NOT NULL, BakYow int NOT NULL, "
      "BakDat datetime NULL, CONSTRAINT PK_Qxs133Bak PRIMARY KEY (BakDtm), "
      "CONSTRAINT CK_Qxs133Bak_NoChristmas CHECK (BakTag <> 25))");
  Sql(company,
      "INSERT INTO QXSYSTEM.Qxs133Bak (BakDtm, BakJhr, BakMon, BakTag, BakWch, BakWtg, BakJtg, BakYow, BakDat) "
      "VALUES (" +
          Key("20261220") + ", 2026, 12, 20, 51, 1, 354, 2026, CURRENT_TIMESTAMP)");
  RunPlanex(company, "2026");
  // The refused 25th has no row, so the next step finds nothing to go on from.
  EXPECT_EQ(Errors(company), (Strings{"Error: Bak_NewDay_Ins RC:547\n", "Error: Bak_NxtDay_Init RC:100\n"}));
  EXPECT_EQ(company.Scalar("SELECT CONVERT(char(8), MAX(BakDtm), 112) FROM QXSYSTEM.Qxs133Bak"), "20261224");
  EXPECT_EQ(company.Scalar("SELECT COUNT(*) FROM QXSYSTEM.Qxs133Bak"), "5");
}

TEST_F(RefusedInserts, CalendarDaysAreLoggedAndTheNextDaysFollow) {
  Company company(DecemberCompany());
  // System family: a check refuses the Fridays (weekday 6 under DATEFIRST 7).
  RecreateDayTable(company, kSystem, "CONSTRAINT CK_Qxs133Kal_NoFriday CHECK (KalTtp <> 'FR')");
  AddMaster(company, kSystem, "SYS");
  AddWeekModel(company, "SYS", {"AT", "AT", "AT", "AT", "AT", "FR", "AT"});
  // A deleted day row does not count for the last day: its date is offered again and refused by
  // the key, which is no constraint refusal (-1, not 547).
  AddMaster(company, kSystem, "DUP");
  AddWeekModel(company, "DUP", kEveryDay);
  AddDay(company, "DUP", "20261229");
  AddDay(company, "DUP", "20261230", 4);
  // Client family: a foreign key admits only calendar KEY; the days of calendar BAD are refused.
  Sql(company, "CREATE TABLE ABC_1.TstKal (TstNum varchar(3) NOT NULL, CONSTRAINT PK_TstKal PRIMARY KEY (TstNum))");
  Sql(company, "INSERT INTO ABC_1.TstKal (TstNum) VALUES ('KEY')");
  RecreateDayTable(company, kClient,
                   "CONSTRAINT FK_Qxs133Ka2_TstKal FOREIGN KEY (Ka2Num) REFERENCES ABC_1.TstKal (TstNum)");
  for (const char* num : {"BAD", "KEY"}) {
    AddMaster(company, kClient, num);
    AddWeekModel(company, num, {"", "", "", "", "", "", "AT"});  // Saturdays: 12, 19, 26
  }
  RunPlanex(company, "2026");

  // The order of calendars within a family is the server's; the lines do not name them.
  Strings log = Errors(company);
  std::sort(log.begin(), log.end());
  EXPECT_EQ(log, (Strings{"Error:Ka2-Tag einfügen. RC:547\n", "Error:Ka2-Tag einfügen. RC:547\n",
                          "Error:Ka2-Tag einfügen. RC:547\n", "Error:Kal-Tag einfügen. RC:-1\n",
                          "Error:Kal-Tag einfügen. RC:547\n", "Error:Kal-Tag einfügen. RC:547\n",
                          "Error:Kal-Tag einfügen. RC:547\n"}));
  EXPECT_EQ(CalendarDays(company, kSystem, "DUP"), DayKeys({29, 31}));
  EXPECT_EQ(CalendarDays(company, kSystem, "SYS"),
            DayKeys({9, 10, 12, 13, 14, 15, 16, 17, 19, 20, 21, 22, 23, 24, 26, 27, 28, 29, 30, 31}));
  EXPECT_EQ(CalendarDays(company, kClient, "BAD"), Strings{});
  EXPECT_EQ(CalendarDays(company, kClient, "KEY"), DayKeys({12, 19, 26}));
}

}  // namespace
