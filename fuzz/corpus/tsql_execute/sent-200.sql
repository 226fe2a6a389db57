INSERT INTO ABC_1.Note (Id, Txt) VALUES (42, 'it''s')
