
                                                                                           
CREATE TABLE DEF_2.Qxs332Urv (
  UrvPnr varchar(8) NOT NULL,
  UrvJhr int NOT NULL,
  UrvTge int NOT NULL DEFAULT 0,
  CONSTRAINT PK_Qxs332Urv PRIMARY KEY (UrvPnr, UrvJhr),
  CONSTRAINT FK_Qxs332Urv_Pnr FOREIGN KEY (UrvPnr) REFERENCES DEF_2.Qxs300Pnr (PnrNum)
)
