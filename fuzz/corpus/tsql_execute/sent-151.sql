
                           
CREATE TABLE XYZ.Qxs135Mu2 (
  Mu2Kal varchar(3) NOT NULL,
  Mu2Bez varchar(50) NULL,
  Mu2Sta smallint NOT NULL DEFAULT 1
)
