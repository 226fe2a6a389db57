
           
CREATE TABLE DEF_2.Qxs300Pnr (
  PnrNum varchar(8) NOT NULL,
  PnrNam varchar(50) NULL,
  PnrSta smallint NOT NULL DEFAULT 1,
  CONSTRAINT PK_Qxs300Pnr PRIMARY KEY (PnrNum)
)
