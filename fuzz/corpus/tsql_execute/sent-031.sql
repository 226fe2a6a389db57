INSERT INTO ABC_1.Qxs300Pnr (PnrNum, PnrNam, PnrSta) VALUES ('P1', 'Person P1', 1)
