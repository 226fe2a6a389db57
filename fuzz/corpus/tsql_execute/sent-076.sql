INSERT INTO ABC_1.Qxs133Ka2 (Ka2Num, Ka2Dtm, Ka2Ttp, Ka2Ptp, Ka2Btp, Ka2Gwt, Ka2Sta) VALUES ('K1', CONVERT(Datetime, '20261210', 112), 'AT', 'AT', 'AT', 100, 1)
