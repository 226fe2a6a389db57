// The translation layer on a real database: statements run through the executor the driver uses
// (Parameterize, Translate, and their literals bound); the translation on its own is in
// translate_text_test.cpp.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "engine_db.h"
#include "translate_api.h"

namespace tsqlite {
namespace {

std::string Today(const char* format) {
  char buf[32];
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::strftime(buf, sizeof buf, format, &tm);
  return buf;
}

using tsqlite_test::Db;

// The system's tables as an installation script for SQL Server would create them.
const char* const kSchema = R"(
CREATE SCHEMA QXSYSTEM
CREATE SCHEMA ABC_1
CREATE TABLE QXSYSTEM.Qxs133Bak (
  BakDtm datetime NOT NULL CONSTRAINT PK_Qxs133Bak PRIMARY KEY,
  BakJhr int NOT NULL, BakMon smallint NOT NULL, BakTag smallint NOT NULL,
  BakWch smallint NOT NULL, BakWtg smallint NOT NULL, BakJtg smallint NOT NULL,
  BakYow int NOT NULL, BakDat datetime NULL DEFAULT (getdate()))
CREATE TABLE QXSYSTEM.Qxs135Muw (MuwKal varchar(3) NOT NULL PRIMARY KEY, MuwSta smallint NOT NULL DEFAULT ((1)))
CREATE TABLE QXSYSTEM.Qxs133Kal (
  KalNum varchar(3) NOT NULL CONSTRAINT FK_Kal_Muw REFERENCES QXSYSTEM.Qxs135Muw (MuwKal),
  KalDtm datetime NOT NULL, KalTtp varchar(3) NULL, KalPtp varchar(3) NULL, KalBtp varchar(3) NULL,
  KalGwt int NULL, KalDat datetime NULL, KalSta smallint NOT NULL DEFAULT 1,
  CONSTRAINT PK_Qxs133Kal PRIMARY KEY CLUSTERED (KalNum, KalDtm),
  CONSTRAINT FK_Kal_Bak FOREIGN KEY (KalDtm) REFERENCES QXSYSTEM.Qxs133Bak (BakDtm))
CREATE TABLE ABC_1.Qxs135Mu2 (Mu2Kal varchar(3) NOT NULL PRIMARY KEY, Mu2Sta smallint NOT NULL DEFAULT 1)
CREATE TABLE ABC_1.Qxs137Wch (WchKal varchar(3) NOT NULL, WchTag smallint NOT NULL,
  WchTtp varchar(3) NOT NULL, WchSta smallint NOT NULL DEFAULT 1, PRIMARY KEY (WchKal, WchTag),
  CHECK (WchTag BETWEEN 1 AND 7))
CREATE TABLE ABC_1.Qxs133Ka2 (Ka2Num varchar(3) NOT NULL, Ka2Dtm datetime NOT NULL,
  Ka2Ttp varchar(3), Ka2Ptp varchar(3), Ka2Btp varchar(3), Ka2Gwt int, Ka2Dat datetime,
  Ka2Sta smallint NOT NULL DEFAULT 1, CONSTRAINT PK_Qxs133Ka2 PRIMARY KEY (Ka2Num, Ka2Dtm))
CREATE TABLE ABC_1.Qxs300Pnr (PnrNum varchar(8) NOT NULL PRIMARY KEY, PnrNam varchar(50) NULL, PnrSta smallint NOT NULL DEFAULT 1)
CREATE TABLE ABC_1.Qxs310Bsv (BsvPnr varchar(8) NOT NULL REFERENCES ABC_1.Qxs300Pnr (PnrNum),
  BsvGvo datetime NOT NULL, BsvGbi datetime NULL, BsvKal varchar(3) NOT NULL,
  BsvAkr varchar(5) NULL, BsvAbr varchar(5) NULL, BsvSta smallint NOT NULL DEFAULT 1,
  PRIMARY KEY (BsvPnr, BsvGvo))
CREATE TABLE ABC_1.Qxs327Tag (TagPnr varchar(8) NOT NULL REFERENCES ABC_1.Qxs300Pnr (PnrNum),
  TagTag datetime NOT NULL, TagVon datetime, TagUhr datetime, TagBis datetime, TagEnd datetime,
  TagDat datetime, CONSTRAINT PK_Qxs327Tag PRIMARY KEY (TagPnr, TagTag))
CREATE TABLE ABC_1.Qxs311Zuo (ZuoPnr varchar(8) NOT NULL, ZuoAgr varchar(5) NOT NULL,
  ZuoAbt varchar(15), ZuoKst varchar(30), ZuoKrt varchar(4), ZuoKtr varchar(6), ZuoVra varchar(5),
  ZuoGvo datetime NOT NULL, ZuoGbi datetime NULL, ZUOSDT datetime NOT NULL, ZUOSTG int NOT NULL,
  ZuoSta smallint NOT NULL DEFAULT 1)
CREATE INDEX IX_Zuo_Pnr ON ABC_1.Qxs311Zuo (ZuoPnr, ZuoGvo)
CREATE TABLE ABC_1.Qxs160Agr (AgrNum varchar(5) NOT NULL PRIMARY KEY, AgrTge int NOT NULL, AgrSta smallint NOT NULL DEFAULT 1)
CREATE TABLE ABC_1.Qxs161Wpl (WplAgr varchar(5) NOT NULL, WplTag int NOT NULL, WplAzt varchar(5),
  WplVra varchar(5), WplSta smallint NOT NULL DEFAULT 1, PRIMARY KEY (WplAgr, WplTag))
CREATE TABLE ABC_1.Qxs329Ztg (ZtgPnr varchar(8) NOT NULL, ZtgVon datetime NOT NULL,
  ZtgAkr varchar(5), ZtgAbt varchar(15), ZtgKst varchar(30), ZtgKtr varchar(6), ZtgKrt varchar(4),
  ZtgAgr varchar(5), ZtgTag int, ZtgBsd varchar(5), ZtgVra varchar(5), ZtgAzt varchar(5),
  ZtgTtp varchar(3), ZtgDat datetime, ZtgSta smallint NOT NULL DEFAULT 1, ZtgPnm varchar(50),
  CONSTRAINT PK_Qxs329Ztg PRIMARY KEY (ZtgPnr, ZtgVon))
CREATE TABLE ABC_1.Qxs332Urv (UrvPnr varchar(8) NOT NULL REFERENCES ABC_1.Qxs300Pnr (PnrNum),
  UrvJhr int NOT NULL, PRIMARY KEY (UrvPnr, UrvJhr))
)";

class TranslateDb : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(db.Run(kSchema), std::vector<std::string>{}); }
  Db db;
};

struct Step {
  const char* tsql;
  std::vector<std::string> rows;  // expected rows; "error: ..." prefix matches an error
};

void RunSteps(Db& db, const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    const std::vector<std::string> got = db.Run(s.tsql);
    if (s.rows.size() == 1 && s.rows[0].rfind("error", 0) == 0) {
      ASSERT_EQ(got.size(), 1u) << s.tsql;
      EXPECT_EQ(got[0].rfind(s.rows[0], 0), 0u) << s.tsql << "\n got: " << got[0];
    } else {
      EXPECT_EQ(got, s.rows) << s.tsql;
    }
  }
}

TEST_F(TranslateDb, BaseCalendarAndWorkingTimeCalendarStatements) {
  const std::string today = Today("%Y%m%d");
  RunSteps(
      db,
      {
          // An empty base calendar gives the server's current date.
          {"SELECT CONVERT(char(8), (COALESCE(MAX(BakDtm),        CURRENT_TIMESTAMP)), 112)  FROM  QXSYSTEM.Qxs133Bak",
           {today}},
          {"INSERT INTO QXSYSTEM.Qxs133Bak   (BakDtm, BakJhr, BakMon, BakTag,    BakWch, BakWtg, BakJtg, BakYow, "
           "BakDat) VALUES   (CONVERT (Datetime, '20061229', 112), 2006, 12, 29,    52, 6, 363, 2006, "
           "CURRENT_TIMESTAMP)",
           {}},
          {"SELECT CONVERT(char(8), (COALESCE(MAX(BakDtm),        CURRENT_TIMESTAMP)), 112)  FROM  QXSYSTEM.Qxs133Bak",
           {"20061229"}},
          {"SELECT CONVERT(char(8), DATEADD(day, 1, BakDtm), 112),        DATEPART(year, DATEADD(day, 1, BakDtm)),     "
           "   DATEPART(month, DATEADD(day, 1, BakDtm)),        DATEPART(day, DATEADD(day, 1, BakDtm)),        "
           "DATEPART(weekday, DATEADD(day, 1, BakDtm)),        DATEPART(dayofyear, DATEADD(day, 1, BakDtm))  FROM  "
           "QXSYSTEM.Qxs133Bak  WHERE BakDtm = CONVERT(Datetime, '20061229', 112)",
           {"20061230|2006|12|30|7|364"}},
          {"SET DATEFIRST 1", {}},
          {"SELECT CONVERT(char(8), DATEADD(day, 1, BakDtm), 112),        DATEPART(year, DATEADD(day, 1, BakDtm)),     "
           "   DATEPART(month, DATEADD(day, 1, BakDtm)),        DATEPART(day, DATEADD(day, 1, BakDtm)),        "
           "DATEPART(weekday, DATEADD(day, 1, BakDtm)),        DATEPART(dayofyear, DATEADD(day, 1, BakDtm))  FROM  "
           "QXSYSTEM.Qxs133Bak  WHERE BakDtm = CONVERT(Datetime, '20061229', 112)",
           {"20061230|2006|12|30|6|364"}},
          {"SELECT CONVERT(char(8), DATEADD(day, 1, BakDtm), 112) FROM QXSYSTEM.Qxs133Bak WHERE BakDtm = "
           "CONVERT(Datetime, '20061230', 112)",
           {}},
          {"INSERT INTO QXSYSTEM.Qxs133Bak   (BakDtm, BakJhr, BakMon, BakTag,    BakWch, BakWtg, BakJtg, BakYow, "
           "BakDat) VALUES   (CONVERT (Datetime, '20061230', 112), 2006, 12, 30,    52, 6, 364, 2006, "
           "CURRENT_TIMESTAMP)",
           {}},
          {"INSERT INTO QXSYSTEM.Qxs133Bak   (BakDtm, BakJhr, BakMon, BakTag,    BakWch, BakWtg, BakJtg, BakYow, "
           "BakDat) VALUES   (CONVERT (Datetime, '20061230', 112), 2006, 12, 30,    52, 6, 364, 2006, "
           "CURRENT_TIMESTAMP)",
           {"error: 2627 Violation of PRIMARY KEY constraint 'PK_Qxs133Bak'."}},
          {"INSERT INTO QXSYSTEM.Qxs135Muw (MuwKal, MuwSta) VALUES ('K1', 1)", {}},
          {"INSERT INTO QXSYSTEM.Qxs135Muw (MuwKal, MuwSta) VALUES ('K9', 4)", {}},
          {"INSERT INTO ABC_1.Qxs135Mu2 (Mu2Kal, Mu2Sta) VALUES ('C1', 1)", {}},
          {"INSERT INTO ABC_1.Qxs137Wch (WchKal, WchTag, WchTtp, WchSta) VALUES ('K1', 6, 'SA', 1)", {}},
          {"INSERT INTO ABC_1.Qxs137Wch (WchKal, WchTag, WchTtp, WchSta) VALUES ('K1', 7, 'SO', 1)", {}},
          {"INSERT INTO ABC_1.Qxs137Wch (WchKal, WchTag, WchTtp, WchSta) VALUES ('K9', 6, 'X', 1)", {}},
          {"INSERT INTO ABC_1.Qxs137Wch (WchKal, WchTag, WchTtp, WchSta) VALUES ('C1', 6, 'CA', 1)", {}},
          {"SELECT DISTINCT MuwKal  FROM  QXSYSTEM.Qxs135Muw, abc_1.Qxs137Wch  WHERE MuwKal = WchKal  AND   MuwSta < 4 "
           " AND   WchSta < 4",
           {"K1"}},
          {"SELECT DISTINCT Mu2Kal  FROM  ABC_1.Qxs135Mu2, ABC_1.Qxs137Wch  WHERE Mu2Kal = WchKal  AND   Mu2Sta < 4  "
           "AND   WchSta < 4 ",
           {"C1"}},
          {"SELECT CONVERT(char(8), (COALESCE(MAX(KalDtm),        CURRENT_TIMESTAMP)), 112)  FROM  QXSYSTEM.Qxs133Kal  "
           "WHERE KalNum = 'K1'  AND   KalSta < 4 ",
           {today}},
          {"SELECT CONVERT(char(8), BakDtm, 112), WchTtp, BakDtm  FROM  QXSYSTEM.Qxs133Bak, QXSYSTEM.Qxs135Muw,        "
           "ABC_1.Qxs137Wch  WHERE WchKal = 'K1'    AND WchKal = MuwKal    AND WchTag = BakWtg    AND MuwSta < 4    "
           "AND WchSta < 4    AND BakDtm > CONVERT(Datetime, '20061228', 112)    AND BakDtm <= CONVERT(Datetime, "
           "'20061231', 112)  ORDER BY BakDtm",
           {"20061229|SA|2006-12-29 00:00:00.000", "20061230|SA|2006-12-30 00:00:00.000"}},
          {"INSERT INTO QXSYSTEM.Qxs133Kal   (KalNum, KalDtm, KalTtp,    KalPtp, KalBtp, KalGwt, KalDat, KalSta) "
           "VALUES   ('K1', CONVERT (Datetime, '20061229',112), 'SA',    'SA', 'SA', 100, CURRENT_TIMESTAMP, 1)",
           {}},
          // A day the base calendar does not hold is refused by the foreign key.
          {"INSERT INTO QXSYSTEM.Qxs133Kal   (KalNum, KalDtm, KalTtp,    KalPtp, KalBtp, KalGwt, KalDat, KalSta) "
           "VALUES   ('K1', CONVERT (Datetime, '20070101',112), 'SA',    'SA', 'SA', 100, CURRENT_TIMESTAMP, 1)",
           {"error: 547 The INSERT statement conflicted with the FOREIGN KEY"}},
          {"SELECT CONVERT(char(8), (COALESCE(MAX(KalDtm),        CURRENT_TIMESTAMP)), 112)  FROM  QXSYSTEM.Qxs133Kal  "
           "WHERE KalNum = 'K1'  AND   KalSta < 4 ",
           {"20061229"}},
          {"SELECT CONVERT(char(8), BakDtm, 112), WchTtp, BakDtm  FROM  QXSYSTEM.Qxs133Bak, ABC_1.Qxs135Mu2, "
           "ABC_1.Qxs137Wch  WHERE WchKal = 'C1'    AND WchKal = Mu2Kal    AND WchTag = BakWtg    AND Mu2Sta < 4    "
           "AND WchSta < 4    AND BakDtm > CONVERT(Datetime, '20061229', 112)    AND BakDtm <= CONVERT(Datetime, "
           "'20061231', 112)  ORDER BY BakDtm",
           {"20061230|CA|2006-12-30 00:00:00.000"}},
          {"INSERT INTO ABC_1.Qxs133Ka2   (Ka2Num, Ka2Dtm, Ka2Ttp,    Ka2Ptp, Ka2Btp, Ka2Gwt, Ka2Dat, Ka2Sta) VALUES   "
           "('C1', CONVERT (Datetime, '20061230',112), 'CA',    'CA', 'CA', 100, CURRENT_TIMESTAMP, 1)",
           {}},
          {"SELECT CONVERT(char(8), (COALESCE(MAX(Ka2Dtm),        CURRENT_TIMESTAMP)), 112)  FROM  ABC_1.Qxs133Ka2  "
           "WHERE Ka2Num = 'C1'  AND   Ka2Sta < 4 ",
           {"20061230"}},
          {"SELECT Ka2Num, Ka2Ttp, Ka2Ptp, Ka2Btp, Ka2Gwt, Ka2Sta, CONVERT(char(10), Ka2Dat, 120) FROM ABC_1.Qxs133Ka2",
           {"C1|CA|CA|CA|100|1|" + Today("%Y-%m-%d")}},
      });
}

class PersonDb : public TranslateDb {
 protected:
  void SetUp() override {
    TranslateDb::SetUp();
    RunSteps(
        db,
        {
            {"INSERT INTO ABC_1.Qxs300Pnr (PnrNum, PnrNam, PnrSta) VALUES ('00000001', 'O''Neill', 1)", {}},
            {"INSERT INTO ABC_1.Qxs300Pnr (PnrNum, PnrNam, PnrSta) VALUES ('00000002', 'Bauer', 1)", {}},
            {"INSERT INTO ABC_1.Qxs310Bsv (BsvPnr, BsvGvo, BsvGbi, BsvKal, BsvAkr, BsvAbr, BsvSta) VALUES ('00000001', "
             "CONVERT(Datetime, '20060101', 112), NULL, 'C1', 'AK', 'AB', 1)",
             {}},
            {"INSERT INTO ABC_1.Qxs310Bsv (BsvPnr, BsvGvo, BsvGbi, BsvKal, BsvAkr, BsvAbr, BsvSta) VALUES ('00000001', "
             "CONVERT(Datetime, '20070101', 112), CONVERT(Datetime, '99991231', 112), 'C1', 'AK2', 'AB2', 1)",
             {}},
            {"INSERT INTO ABC_1.Qxs310Bsv (BsvPnr, BsvGvo, BsvGbi, BsvKal, BsvAkr, BsvAbr, BsvSta) VALUES ('00000002', "
             "CONVERT(Datetime, '20060101', 112), CONVERT(Datetime, '20060601', 112), 'C1', 'X', 'X', 1)",
             {}},
            {"INSERT INTO ABC_1.Qxs160Agr (AgrNum, AgrTge, AgrSta) VALUES ('G7', 7, 1)", {}},
            {"INSERT INTO ABC_1.Qxs161Wpl (WplAgr, WplTag, WplAzt, WplVra, WplSta) VALUES ('G7', 5, '     ', 'V5', 1)",
             {}},
            {"INSERT INTO ABC_1.Qxs311Zuo (ZuoPnr, ZuoAgr, ZuoAbt, ZuoKst, ZuoKrt, ZuoKtr, ZuoVra, ZuoGvo, ZuoGbi, "
             "ZUOSDT, ZUOSTG, ZuoSta) VALUES ('00000001', 'G7', 'ABT', 'KST', 'KRT', 'KTR', 'VRA', CONVERT(Datetime, "
             "'20060101', 112), NULL, CONVERT(Datetime, '20070110', 112), 3, 1)",
             {}},
        });
  }

  const char* const kAssign =
      "SELECT ((CONVERT(int, (TAGTAG - ZUOSDT + ZUOSTG - 1)) %        CONVERT(int, AgrTge)) + 1), ZuoAgr, ZuoAbt,      "
      "  ZuoKst, ZuoKrt, ZuoKtr, ZuoVra  FROM  ABC_1.Qxs327Tag, ABC_1.Qxs311Zuo, ABC_1.Qxs160Agr  WHERE ZuoPnr = "
      "'00000001'    AND ZuoPnr = TagPnr    AND ZuoGvo <= CONVERT(Datetime, '%s', 112)    AND (ZuoGbi >= "
      "CONVERT(Datetime, '%s', 112)      OR ZuoGbi IS NULL)    AND ZuoSta < 4    AND TagTag = CONVERT(Datetime, '%s', "
      "112)    AND AgrNum = ZuoAgr   AND AgrSta < 4 ";
  const char* const kAssignNonNegative =
      "SELECT ((((CONVERT(int, (TAGTAG - ZUOSDT + ZUOSTG - 1)) %        CONVERT(int, AgrTge)) + CONVERT(int, AgrTge)) "
      "% CONVERT(int, AgrTge)) + 1), ZuoAgr  FROM  ABC_1.Qxs327Tag, ABC_1.Qxs311Zuo, ABC_1.Qxs160Agr  WHERE ZuoPnr = "
      "'00000001'    AND ZuoPnr = TagPnr    AND ZuoGvo <= CONVERT(Datetime, '%s', 112)    AND (ZuoGbi >= "
      "CONVERT(Datetime, '%s', 112)      OR ZuoGbi IS NULL)    AND ZuoSta < 4    AND TagTag = CONVERT(Datetime, '%s', "
      "112)    AND AgrNum = ZuoAgr   AND AgrSta < 4 ";

  std::string With(const char* format, const std::string& day) {
    std::string s = format;
    for (size_t at; (at = s.find("%s")) != std::string::npos;) s.replace(at, 2, day);
    return s;
  }

  void InsertDay(const std::string& day) {
    const std::string sql =
        "INSERT INTO ABC_1.Qxs327Tag   (TagPnr, TagTag, TagVon,    TagUhr, TagBis, TagEnd, TagDat) VALUES ('00000001', "
        "CONVERT(Datetime, '" +
        day + "', 112), CONVERT(Datetime, '" + day + "', 112),  CONVERT(Datetime, '" + day +
        " 00:00:00', 120), CONVERT(Datetime, '" + day + "', 112),  CONVERT(Datetime, '" + day +
        " 00:00:00', 120), CURRENT_TIMESTAMP)";
    ASSERT_EQ(db.Run(sql), std::vector<std::string>{});
  }
};

TEST_F(PersonDb, PersonCursorOrdersByPersonThenLatestValidity) {
  RunSteps(db, {
                   {"SELECT BsvPnr, CONVERT(char(8), BsvGvo, 112),        CONVERT(char(8), BsvGbi, 112), BsvKal,       "
                    " BsvAkr, BsvAbr, BsvGvo, PnrNam  FROM  ABC_1.Qxs310Bsv, ABC_1.Qxs300Pnr  WHERE BsvPnr >= '        "
                    "'    AND BsvPnr <= 'zzzzzzzz'    AND (BsvGbi IS NULL      OR BsvGbi >= CURRENT_TIMESTAMP)    AND  "
                    " BsvPnr = PnrNum    AND BsvSta < 4    AND PnrSta < 4  ORDER BY BsvPnr ASC, BsvGvo DESC",
                    {"00000001|20070101|99991231|C1|AK2|AB2|2007-01-01 00:00:00.000|O'Neill",
                     "00000001|20060101|NULL|C1|AK|AB|2006-01-01 00:00:00.000|O'Neill"}},
               });
}

TEST_F(PersonDb, DayRecordStatements) {
  const std::string today = Today("%Y%m%d");
  RunSteps(db, {
                   {"SELECT CONVERT(char(8), (COALESCE(MAX(TagTag),        CURRENT_TIMESTAMP)), 112)  FROM  "
                    "ABC_1.Qxs327Tag WHERE TagPnr = '00000001'",
                    {today}},
                   {"SELECT TagPnr, convert(char(8), TagTag, 112)   FROM ABC_1.Qxs327Tag  WHERE TagPnr = '00000001'    "
                    "AND TagTag = convert(Datetime, '20070110', 112)",
                    {}},
                   {"INSERT INTO ABC_1.Qxs327Tag   (TagPnr, TagTag, TagVon,    TagUhr, TagBis, TagEnd, TagDat) VALUES "
                    "('00000001', CONVERT(Datetime, '20070110', 112), CONVERT(Datetime, '20070110', 112),  "
                    "CONVERT(Datetime, '20070110 00:00:00', 120), CONVERT(Datetime, '20070110', 112),  "
                    "CONVERT(Datetime, '20070110 00:00:00', 120), CURRENT_TIMESTAMP)",
                    {}},
                   {"INSERT INTO ABC_1.Qxs327Tag   (TagPnr, TagTag, TagVon,    TagUhr, TagBis, TagEnd, TagDat) VALUES "
                    "('00000001', CONVERT(Datetime, '20070110', 112), CONVERT(Datetime, '20070110', 112),  "
                    "CONVERT(Datetime, '20070110 00:00:00', 120), CONVERT(Datetime, '20070110', 112),  "
                    "CONVERT(Datetime, '20070110 00:00:00', 120), CURRENT_TIMESTAMP)",
                    {"error: 2627 Violation of PRIMARY KEY constraint 'PK_Qxs327Tag'."}},
                   // The person does not exist: the foreign key refuses the row.
                   {"INSERT INTO ABC_1.Qxs327Tag   (TagPnr, TagTag, TagVon,    TagUhr, TagBis, TagEnd, TagDat) VALUES "
                    "('00000099', CONVERT(Datetime, '20070110', 112), CONVERT(Datetime, '20070110', 112),  "
                    "CONVERT(Datetime, '20070110 00:00:00', 120), CONVERT(Datetime, '20070110', 112),  "
                    "CONVERT(Datetime, '20070110 00:00:00', 120), CURRENT_TIMESTAMP)",
                    {"error: 547 The INSERT statement conflicted with the FOREIGN KEY"}},
                   {"SELECT TagPnr, convert(char(8), TagTag, 112)   FROM ABC_1.Qxs327Tag  WHERE TagPnr = '00000001'    "
                    "AND TagTag = convert(Datetime, '20070110', 112)",
                    {"00000001|20070110"}},
                   {"SELECT TagUhr, TagEnd FROM ABC_1.Qxs327Tag", {"2007-01-10 00:00:00.000|2007-01-10 00:00:00.000"}},
                   {"SELECT CONVERT(char(8), (COALESCE(MAX(TagTag),        CURRENT_TIMESTAMP)), 112)  FROM  "
                    "ABC_1.Qxs327Tag WHERE TagPnr = '00000001'",
                    {"20070110"}},
                   {"SELECT CONVERT(char(8), (COALESCE(MAX(ZtgVon),        CURRENT_TIMESTAMP)), 112) FROM   "
                    "ABC_1.Qxs329Ztg  WHERE ZtgPnr = '00000001'  AND   ZtgSta < 4",
                    {today}},
               });
}

TEST_F(PersonDb, PersonCalendarDaysFromClientOrSystemTable) {
  RunSteps(db,
           {
               {"INSERT INTO QXSYSTEM.Qxs133Bak (BakDtm, BakJhr, BakMon, BakTag, BakWch, BakWtg, BakJtg, BakYow, "
                "BakDat) VALUES (CONVERT (Datetime, '20070102', 112), 2007, 1, 2, 1, 3, 2, 2007, CURRENT_TIMESTAMP)",
                {}},
               {"INSERT INTO QXSYSTEM.Qxs135Muw (MuwKal, MuwSta) VALUES ('C1', 1)", {}},
               {"INSERT INTO QXSYSTEM.Qxs133Kal (KalNum, KalDtm, KalTtp, KalPtp, KalBtp, KalGwt, KalDat, KalSta) "
                "VALUES ('C1', CONVERT (Datetime, '20070102',112), 'AT', 'AT', 'AT', 100, CURRENT_TIMESTAMP, 1)",
                {}},
               {"INSERT INTO ABC_1.Qxs133Ka2 (Ka2Num, Ka2Dtm, Ka2Ttp, Ka2Ptp, Ka2Btp, Ka2Gwt, Ka2Dat, Ka2Sta) VALUES "
                "('C1', CONVERT (Datetime, '20070103',112), 'C3', 'C3', 'C3', 100, CURRENT_TIMESTAMP, 1)",
                {}},
               {"INSERT INTO ABC_1.Qxs133Ka2 (Ka2Num, Ka2Dtm, Ka2Ttp, Ka2Ptp, Ka2Btp, Ka2Gwt, Ka2Dat, Ka2Sta) VALUES "
                "('C1', CONVERT (Datetime, '20070102',112), 'C2', 'C2', 'C2', 100, CURRENT_TIMESTAMP, 1)",
                {}},
               {"INSERT INTO ABC_1.Qxs133Ka2 (Ka2Num, Ka2Dtm, Ka2Ttp, Ka2Ptp, Ka2Btp, Ka2Gwt, Ka2Dat, Ka2Sta) VALUES "
                "('C1', CONVERT (Datetime, '20070104',112), 'C4', 'C4', 'C4', 100, CURRENT_TIMESTAMP, 4)",
                {}},
               {"SELECT CONVERT(char(8), Ka2Dtm, 112), Ka2Ttp, Ka2Dtm  FROM  ABC_1.Qxs133Ka2  WHERE Ka2Num = 'C1'    "
                "AND Ka2Dtm > CONVERT(Datetime, '20070101', 112)    AND Ka2Dtm <= CONVERT(Datetime, '20071231', 112)   "
                " AND Ka2Sta < 4  ORDER BY Ka2Dtm",
                {"20070102|C2|2007-01-02 00:00:00.000", "20070103|C3|2007-01-03 00:00:00.000"}},
               {"SELECT CONVERT(char(8), KalDtm, 112), KalTtp, KalDtm  FROM  QXSYSTEM.Qxs133Kal  WHERE KalNum = 'C1'   "
                " AND KalDtm > CONVERT(Datetime, '20070101', 112)    AND KalDtm <= CONVERT(Datetime, '20071231', 112)  "
                "  AND KalSta < 4  ORDER BY KalDtm",
                {"20070102|AT|2007-01-02 00:00:00.000"}},
               // A client schema without the table: SQLite names it as the statement did.
               {"SELECT CONVERT(char(8), Ka2Dtm, 112), Ka2Ttp, Ka2Dtm  FROM  XYZ.Qxs133Ka2  WHERE Ka2Num = 'C1'",
                {"error: 208 Invalid object name 'XYZ.Qxs133Ka2'."}},
           });
}

TEST_F(PersonDb, CycleDayOfTheAssignment) {
  struct Case {
    const char* day;
    const char* quoted;        // the statement as the person run sends it
    const char* non_negative;  // with the remainder brought to 0..n-1
  };
  // Cycle start 2007-01-10 with start day 3 in a 7-day group.
  const Case cases[] = {
      {"20070110", "3", "3"}, {"20070111", "4", "4"}, {"20070115", "1", "1"},
      {"20070107", "0", "7"}, {"20070101", "1", "1"}, {"20070102", "-5", "2"},
  };
  for (const Case& c : cases) {
    InsertDay(c.day);
    EXPECT_EQ(db.Run(With(kAssign, c.day)), std::vector<std::string>{std::string(c.quoted) + "|G7|ABT|KST|KRT|KTR|VRA"})
        << c.day;
    EXPECT_EQ(db.Run(With(kAssignNonNegative, c.day)), std::vector<std::string>{std::string(c.non_negative) + "|G7"})
        << c.day;
  }
  // No day record, no assignment row.
  EXPECT_EQ(db.Run(With(kAssign, "20070301")), std::vector<std::string>{});
}

TEST_F(PersonDb, ScheduleAssignmentWritesBothVariants) {
  RunSteps(
      db,
      {
          {"SELECT WplAzt, WplVra  FROM  ABC_1.Qxs161Wpl  WHERE WplAgr = 'G7'    AND WplTag = 5    AND WplSta < 4",
           {"     |V5"}},
          {"SELECT WplAzt, WplVra  FROM  ABC_1.Qxs161Wpl  WHERE WplAgr = ''    AND WplTag = 0    AND WplSta < 4", {}},
          {"SELECT ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt,        ZtgAgr, ZtgTag, ZtgBsd, ZtgVra, ZtgAzt, ZtgTtp  FROM "
           " ABC_1.Qxs329Ztg  WHERE ZtgPnr = '00000001'    AND ZtgVon = CONVERT(Datetime, '20070110', 112)    AND "
           "ZtgSta < 4",
           {}},
          {"INSERT INTO ABC_1.Qxs329Ztg   (ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr,    ZtgKrt, ZtgAgr, ZtgTag, "
           "ZtgBsd, ZtgVra, ZtgAzt,    ZtgTtp, ZtgDat, ZtgSta, ZtgPnm) VALUES   ('00000001', CONVERT(Datetime, "
           "'20070110', 112), 'AK', 'ABT',    'KST', 'KTR', 'KRT', 'G7',    3, 'AB', 'VRA', '',    'SA', "
           "CURRENT_TIMESTAMP, 1, 'O''Neill')",
           {}},
          {"SELECT ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt,        ZtgAgr, ZtgTag, ZtgBsd, ZtgVra, ZtgAzt, ZtgTtp  FROM "
           " ABC_1.Qxs329Ztg  WHERE ZtgPnr = '00000001'    AND ZtgVon = CONVERT(Datetime, '20070110', 112)    AND "
           "ZtgSta < 4",
           {"AK|ABT|KST|KTR|KRT|G7|3|AB|VRA||SA"}},
          {"INSERT INTO ABC_1.Qxs329Ztg   (ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr,    ZtgKrt, ZtgAgr, ZtgTag, "
           "ZtgBsd, ZtgVra, ZtgAzt,    ZtgTtp, ZtgDat, ZtgSta) VALUES   ('00000001', CONVERT(Datetime, '20070111', "
           "112), 'AK', '',    '', '', '', '',    0, 'AB', '', '',    'SO', CURRENT_TIMESTAMP, 1)",
           {}},
          {"UPDATE ABC_1.Qxs329Ztg SET   ZtgAkr = 'A2', ZtgAbt = 'B2',   ZtgKst = 'K2', ZtgKtr = 'T2',   ZtgKrt = "
           "'R2', ZtgAgr = 'G7', ZtgTag = 4 ,   ZtgBsd = 'D2', ZtgVra = 'V2', ZtgAzt = 'Z2',   ZtgTtp = 'SO', ZtgDat = "
           "CURRENT_TIMESTAMP, ZtgSta = 1,   ZtgPnm = 'Bauer'  WHERE ZtgPnr = '00000001'    AND ZtgVon = "
           "CONVERT(Datetime, '20070111', 112)",
           {}},
          {"SELECT ZtgAkr, ZtgTag, ZtgPnm FROM ABC_1.Qxs329Ztg WHERE ZtgVon = CONVERT(Datetime, '20070111', 112)",
           {"A2|4|Bauer"}},
          {"UPDATE ABC_1.Qxs329Ztg SET   ZtgAkr = 'A3', ZtgAbt = 'B2',   ZtgKst = 'K2', ZtgKtr = 'T2',   ZtgKrt = "
           "'R2', ZtgAgr = 'G7', ZtgTag = 5,   ZtgBsd = 'D2', ZtgVra = 'V2', ZtgAzt = 'Z2',   ZtgTtp = 'SO', ZtgDat = "
           "CURRENT_TIMESTAMP, ZtgSta = 1  WHERE ZtgPnr = '00000001'    AND ZtgVon = CONVERT(Datetime, '20070111', "
           "112)",
           {}},
          {"SELECT ZtgAkr, ZtgTag, ZtgPnm FROM ABC_1.Qxs329Ztg WHERE ZtgVon = CONVERT(Datetime, '20070111', 112)",
           {"A3|5|Bauer"}},
      });
  EXPECT_EQ(db.changes(), -1);  // the last batch was a query
  db.Run(
      "UPDATE ABC_1.Qxs329Ztg SET   ZtgAkr = 'A3', ZtgAbt = 'B2',   ZtgKst = 'K2', ZtgKtr = 'T2',   ZtgKrt = 'R2', "
      "ZtgAgr = 'G7', ZtgTag = 5,   ZtgBsd = 'D2', ZtgVra = 'V2', ZtgAzt = 'Z2',   ZtgTtp = 'SO', ZtgDat = "
      "CURRENT_TIMESTAMP, ZtgSta = 1  WHERE ZtgPnr = '00000001'    AND ZtgVon = CONVERT(Datetime, '20300101', 112)");
  EXPECT_EQ(db.changes(), 0);
}

TEST_F(PersonDb, NameColumnMissingIsReportedAsUnknownColumn) {
  ASSERT_EQ(db.Run("ALTER TABLE ABC_1.Qxs329Ztg DROP COLUMN ZtgPnm"), std::vector<std::string>{});
  RunSteps(db, {
                   {"INSERT INTO ABC_1.Qxs329Ztg   (ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr,    ZtgKrt, ZtgAgr, "
                    "ZtgTag, ZtgBsd, ZtgVra, ZtgAzt,    ZtgTtp, ZtgDat, ZtgSta, ZtgPnm) VALUES   ('00000001', "
                    "CONVERT(Datetime, '20070110', 112), 'AK', 'ABT',    'KST', 'KTR', 'KRT', 'G7',    3, 'AB', 'VRA', "
                    "'',    'SA', CURRENT_TIMESTAMP, 1, 'x')",
                    {"error: 207 Invalid column name 'ZtgPnm'."}},
                   {"UPDATE ABC_1.Qxs329Ztg SET ZtgAkr = 'A2', ZtgPnm = 'Bauer'  WHERE ZtgPnr = '00000001'",
                    {"error: 207 Invalid column name 'ZtgPnm'."}},
               });
}

TEST_F(PersonDb, LeaveCarryOverYears) {
  RunSteps(db, {
                   {"SELECT MAX(UrvJhr)  FROM  ABC_1.Qxs332Urv  WHERE UrvPnr = '00000001'", {"NULL"}},
                   {"INSERT INTO ABC_1.Qxs332Urv   (UrvPnr, UrvJhr) VALUES   ('00000001', 2007)", {}},
                   {"INSERT INTO ABC_1.Qxs332Urv   (UrvPnr, UrvJhr) VALUES   ('00000001', 2008)", {}},
                   {"INSERT INTO ABC_1.Qxs332Urv   (UrvPnr, UrvJhr) VALUES   ('00000001', 2008)",
                    {"error: 2627 Violation of PRIMARY KEY constraint. Cannot"}},
                   {"INSERT INTO ABC_1.Qxs332Urv   (UrvPnr, UrvJhr) VALUES   ('00000077', 2008)",
                    {"error: 547 The INSERT statement conflicted with the"}},
                   {"SELECT MAX(UrvJhr)  FROM  ABC_1.Qxs332Urv  WHERE UrvPnr = '00000001'", {"2008"}},
               });
}

// ---- DDL and storage conventions ------------------------------------------------------------

TEST_F(TranslateDb, SchemaAndTableNamesIgnoreCase) {
  RunSteps(db, {
                   {"INSERT INTO qxsystem.qxs135muw (muwkal, MUWSTA) VALUES ('A', 1)", {}},
                   {"SELECT MuwKal FROM QXSYSTEM.Qxs135Muw", {"A"}},
                   {"SELECT QXSYSTEM.Qxs135Muw.MuwKal, Qxs135Muw.MuwSta, m.MuwKal FROM QXSYSTEM.Qxs135Muw, "
                    "qxsystem.QXS135MU2X m",
                    {"error: 208 Invalid object name 'qxsystem.QXS135MU2X'."}},
                   {"SELECT QXSYSTEM.Qxs135Muw.MuwKal, Qxs135Muw.MuwSta FROM QXSYSTEM.Qxs135Muw", {"A|1"}},
                   {"SELECT m.MuwKal, [MuwSta] FROM [QXSYSTEM].[Qxs135Muw] AS m WHERE m.MuwKal = 'A'", {"A|1"}},
               });
}

TEST_F(TranslateDb, TablesNeedAnExistingSchema) {
  RunSteps(db, {
                   {"CREATE TABLE NOPE.T1 (a int)", {"error: 2760 The specified schema name \"NOPE\" either does"}},
                   {"CREATE TABLE T1 (a int)", {}},  // dbo always exists
                   {"INSERT INTO dbo.T1 (a) VALUES (5)", {}},
                   {"SELECT a FROM T1", {"5"}},
                   {"CREATE SCHEMA abc_1", {"error: 2714 There is already an object named 'abc_1' in"}},
                   {"CREATE SCHEMA dbo", {"error: 2714 There is already an object named 'dbo' in the"}},
                   {"CREATE SCHEMA NOPE AUTHORIZATION dbo", {}},
                   {"CREATE TABLE nope.T1 (a int)", {}},
                   {"DROP TABLE nope.T1", {}},
                   {"DROP TABLE IF EXISTS nope.T1", {}},
                   {"SELECT a FROM nope.T1", {"error: 208 Invalid object name 'nope.T1'."}},
                   {"DROP SCHEMA Nope", {}},
                   {"CREATE TABLE NOPE.T2 (a int)", {"error: 2760 The specified schema name \"NOPE\" either does"}},
               });
}

TEST_F(TranslateDb, TextWidthAndDatetimeFormAreEnforced) {
  RunSteps(db,
           {
               {"CREATE TABLE ABC_1.W (c char(3) NOT NULL, v varchar(5) NULL, d datetime NULL, n nvarchar(max))", {}},
               {"INSERT INTO ABC_1.W (c, v) VALUES ('abc', 'abcde')", {}},
               {"INSERT INTO ABC_1.W (c, v) VALUES ('abcd', 'x')",
                {"error: 8152 String or binary data would be truncated."}},
               {"INSERT INTO ABC_1.W (c, v) VALUES ('a', 'abcdef')",
                {"error: 8152 String or binary data would be truncated."}},
               {"UPDATE ABC_1.W SET v = 'abcdefg'", {"error: 8152 String or binary data would be truncated."}},
               // Trailing blanks neither count against the width nor matter in comparisons.
               {"INSERT INTO ABC_1.W (c, v) VALUES ('xy  ', 'q')", {}},
               {"SELECT v FROM ABC_1.W WHERE c = 'xy'", {"q"}},
               {"SELECT COUNT(*) FROM ABC_1.W WHERE c >= '   ' AND c <= 'zzz'", {"2"}},
               {"INSERT INTO ABC_1.W (c, d) VALUES ('a', CONVERT(Datetime, '2020-02-29 13:14:15', 120))", {}},
               // A text written into a datetime column is converted and stored in the datetime form.
               {"INSERT INTO ABC_1.W (c, d) VALUES ('b', '20200229')", {}},
               {"SELECT d FROM ABC_1.W WHERE d IS NOT NULL", {"2020-02-29 13:14:15.000", "2020-02-29 00:00:00.000"}},
               {"INSERT INTO ABC_1.W (c, n) VALUES ('n', 'a long text without a limit')", {}},
           });
  EXPECT_EQ(db.DeclaredTypes("ABC_1.W"), "CHAR(3),VARCHAR(5),DATETIME,NVARCHAR");
}

TEST_F(TranslateDb, IntegerKeysAreNotRowNumbers) {
  // SQLite would number an INTEGER PRIMARY KEY itself; SQL Server refuses the NULL.
  RunSteps(db,
           {
               {"CREATE TABLE ABC_1.K (k integer NOT NULL PRIMARY KEY, d decimal(10, 2))", {}},
               {"INSERT INTO ABC_1.K (k, d) VALUES (NULL, 1.5)",
                {"error: 515 Cannot insert the value NULL into column 'k',"}},
               {"INSERT INTO ABC_1.K (d) VALUES (1.5)", {"error: 515 Cannot insert the value NULL into column 'k',"}},
           });
  EXPECT_EQ(db.DeclaredTypes("ABC_1.K"), "INT,DECIMAL TEXT(10,2)");
}

TEST_F(TranslateDb, DefaultsFillOmittedColumns) {
  RunSteps(
      db,
      {
          {"CREATE TABLE ABC_1.D (k int NOT NULL PRIMARY KEY, s smallint DEFAULT ((1)), t varchar(3) DEFAULT 'x', m "
           "int DEFAULT -1, ts datetime DEFAULT CURRENT_TIMESTAMP, g datetime CONSTRAINT DF_g DEFAULT (getdate()))",
           {}},
          {"INSERT INTO ABC_1.D (k) VALUES (1)", {}},
          {"SELECT s, t, m, CONVERT(char(8), ts, 112), CONVERT(char(8), g, 112), LEN(ts) FROM ABC_1.D",
           {"1|x|-1|" + Today("%Y%m%d") + "|" + Today("%Y%m%d") + "|23"}},
      });
}

TEST_F(TranslateDb, IndexNamesAreKeptApartPerTable) {
  RunSteps(
      db,
      {
          {"CREATE TABLE ABC_1.I1 (a int, b varchar(3))", {}},
          {"CREATE TABLE QXSYSTEM.I1 (a int)", {}},
          {"CREATE UNIQUE NONCLUSTERED INDEX IX_a ON ABC_1.I1 (a ASC, b DESC)", {}},
          {"CREATE INDEX IX_a ON QXSYSTEM.I1 (a)", {}},
          {"INSERT INTO ABC_1.I1 (a, b) VALUES (1, 'x')", {}},
          {"INSERT INTO ABC_1.I1 (a, b) VALUES (1, 'x  ')", {"error: 2627 Violation of UNIQUE KEY constraint. Cannot"}},
          {"DROP INDEX IX_a ON ABC_1.I1", {}},
          {"INSERT INTO ABC_1.I1 (a, b) VALUES (1, 'x')", {}},
          {"DROP INDEX QXSYSTEM.I1.IX_a", {}},
          // A filtered unique index: only the rows it covers must be unique.
          {"CREATE UNIQUE INDEX IX_live ON ABC_1.I1 (b) WHERE a >= 10", {}},
          {"INSERT INTO ABC_1.I1 (a, b) VALUES (10, 'p')", {}},
          {"INSERT INTO ABC_1.I1 (a, b) VALUES (3, 'p')", {}},
          {"INSERT INTO ABC_1.I1 (a, b) VALUES (11, 'p')", {"error: 2627 Violation of UNIQUE KEY constraint. Cannot"}},
      });
}

TEST_F(TranslateDb, AlterTableAddsAndDropsColumns) {
  RunSteps(
      db,
      {
          {"CREATE TABLE ABC_1.A (k int NOT NULL PRIMARY KEY)", {}},
          {"INSERT INTO ABC_1.A (k) VALUES (1)", {}},
          {"ALTER TABLE ABC_1.A ADD n varchar(4) NULL, s smallint NOT NULL DEFAULT 0", {}},
          {"INSERT INTO ABC_1.A (k, n) VALUES (2, 'abcde')", {"error: 8152 String or binary data would be truncated."}},
          {"INSERT INTO ABC_1.A (k, n) VALUES (2, 'abcd')", {}},
          {"SELECT k, n, s FROM ABC_1.A ORDER BY k DESC", {"2|abcd|0", "1|NULL|0"}},
          {"ALTER TABLE ABC_1.A ADD d datetime NULL", {}},
          {"UPDATE ABC_1.A SET d = CONVERT(Datetime, '20240101', 112) WHERE k = 1", {}},
          {"UPDATE ABC_1.A SET d = '20240101' WHERE k = 2", {}},
          {"ALTER TABLE ABC_1.A DROP COLUMN n", {}},
          {"SELECT n FROM ABC_1.A", {"error: 207 Invalid column name 'n'."}},
          {"TRUNCATE TABLE ABC_1.A", {}},
          {"SELECT COUNT(*) FROM ABC_1.A", {"0"}},
          {"ALTER TABLE ABC_1.A ADD CONSTRAINT UQ UNIQUE (s)", {"error: 102 Incorrect syntax near 'CONSTRAINT'."}},
      });
}

TEST_F(TranslateDb, BatchesRunStatementByStatement) {
  RunSteps(db,
           {
               {"SET NOCOUNT ON; INSERT INTO QXSYSTEM.Qxs135Muw (MuwKal) VALUES ('A');\n"
                "INSERT INTO QXSYSTEM.Qxs135Muw (MuwKal) VALUES ('B')\n"
                "-- a comment line\n"
                "INSERT INTO QXSYSTEM.Qxs135Muw (MuwKal) /* inline */ VALUES ('C')\n"
                "SELECT COUNT(*) FROM QXSYSTEM.Qxs135Muw",
                {"3"}},
               {"SELECT TOP 2 MuwKal FROM QXSYSTEM.Qxs135Muw ORDER BY 1 DESC", {"C", "B"}},
               {"SELECT MuwKal AS k FROM QXSYSTEM.Qxs135Muw WHERE MuwKal IN ('A', 'C') UNION ALL SELECT 'Z' ORDER BY k",
                {"A", "C", "Z"}},
               {"SELECT MuwKal FROM QXSYSTEM.Qxs135Muw m WHERE NOT EXISTS (SELECT 1 FROM ABC_1.Qxs137Wch WHERE WchKal "
                "= m.MuwKal) AND MuwKal NOT IN (SELECT 'B') ORDER BY MuwKal",
                {"A", "C"}},
               {"SELECT CASE WHEN MuwKal = 'A' THEN 'first' ELSE 'other' END, MuwSta FROM QXSYSTEM.Qxs135Muw WHERE "
                "MuwKal BETWEEN 'A' AND 'B' ORDER BY MuwKal",
                {"first|1", "other|1"}},
               {"DELETE FROM QXSYSTEM.Qxs135Muw WHERE MuwKal = 'B'", {}},
               {"DELETE QXSYSTEM.Qxs135Muw WHERE QXSYSTEM.Qxs135Muw.MuwKal LIKE 'C%'", {}},
               {"SELECT MuwKal, COUNT(*) FROM QXSYSTEM.Qxs135Muw GROUP BY MuwKal HAVING COUNT(*) = 1", {"A|1"}},
               {"SELECT @@DATEFIRST; SET DATEFIRST 1; SELECT @@DATEFIRST", {"7", "1"}},
           });
}

TEST(Translate, ExpressionsFollowSqlServer) {
  Db db;
  struct Case {
    const char* tsql;
    const char* value;
  };
  const Case cases[] = {
      {"SELECT 7 % 3, -7 % 3, 7 % -3", "1|-1|1"},
      {"SELECT 7 / 2, -7 / 2", "3|-3"},
      {"SELECT 1 + 2 * 3 - 4", "3"},
      {"SELECT 'ab' + 'cd'", "abcd"},
      {"SELECT CONVERT(Datetime, '20200110', 112) - CONVERT(Datetime, '20200101', 112)", "1900-01-10 00:00:00.000"},
      {"SELECT CONVERT(Datetime, '20200101', 112) - CONVERT(Datetime, '20200110', 112)", "1899-12-23 00:00:00.000"},
      {"SELECT CONVERT(int, CONVERT(Datetime, '20200101', 112) - CONVERT(Datetime, '20200110', 112))", "-9"},
      {"SELECT CONVERT(Datetime, '20200228', 112) + 2", "2020-03-01 00:00:00.000"},
      {"SELECT CONVERT(int, CONVERT(Datetime, '1900-01-01 12:00:00', 120)), CONVERT(int, CONVERT(Datetime, '1900-01-01 "
       "11:59:59', 120))",
       "1|0"},
      {"SELECT CONVERT(varchar(10), CONVERT(Datetime, '2021-03-04 05:06:07', 120), 120)", "2021-03-04"},
      {"SELECT CONVERT(char(19), CONVERT(Datetime, '2021-03-04 05:06:07', 120), 120)", "2021-03-04 05:06:07"},
      {"SELECT '[' + CONVERT(char(5), 'ab') + ']'", "[ab   ]"},
      {"SELECT CAST('42' AS int) + 1", "43"},
      {"SELECT DATEADD(month, 1, CONVERT(Datetime, '20200131', 112))", "2020-02-29 00:00:00.000"},
      {"SELECT DATEPART(weekday, CONVERT(Datetime, '20240107', 112)), DATEPART(dw, '20240108')", "1|2"},
      {"SELECT YEAR('20240108'), MONTH('20240108'), DAY('20240108')", "2024|1|8"},
      {"SELECT DATEDIFF(day, '20240101', '20240301')", "60"},
      {"SELECT ISNULL(NULL, 3), COALESCE(NULL, NULL, 'x'), LEN('ab  ')", "3|x|2"},
      {"SELECT CHARINDEX('c', 'abcd'), LEFT('abcd', 2), RIGHT('abcd', 3), '[' + RIGHT('abcd', 0) + ']', "
       "SUBSTRING('abcd', 2, 2)",
       "3|ab|bcd|[]|bc"},
      {"SELECT 1 WHERE NOT 1 = 2 AND (1 = 1 OR 1 = 0) AND 2 !< 1 AND NULL IS NULL", "1"},
      {"SELECT LEN(GETDATE()), LEN(CURRENT_TIMESTAMP)", "23|23"},
      {"SELECT 1 WHERE 'abc' = 'ABC' COLLATE Latin1_General_CI_AS AND 'a' = 'a  ' COLLATE Latin1_General_BIN", "1"},
      // A parenthesised operand keeps its type: a computed decimal still compares as a number.
      {"SELECT 1 WHERE (1.5 * 2) < 5 AND (2.5 + 0.5) BETWEEN 2 AND 4", "1"},
      {"SELECT DATALENGTH((N'ab')), DATALENGTH(UPPER(N'ab')), DATALENGTH(N'a' + 'b')", "4|4|4"},
  };
  for (const Case& c : cases) EXPECT_EQ(db.Value(c.tsql), c.value) << c.tsql;
}

TEST(Translate, RunTimeErrorsUseSqlServerNumbers) {
  Db db;
  struct Case {
    const char* tsql;
    const char* error;
  };
  const Case cases[] = {
      {"SELECT 1 % 0", "error: 8134 Divide by zero error encountered."},
      {"SELECT 1 / 0", "error: 8134 Divide by zero error encountered."},
      {"SELECT CONVERT(Datetime, '20201301', 112)", "error: 242 The conversion of a varchar data type to a"},
      {"SELECT CONVERT(Datetime, 'no date', 112)", "error: 241 Conversion failed when converting date and/or"},
      {"SELECT CONVERT(int, 'x1')", "error: 245 Conversion failed when converting the varchar"},
  };
  for (const Case& c : cases) {
    const std::string got = db.Value(c.tsql);
    EXPECT_EQ(got.rfind(c.error, 0), 0u) << c.tsql << "\n got: " << got;
  }
}

}  // namespace
}  // namespace tsqlite
