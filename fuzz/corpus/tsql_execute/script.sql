DECLARE @i int = 0, @s varchar(20) = '', @d datetime = '20240101'
WHILE @i < 5 BEGIN
  SET @i += 1
  IF @i = 2 CONTINUE ELSE IF @i = 4 BREAK
  SELECT @s = @s + PnrNam FROM ABC_1.Qxs300Pnr WHERE PnrNum > CONVERT(varchar(4), @i)
  PRINT @s
END
SELECT @i, @s, DATEADD(day, @i, @d)
