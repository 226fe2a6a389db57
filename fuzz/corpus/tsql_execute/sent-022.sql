
                                                                                      
CREATE TABLE ABC_1.Qxs329Ztg (
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
