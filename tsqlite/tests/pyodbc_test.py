"""The embedded database as an ordinary ODBC client sees it: Python's pyodbc through the unixODBC
driver manager, with Unicode calls, '?' parameters of every Python type, and SQL Server's types.

Run: python3 pyodbc_test.py /path/to/libtsqlite.so
"""
import datetime
import decimal
import os
import sys
import tempfile
import unittest
import uuid

import pyodbc

LIB = sys.argv.pop(1) if len(sys.argv) > 1 else "build/libtsqlite.so"
EMOJI = "x \U0001F31C z"


class Client(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.cnxn = pyodbc.connect(
            f"DRIVER={LIB};Database={os.path.join(self.dir.name, 'c.db')};Create=Yes", autocommit=True)
        self.cur = self.cnxn.cursor()

    def tearDown(self):
        self.cnxn.close()
        self.dir.cleanup()

    def one(self, sql, *params):
        return self.cur.execute(sql, *params).fetchone()[0]

    def test_every_python_type_goes_through_a_marker_unchanged(self):
        cases = [
            ("text that looks like SQL", "x'); DROP TABLE t; --"),
            ("emoji", EMOJI),
            ("long text, sent in pieces", "ä" * 5000),
            ("int", -7),
            ("bigint", 9007199254740993),
            ("float", 1.5),
            ("bool", True),
            ("bytes", b"\x00\x01\xff"),
            ("None", None),
        ]
        for name, value in cases:
            with self.subTest(name):
                self.assertEqual(value, self.one("SELECT ?", value))

    def test_values_meet_columns_as_literals_do(self):
        self.cur.execute("CREATE TABLE t (id int, s varchar(20), n nvarchar(10), d datetime)")
        self.cur.execute("INSERT INTO t (id, s, n, d) VALUES (?, ?, ?, ?)",
                         1, "a", "ä" * 10, datetime.datetime(2024, 6, 15, 10, 0, 0))
        self.assertEqual(1, self.one("SELECT id FROM t WHERE d = ?", "20240615 10:00"))
        self.assertEqual(1, self.one("SELECT id FROM t WHERE d = ?", datetime.datetime(2024, 6, 15, 10)))
        self.assertEqual("ä" * 10, self.one("SELECT n FROM t WHERE id = ?", 1))
        with self.assertRaises(pyodbc.DataError):  # 11 characters do not fit nvarchar(10)
            self.cur.execute("INSERT INTO t (n) VALUES (?)", "ä" * 11)
        self.assertEqual(decimal.Decimal("1.25"), decimal.Decimal(str(self.one("SELECT ?", decimal.Decimal("1.25")))))

    def test_types_read_back_as_sql_server_types(self):
        self.cur.execute("CREATE TABLE t (b bit, d decimal(10,2), m money, dt datetime, v varbinary(10))")
        when = datetime.datetime(2024, 6, 15, 10, 0, 0, 123000)  # milliseconds survive
        self.cur.execute("INSERT INTO t (b, d, m, dt, v) VALUES (?, 0.1, ?, ?, ?)",
                         True, decimal.Decimal("1.5"), when, b"\x00\xff")
        self.cur.execute("UPDATE t SET d = d + 0.2")
        row = self.cur.execute("SELECT b, d, m, dt, v FROM t").fetchone()
        self.assertEqual((True, decimal.Decimal("0.30"), decimal.Decimal("1.5000"), when, b"\x00\xff"), tuple(row))
        self.assertEqual([bool, decimal.Decimal, decimal.Decimal, datetime.datetime, bytearray],
                         [d[1] for d in self.cur.description])
        self.assertEqual((10, 2), self.cur.description[1][4:6])
        types = {r.type_name: r.data_type for r in self.cur.getTypeInfo()}
        self.assertEqual(pyodbc.SQL_WVARCHAR, types["nvarchar"])
        self.assertEqual(23, self.cur.getTypeInfo(pyodbc.SQL_TYPE_TIMESTAMP).fetchone().column_size)

    def test_cast_and_convert_give_the_type_they_name(self):
        cases = [
            ("CAST('2024-01-02' AS datetime)", datetime.datetime(2024, 1, 2)),
            ("CONVERT(decimal(10,2), 1.5)", decimal.Decimal("1.50")),
            ("CAST(1 AS bit)", True),
            ("CONVERT(varchar(10), 5)", "5"),
            ("CAST(N'\u00e4' AS nvarchar(5))", "\u00e4"),
            ("0x0102", b"\x01\x02"),
            ("0x", b""),
        ]
        for sql, expected in cases:
            with self.subTest(sql):
                value = self.one(f"SELECT {sql}")
                self.assertEqual(expected, value)
                self.assertIs(type(expected), type(value))

    def test_decimals_keep_every_digit_and_their_scale(self):
        self.cur.execute("CREATE TABLE t (id int, d decimal(38,10), m money)")
        values = ["99999999999999999999999999.9999999999", "-0.0000000001", "0E-10"]
        for k, v in enumerate(values):
            self.cur.execute("INSERT INTO t (id, d, m) VALUES (?, ?, ?)", k, decimal.Decimal(v), "12.3456")
        self.assertEqual([decimal.Decimal(v) for v in values],
                         [r[0] for r in self.cur.execute("SELECT d FROM t ORDER BY id")])
        self.assertEqual([1, 2, 0], [r[0] for r in self.cur.execute("SELECT id FROM t ORDER BY d")])
        self.assertEqual(0, self.one("SELECT id FROM t WHERE d = ?", decimal.Decimal(values[0])))
        self.assertEqual([("decimal", 3, 38), ("money", 3, 19)],
                         [(c.type_name, c.data_type, c.column_size) for c in self.cur.columns(table="t")][1:])
        cases = [  # expression, value, (precision, scale) described
            ("7.0 / 2", decimal.Decimal("3.500000"), (7, 6)),
            ("CAST(0.1 AS decimal(10,2)) + CAST(0.2 AS decimal(10,2))", decimal.Decimal("0.30"), (11, 2)),
            ("SUM(m) FROM t", decimal.Decimal("37.0368"), (38, 4)),
            ("AVG(d) / 2 FROM t", decimal.Decimal("16666666666666666666666666.6666666666"), (38, 10)),
        ]
        for sql, value, described in cases:
            with self.subTest(sql):
                self.assertEqual(value, self.one(f"SELECT {sql}"))
                self.assertEqual(described, self.cur.description[0][4:6])

    def test_identity_and_uniqueidentifier(self):
        self.cur.execute("CREATE TABLE t (id int IDENTITY(1,1) NOT NULL PRIMARY KEY, "
                         "g uniqueidentifier DEFAULT NEWID(), s varchar(10))")
        self.cur.execute("CREATE TABLE u (id bigint IDENTITY(100,1), s varchar(10))")
        for s in ("a", "b"):
            self.cur.execute("INSERT INTO t (s) VALUES (?)", s)
        # SCOPE_IDENTITY() belongs to the batch that inserted, @@IDENTITY to the connection.
        self.assertEqual((None, 2), tuple(self.cur.execute("SELECT SCOPE_IDENTITY(), @@IDENTITY").fetchone()))
        self.cur.execute("INSERT INTO u (s) VALUES (?) SELECT SCOPE_IDENTITY()", "x")
        self.cur.nextset()
        self.assertEqual((decimal.Decimal(100), 38, 0), (self.cur.fetchone()[0],) + self.cur.description[0][4:6])
        ids = [tuple(r) for r in self.cur.execute("SELECT id, LEN(g) FROM t ORDER BY id")]
        self.assertEqual([(1, 36), (2, 36)], ids)
        self.assertEqual(pyodbc.SQL_GUID, self.cur.columns(table="t", column="g").fetchone().data_type)

    def test_select_into_temporary_and_permanent_tables(self):
        self.cur.execute("CREATE TABLE t (id int, s varchar(10))")
        self.cur.execute("INSERT INTO t VALUES (1, 'a'), (2, 'b')")
        self.cur.execute("SELECT id, s INTO #x FROM t WHERE id > ?", 1)
        self.cur.execute("SELECT id * 10 AS n INTO dbo.copy FROM t")
        self.assertEqual([(2, "b")], [tuple(r) for r in self.cur.execute("SELECT id, s FROM #x")])
        self.assertEqual([10, 20], [r.n for r in self.cur.execute("SELECT n FROM copy ORDER BY n")])
        # A #table belongs to its connection.
        other = pyodbc.connect(f"DRIVER={LIB};Database={os.path.join(self.dir.name, 'c.db')}", autocommit=True)
        with self.assertRaisesRegex(pyodbc.ProgrammingError, "208"):
            other.cursor().execute("SELECT id FROM #x")
        other.close()

    def test_print_is_an_informational_message(self):
        self.cur.execute("PRINT 'Fehlzeit ' + 'geprüft' SELECT 1 AS a PRINT 42 PRINT 1.5 * 2")
        self.assertEqual([("[01000] (0)", "[tsqlite]Fehlzeit geprüft"), ("[01000] (0)", "[tsqlite]42"),
                          ("[01000] (0)", "[tsqlite]3.0")], self.cur.messages)
        self.assertEqual(1, self.cur.fetchone()[0])

    def test_script_with_variables_loops_and_result_sets(self):
        self.cur.execute("CREATE TABLE t (id int, s nvarchar(10))")
        self.cur.execute("DECLARE @i int = ?, @s nvarchar(10) = ? "
                         "WHILE @i > 0 BEGIN INSERT INTO t VALUES (@i, @s) SET @i = @i - 1 END "
                         "SELECT COUNT(*) FROM t SELECT @s, @i", "3", EMOJI)
        sets = []
        while True:
            if self.cur.description:
                sets.append([tuple(r) for r in self.cur.fetchall()])
            if not self.cur.nextset():
                break
        self.assertEqual([[(3,)], [(EMOJI, 0)]], sets)
        self.assertEqual([EMOJI] * 3, [r.s for r in self.cur.execute("SELECT s FROM t")])
        # A variable reads as its declared type, as a column of that type would.
        self.assertEqual(datetime.datetime(2024, 1, 2), self.one("DECLARE @d datetime = '20240102' SELECT @d"))

    def test_date_columns_hold_dates(self):
        self.cur.execute("CREATE TABLE t (d date, n int)")
        for n, value in enumerate(["20240615", datetime.date(2024, 6, 16), "2024-06-17"], 1):
            self.cur.execute("INSERT INTO t (d, n) VALUES (?, ?)", value, n)
        self.assertEqual([datetime.date(2024, 6, d) for d in (15, 16, 17)],
                         [r.d for r in self.cur.execute("SELECT d FROM t ORDER BY n")])
        self.assertEqual([2, 3], [r.n for r in self.cur.execute("SELECT n FROM t WHERE d >= '20240616'")])
        self.assertEqual(datetime.date(2024, 1, 2), self.one("SELECT CAST('2024-01-02 10:00' AS date)"))
        self.assertEqual(pyodbc.SQL_TYPE_DATE, self.cur.columns(table="t", column="d").fetchone().data_type)
        with self.assertRaisesRegex(pyodbc.DataError, "241"):
            self.cur.execute("INSERT INTO t (d) VALUES ('no date')")

    def test_time_datetime2_and_smalldatetime_keep_their_precision(self):
        self.cur.execute("CREATE TABLE t (n int, d2 datetime2, d0 datetime2(0), sd smalldatetime, tm time(3))")
        self.cur.execute("INSERT INTO t VALUES (?, ?, ?, ?, ?)", 1, "2024-06-15 10:30:00.1234567",
                         datetime.datetime(2024, 6, 15, 10, 30, 0, 600000), "2024-06-15 10:30:40",
                         datetime.time(8, 15, 30))
        row = self.cur.execute("SELECT d2, d0, sd, tm, CAST('12:34:56.789' AS time) AS c FROM t").fetchone()
        self.assertEqual((datetime.datetime(2024, 6, 15, 10, 30, 0, 123456), datetime.datetime(2024, 6, 15, 10, 30, 1),
                          datetime.datetime(2024, 6, 15, 10, 31), datetime.time(8, 15, 30),
                          datetime.time(12, 34, 56, 789000)), tuple(row))
        self.assertEqual([(27, 7), (19, 0), (16, 0), (12, 3), (16, 7)],
                         [d[4:6] for d in self.cur.description])
        self.assertEqual([93, 93, 93, -154], [c.data_type for c in self.cur.columns(table="t")][1:])
        self.assertEqual(1, self.one("SELECT n FROM t WHERE tm = ?", datetime.time(8, 15, 30)))

    def test_many_rows_of_parameters(self):
        self.cur.execute("CREATE TABLE t (id int, s nvarchar(20))")
        rows = [(i, f"{EMOJI} {i}") for i in range(50)]
        for fast in (False, True):
            with self.subTest(fast_executemany=fast):
                self.cur.execute("DELETE FROM t")
                self.cur.fast_executemany = fast
                self.cur.executemany("INSERT INTO t (id, s) VALUES (?, ?)", rows)
                self.assertEqual(rows, [tuple(r) for r in self.cur.execute("SELECT id, s FROM t ORDER BY id")])

    def test_arrays_of_parameters_into_max_columns_come_at_execution(self):
        # pyodbc's fast executemany sends values of a (max) column at execution, row by row of
        # the array, and tells them apart by the token SQLParamData hands back (pyodbc's own
        # test_fast_executemany_high_unicode and test_executemany_dae_0).
        self.cur.execute("CREATE TABLE t (id int, a nvarchar(max), b varchar(max))")
        self.cur.execute("SELECT a, b FROM t")
        self.assertEqual([0, 0], [d[3] for d in self.cur.description])  # (max): size 0
        self.cur.fast_executemany = True
        for rows in ([(1, "\U0001F3A5", "x")], [(1, "", "")], [(i, EMOJI * i, "y" * 9000) for i in range(3)]):
            with self.subTest(rows=len(rows)):
                self.cur.execute("DELETE FROM t")
                self.cur.executemany("INSERT INTO t (id, a, b) VALUES (?, ?, ?)", rows)
                self.assertEqual(rows, [tuple(r) for r in self.cur.execute("SELECT id, a, b FROM t ORDER BY id")])

    def test_unicode_in_names_texts_and_messages(self):
        self.cur.execute("CREATE TABLE Tipología (n nvarchar(10), v varchar(20))")
        self.cur.execute(f"INSERT INTO Tipología (n, v) VALUES (N'{EMOJI}', 'äöü')")
        r = self.cur.execute("SELECT n AS Tipología, v FROM Tipología")
        self.assertEqual(["Tipología", "v"], [d[0] for d in r.description])
        self.assertEqual((EMOJI, "äöü"), tuple(r.fetchone()))
        with self.assertRaisesRegex(pyodbc.ProgrammingError, "Invalid column name 'Año'"):
            self.cur.execute("SELECT Año FROM Tipología")
        self.assertEqual(["Tipología"], [t.table_name for t in self.cur.tables()])
        self.assertEqual([("n", pyodbc.SQL_WVARCHAR), ("v", pyodbc.SQL_VARCHAR)],
                         [(c.column_name, c.data_type) for c in self.cur.columns(table="Tipología")])
        described = self.cur.execute("SELECT n FROM Tipología").description[0]
        self.assertEqual((str, 10), (described[1], described[3]))

    def test_keys_and_indexes_in_the_catalog(self):
        self.cur.execute("CREATE TABLE t (a int NOT NULL, b varchar(5) NOT NULL, c int, "
                         "CONSTRAINT PK_t PRIMARY KEY (a, b))")
        self.cur.execute("CREATE INDEX ix_c ON t (c)")
        self.assertEqual([("a", 1), ("b", 2)], [(r.column_name, r.key_seq) for r in self.cur.primaryKeys("t")])
        self.assertEqual([("PK_t", 0, "a"), ("PK_t", 0, "b"), ("ix_c", 1, "c")],
                         [(r.index_name, r.non_unique, r.column_name) for r in self.cur.statistics("t")])
        self.assertEqual({"PK_t"}, {r.index_name for r in self.cur.statistics("t", unique=True)})
        # A table's name matches in any case, as on SQL Server.
        self.assertEqual(["a", "b"], [r.column_name for r in self.cur.primaryKeys("T", schema="DBO")])
        self.assertEqual({"PK_t"}, {r.index_name for r in self.cur.statistics("T", unique=True)})

    def test_nullability_of_table_columns(self):
        self.cur.execute("CREATE TABLE t (k int NOT NULL PRIMARY KEY, a int NOT NULL, b int)")
        d = self.cur.execute("SELECT k, a, b, b + 1 AS e FROM t").description
        self.assertEqual([False, False, True, None], [c[6] for c in d])


if __name__ == "__main__":
    unittest.main()
