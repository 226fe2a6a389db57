CREATE TABLE dbo.ti (x int, b bit, t tinyint, s smallint, g bigint)
INSERT INTO dbo.ti (x, b, t, s, g) VALUES (2147483647, 5, 255, -32768, 9223372036854775807)
INSERT INTO dbo.ti (x, b, t) SELECT x + 0, -1, 0 FROM dbo.ti
UPDATE dbo.ti SET b = CAST('false' AS bit), t = t - 255 WHERE t = 255
DECLARE @b bit = 'TRUE', @t tinyint = 200
SELECT CAST(-7 AS bit), @b, @@ROWCOUNT, ABS(CAST(-2147483647 AS int))
INSERT INTO dbo.ti SELECT 1, 7, 256, 0, 0
