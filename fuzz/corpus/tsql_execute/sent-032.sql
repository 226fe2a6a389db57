INSERT INTO ABC_1.Qxs310Bsv (BsvPnr, BsvGvo, BsvGbi, BsvKal, BsvAkr, BsvAbr, BsvSta) VALUES ('P1', CONVERT(Datetime, '20260101', 112), NULL, 'K1', 'AK', 'AB', 1)
