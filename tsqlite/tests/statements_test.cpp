// Every statement planex sends, as planex formats it, through the driver manager on a database
// made from db/schema.sql, with the rows each one reads or the error each one meets.
#include <gtest/gtest.h>

#include <cstdarg>
#include <ctime>
#include <optional>

#include "odbc_helpers.h"

namespace tsqlite_test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string Fmt(const char* format, ...) {
  char buffer[2000];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  return buffer;
}

std::string TodayKey() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char key[16];
  std::strftime(key, sizeof(key), "%Y%m%d", &local);
  return key;
}

constexpr int kNoData = -100;

struct Step {
  std::string what;
  std::string sql;
  int native = 0;            // 0 success, kNoData for SQL_NO_DATA, else the expected native error
  std::optional<Rows> rows;  // for queries: every row, as text
};

// The statement texts, exactly as planex formats them.
const char* const kBakLastDay =
    "SELECT CONVERT(char(8), (COALESCE(MAX(BakDtm),        CURRENT_TIMESTAMP)), 112)  FROM  QXSYSTEM.Qxs133Bak";
const char* const kBakNxtDay =
    "SELECT CONVERT(char(8), DATEADD(day, 1, BakDtm), 112),        DATEPART(year, DATEADD(day, 1, BakDtm)),        "
    "DATEPART(month, DATEADD(day, 1, BakDtm)),        DATEPART(day, DATEADD(day, 1, BakDtm)),        DATEPART(weekday, "
    "DATEADD(day, 1, BakDtm)),        DATEPART(dayofyear, DATEADD(day, 1, BakDtm))  FROM  QXSYSTEM.Qxs133Bak  WHERE "
    "BakDtm = CONVERT(Datetime, '%s', 112)";
const char* const kBakNewDay =
    "INSERT INTO QXSYSTEM.Qxs133Bak   (BakDtm, BakJhr, BakMon, BakTag,    BakWch, BakWtg, BakJtg, BakYow, BakDat) "
    "VALUES "
    "  (CONVERT (Datetime, '%s', 112), %d, %d, %d,    %d, %d, %d, %d, CURRENT_TIMESTAMP)";
const char* const kKalNumbers =
    "SELECT DISTINCT MuwKal  FROM  QXSYSTEM.Qxs135Muw, %s.Qxs137Wch  WHERE MuwKal = WchKal  AND   MuwSta < 4  AND   "
    "WchSta < 4";
const char* const kKalLastDay =
    "SELECT CONVERT(char(8), (COALESCE(MAX(KalDtm),        CURRENT_TIMESTAMP)), 112)  FROM  QXSYSTEM.Qxs133Kal  WHERE "
    "KalNum = '%s'  AND   KalSta < 4 ";
const char* const kKalDays =
    "SELECT CONVERT(char(8), BakDtm, 112), WchTtp, BakDtm  FROM  QXSYSTEM.Qxs133Bak, QXSYSTEM.Qxs135Muw,        "
    "%s.Qxs137Wch  WHERE WchKal = '%s'    AND WchKal = MuwKal    AND WchTag = BakWtg    AND MuwSta < 4    AND WchSta < "
    "4 "
    "   AND BakDtm > CONVERT(Datetime, '%s', 112)    AND BakDtm <= CONVERT(Datetime, '%s', 112)  ORDER BY BakDtm";
const char* const kKalInsert =
    "INSERT INTO QXSYSTEM.Qxs133Kal   (KalNum, KalDtm, KalTtp,    KalPtp, KalBtp, KalGwt, KalDat, KalSta) VALUES   "
    "('%s', "
    "CONVERT (Datetime, '%s',112), '%s',    '%s', '%s', %d, CURRENT_TIMESTAMP, 1)";
const char* const kKa2Numbers =
    "SELECT DISTINCT Mu2Kal  FROM  %s.Qxs135Mu2, %s.Qxs137Wch  WHERE Mu2Kal = WchKal  AND   Mu2Sta < 4  AND   WchSta < "
    "4 ";
const char* const kKa2LastDay =
    "SELECT CONVERT(char(8), (COALESCE(MAX(Ka2Dtm),        CURRENT_TIMESTAMP)), 112)  FROM  %s.Qxs133Ka2  WHERE Ka2Num "
    "= "
    "'%s'  AND   Ka2Sta < 4 ";
const char* const kKa2Days =
    "SELECT CONVERT(char(8), BakDtm, 112), WchTtp, BakDtm  FROM  QXSYSTEM.Qxs133Bak, %s.Qxs135Mu2, %s.Qxs137Wch  WHERE "
    "WchKal = '%s'    AND WchKal = Mu2Kal    AND WchTag = BakWtg    AND Mu2Sta < 4    AND WchSta < 4    AND BakDtm > "
    "CONVERT(Datetime, '%s', 112)    AND BakDtm <= CONVERT(Datetime, '%s', 112)  ORDER BY BakDtm";
const char* const kKa2Insert =
    "INSERT INTO %s.Qxs133Ka2   (Ka2Num, Ka2Dtm, Ka2Ttp,    Ka2Ptp, Ka2Btp, Ka2Gwt, Ka2Dat, Ka2Sta) VALUES   ('%s', "
    "CONVERT (Datetime, '%s',112), '%s',    '%s', '%s', %d, CURRENT_TIMESTAMP, 1)";
const char* const kBsvOpen =
    "SELECT BsvPnr, CONVERT(char(8), BsvGvo, 112),        CONVERT(char(8), BsvGbi, 112), BsvKal,        BsvAkr, "
    "BsvAbr, "
    "BsvGvo, PnrNam  FROM  %s.Qxs310Bsv, %s.Qxs300Pnr  WHERE BsvPnr >= '%s'    AND BsvPnr <= '%s'    AND (BsvGbi IS "
    "NULL "
    "     OR BsvGbi >= CURRENT_TIMESTAMP)    AND   BsvPnr = PnrNum    AND BsvSta < 4    AND PnrSta < 4  ORDER BY "
    "BsvPnr "
    "ASC, BsvGvo DESC";
const char* const kPnrDays1 =
    "SELECT CONVERT(char(8), Ka2Dtm, 112), Ka2Ttp, Ka2Dtm  FROM  %s.Qxs133Ka2  WHERE Ka2Num = '%s'    AND Ka2Dtm > "
    "CONVERT(Datetime, '%s', 112)    AND Ka2Dtm <= CONVERT(Datetime, '%s', 112)    AND Ka2Sta < 4  ORDER BY Ka2Dtm";
const char* const kPnrDays2 =
    "SELECT CONVERT(char(8), KalDtm, 112), KalTtp, KalDtm  FROM  QXSYSTEM.Qxs133Kal  WHERE KalNum = '%s'    AND KalDtm "
    "> "
    "CONVERT(Datetime, '%s', 112)    AND KalDtm <= CONVERT(Datetime, '%s', 112)    AND KalSta < 4  ORDER BY KalDtm";
const char* const kTagLastDay =
    "SELECT CONVERT(char(8), (COALESCE(MAX(TagTag),        CURRENT_TIMESTAMP)), 112)  FROM  %s.Qxs327Tag WHERE TagPnr "
    "= '%s'";
const char* const kZtgLastDay =
    "SELECT CONVERT(char(8), (COALESCE(MAX(ZtgVon),        CURRENT_TIMESTAMP)), 112) FROM   %s.Qxs329Ztg  WHERE ZtgPnr "
    "= "
    "'%s'  AND   ZtgSta < 4";
const char* const kTagExists =
    "SELECT TagPnr, convert(char(8), TagTag, 112)   FROM %s.Qxs327Tag  WHERE TagPnr = '%s'    AND TagTag = "
    "convert(Datetime, '%s', 112)";
const char* const kTagInsert =
    "INSERT INTO %s.Qxs327Tag   (TagPnr, TagTag, TagVon,    TagUhr, TagBis, TagEnd, TagDat) VALUES ('%s', "
    "CONVERT(Datetime, '%s', 112), CONVERT(Datetime, '%s', 112),  CONVERT(Datetime, '%s', 120), CONVERT(Datetime, "
    "'%s', "
    "112),  CONVERT(Datetime, '%s', 120), CURRENT_TIMESTAMP)";
const char* const kZtgGet =
    "SELECT ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt,        ZtgAgr, ZtgTag, ZtgBsd, ZtgVra, ZtgAzt, ZtgTtp  FROM  "
    "%s.Qxs329Ztg  WHERE ZtgPnr = '%s'    AND ZtgVon = CONVERT(Datetime, '%s', 112)    AND ZtgSta < 4";
const char* const kZuoGet =
    "SELECT ((CONVERT(int, (TAGTAG - ZUOSDT + ZUOSTG - 1)) %%        CONVERT(int, AgrTge)) + 1), ZuoAgr, ZuoAbt,       "
    " "
    "ZuoKst, ZuoKrt, ZuoKtr, ZuoVra  FROM  %s.Qxs327Tag, %s.Qxs311Zuo, %s.Qxs160Agr  WHERE ZuoPnr = '%s'    AND ZuoPnr "
    "= "
    "TagPnr    AND ZuoGvo <= CONVERT(Datetime, '%s', 112)    AND (ZuoGbi >= CONVERT(Datetime, '%s', 112)      OR "
    "ZuoGbi "
    "IS NULL)    AND ZuoSta < 4    AND TagTag = CONVERT(Datetime, '%s', 112)    AND AgrNum = ZuoAgr   AND AgrSta < 4 ";
const char* const kWplGet =
    "SELECT WplAzt, WplVra  FROM  %s.Qxs161Wpl  WHERE WplAgr = '%s'    AND WplTag = %ld    AND WplSta < 4";
const char* const kZtgInsert1 =
    "INSERT INTO %s.Qxs329Ztg   (ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr,    ZtgKrt, ZtgAgr, ZtgTag, ZtgBsd, "
    "ZtgVra, ZtgAzt,    ZtgTtp, ZtgDat, ZtgSta, ZtgPnm) VALUES   ('%s', CONVERT(Datetime, '%s', 112), '%s', '%s',    "
    "'%s', '%s', '%s', '%s',    %ld, '%s', '%s', '%s',    '%s', CURRENT_TIMESTAMP, 1, '%s')";
const char* const kZtgInsert2 =
    "INSERT INTO %s.Qxs329Ztg   (ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr,    ZtgKrt, ZtgAgr, ZtgTag, ZtgBsd, "
    "ZtgVra, ZtgAzt,    ZtgTtp, ZtgDat, ZtgSta) VALUES   ('%s', CONVERT(Datetime, '%s', 112), '%s', '%s',    '%s', "
    "'%s', '%s', '%s',    %ld, '%s', '%s', '%s',    '%s', CURRENT_TIMESTAMP, 1)";
const char* const kZtgUpdate1 =
    "UPDATE %s.Qxs329Ztg SET   ZtgAkr = '%s', ZtgAbt = '%s',   ZtgKst = '%s', ZtgKtr = '%s',   ZtgKrt = '%s', ZtgAgr = "
    "'%s', ZtgTag = %ld ,   ZtgBsd = '%s', ZtgVra = '%s', ZtgAzt = '%s',   ZtgTtp = '%s', ZtgDat = CURRENT_TIMESTAMP, "
    "ZtgSta = 1,   ZtgPnm = '%s'  WHERE ZtgPnr = '%s'    AND ZtgVon = CONVERT(Datetime, '%s', 112)";
const char* const kZtgUpdate2 =
    "UPDATE %s.Qxs329Ztg SET   ZtgAkr = '%s', ZtgAbt = '%s',   ZtgKst = '%s', ZtgKtr = '%s',   ZtgKrt = '%s', ZtgAgr = "
    "'%s', ZtgTag = %ld,   ZtgBsd = '%s', ZtgVra = '%s', ZtgAzt = '%s',   ZtgTtp = '%s', ZtgDat = CURRENT_TIMESTAMP, "
    "ZtgSta = 1  WHERE ZtgPnr = '%s'    AND ZtgVon = CONVERT(Datetime, '%s', 112)";
const char* const kUrvLastYear = "SELECT MAX(UrvJhr)  FROM  %s.Qxs332Urv  WHERE UrvPnr = '%s'";
const char* const kUrvInsert = "INSERT INTO %s.Qxs332Urv   (UrvPnr, UrvJhr) VALUES   ('%s', %ld)";

// Master data the statements read: a base calendar up to 30 December 2024, a system calendar K1
// and a client calendar K2 with a day type per weekday, two persons with assignments, a group
// with a seven-day plan.
const char* const kSeed[] = {
    "INSERT INTO QXSYSTEM.Qxs133Bak (BakDtm, BakJhr, BakMon, BakTag, BakWch, BakWtg, BakJtg, BakYow) VALUES "
    "(CONVERT(Datetime, '20241229', 112), 2024, 12, 29, 52, 1, 364, 2024)",
    "INSERT INTO QXSYSTEM.Qxs133Bak (BakDtm, BakJhr, BakMon, BakTag, BakWch, BakWtg, BakJtg, BakYow) VALUES "
    "(CONVERT(Datetime, '20241230', 112), 2024, 12, 30, 1, 2, 365, 2025)",
    "INSERT INTO QXSYSTEM.Qxs135Muw (MuwKal, MuwSta) VALUES ('K1', 1)",
    "INSERT INTO QXSYSTEM.Qxs135Muw (MuwKal, MuwSta) VALUES ('K9', 4)",
    "INSERT INTO ABC_1.Qxs135Mu2 (Mu2Kal, Mu2Sta) VALUES ('K2', 1)",
    "INSERT INTO ABC_1.Qxs137Wch (WchKal, WchTag, WchTtp) VALUES ('K1', 1, 'T1')",
    "INSERT INTO ABC_1.Qxs137Wch (WchKal, WchTag, WchTtp) VALUES ('K1', 2, 'T2')",
    "INSERT INTO ABC_1.Qxs137Wch (WchKal, WchTag, WchTtp) VALUES ('K1', 3, 'T3')",
    "INSERT INTO ABC_1.Qxs137Wch (WchKal, WchTag, WchTtp) VALUES ('K2', 2, 'U2')",
    "INSERT INTO ABC_1.Qxs137Wch (WchKal, WchTag, WchTtp) VALUES ('K2', 3, 'U3')",
    "INSERT INTO ABC_1.Qxs137Wch (WchKal, WchTag, WchTtp) VALUES ('K9', 1, 'X1')",
    "INSERT INTO ABC_1.Qxs300Pnr (PnrNum, PnrNam) VALUES ('00000001', 'Anna')",
    "INSERT INTO ABC_1.Qxs300Pnr (PnrNum, PnrNam) VALUES ('00000002', 'Bert')",
    "INSERT INTO ABC_1.Qxs310Bsv (BsvPnr, BsvGvo, BsvGbi, BsvKal, BsvAkr, BsvAbr) VALUES "
    "('00000001', CONVERT(Datetime, '20240101', 112), NULL, 'K2', 'AK', 'AB')",
    "INSERT INTO ABC_1.Qxs310Bsv (BsvPnr, BsvGvo, BsvGbi, BsvKal, BsvAkr, BsvAbr) VALUES "
    "('00000001', CONVERT(Datetime, '20230101', 112), CONVERT(Datetime, '20231231', 112), 'K1', 'OLD', 'OLD')",
    "INSERT INTO ABC_1.Qxs310Bsv (BsvPnr, BsvGvo, BsvGbi, BsvKal, BsvAkr, BsvAbr) VALUES "
    "('00000002', CONVERT(Datetime, '20240601', 112), NULL, 'K1', 'AK2', 'AB2')",
    "INSERT INTO ABC_1.Qxs160Agr (AgrNum, AgrTge) VALUES ('G1', 7)",
    "INSERT INTO ABC_1.Qxs161Wpl (WplAgr, WplTag, WplAzt, WplVra) VALUES ('G1', 6, 'Z6', 'V')",
    "INSERT INTO ABC_1.Qxs311Zuo (ZuoPnr, ZuoAgr, ZuoAbt, ZuoKst, ZuoKrt, ZuoKtr, ZuoVra, ZuoGvo, ZuoGbi, ZUOSDT, "
    "ZUOSTG) VALUES ('00000001', 'G1', 'Abt', 'Kst', 'Krt', 'Ktr', 'Vra', CONVERT(Datetime, '20240101', 112), NULL, "
    "CONVERT(Datetime, '20241225', 112), 1)",
};

TEST(Statements, EveryStatementOfARunReadsAndWritesAsOnTheServer) {
  TempDir dir;
  Connection db("Database=" + dir.File("company.db"));
  ASSERT_TRUE(db.Ok());
  InstallCompanySchema(db, "ABC_1");
  for (const char* s : kSeed) ASSERT_EQ(SQL_SUCCESS, db.Exec(s)) << s;
  const char* S = "ABC_1";
  const std::string today = TodayKey();
  const Rows none;

  const std::vector<Step> steps = {
      // Base calendar.
      {"last base day", kBakLastDay, 0, Rows{{"20241230"}}},
      {"next base day", Fmt(kBakNxtDay, "20241230"), 0, Rows{{"20241231", "2024", "12", "31", "3", "366"}}},
      {"insert base day", Fmt(kBakNewDay, "20241231", 2024, 12, 31, 1, 3, 366, 2025), 0, {}},
      {"insert base day twice", Fmt(kBakNewDay, "20241231", 2024, 12, 31, 1, 3, 366, 2025), 2627, {}},
      {"next after the last", Fmt(kBakNxtDay, "20241231"), 0, Rows{{"20250101", "2025", "1", "1", "4", "1"}}},
      // System calendars.
      {"system calendar numbers", Fmt(kKalNumbers, S), 0, Rows{{"K1"}}},
      {"system calendar without days", Fmt(kKalLastDay, "K1"), 0, Rows{{today}}},
      {"system calendar days", Fmt(kKalDays, S, "K1", "20241229", "20241231"), 0,
       Rows{{"20241230", "T2", "2024-12-30 00:00:00.000"}, {"20241231", "T3", "2024-12-31 00:00:00.000"}}},
      {"insert system calendar day", Fmt(kKalInsert, "K1", "20241230", "T2", "P", "B", 8), 0, {}},
      {"insert system calendar day twice", Fmt(kKalInsert, "K1", "20241230", "T2", "P", "B", 8), 2627, {}},
      {"system calendar's last day", Fmt(kKalLastDay, "K1"), 0, Rows{{"20241230"}}},
      // Client calendars.
      {"client calendar numbers", Fmt(kKa2Numbers, S, S), 0, Rows{{"K2"}}},
      {"client calendar without days", Fmt(kKa2LastDay, S, "K2"), 0, Rows{{today}}},
      {"client calendar days", Fmt(kKa2Days, S, S, "K2", "20241229", "20241231"), 0,
       Rows{{"20241230", "U2", "2024-12-30 00:00:00.000"}, {"20241231", "U3", "2024-12-31 00:00:00.000"}}},
      {"insert client calendar day", Fmt(kKa2Insert, S, "K2", "20241230", "U2", "P", "B", 8), 0, {}},
      {"insert next client calendar day", Fmt(kKa2Insert, S, "K2", "20241231", "U3", "P", "B", 8), 0, {}},
      // Persons and their days.
      {"person assignments", Fmt(kBsvOpen, S, S, "        ", "zzzzzzzz"), 0,
       Rows{{"00000001", "20240101", "NULL", "K2", "AK", "AB", "2024-01-01 00:00:00.000", "Anna"},
            {"00000002", "20240601", "NULL", "K1", "AK2", "AB2", "2024-06-01 00:00:00.000", "Bert"}}},
      {"person days from the client calendar", Fmt(kPnrDays1, S, "K2", "20241229", "20241231"), 0,
       Rows{{"20241230", "U2", "2024-12-30 00:00:00.000"}, {"20241231", "U3", "2024-12-31 00:00:00.000"}}},
      {"person days from the system calendar", Fmt(kPnrDays2, "K1", "20241229", "20241231"), 0,
       Rows{{"20241230", "T2", "2024-12-30 00:00:00.000"}}},
      {"person without day records", Fmt(kTagLastDay, S, "00000001"), 0, Rows{{today}}},
      {"person without assignment records", Fmt(kZtgLastDay, S, "00000001"), 0, Rows{{today}}},
      {"day record missing", Fmt(kTagExists, S, "00000001", "20241230"), 0, none},
      {"insert day record",
       Fmt(kTagInsert, S, "00000001", "20241230", "20241230", "2024-12-30 00:00:00", "20241230", "2024-12-30 00:00:00"),
       0,
       {}},
      {"insert day record twice",
       Fmt(kTagInsert, S, "00000001", "20241230", "20241230", "2024-12-30 00:00:00", "20241230", "2024-12-30 00:00:00"),
       2627,
       {}},
      {"insert day record of an unknown person",
       Fmt(kTagInsert, S, "00000099", "20241230", "20241230", "2024-12-30 00:00:00", "20241230", "2024-12-30 00:00:00"),
       547,
       {}},
      {"day record found", Fmt(kTagExists, S, "00000001", "20241230"), 0, Rows{{"00000001", "20241230"}}},
      {"person's last day record", Fmt(kTagLastDay, S, "00000001"), 0, Rows{{"20241230"}}},
      // Schedule assignments: cycle day of 30 December for a cycle starting 25 December on day 1.
      {"assignment", Fmt(kZuoGet, S, S, S, "00000001", "20241230", "20241230", "20241230"), 0,
       Rows{{"6", "G1", "Abt", "Kst", "Krt", "Ktr", "Vra"}}},
      {"insert day record before the cycle start",
       Fmt(kTagInsert, S, "00000001", "20241220", "20241220", "2024-12-20 00:00:00", "20241220", "2024-12-20 00:00:00"),
       0,
       {}},
      // Five days before the start: -5 % 7 keeps the dividend's sign.
      {"assignment before the cycle start", Fmt(kZuoGet, S, S, S, "00000001", "20241220", "20241220", "20241220"), 0,
       Rows{{"-4", "G1", "Abt", "Kst", "Krt", "Ktr", "Vra"}}},
      {"plan of the cycle day", Fmt(kWplGet, S, "G1", 6L), 0, Rows{{"Z6", "V"}}},
      {"plan of a day without plan", Fmt(kWplGet, S, "G1", 5L), 0, none},
      {"assignment record missing", Fmt(kZtgGet, S, "00000001", "20241230"), 0, none},
      {"insert assignment record",
       Fmt(kZtgInsert1, S, "00000001", "20241230", "AK", "Abt", "Kst", "Ktr", "Krt", "G1", 6L, "B", "Vra", "Z6", "U2",
           "Anna"),
       0,
       {}},
      {"assignment record found", Fmt(kZtgGet, S, "00000001", "20241230"), 0,
       Rows{{"AK", "Abt", "Kst", "Ktr", "Krt", "G1", "6", "B", "Vra", "Z6", "U2"}}},
      {"update assignment record",
       Fmt(kZtgUpdate1, S, "AK", "Abt", "Kst", "Ktr", "Krt", "G1", 7L, "B", "Vra", "Z7", "U2", "Anna", "00000001",
           "20241230"),
       0,
       {}},
      {"update missing assignment record",
       Fmt(kZtgUpdate1, S, "AK", "Abt", "Kst", "Ktr", "Krt", "G1", 7L, "B", "Vra", "Z7", "U2", "Anna", "00000001",
           "20241231"),
       kNoData,
       {}},
      {"updated assignment record", Fmt(kZtgGet, S, "00000001", "20241230"), 0,
       Rows{{"AK", "Abt", "Kst", "Ktr", "Krt", "G1", "7", "B", "Vra", "Z7", "U2"}}},
      {"person's last assignment record", Fmt(kZtgLastDay, S, "00000001"), 0, Rows{{"20241230"}}},
      // Leave carry-over.
      {"no carried-over year", Fmt(kUrvLastYear, S, "00000001"), 0, Rows{{"NULL"}}},
      {"insert carried-over year", Fmt(kUrvInsert, S, "00000001", 2025L), 0, {}},
      {"insert carried-over year twice", Fmt(kUrvInsert, S, "00000001", 2025L), 2627, {}},
      {"insert carried-over year of an unknown person", Fmt(kUrvInsert, S, "00000099", 2025L), 547, {}},
      {"last carried-over year", Fmt(kUrvLastYear, S, "00000001"), 0, Rows{{"2025"}}},
      // Databases without the newer column and table: planex falls back to the other variant.
      {"drop the person-name column", "ALTER TABLE ABC_1.Qxs329Ztg DROP COLUMN ZtgPnm", 0, {}},
      {"insert with the person name",
       Fmt(kZtgInsert1, S, "00000001", "20241231", "AK", "Abt", "Kst", "Ktr", "Krt", "G1", 7L, "B", "Vra", "Z7", "U3",
           "Anna"),
       207,
       {}},
      {"insert without the person name",
       Fmt(kZtgInsert2, S, "00000001", "20241231", "AK", "Abt", "Kst", "Ktr", "Krt", "G1", 7L, "B", "Vra", "Z7", "U3"),
       0,
       {}},
      {"update with the person name",
       Fmt(kZtgUpdate1, S, "AK", "Abt", "Kst", "Ktr", "Krt", "G1", 1L, "B", "Vra", "Z1", "U3", "Anna", "00000001",
           "20241231"),
       207,
       {}},
      {"update without the person name",
       Fmt(kZtgUpdate2, S, "AK", "Abt", "Kst", "Ktr", "Krt", "G1", 1L, "B", "Vra", "Z1", "U3", "00000001", "20241231"),
       0,
       {}},
      {"drop the client calendar", "DROP TABLE ABC_1.Qxs133Ka2", 0, {}},
      {"person days from a missing client calendar", Fmt(kPnrDays1, S, "K2", "20241229", "20241231"), 208, {}},
  };

  for (const Step& step : steps) {
    SCOPED_TRACE(step.what + ": " + step.sql);
    if (step.native == 0 && step.rows) {
      EXPECT_EQ(*step.rows, db.Rows(step.sql));
      continue;
    }
    std::vector<Diag> diags;
    SQLRETURN rc = db.Exec(step.sql, &diags);
    if (step.native == 0) {
      EXPECT_EQ(SQL_SUCCESS, rc) << (diags.empty() ? "" : diags[0].message);
    } else if (step.native == kNoData) {
      EXPECT_EQ(SQL_NO_DATA, rc);
    } else {
      EXPECT_EQ(SQL_ERROR, rc);
      ASSERT_FALSE(diags.empty());
      EXPECT_EQ(step.native, diags[0].native) << diags[0].message;
    }
  }
}

}  // namespace
}  // namespace tsqlite_test

namespace tsqlite_test {
namespace {

struct MessageCase {
  const char* name;
  const char* sql;
  const char* message;  // SQL Server's wording, after the driver's prefix
};

void PrintTo(const MessageCase& c, std::ostream* os) {
  *os << c.name;
}

class ConstraintMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(ConstraintMessages, NameTheConstraintAndTable) {
  TempDir dir;
  Connection db("Database=" + dir.File("company.db"));
  ASSERT_TRUE(db.Ok());
  InstallCompanySchema(db, "ABC_1");
  ASSERT_EQ(SQL_SUCCESS, db.Exec("INSERT INTO ABC_1.Qxs300Pnr (PnrNum, PnrNam) VALUES ('00000001', 'Anna')"));
  std::vector<Diag> diags;
  ASSERT_EQ(SQL_ERROR, db.Exec(GetParam().sql, &diags));
  ASSERT_FALSE(diags.empty());
  EXPECT_EQ(std::string("[tsqlite]") + GetParam().message, diags[0].message);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, ConstraintMessages,
    ::testing::Values(
        MessageCase{"PrimaryKey", "INSERT INTO ABC_1.Qxs300Pnr (PnrNum) VALUES ('00000001')",
                    "Violation of PRIMARY KEY constraint 'PK_Qxs300Pnr'. Cannot insert duplicate key in object "
                    "'ABC_1.Qxs300Pnr'."},
        MessageCase{
            "ForeignKey", "INSERT INTO ABC_1.Qxs332Urv (UrvPnr, UrvJhr) VALUES ('00000099', 2025)",
            "The INSERT statement conflicted with the FOREIGN KEY constraint \"FK_Qxs332Urv_Pnr\". The conflict "
            "occurred in database \"company\", table \"ABC_1.Qxs300Pnr\", column 'PnrNum'."},
        MessageCase{"Check", "INSERT INTO ABC_1.Qxs160Agr (AgrNum, AgrTge) VALUES ('G1', 0)",
                    "The INSERT statement conflicted with the CHECK constraint \"CK_Qxs160Agr_Tge\". The conflict "
                    "occurred in database \"company\", table \"ABC_1.Qxs160Agr\"."},
        // Names in another case than created: the same constraint, the table as created.
        MessageCase{
            "ForeignKeyOtherCase", "INSERT INTO abc_1.QXS332URV (urvpnr, UrvJhr) VALUES ('00000099', 2025)",
            "The INSERT statement conflicted with the FOREIGN KEY constraint \"FK_Qxs332Urv_Pnr\". The conflict "
            "occurred in database \"company\", table \"ABC_1.Qxs300Pnr\", column 'PnrNum'."},
        MessageCase{"CheckOtherCase", "INSERT INTO abc_1.qxs160agr (AgrNum, AgrTge) VALUES ('G1', 0)",
                    "The INSERT statement conflicted with the CHECK constraint \"CK_Qxs160Agr_Tge\". The conflict "
                    "occurred in database \"company\", table \"ABC_1.Qxs160Agr\"."},
        MessageCase{"NotNull", "UPDATE ABC_1.Qxs300Pnr SET PnrSta = NULL",
                    "Cannot insert the value NULL into column 'PnrSta', table 'company.ABC_1.Qxs300Pnr'; column does "
                    "not allow nulls. UPDATE fails."}),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tsqlite_test
