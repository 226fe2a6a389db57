
                                       
CREATE TABLE DEF_2.Qxs327Tag (
  TagPnr varchar(8) NOT NULL,
  TagTag datetime NOT NULL,
  TagVon datetime NULL,
  TagUhr datetime NULL,
  TagBis datetime NULL,
  TagEnd datetime NULL,
  TagDat datetime NULL,
  CONSTRAINT PK_Qxs327Tag PRIMARY KEY (TagPnr, TagTag),
  CONSTRAINT FK_Qxs327Tag_Pnr FOREIGN KEY (TagPnr) REFERENCES DEF_2.Qxs300Pnr (PnrNum)
)
