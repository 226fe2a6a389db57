// The batched person step against the day-by-day routines: seeded random companies, each filled
// into two databases alike and run once in each mode; every table (time stamps aside) and the run
// log must be equal, after a first run and again after a second run that rewrites what is there.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "fixtures/helpers.h"
#include "fixtures/random_company.h"

namespace {

using fixture::kNow;
using Rows = std::vector<std::vector<std::string>>;

struct ModesCase {
  const char* name;
  unsigned seed;
  int persons;
  fixture::ClientShape shape;
  fixture::Oddities odd;
  // Statements the batched step must save per person against the day-by-day step, where no
  // person has anything that sends it day by day; 0: not checked.
  int saved_per_person = 0;
  // The files' collation; "" is the default, Latin1_General_CI_AS as on a default SQL Server.
  const char* collation = "";
  // The share of writes of the first run that a busy server refuses (deadlock victims, lock
  // waits, also behind the row count), with triggers' row counts besides: both steps
  // must still agree once a second run has gone over the same days without faults.
  double faults = 0;
};
void PrintTo(const ModesCase& c, std::ostream* os) {
  *os << c.name;
}

fixture::Oddities None() {
  fixture::Oddities o;
  o = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  return o;
}
// Day and schedule-assignment records already there, and nothing else odd.
fixture::Oddities Existing() {
  fixture::Oddities o = None();
  o.existing_days = 0.7;
  o.existing_records = 0.7;
  o.blank_plan = 0.3;
  o.null_values = 0.5;
  return o;
}
fixture::Oddities Many() {
  fixture::Oddities o;
  o = {0.2, 0.3, 0.2, 0.1, 0.2, 0.3, 0.4, 0.6, 0.6, 0.3, 0.15, 0.2, 0.1, 0.2, 0.3, 0.3};
  return o;
}

// Only spelling variants of group codes and calendar numbers, which a case-insensitive collation
// takes as equal: the batched step must not give up on them (a person whose two assignments spell
// their group otherwise went day by day when planex matched group texts byte by byte, and the
// company saved 58 statements a person on the second run instead of 98).
fixture::Oddities Spelling() {
  fixture::Oddities o = None();
  o.spelling = 0.4;
  return o;
}
// Spelling variants and names and values of umlauts at the full width of their columns (a name of
// 50 umlauts is 100 bytes of UTF-8 on the client): the batched step must keep every person.
fixture::Oddities SpellingUmlauts() {
  fixture::Oddities o = Spelling();
  o.full_width = 0.4;
  return o;
}
// Spelling variants in dead rows too: dead assignments, plan rows, calendar days, person rows and
// existing records.
fixture::Oddities SpellingDead() {
  fixture::Oddities o = Spelling();
  o.dead_assignment = 0.2;
  o.missing_plan = 0.1;
  o.dead_calendar_days = 0.15;
  o.existing_records = 0.5;
  o.dead_records = 0.3;
  o.full_width = 0.2;
  return o;
}
// Spelling variants, dead rows and characters outside code page 1252 in a file whose text is
// UTF-8 compared byte by byte (as files made before collations), where umlauts take two bytes
// of a column's width: other spellings are other groups and calendars there.
fixture::Oddities SpellingBinary() {
  fixture::Oddities o = SpellingDead();
  o.full_width = 0;
  o.foreign = 0.3;
  return o;
}
// Everything at once, with characters outside code page 1252 that the database replaces on write.
fixture::Oddities Foreign() {
  fixture::Oddities o;
  o.spelling = 0.3;
  o.full_width = 0.3;
  o.foreign = 0.3;
  return o;
}

// Every row of every table a run writes to, time stamps aside, in key order.
Rows Dump(fixture::Company& co, fixture::ClientShape shape) {
  const std::string s = co.Schema() + ".";
  Rows all = co.Query(
      "SELECT CONVERT(char(8), BakDtm, 112), BakJhr, BakMon, BakTag, BakWch, BakWtg, BakJtg, BakYow "
      "FROM QXSYSTEM.Qxs133Bak ORDER BY BakDtm");
  auto add = [&](const std::string& sql) {
    for (auto& row : co.Query(sql)) all.push_back(row);
  };
  add("SELECT KalNum, CONVERT(char(8), KalDtm, 112), KalTtp, KalPtp, KalBtp, KalGwt, KalSta FROM QXSYSTEM.Qxs133Kal "
      "ORDER BY KalNum, KalDtm");
  if (shape != fixture::ClientShape::WithoutClientCalendar) {
    add("SELECT Ka2Num, CONVERT(char(8), Ka2Dtm, 112), Ka2Ttp, Ka2Ptp, Ka2Btp, Ka2Gwt, Ka2Sta FROM " + s +
        "Qxs133Ka2 ORDER BY Ka2Num, Ka2Dtm");
  }
  add("SELECT TagPnr, CONVERT(varchar(23), TagTag, 121), CONVERT(varchar(23), TagVon, 121), "
      "CONVERT(varchar(23), TagUhr, 121), CONVERT(varchar(23), TagBis, 121), CONVERT(varchar(23), TagEnd, 121) FROM " +
      s + "Qxs327Tag ORDER BY TagPnr, TagTag");
  add("SELECT ZtgPnr, CONVERT(varchar(23), ZtgVon, 121), ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt, ZtgAgr, ZtgTag, "
      "ZtgBsd, ZtgVra, ZtgAzt, ZtgTtp, ZtgSta" +
      std::string(shape == fixture::ClientShape::WithoutNameColumn ? "" : ", ZtgPnm") + " FROM " + s +
      "Qxs329Ztg ORDER BY ZtgPnr, ZtgVon");
  add("SELECT UrvPnr, UrvJhr, UrvTge FROM " + s + "Qxs332Urv ORDER BY UrvPnr, UrvJhr");
  return all;
}

std::string Joined(const std::vector<std::string>& row) {
  std::string out;
  for (const auto& v : row) out += v + "|";
  return out;
}

// Equal row sets, or the first row where they part.
void ExpectSameRows(const Rows& daily, const Rows& batched) {
  size_t i = 0;
  while (i < daily.size() && i < batched.size() && daily[i] == batched[i]) ++i;
  if (i == daily.size() && i == batched.size()) return;
  ADD_FAILURE() << "rows part at " << i << " of " << daily.size() << "/" << batched.size()
                << "\n  day by day: " << (i < daily.size() ? Joined(daily[i]) : "(none)")
                << "\n  batched:    " << (i < batched.size() ? Joined(batched[i]) : "(none)");
}

void ExpectSameLog(const std::string& daily, const std::string& batched) {
  if (daily == batched) return;
  size_t i = 0;
  while (i < daily.size() && i < batched.size() && daily[i] == batched[i]) ++i;
  const size_t line = daily.rfind('\n', i == 0 ? 0 : i - 1);
  const size_t from = line == std::string::npos ? 0 : line + 1;
  ADD_FAILURE() << "run logs part at byte " << i << "\n  day by day: " << daily.substr(from, 160)
                << "\n  batched:    " << batched.substr(from, 160);
}

// FaultWrites of a share of a run's first writes, chosen by seed.
std::string FaultKeys(unsigned seed, double share) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> pick(0, 1);
  // A trigger's error (50000:after) is left out: a leave year refused so is never written again
  // (the next run starts after the last year there), in either step.
  const char* const kinds[] = {"1205", "1222", "1205:after", "1222:after"};
  std::string list;
  for (int write = 1; write <= 3000; ++write) {
    if (pick(random) < share) {
      list += (list.empty() ? "" : ",") + std::to_string(write) + ":" + kinds[random() % std::size(kinds)];
    }
  }
  return "FaultWrites = " + list + "\nTriggerCounts = Yes\n";
}

class PersonModes : public fixture::DatabaseTest, public ::testing::WithParamInterface<ModesCase> {};

TEST_P(PersonModes, BatchedWritesTheRowsAndTheLogOfTheDayByDayStep) {
  const ModesCase& c = GetParam();
  const fixture::Options options{.first_day = "20261201", .count_statements = true, .collation = c.collation};
  fixture::Company daily(options), batched(options);
  const std::vector<std::string> sql = fixture::RandomCompany(c.seed, c.persons, c.odd, c.shape);
  for (fixture::Company* co : {&daily, &batched}) {
    co->WriteSettings();
    for (const std::string& statement : sql) {
      std::string message;
      ASSERT_EQ(0, co->Exec(statement, &message)) << statement << "\n" << message;
    }
  }
  // A first run, then one that reaches back before the end of the year and rewrites. Faults meet
  // the first run only, and the second reaches back to the first day.
  const bool faulty = c.faults > 0;
  for (const char* beg_dat : {"0", faulty ? "20261201" : "20261210"}) {
    SCOPED_TRACE(std::string("BegDat ") + beg_dat);
    const bool first = std::string(beg_dat) == "0";
    for (fixture::Company* co : {&daily, &batched}) co->SetDsnKeys(faulty && first ? FaultKeys(c.seed, c.faults) : "");
    const std::vector<std::string> args = {beg_dat, "2027", "planex.ini", "0", "0"};
    fixture::ProcResult a = daily.RunPlanex(args, kNow, {"PLANEX_PERSON_STEP=daily"});
    fixture::ProcResult b = batched.RunPlanex(
        args, kNow, {"PLANEX_PERSON_STEP=batched", "PLANEX_REPORT=" + batched.Dir() + "/report.json"});
    ASSERT_EQ(0, a.exit_code) << a.err;
    ASSERT_EQ(0, b.exit_code) << b.err;
    // Where the company's only oddities are ones the batched step must take in its stride, the
    // run report gives no reason for a fall-back but days without an assignment (assignments that
    // start late, or to the dead group), and the statements show what the batched step saves.
    if (c.saved_per_person > 0) {
      const auto persons = nlohmann::json::parse(fixture::ReadText(batched.Dir() + "/report.json"))["persons"];
      for (const auto& [reason, n] : persons["fallback_reasons"].items()) {
        EXPECT_EQ("no_assignment", reason) << persons.dump();
      }
      EXPECT_GE(daily.Statements() - batched.Statements(), c.saved_per_person * c.persons)
          << "daily " << daily.Statements() << ", batched " << batched.Statements();
      EXPECT_LT(batched.Compilations(), daily.Compilations()) << "texts a server would compile";
    }
    if (faulty && first) continue;  // the faults meet the two steps' writes at other rows
    if (!faulty) ExpectSameLog(daily.Log(), batched.Log());
    ExpectSameRows(Dump(daily, c.shape), Dump(batched, c.shape));
    // Names reach the records whole, also those 50 characters long.
    if (c.odd.full_width > 0 && c.shape == fixture::ClientShape::Full) {
      const std::string whole =
          "SELECT COUNT(*), SUM(CASE WHEN LEN(ZtgPnm) = 50 THEN 1 ELSE 0 END) FROM ABC_1.Qxs329Ztg, "
          "ABC_1.Qxs300Pnr WHERE ZtgPnr = PnrNum AND ZtgPnm = PnrNam";
      const std::string all = "SELECT COUNT(*) FROM ABC_1.Qxs329Ztg WHERE ZtgPnm IS NOT NULL";
      for (fixture::Company* co : {&daily, &batched}) {
        const Rows w = co->Query(whole);
        EXPECT_EQ(co->Query(all)[0][0], w[0][0]) << "records whose name is not the person's";
        EXPECT_NE("0", w[0][1]) << "no record with a name of 50 characters";
      }
    }
  }
}

using Shape = fixture::ClientShape;
INSTANTIATE_TEST_SUITE_P(
    Random, PersonModes,
    ::testing::Values(
        ModesCase{"Plain", 1, 20, Shape::Full, None(), 25}, ModesCase{"Existing", 8, 30, Shape::Full, Existing(), 25},
        ModesCase{"Spelling", 9, 20, Shape::Full, Spelling(), 80},
        ModesCase{"SpellingUmlauts", 10, 20, Shape::Full, SpellingUmlauts(), 25},
        ModesCase{"SpellingDead", 11, 30, Shape::Full, SpellingDead()},
        ModesCase{"Foreign", 12, 30, Shape::Full, Foreign()},
        ModesCase{"SpellingBinary", 13, 20, Shape::Full, SpellingBinary(), 0, "Latin1_General_100_BIN2_UTF8"},
        ModesCase{"Usual", 2, 30, Shape::Full, fixture::Oddities()},
        ModesCase{"UsualOther", 3, 30, Shape::Full, fixture::Oddities()}, ModesCase{"Many", 4, 30, Shape::Full, Many()},
        ModesCase{"NoClientCalendar", 5, 25, Shape::WithoutClientCalendar, fixture::Oddities()},
        ModesCase{"NoNameColumn", 6, 25, Shape::WithoutNameColumn, fixture::Oddities()},
        ModesCase{"NoNameColumnPlain", 7, 10, Shape::WithoutNameColumn, None(), 25},
        ModesCase{"BusyServer", 14, 20, Shape::Full, fixture::Oddities(), 0, "", 0.02}),
    [](const ::testing::TestParamInfo<ModesCase>& info) { return std::string(info.param.name); });

}  // namespace
