SELECT SUM(x), AVG(x) FROM (VALUES (1.5), (2.5), (3.25)) AS v(x)
SELECT DATEADD(day, 1, CAST('2024-02-28' AS date)), DATEADD(month, 1, '2024-02-28')
SELECT LEN(REPLICATE(CAST('ab' AS varchar(max)), 5000)), CAST(CAST('2024-01-01 10:00:00' AS datetime2(3)) AS varchar(40))
SELECT CAST(0.5 AS decimal(38,38)), DATEADD(hour, 1, CAST('2024-02-28' AS date))
