CREATE TABLE dbo.inj (a int CHECK (a > - -1), b varchar(200) DEFAULT 'x
1)))); VACUUM INTO char(47,116,109,112); --')