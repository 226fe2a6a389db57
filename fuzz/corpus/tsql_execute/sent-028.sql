INSERT INTO ABC_1.Qxs137Wch (WchKal, WchTag, WchTtp, WchSta) VALUES ('S1', 2, 'AT', 1)
