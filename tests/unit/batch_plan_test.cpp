// The in-memory decisions of the batched person step: the fields of every record, and every
// situation that sends the person back to the day-by-day routines.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "person/batch_plan.h"

namespace {

// Three calendar days after the threshold 20270101; a live record on the second, one assignment
// and one plan row a day.
struct Person {
  BsvSatz bsv{};
  std::vector<KalTag> days{{"20270101", "A"}, {"20270102", "B"}, {"20270104", "C"}};
  std::vector<ZtgAlt> existing{
      {"20270102", 1, "old", "oabt", "okst", "oktr", "okrt", "OAGR", 9, "obsd", "ovra", "oazt", "O"}};
  std::vector<ZuoTag> assignments{{"20270102", 2, "G1", "abt", "kst", "krt", "ktr", "zvra"},
                                  {"20270104", 4, "G1", "abt", "kst", "krt", "ktr", "zvra"},
                                  {"20270101", 1, "G1", "abt", "kst", "krt", "ktr", "zvra"}};
  std::vector<WplZeile> plans{{"G1", 1, "A1", "V1"}, {"G1", 2, " \t", "V2 \t"}, {"G1", 4, "A4", ""}};
  std::vector<ZtgSatz> inserts, updates;

  Person() {
    Fld_Copy(bsv.BsvPnr, "00000007");
    Fld_Copy(bsv.BsvAkr, "akr");
    Fld_Copy(bsv.BsvAbr, "abr");
    Fld_Copy(bsv.PnrNam, "O'Brien Jürgen");
  }
  bool Plan(const char* threshold = "20261231") {
    return Ztg_Batch_Plan(bsv, threshold, days, existing, assignments, plans, inserts, updates);
  }
};

// A date as a server sends it read as text: its key, and midnight as the day-by-day routines'
// CONVERT(Datetime, CONVERT(char(8), d, 112), 112) = d sees it.
TEST(DatetimeKey, KeyAndMidnightOfTheTextsServersSend) {
  struct Case {
    const char* text;
    bool readable;
    const char* key;
    bool midnight;
  };
  const Case cases[] = {
      {"2027-01-31 00:00:00.000", true, "20270131", true},
      {"2027-01-31 00:00:00", true, "20270131", true},
      {"2027-01-31", true, "20270131", true},
      {"2027-01-31 00:00:00.0000000", true, "20270131", true},
      {"2027-01-31 00:00:00.003", true, "20270131", false},
      {"2027-01-31 00:00:01.000", true, "20270131", false},
      {"2027-01-31 12:00:00.000", true, "20270131", false},
      {"2029-09-19 09:59:59.999", true, "20290919", false},
      {"2027-01-31 00:00:00.", false, "", false},
      {"2027-01-31T00:00:00", false, "", false},
      {"20270131", false, "", false},
      {"2027-01-31 00:00:00.00x", false, "", false},
      // one place out of form, each: none is a date the server sends
      {"20x7-01-31", false, "", false},
      {"2027x01-31", false, "", false},
      {"2027-0x-31", false, "", false},
      {"2027-01x31", false, "", false},
      {"2027-01-31 0x:00:00", false, "", false},
      {"2027-01-31 00x00:00", false, "", false},
      {"2027-01-31 00:0x:00", false, "", false},
      {"2027-01-31 00:00x00", false, "", false},
      {"2027-01-31 00:00:00,000", false, "", false},
      {"", false, "", false},
  };
  for (const Case& c : cases) {
    std::string key;
    bool midnight = !c.midnight;
    EXPECT_EQ(Datetime_Key(c.text, key, midnight), c.readable) << c.text;
    if (!c.readable) continue;
    EXPECT_EQ(key, c.key) << c.text;
    EXPECT_EQ(midnight, c.midnight) << c.text;
  }
}

TEST(TagBatchPlan, AddsTheCalendarDaysWithoutARecord) {
  std::vector<std::string> new_days;
  ASSERT_TRUE(Tag_Batch_Plan(Person().days, {"20270102", "20270103"}, new_days));
  EXPECT_EQ((std::vector<std::string>{"20270101", "20270104"}), new_days);
}

TEST(TagBatchPlan, DaysTheLoopWouldNotTakeAsTheyComeGoDayByDay) {
  std::vector<std::string> new_days;
  EXPECT_FALSE(Tag_Batch_Plan({{"20270101", "A"}, {"20270101", "B"}}, {}, new_days));  // a date twice
  EXPECT_FALSE(Tag_Batch_Plan({{"20270102", "A"}, {"20270101", "B"}}, {}, new_days));  // out of order
  EXPECT_FALSE(Tag_Batch_Plan({{"20270101", "ABCD"}}, {}, new_days));                  // day type cut
}

// A record's fields as text: person, day, Akr, Bsd, Ttp, Pnm, cycle day, Agr, Abt, Kst, Krt, Ktr,
// Azt, Vra.
std::vector<std::string> Fields(const ZtgSatz& z) {
  return {z.ZtgPnr, z.ZtgVon, z.ZtgAkr, z.ZtgBsd, z.ZtgTtp, z.ZtgPnm, std::to_string(z.ZtgTag),
          z.ZtgAgr, z.ZtgAbt, z.ZtgKst, z.ZtgKrt, z.ZtgKtr, z.ZtgAzt, z.ZtgVra};
}

TEST(ZtgBatchPlan, EveryFieldAsTheDayByDayStepSetsIt) {
  Person p;
  ASSERT_TRUE(p.Plan());
  ASSERT_EQ(2u, p.inserts.size());
  ASSERT_EQ(1u, p.updates.size());
  const std::string pnr = "00000007", name = "O'Brien Jürgen";
  EXPECT_EQ(Fields(p.inserts[0]), (std::vector<std::string>{pnr, "20270101", "akr", "abr", "A", name, "1", "G1", "abt",
                                                            "kst", "krt", "ktr", "A1", "V1"}));
  // The existing record: every field rewritten, but a blank plan value keeps the record's Azt,
  // and the plan's Vra comes trimmed.
  EXPECT_EQ(Fields(p.updates[0]), (std::vector<std::string>{pnr, "20270102", "akr", "abr", "B", name, "2", "G1", "abt",
                                                            "kst", "krt", "ktr", "oazt", "V2"}));
  // A blank plan Vra leaves the assignment's; a new record has no Azt but the plan's.
  EXPECT_EQ(Fields(p.inserts[1]), (std::vector<std::string>{pnr, "20270104", "akr", "abr", "C", name, "4", "G1", "abt",
                                                            "kst", "krt", "ktr", "A4", "zvra"}));
}

TEST(ZtgBatchPlan, OnlyDaysAfterTheThreshold) {
  Person p;
  ASSERT_TRUE(p.Plan("20270102"));
  ASSERT_EQ(1u, p.inserts.size());
  EXPECT_STREQ("20270104", p.inserts[0].ZtgVon);
  EXPECT_TRUE(p.updates.empty());
  // Days not visited need nothing: neither an assignment nor a plan row.
  p.assignments.pop_back();
  EXPECT_TRUE(p.Plan("20270102"));
}

struct FallBackCase {
  const char* name;
  PnrFallback why;  // the reason the summary counts
  std::function<void(Person&)> change;
};
void PrintTo(const FallBackCase& c, std::ostream* os) {
  *os << c.name;
}

class ZtgBatchFallBack : public ::testing::TestWithParam<FallBackCase> {};

TEST_P(ZtgBatchFallBack, SendsThePersonDayByDay) {
  Person p;
  ASSERT_TRUE(p.Plan());
  GetParam().change(p);
  EXPECT_FALSE(p.Plan());
  PnrFallback why{};
  EXPECT_FALSE(
      Ztg_Batch_Plan(p.bsv, "20261231", p.days, p.existing, p.assignments, p.plans, p.inserts, p.updates, &why));
  EXPECT_EQ(why, GetParam().why);
}

INSTANTIATE_TEST_SUITE_P(
    Batch, ZtgBatchFallBack,
    ::testing::Values(
        FallBackCase{"NoAssignment", PnrFallback::NoAssignment, [](Person& p) { p.assignments.pop_back(); }},
        FallBackCase{"TwoAssignments", PnrFallback::SeveralAssignments,
                     [](Person& p) {
                       p.assignments.push_back({"20270101", 3, "G1", "", "", "", "", ""});
                     }},
        FallBackCase{"NoPlanRow", PnrFallback::NoPlan, [](Person& p) { p.plans.pop_back(); }},
        FallBackCase{"TwoPlanRows", PnrFallback::SeveralPlans,
                     [](Person& p) {
                       p.plans.push_back({"G1", 4, "A5", ""});
                     }},
        FallBackCase{"PlanOfAnotherGroupOnly", PnrFallback::NoPlan, [](Person& p) { p.plans[0].agr = "G2"; }},
        FallBackCase{"DeadRecord", PnrFallback::DeadRecord, [](Person& p) { p.existing[0].sta = 4; }},
        FallBackCase{"DeadRecordOnANewDay", PnrFallback::DeadRecord,
                     [](Person& p) {
                       p.existing.push_back({"20270104", 9, "", "", "", "", "", "", 0, "", "", "", ""});
                     }},
        FallBackCase{"TwoRecords", PnrFallback::SeveralRecords, [](Person& p) { p.existing.push_back(p.existing[0]); }},
        FallBackCase{"PlanValueCut", PnrFallback::TooLong, [](Person& p) { p.plans[0].azt = "ABCDEF"; }},
        // Widths count characters: five umlauts fill a plan value (the end-to-end quoting test
        // shows them taken), a sixth is one too many.
        FallBackCase{"PlanValueOfSixUmlauts", PnrFallback::TooLong,
                     [](Person& p) { p.plans[0].vra = "\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84"; }},
        FallBackCase{"AssignmentValueCut", PnrFallback::TooLong,
                     [](Person& p) { p.assignments[0].kst = std::string(31, 'k'); }},
        FallBackCase{"RecordValueCut", PnrFallback::TooLong, [](Person& p) { p.existing[0].azt = "ABCDEF"; }},
        FallBackCase{"DayTwice", PnrFallback::OddDays, [](Person& p) { p.days.push_back(p.days.back()); }}),
    [](const ::testing::TestParamInfo<FallBackCase>& info) { return std::string(info.param.name); });

}  // namespace
