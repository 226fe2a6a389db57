INSERT INTO ABC_1.Qxs160Agr (AgrNum, AgrTge, AgrSta) VALUES ('G1', 7, 1)
