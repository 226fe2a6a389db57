
                                                                                                 
            
CREATE TABLE XYZ.Qxs160Agr (
  AgrNum varchar(5) NOT NULL,
  AgrBez varchar(50) NULL,
  AgrTge int NOT NULL,
  AgrSta smallint NOT NULL DEFAULT 1,
  CONSTRAINT PK_Qxs160Agr PRIMARY KEY (AgrNum),
  CONSTRAINT CK_Qxs160Agr_Tge CHECK (AgrTge > 0)
)
