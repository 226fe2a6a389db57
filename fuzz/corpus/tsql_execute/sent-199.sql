CREATE TABLE ABC_1.Note (Id int NOT NULL, Txt varchar(20) NULL)
