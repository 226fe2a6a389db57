INSERT INTO ABC_1.Qxs161Wpl (WplAgr, WplTag, WplAzt, WplVra, WplSta) VALUES ('G1', 1, 'A1', 'V1', 1)
