
                                                                               
CREATE TABLE DEF_2.Qxs161Wpl (
  WplAgr varchar(5) NOT NULL,
  WplTag int NOT NULL,
  WplAzt varchar(5) NULL,
  WplVra varchar(5) NULL,
  WplSta smallint NOT NULL DEFAULT 1,
  CONSTRAINT PK_Qxs161Wpl PRIMARY KEY (WplAgr, WplTag)
)
