
                                                                                             
                                      
CREATE TABLE ABC_9.Qxs311Zuo (
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
  CONSTRAINT FK_Qxs311Zuo_Pnr FOREIGN KEY (ZuoPnr) REFERENCES ABC_9.Qxs300Pnr (PnrNum)
)
