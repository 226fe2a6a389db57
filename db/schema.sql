-- The time-recording database: the shared system schema QXSYSTEM and one client schema.
--
-- Install on SQL Server:      sqlcmd -S SERVER -d DATABASE -v CLIENT=ABC_1 -i db/schema.sql
-- Install on the embedded db: planex-db --db FILE init --schema ABC_1
--
-- The client schema is written as the scripting variable $(CLIENT). Every statement stands in a
-- batch of its own, so that a failing one is reported on its own and CREATE SCHEMA opens its
-- batch as SQL Server requires. planex-db skips the system part when QXSYSTEM already holds
-- the base calendar (a second client on the same database); sqlcmd reports its objects as
-- existing (2714) and goes on with the client part.
--
-- Keys: every table that grows with persons times days has its natural key as primary key, and
-- every WHERE clause of planex starts with that key's leading column, so no run scans such a
-- table. Status columns default to 1 (live); rows with status 4 or more count as deleted.
-- Widths follow the records planex reads and writes: calendar numbers and day types 3 characters,
-- person numbers 8, names 50.

-- System schema QXSYSTEM
CREATE SCHEMA QXSYSTEM
GO

-- Base calendar: one row per date. It is only ever extended from its latest row, so it needs one
-- row before the first run (planex-db init writes it).
CREATE TABLE QXSYSTEM.Qxs133Bak (
  BakDtm datetime NOT NULL,
  BakJhr int NOT NULL,
  BakMon int NOT NULL,
  BakTag int NOT NULL,
  BakWch int NOT NULL,
  BakWtg int NOT NULL,
  BakJtg int NOT NULL,
  BakYow int NOT NULL,
  BakDat datetime NULL,
  CONSTRAINT PK_Qxs133Bak PRIMARY KEY (BakDtm)
)
GO

-- System calendar numbers. A number may hold a deleted row and a live one, so it is no key.
CREATE TABLE QXSYSTEM.Qxs135Muw (
  MuwKal varchar(3) NOT NULL,
  MuwBez varchar(50) NULL,
  MuwSta smallint NOT NULL DEFAULT 1
)
GO
CREATE INDEX IX_Qxs135Muw_Kal ON QXSYSTEM.Qxs135Muw (MuwKal)
GO

-- Day rows of the system calendars.
CREATE TABLE QXSYSTEM.Qxs133Kal (
  KalNum varchar(3) NOT NULL,
  KalDtm datetime NOT NULL,
  KalTtp varchar(3) NULL,
  KalPtp varchar(3) NULL,
  KalBtp varchar(3) NULL,
  KalGwt int NULL,
  KalDat datetime NULL,
  KalSta smallint NOT NULL DEFAULT 1,
  CONSTRAINT PK_Qxs133Kal PRIMARY KEY (KalNum, KalDtm)
)
GO

-- Client schema $(CLIENT)
CREATE SCHEMA $(CLIENT)
GO

-- Client calendar numbers.
CREATE TABLE $(CLIENT).Qxs135Mu2 (
  Mu2Kal varchar(3) NOT NULL,
  Mu2Bez varchar(50) NULL,
  Mu2Sta smallint NOT NULL DEFAULT 1
)
GO
CREATE INDEX IX_Qxs135Mu2_Kal ON $(CLIENT).Qxs135Mu2 (Mu2Kal)
GO

-- Week models of system and client calendars: the day type per weekday number, numbered as the
-- server's DATEPART(weekday, ...) numbers them.
CREATE TABLE $(CLIENT).Qxs137Wch (
  WchKal varchar(3) NOT NULL,
  WchTag int NOT NULL,
  WchTtp varchar(3) NOT NULL,
  WchSta smallint NOT NULL DEFAULT 1,
  CONSTRAINT CK_Qxs137Wch_Tag CHECK (WchTag BETWEEN 1 AND 7)
)
GO
CREATE INDEX IX_Qxs137Wch_KalTag ON $(CLIENT).Qxs137Wch (WchKal, WchTag)
GO

-- Day rows of the client calendars.
CREATE TABLE $(CLIENT).Qxs133Ka2 (
  Ka2Num varchar(3) NOT NULL,
  Ka2Dtm datetime NOT NULL,
  Ka2Ttp varchar(3) NULL,
  Ka2Ptp varchar(3) NULL,
  Ka2Btp varchar(3) NULL,
  Ka2Gwt int NULL,
  Ka2Dat datetime NULL,
  Ka2Sta smallint NOT NULL DEFAULT 1,
  CONSTRAINT PK_Qxs133Ka2 PRIMARY KEY (Ka2Num, Ka2Dtm)
)
GO

-- Persons.
CREATE TABLE $(CLIENT).Qxs300Pnr (
  PnrNum varchar(8) NOT NULL,
  PnrNam varchar(50) NULL,
  PnrSta smallint NOT NULL DEFAULT 1,
  CONSTRAINT PK_Qxs300Pnr PRIMARY KEY (PnrNum)
)
GO

-- Person assignment rows: working-time calendar and the values handed on to the
-- schedule-assignment records, valid from BsvGvo to BsvGbi (open when NULL).
CREATE TABLE $(CLIENT).Qxs310Bsv (
  BsvPnr varchar(8) NOT NULL,
  BsvGvo datetime NOT NULL,
  BsvGbi datetime NULL,
  BsvKal varchar(3) NULL,
  BsvAkr varchar(5) NULL,
  BsvAbr varchar(5) NULL,
  BsvSta smallint NOT NULL DEFAULT 1,
  CONSTRAINT FK_Qxs310Bsv_Pnr FOREIGN KEY (BsvPnr) REFERENCES $(CLIENT).Qxs300Pnr (PnrNum)
)
GO
CREATE INDEX IX_Qxs310Bsv_PnrGvo ON $(CLIENT).Qxs310Bsv (BsvPnr, BsvGvo)
GO

-- Groups with their cycle length in days; the cycle day is computed modulo AgrTge, so it must be
-- positive.
CREATE TABLE $(CLIENT).Qxs160Agr (
  AgrNum varchar(5) NOT NULL,
  AgrBez varchar(50) NULL,
  AgrTge int NOT NULL,
  AgrSta smallint NOT NULL DEFAULT 1,
  CONSTRAINT PK_Qxs160Agr PRIMARY KEY (AgrNum),
  CONSTRAINT CK_Qxs160Agr_Tge CHECK (AgrTge > 0)
)
GO

-- Plan rows of a group, one per cycle day: working time and time-account rule.
CREATE TABLE $(CLIENT).Qxs161Wpl (
  WplAgr varchar(5) NOT NULL,
  WplTag int NOT NULL,
  WplAzt varchar(5) NULL,
  WplVra varchar(5) NULL,
  WplSta smallint NOT NULL DEFAULT 1,
  CONSTRAINT PK_Qxs161Wpl PRIMARY KEY (WplAgr, WplTag)
)
GO

-- Group assignments of persons, valid from ZuoGvo to ZuoGbi (open when NULL); the cycle runs
-- through cycle day ZUOSTG on ZUOSDT.
CREATE TABLE $(CLIENT).Qxs311Zuo (
  ZuoPnr varchar(8) NOT NULL,
  ZuoAgr varchar(5) NOT NULL,
  ZuoAbt varchar(15) NULL,
  ZuoKst varchar(30) NULL,
  ZuoKrt varchar(4) NULL,
  ZuoKtr varchar(6) NULL,
  ZuoVra varchar(5) NULL,
  ZuoGvo datetime NOT NULL,
  ZuoGbi datetime NULL,
  ZUOSDT datetime NOT NULL,
  ZUOSTG int NOT NULL DEFAULT 1,
  ZuoSta smallint NOT NULL DEFAULT 1,
  CONSTRAINT FK_Qxs311Zuo_Pnr FOREIGN KEY (ZuoPnr) REFERENCES $(CLIENT).Qxs300Pnr (PnrNum)
)
GO
CREATE INDEX IX_Qxs311Zuo_PnrGvo ON $(CLIENT).Qxs311Zuo (ZuoPnr, ZuoGvo)
GO

-- Day records: one per person and day.
CREATE TABLE $(CLIENT).Qxs327Tag (
  TagPnr varchar(8) NOT NULL,
  TagTag datetime NOT NULL,
  TagVon datetime NULL,
  TagUhr datetime NULL,
  TagBis datetime NULL,
  TagEnd datetime NULL,
  TagDat datetime NULL,
  CONSTRAINT PK_Qxs327Tag PRIMARY KEY (TagPnr, TagTag),
  CONSTRAINT FK_Qxs327Tag_Pnr FOREIGN KEY (TagPnr) REFERENCES $(CLIENT).Qxs300Pnr (PnrNum)
)
GO

-- Schedule-assignment records: group, cycle day and plan values of a person on a day.
CREATE TABLE $(CLIENT).Qxs329Ztg (
  ZtgPnr varchar(8) NOT NULL,
  ZtgVon datetime NOT NULL,
  ZtgAkr varchar(5) NULL,
  ZtgAbt varchar(15) NULL,
  ZtgKst varchar(30) NULL,
  ZtgKtr varchar(6) NULL,
  ZtgKrt varchar(4) NULL,
  ZtgAgr varchar(5) NULL,
  ZtgTag int NULL,
  ZtgBsd varchar(5) NULL,
  ZtgVra varchar(5) NULL,
  ZtgAzt varchar(5) NULL,
  ZtgTtp varchar(3) NULL,
  ZtgDat datetime NULL,
  ZtgSta smallint NOT NULL DEFAULT 1,
  ZtgPnm varchar(50) NULL,
  CONSTRAINT PK_Qxs329Ztg PRIMARY KEY (ZtgPnr, ZtgVon)
)
GO

-- Leave carry-over years; planex writes person and year, the days carried over start at 0.
CREATE TABLE $(CLIENT).Qxs332Urv (
  UrvPnr varchar(8) NOT NULL,
  UrvJhr int NOT NULL,
  UrvTge int NOT NULL DEFAULT 0,
  CONSTRAINT PK_Qxs332Urv PRIMARY KEY (UrvPnr, UrvJhr),
  CONSTRAINT FK_Qxs332Urv_Pnr FOREIGN KEY (UrvPnr) REFERENCES $(CLIENT).Qxs300Pnr (PnrNum)
)
GO
