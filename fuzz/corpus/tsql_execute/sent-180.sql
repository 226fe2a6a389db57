
                                                                                               
                                                
CREATE TABLE DEF_2.Qxs137Wch (
  WchKal varchar(3) NOT NULL,
  WchTag int NOT NULL,
  WchTtp varchar(3) NOT NULL,
  WchSta smallint NOT NULL DEFAULT 1,
  CONSTRAINT CK_Qxs137Wch_Tag CHECK (WchTag BETWEEN 1 AND 7)
)
