
                                                                                                 
                                                       
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
