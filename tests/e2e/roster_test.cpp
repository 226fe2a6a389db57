// planex-db roster: the page's cells on a small company, and the page in a real browser.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fixtures/helpers.h"

namespace {

using fixture::BuildDir;
using fixture::Company;
using fixture::Contains;
using fixture::Key;
using fixture::Lit;
using fixture::Options;
using fixture::PlanexDb;
using fixture::ProcResult;
using fixture::Sql;
using Roster = fixture::DatabaseTest;

const char kPlanted[] = "<script>alert(1)</script>\"><img src=x>";

std::string Ztg(const std::string& pnr, const std::string& day, const std::string& agr, int tag, const std::string& azt,
                int sta = 1) {
  return "INSERT INTO ABC_1.Qxs329Ztg (ZtgPnr, ZtgVon, ZtgAgr, ZtgTag, ZtgAzt, ZtgVra, ZtgTtp, ZtgDat, ZtgSta) "
         "VALUES (" +
         Lit(pnr) + ", " + Key(day) + ", " + Lit(agr) + ", " + std::to_string(tag) + ", " + Lit(azt) +
         ", 'V1', 'AT', CONVERT(Datetime, '2026-12-20 07:30:00', 120), " + std::to_string(sta) + ")";
}
std::string Tag(const std::string& pnr, const std::string& day) {
  return "INSERT INTO ABC_1.Qxs327Tag (TagPnr, TagTag, TagDat) VALUES (" + Lit(pnr) + ", " + Key(day) +
         ", CONVERT(Datetime, '2026-12-19 06:00:00', 120))";
}
std::string Ka2(const std::string& day, const std::string& ttp) {
  return "INSERT INTO ABC_1.Qxs133Ka2 (Ka2Num, Ka2Dtm, Ka2Ttp, Ka2Ptp, Ka2Btp, Ka2Gwt, Ka2Sta) VALUES ('K5', " +
         Key(day) + ", " + Lit(ttp) + ", " + Lit(ttp) + ", " + Lit(ttp) + ", 100, 1)";
}

// Over the year's end, Monday 28 December 2026 to Sunday 3 January 2027: a holiday on New Year's
// day, a free Saturday, and a Sunday the calendar has no row for.
void SmallCompany(Company& c) {
  using namespace fixture::seed;
  for (const auto& [day, ttp] : std::vector<std::pair<std::string, std::string>>{{"20261228", "AT"},
                                                                                 {"20261229", "AT"},
                                                                                 {"20261230", "AT"},
                                                                                 {"20261231", "AT"},
                                                                                 {"20270101", "FT"},
                                                                                 {"20270102", "FR"}}) {
    Sql(c, Ka2(day, ttp));
  }
  Sql(c, Calendar("K5", false));
  Sql(c, Group("G1", 7));
  Sql(c, Group("G2", 14));
  Sql(c, Person("00000001", "Müller, Jürgen"));
  Sql(c, PersonRow("00000001", "K5", "VZ", "GLZ"));
  Sql(c, Person("00000002", kPlanted));
  Sql(c, "UPDATE ABC_1.Qxs300Pnr SET PnrSta = 4 WHERE PnrNum = '00000002'");  // deleted, still shown
  Sql(c, PersonRow("00000002", "K5", "VZ", "GLZ"));
  for (const char* day : {"20261228", "20261229", "20261230", "20261231", "20270101", "20270102"}) {
    Sql(c, Tag("00000001", day));
  }
  // Person 1 changes from G1 to G2 on 31 December.
  Sql(c, Ztg("00000001", "20261228", "G1", 5, "F06"));
  Sql(c, Ztg("00000001", "20261229", "G1", 6, ""));
  Sql(c, Ztg("00000001", "20261230", "G1", 7, "F06"));
  Sql(c, Ztg("00000001", "20261231", "G2", 1, "S14"));
  Sql(c, Ztg("00000001", "20270101", "G2", 2, "S14"));
  Sql(c, Ztg("00000001", "20270102", "G2", 3, ""));
  // Person 2: a deleted record, a day record without its schedule record, and the reverse.
  Sql(c, Tag("00000002", "20261229"));
  Sql(c, Ztg("00000002", "20261229", "G1", 6, "F06", 4));
  Sql(c, Tag("00000002", "20261230"));
  Sql(c, Ztg("00000002", "20261231", "G<b>", 1, "<i>"));
  // A deleted day of the system's calendars: its day type is in no legend.
  Sql(c, "INSERT INTO QXSYSTEM.Qxs133Kal (KalNum, KalDtm, KalTtp, KalSta) VALUES ('K9', " + Key("20261229") +
             ", 'ZZ', 4)");
}

// The cells of a person's row, each as its markup after "<td".
std::vector<std::string> Cells(const std::string& html, const std::string& pnr) {
  std::vector<std::string> cells;
  const size_t row = html.find("<small>" + pnr + "</small>");
  if (row == std::string::npos) return cells;
  const size_t end = html.find('\n', row);
  for (size_t at = html.find("<td", row); at < end; at = html.find("<td", at + 3)) {
    const size_t next = std::min(html.find("<td", at + 3), end);
    cells.push_back(html.substr(at + 3, next - at - 3));
  }
  return cells;
}

TEST_F(Roster, CellsShowGroupCycleDayPlanValuesAndMarkers) {
  Company company(Options{.first_day = "20261201"});
  ASSERT_EQ(company.SetupError(), "");
  SmallCompany(company);
  ProcResult r = PlanexDb(company, {"roster", "--schema", "abc_1", "--from", "20261228", "--to", "20270103"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string& html = r.out;
  struct Case {
    const char* what;
    const char* pnr;
    int day;               // 0 = 28 December
    const char* expected;  // a piece of the cell's markup
  };
  const Case cases[] = {
      {"working day of the first group", "00000001", 0, " title=\"F06 · V1\">G1<br>5"},
      {"blank working time", "00000001", 1, " title=\"– · V1\">G1<br>6"},
      {"group changed on 31 December", "00000001", 3, " title=\"S14 · V1\">G2<br>1"},
      {"holiday shaded by its day type", "00000001", 4, ">G2<br>2"},
      {"free Saturday", "00000001", 5, ">G2<br>3"},
      {"Sunday outside the calendar", "00000001", 6, " class=x>"},
      {"deleted record shown struck out", "00000002", 1, " class=d "},
      {"deleted record says so", "00000002", 1, "title=\"gelöscht (Status 4) F06 · V1\">G1<br>6"},
      {"day record without schedule record", "00000002", 2, "title=\"Tagessatz ohne Zuordnungssatz\">?"},
      {"schedule record without day record", "00000002", 3, " n\" title=\"&lt;i&gt; · V1 · ohne Tagessatz\">"},
      {"group code escaped", "00000002", 3, ">G&lt;b&gt;<br>1!"},
      {"nothing recorded on a working day", "00000002", 0, ">"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<std::string> cells = Cells(html, c.pnr);
    ASSERT_EQ(cells.size(), 7u) << html;
    EXPECT_TRUE(Contains(cells[static_cast<size_t>(c.day)], c.expected)) << cells[static_cast<size_t>(c.day)];
  }
  // Holiday and free day carry a shading class of their own, named in the legend.
  const std::vector<std::string> one = Cells(html, "00000001");
  EXPECT_TRUE(Contains(one[4], " t")) << one[4];
  EXPECT_TRUE(Contains(one[5], " t")) << one[5];
  EXPECT_NE(one[4].substr(0, one[4].find('>')), one[5].substr(0, one[5].find('>')));
  for (const char* text : {"Feiertag", "frei", "Arbeitstag", "kein Kalendertag"}) {
    EXPECT_TRUE(Contains(html, text)) << text;
  }
  EXPECT_FALSE(Contains(html, "ZZ"));
  // Header: company, range in German dates, persons, newest record; months and the week over
  // the year's end.
  for (const char* text :
       {"Mandant ABC_1", "Zeitraum: 28.12.2026 – 03.01.2027", "Personen: 2", "Neuester Satz: 20.12.2026 07:30:00",
        "Dezember 2026</th>", "Januar 2027</th>", "colspan=\"7\" title=\"KW 53/2026\">KW 53", "Müller, Jürgen",
        "Content-Security-Policy", "<th class=\"p d\" title=\"gelöscht\"><small>00000002</small>"}) {
    EXPECT_TRUE(Contains(html, text)) << text;
  }
  // No markup leaves a stray character behind its tag.
  EXPECT_FALSE(Contains(html, ">=")) << html;
  // The planted name is text, not markup.
  EXPECT_FALSE(Contains(html, "<script")) << html;
  EXPECT_FALSE(Contains(html, "<img")) << html;
  EXPECT_TRUE(Contains(html, "&lt;script&gt;alert(1)&lt;/script&gt;&quot;&gt;&lt;img src=x&gt;"));
}

TEST_F(Roster, PersonRangeOutFileAndRefusals) {
  Company company(Options{.first_day = "20261201"});
  ASSERT_EQ(company.SetupError(), "");
  SmallCompany(company);
  ProcResult r = PlanexDb(company, {"roster", "--schema", "ABC_1", "--from", "20261228", "--to", "20261231",
                                    "--persons", "00000002..", "--out", "r.html"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string html = fixture::ReadText(company.Dir() + "/r.html");
  EXPECT_TRUE(Contains(html, "Personen: 2") == false && Contains(html, "Personen: 1")) << html;
  EXPECT_TRUE(Cells(html, "00000001").empty());
  EXPECT_EQ(Cells(html, "00000002").size(), 4u);
  EXPECT_TRUE(Contains(html, "</html>\n"));

  const std::vector<std::vector<std::string>> refused = {
      {"roster", "--schema", "ABC_1", "--to", "20261231"},
      {"roster", "--schema", "ABC_1", "--from", "20261231", "--to", "20261230"},
      {"roster", "--schema", "ABC_1", "--from", "20260101", "--to", "20290101"},
      {"roster", "--schema", "ABC_1", "--from", "20261201", "--to", "20261231", "--persons", "5"},
      {"roster", "--schema", "ABC_1", "--from", "20261201", "--to", "20261231", "--persons", "123456789.."},
      {"roster", "--schema", "ABC_1", "--from", "20261201", "--to", "20261231", "--persons", "0\x1f.."},
      {"demo", "--schema", "ABC_1", "--persons", "1..2"},
  };
  for (const auto& args : refused) {
    EXPECT_EQ(PlanexDb(company, args).exit_code, 2) << args.back();
  }
  // A blank is a character of a person number: planex's own lowest bound is eight of them.
  r = PlanexDb(company, {"roster", "--schema", "ABC_1", "--from", "20261228", "--to", "20261231", "--persons",
                         "        ..00000001"});
  EXPECT_TRUE(r.exit_code == 0 && Contains(r.out, "Personen: 1 (")) << r.err;
  // A failed read leaves no page behind.
  Sql(company, "DROP TABLE ABC_1.Qxs327Tag");
  r = PlanexDb(company, {"roster", "--schema", "ABC_1", "--from", "20261228", "--to", "20261231", "--out", "x.html"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(Contains(r.err, "Msg 208")) << r.err;
  struct stat st;
  EXPECT_NE(stat((company.Dir() + "/x.html").c_str(), &st), 0);
  EXPECT_NE(stat((company.Dir() + "/x.html.part").c_str(), &st), 0);
}

// The demo company after a planex run, in headless Chromium: the grid is there, the planted name
// stays text, and the screenshot is not blank. PLANEX_ROSTER_SCREENSHOT=FILE keeps the image.
TEST_F(Roster, ChromiumShowsTheGridAndNothingThePagePlanted) {
  if (std::system("command -v chromium >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "chromium is not installed (scripts/deps.sh installs it)";
  }
  Company company(Options{.date_first = 1, .first_day = "20261201"});
  ASSERT_EQ(company.SetupError(), "");
  ASSERT_EQ(PlanexDb(company, {"demo", "--schema", "ABC_1", "--persons", "20"}, 1).exit_code, 0);
  Sql(company, "UPDATE ABC_1.Qxs300Pnr SET PnrNam = " + Lit(kPlanted) + " WHERE PnrNum = '00000020'");
  company.WriteSettings();
  fixture::RunPlanexOk(company, "0", "2027");
  ProcResult r = PlanexDb(
      company, {"roster", "--schema", "ABC_1", "--from", "20261214", "--to", "20270124", "--out", "r.html"}, 1);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string page = "file://" + company.Dir() + "/r.html";
  const std::vector<std::string> chromium = {"chromium",      "--headless",        "--no-sandbox",
                                             "--disable-gpu", "--hide-scrollbars", "--window-size=1400,700"};
  std::vector<std::string> argv = chromium;
  argv.insert(argv.end(), {"--dump-dom", page});
  ProcResult dom = fixture::Run(company.Dir(), argv, {"HOME=" + company.Dir()});
  ASSERT_EQ(dom.exit_code, 0) << dom.err;
  EXPECT_TRUE(Contains(dom.out, "<small>00000001</small>")) << dom.out.substr(0, 2000);
  EXPECT_TRUE(Contains(dom.out, "KW 53"));
  EXPECT_TRUE(Contains(dom.out, "&lt;script&gt;alert(1)&lt;/script&gt;"));
  EXPECT_FALSE(Contains(dom.out, "<script"));
  EXPECT_FALSE(Contains(dom.out, "<img"));
  const size_t cells = [&] {
    size_t n = 0;
    for (size_t at = dom.out.find("<td"); at != std::string::npos; at = dom.out.find("<td", at + 3)) ++n;
    return n;
  }();
  EXPECT_GE(cells, 20u * 42u);

  argv = chromium;
  argv.insert(argv.end(), {"--screenshot=" + company.Dir() + "/roster.png", page});
  ProcResult shot = fixture::Run(company.Dir(), argv, {"HOME=" + company.Dir()});
  ASSERT_EQ(shot.exit_code, 0) << shot.err;
  const std::string png = fixture::ReadText(company.Dir() + "/roster.png");
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  // A blank page of this size compresses to a few kilobytes; the coloured grid does not.
  EXPECT_GT(png.size(), 30000u);
  if (const char* keep = std::getenv("PLANEX_ROSTER_SCREENSHOT")) fixture::WriteText(keep, png);
}

}  // namespace
