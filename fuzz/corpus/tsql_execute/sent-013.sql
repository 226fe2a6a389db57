
                                    
CREATE TABLE ABC_1.Qxs133Ka2 (
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
