INSERT INTO ABC_1.Qxs329Ztg (ZtgPnr, ZtgVon, ZtgTag, ZtgSta) VALUES ('P2', CONVERT(Datetime, '20261210', 112), 0, 1)
