
                                                                                
                                                                             
CREATE TABLE DEF_2.Qxs310Bsv (
  BsvPnr varchar(8) NOT NULL,
  BsvGvo datetime NOT NULL,
  BsvGbi datetime NULL,
  BsvKal varchar(3) NULL,
  BsvAkr varchar(5) NULL,
  BsvAbr varchar(5) NULL,
  BsvSta smallint NOT NULL DEFAULT 1,
  CONSTRAINT FK_Qxs310Bsv_Pnr FOREIGN KEY (BsvPnr) REFERENCES DEF_2.Qxs300Pnr (PnrNum)
)
