// Values that are pieces of SQL: person numbers, names, calendar numbers, day types and group
// codes with apostrophes, semicolons, percent signs and comment markers. planex pastes them into
// its statement texts; they must arrive in the tables exactly as they were, at the full width of
// their columns, and never break or change a statement.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "fixtures/helpers.h"

namespace {

using fixture::Key;
using fixture::Lit;
using fixture::Rows;

// The days after 8 December 2026 of a week model with weekday numbers 2 and 5 (Mondays and
// Thursdays under DATEFIRST 7).
const std::vector<std::string> kDays = {"20261210", "20261214", "20261217", "20261221",
                                        "20261224", "20261228", "20261231"};

// A name that fills its 50 characters with everything that could end a literal or a statement.
std::string FullName() {
  const std::string piece = "';--/*%*/\"";
  std::string name;
  while (name.size() < 50) name += piece;
  return name.substr(0, 50);
}

struct Calendar {
  std::string num;  // 3 characters at most
  std::string ttp;  // day type, 3 characters at most
  bool system;
};

struct Person {
  std::string pnr;                      // 8 characters at most
  std::string name;                     // 50
  std::string kal;                      // a client calendar
  std::string akr, abr;                 // assignment row values, 5 each
  std::string agr;                      // group code, 5
  std::string abt, kst, krt, ktr, vra;  // group assignment values: 15, 30, 4, 6, 5
  std::string azt, plan_vra;            // the group's plan: 5 each
};

const Calendar kCalendars[] = {
    {"'--", "--'", true},
    {"%;'", "';%", false},
    {"/*;", "*/'", false},
};

const Person kPersons[] = {
    {"O'B;--1%", "O'Brien; DROP TABLE ABC_1.Qxs300Pnr; --", "%;'", "A'--;", "%/*'", "'--%;", "Abt 'X'; --",
     "K/*'*/%; DELETE FROM x", "'%;-", "--'/*", "'%*/-", "'A;--", "%'/*"},
    {"P/*'*/;%", FullName(), "/*;", "*/'%;", "--;'", "/*'*/", "100% 'sicher'", "'; UPDATE y SET z = 1 --", "*/'", "%';",
     ";'", "*/;'", "'/*"},
    // A person number made of nothing but quotes and markers, on the same calendar.
    {"''--/**/", "--", "%;'", "'", "''", "'''", "''''", "'", "%", ";", "/*", "*/", "--"},
};

class Quoting : public fixture::DatabaseTest {
 protected:
  void SetUp() override {
    fixture::DatabaseTest::SetUp();
    if (IsSkipped()) return;
    MakeCompany();
  }

  // A new company of the calendars and persons above, on a file of collation_.
  void MakeCompany() {
    co_ = std::make_unique<fixture::Company>(fixture::Options{.first_day = "20261201", .collation = collation_});
    co_->WriteSettings();
    namespace seed = fixture::seed;
    for (const Calendar& c : kCalendars) {
      Sql(seed::Calendar(c.num, c.system));
      for (int weekday : {2, 5}) Sql(seed::WeekDay(c.num, weekday, c.ttp));
    }
    for (const Person& p : kPersons) {
      Sql(seed::Person(p.pnr, p.name));
      Sql(seed::PersonRow(p.pnr, p.kal, p.akr, p.abr));
      // A group of its own with a one-day cycle, so every day is cycle day 1.
      Sql(seed::Group(p.agr, 1));
      Sql(seed::Plan(p.agr, 1, p.azt, p.plan_vra));
      Sql(seed::Assignment({.pnr = p.pnr,
                            .agr = p.agr,
                            .abt = p.abt,
                            .kst = p.kst,
                            .krt = p.krt,
                            .ktr = p.ktr,
                            .vra = p.vra,
                            .sdt = "20261201"}));
    }
  }

  void Sql(const std::string& tsql) { fixture::Sql(*co_, tsql); }

  // Runs planex to the end of 2026; the clock stands in 2026, so a second run rewrites every
  // schedule-assignment record of the year.
  void RunPlanex(const std::string& von = "0", const std::string& bis = "0") {
    fixture::RunPlanexOk(*co_, "0", "2026", von, bis);
    EXPECT_EQ(co_->Log().find("Error"), std::string::npos) << co_->Log();
  }

  Rows Sorted(const std::string& query) {
    Rows rows = co_->Query(query);
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  Rows CalendarRows(bool system) {
    return Sorted(system ? "SELECT KalNum, CONVERT(char(8), KalDtm, 112), KalTtp, KalPtp, KalBtp "
                           "FROM QXSYSTEM.Qxs133Kal"
                         : "SELECT Ka2Num, CONVERT(char(8), Ka2Dtm, 112), Ka2Ttp, Ka2Ptp, Ka2Btp "
                           "FROM ABC_1.Qxs133Ka2");
  }
  Rows DayRows() { return Sorted("SELECT TagPnr, CONVERT(char(8), TagTag, 112) FROM ABC_1.Qxs327Tag"); }
  Rows ScheduleRows() {
    return Sorted(
        "SELECT ZtgPnr, CONVERT(char(8), ZtgVon, 112), ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt, ZtgAgr, "
        "ZtgTag, ZtgBsd, ZtgVra, ZtgAzt, ZtgTtp, ZtgSta, ZtgPnm FROM ABC_1.Qxs329Ztg");
  }
  Rows LeaveRows() { return Sorted("SELECT UrvPnr, UrvJhr FROM ABC_1.Qxs332Urv"); }

  static std::string TypeOf(const std::string& kal) {
    for (const Calendar& c : kCalendars)
      if (c.num == kal && !c.system) return c.ttp;
    return "";
  }
  // What planex must write for the persons selected.
  static Rows ExpectedCalendarRows(bool system) {
    Rows rows;
    for (const Calendar& c : kCalendars) {
      if (c.system != system) continue;
      for (const auto& day : kDays) rows.push_back({c.num, day, c.ttp, c.ttp, c.ttp});
    }
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  // The rows pick gives for every person, or for the one person only.
  static Rows Expected(Rows (*pick)(const Person&), const Person* only = nullptr) {
    Rows rows;
    for (const Person& p : kPersons) {
      if (only != nullptr && &p != only) continue;
      for (auto& row : pick(p)) rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  static Rows ExpectedDays(const Person& p) {
    Rows rows;
    for (const auto& day : kDays) rows.push_back({p.pnr, day});
    return rows;
  }
  static Rows ExpectedSchedules(const Person& p) {
    Rows rows;
    for (const auto& day : kDays)
      rows.push_back({p.pnr, day, p.akr, p.abt, p.kst, p.ktr, p.krt, p.agr, "1", p.abr, p.plan_vra, p.azt,
                      TypeOf(p.kal), "1", p.name});
    return rows;
  }
  static Rows ExpectedLeave(const Person& p) { return {{p.pnr, "2026"}}; }

  std::string collation_;  // the file's; "" = the default
  std::unique_ptr<fixture::Company> co_;
};

TEST_F(Quoting, ValuesReachEveryTableAsTheyWereOnInsertAndOnRewrite) {
  // The values fill their columns: a statement that cut or widened them would show here.
  ASSERT_EQ(kPersons[1].name.size(), 50u);
  ASSERT_EQ(kPersons[0].pnr.size(), 8u);
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    RunPlanex();
    EXPECT_EQ(CalendarRows(true), ExpectedCalendarRows(true));
    EXPECT_EQ(CalendarRows(false), ExpectedCalendarRows(false));
    EXPECT_EQ(DayRows(), Expected(ExpectedDays));
    EXPECT_EQ(ScheduleRows(), Expected(ExpectedSchedules));
    EXPECT_EQ(LeaveRows(), Expected(ExpectedLeave));
  }
  EXPECT_EQ(co_->Scalar("SELECT COUNT(*) FROM ABC_1.Qxs300Pnr"), "3");
}

TEST_F(Quoting, PersonRangeFromTheCommandLineSelectsExactlyThatPerson) {
  // The range bounds are pasted into the person query like every other value.
  const Person& only = kPersons[0];
  RunPlanex(only.pnr, only.pnr);
  EXPECT_EQ(DayRows(), Expected(ExpectedDays, &only));
  EXPECT_EQ(ScheduleRows(), Expected(ExpectedSchedules, &only));
  EXPECT_EQ(LeaveRows(), Expected(ExpectedLeave, &only));
}

// A file whose varchar holds UTF-8, as files made before collations do.
class QuotingUtf8 : public Quoting {
 protected:
  QuotingUtf8() { collation_ = "Latin1_General_100_BIN2_UTF8"; }
};

TEST_F(QuotingUtf8, NameOfUmlautsFillsItsFiftyBytesAndNoMore) {
  // Widths count bytes, as the records planex binds them into do: 25 umlauts fill the 50 bytes of
  // a name and reach the schedule-assignment records whole, while one more is refused by the
  // database instead of arriving cut inside a character.
  std::string name;
  for (int i = 0; i < 25; ++i) name += "\xC3\x84";
  const std::string where = " WHERE PnrNum = " + Lit(kPersons[0].pnr);
  std::string message;
  EXPECT_EQ(co_->Exec("UPDATE ABC_1.Qxs300Pnr SET PnrNam = " + Lit(name + "\xC3\x84") + where, &message), 8152)
      << message;
  Sql("UPDATE ABC_1.Qxs300Pnr SET PnrNam = " + Lit(name) + where);
  RunPlanex(kPersons[0].pnr, kPersons[0].pnr);
  EXPECT_EQ(co_->Query("SELECT DISTINCT ZtgPnm FROM ABC_1.Qxs329Ztg"), (Rows{{name}}));
}

// A file of the code page 1252 collation that SQL Server installs by default: varchar(n) holds n
// characters, each of which reaches planex as up to 3 bytes of UTF-8.
class QuotingCp1252 : public Quoting {
 protected:
  QuotingCp1252() { collation_ = "Latin1_General_CI_AS"; }
};

TEST_F(QuotingCp1252, NameOfFiftyUmlautsAndFullPlanValueArriveWholeInBothSteps) {
  std::string name, vra;
  for (int i = 0; i < 50; ++i) name += "\xC3\x84";   // Ä
  vra = "\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6";  // ÄÖÜäö: 5 characters, 10 bytes
  const Person& p = kPersons[0];
  struct Case {
    const char* step;  // PLANEX_PERSON_STEP; nullptr = the default, batched
    const char* persons_key;
  } cases[] = {{"daily", "daily"}, {nullptr, "batched"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.persons_key);
    if (c.step != nullptr) MakeCompany();  // the first row runs on the company SetUp made
    if (co_ == nullptr || !co_->SetupError().empty()) return;
    std::string message;
    // One character more than the column holds is refused, not cut.
    EXPECT_EQ(
        co_->Exec("UPDATE ABC_1.Qxs300Pnr SET PnrNam = " + Lit(name + "x") + " WHERE PnrNum = " + Lit(p.pnr), &message),
        8152)
        << message;
    Sql("UPDATE ABC_1.Qxs300Pnr SET PnrNam = " + Lit(name) + " WHERE PnrNum = " + Lit(p.pnr));
    Sql("UPDATE ABC_1.Qxs161Wpl SET WplVra = " + Lit(vra) + " WHERE WplAgr = " + Lit(p.agr));
    ASSERT_EQ(co_->Query("SELECT PnrNam FROM ABC_1.Qxs300Pnr WHERE PnrNum = " + Lit(p.pnr)), (Rows{{name}}));
    std::vector<std::string> env = {"PLANEX_REPORT=report.json"};
    if (c.step != nullptr) env.push_back(std::string("PLANEX_PERSON_STEP=") + c.step);
    for (int run = 1; run <= 2; ++run) {  // insert, then rewrite
      const fixture::ProcResult r = co_->RunPlanex({"0", "2026", "planex.ini", p.pnr, p.pnr}, fixture::kNow, env);
      ASSERT_EQ(r.exit_code, 0) << r.err;
      EXPECT_EQ(co_->Log().find("Error"), std::string::npos) << co_->Log();
      EXPECT_EQ(co_->Query("SELECT DISTINCT ZtgPnm, ZtgVra FROM ABC_1.Qxs329Ztg"), (Rows{{name, vra}}));
      EXPECT_EQ(co_->Scalar("SELECT COUNT(*) FROM ABC_1.Qxs329Ztg"), std::to_string(kDays.size()));
      const auto report = nlohmann::json::parse(fixture::ReadText(co_->Dir() + "/report.json"), nullptr, false);
      EXPECT_EQ(report["persons"][c.persons_key], 1) << report.dump();
    }
  }
}

}  // namespace
