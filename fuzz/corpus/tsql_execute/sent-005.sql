
                                                                                            
CREATE TABLE QXSYSTEM.Qxs135Muw (
  MuwKal varchar(3) NOT NULL,
  MuwBez varchar(50) NULL,
  MuwSta smallint NOT NULL DEFAULT 1
)
