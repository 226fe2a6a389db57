
                                    
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
