// The translation on its own: literals taken out of a statement's text (Parameterize), the
// SQLite statements a shape becomes (Translate), and damaged text refused cleanly.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unicode/ucol.h>

#include <cstdint>
#include <string>
#include <vector>

#include "translate_api.h"

namespace tsqlite {
namespace {

TEST(Parameterize, TakesLiteralsOutAndFoldsLayout) {
  struct Case {
    const char* tsql;
    const char* key;
    std::vector<std::string> literals;  // "i:5", "t:abc", "r:1.5"
  };
  const Case cases[] = {
      {"SELECT  a\n\tFROM t  WHERE b = 'x''y' AND c = 42 ", "SELECT a FROM t WHERE b = ? AND c = ?", {"t:x'y", "i:42"}},
      {"SELECT a -- note\nFROM /* a /* nested */ comment */ t", "SELECT a FROM t", {}},
      {"SELECT N'abc', 1.5, 0x1F", "SELECT N?, ?, 0x1F", {"t:abc", "r:1.5"}},
      {"SELECT CONVERT(char(8), d, 112) FROM Qxs133Bak WHERE d = CONVERT(Datetime, '20200101',112)",
       "SELECT CONVERT(char(8), d, 112) FROM Qxs133Bak WHERE d = CONVERT(Datetime, ?,112)",
       {"t:20200101"}},
      {"SELECT x FROM t ORDER BY 2, 1", "SELECT x FROM t ORDER BY 2, 1", {}},
      {"INSERT INTO t (a) VALUES (-3)", "INSERT INTO t (a) VALUES (-?)", {"i:3"}},
      {"CREATE TABLE t (a varchar(3) DEFAULT 'x', b int DEFAULT 0)",
       "CREATE TABLE t (a varchar(3) DEFAULT 'x', b int DEFAULT 0)",
       {}},
      {"CREATE TABLE t (a int) INSERT INTO t VALUES (1)", "CREATE TABLE t (a int) INSERT INTO t VALUES (?)", {"i:1"}},
      {"SELECT 'it''s' WHERE 1 = ?", "SELECT ? WHERE ? = ?", {"t:it's", "i:1", "null"}},
      {"SELECT '', '''', 'a''', N'''b''c'''", "SELECT ?, ?, ?, N?", {"t:", "t:'", "t:a'", "t:'b'c'"}},
      {"CREATE TABLE t (a int DEFAULT ?)", "CREATE TABLE t (a int DEFAULT \x01)", {}},
      {"SELECT 99999999999999999999", "SELECT ?", {"r:1e+20"}},
  };
  for (const Case& c : cases) {
    Shape shape;
    Parameterize(c.tsql, shape);
    EXPECT_EQ(shape.key, c.key) << c.tsql;
    std::vector<std::string> got;
    for (const Literal& l : shape.literals) {
      switch (l.kind) {
        case Literal::Kind::Integer:
          got.push_back("i:" + std::to_string(l.integer));
          break;
        case Literal::Kind::Real: {
          char buf[32];
          std::snprintf(buf, sizeof buf, "r:%g", l.real);
          got.push_back(buf);
          break;
        }
        case Literal::Kind::Text:
          got.push_back("t:" + l.text);
          break;
        case Literal::Kind::Null:
          got.push_back("null");
          break;
        case Literal::Kind::Blob:
          got.push_back("b:" + l.text);
          break;
      }
    }
    EXPECT_EQ(got, c.literals) << c.tsql;
  }
}

TEST(Parameterize, StatementsDifferingOnlyInValuesShareAShape) {
  Shape a, b;
  Parameterize("SELECT x FROM ABC_1.T WHERE p = '00000001' AND d = CONVERT(Datetime, '20200101', 112)", a);
  Parameterize("SELECT x FROM ABC_1.T WHERE p = '12345678' AND d = CONVERT(Datetime, '20211231', 112)", b);
  EXPECT_EQ(a.key, b.key);
  Parameterize("SELECT x FROM ABC_1.T WHERE p = '00000001' AND d = CONVERT(Datetime, '2020-01-01 00:00:00', 120)", b);
  EXPECT_NE(a.key, b.key);  // another style is another translation
}

TEST(Translate, StatementKindsAndParameters) {
  Shape shape;
  Translation tr;
  Parameterize("SET DATEFIRST 1; UPDATE t SET a = 'x' WHERE b = 2; SET NOCOUNT ON; SELECT a FROM t; DELETE FROM t",
               shape);
  ASSERT_TRUE(Translate(shape, tr)) << tr.message;
  ASSERT_EQ(tr.statements.size(), 5u);
  EXPECT_EQ(tr.statements[0].kind, Statement::Kind::SetDateFirst);
  EXPECT_EQ(tr.statements[0].date_first_param, 0);
  EXPECT_EQ(tr.statements[1].kind, Statement::Kind::Write);
  EXPECT_TRUE(tr.statements[1].is_update_or_delete);
  EXPECT_EQ(tr.statements[1].params, (std::vector<int>{1, 2}));
  EXPECT_EQ(tr.statements[2].kind, Statement::Kind::SetNoCount);
  EXPECT_TRUE(tr.statements[2].on);
  EXPECT_EQ(tr.statements[3].kind, Statement::Kind::Query);
  EXPECT_TRUE(tr.statements[3].params.empty());
  EXPECT_TRUE(tr.statements[4].is_update_or_delete);
}

TEST(Translate, UntranslatableTextIsASyntaxError) {
  struct Case {
    const char* tsql;
    const char* message;
  };
  const Case cases[] = {
      {"SELEC a FROM t", "Incorrect syntax near 'SELEC'."},
      {"SELECT a FROM t WHERE", "Incorrect syntax near 'WHERE'."},
      {"SELECT a FROM t WHERE b = 'open", "Incorrect syntax near ''open'."},
      {"CREATE TABLE t (a int DEFAULT ?)", "Incorrect syntax near '?'."},
      {"INSERT INTO t (a) VALUES ('abc' 'def')", "Incorrect syntax near 'def'."},
      {"SELECT CONVERT(geography, x) FROM t", "Incorrect syntax near 'geography'."},
      {"SELECT a FROM t WHERE b = 1.5 2", "Incorrect syntax near '2'."},
      {"SELECT a FROM t WHERE b = 1 2.5", "Incorrect syntax near '2.5'."},
      // The target named again in FROM is a self-join in SQLite, not the same rows: refused.
      {"UPDATE dbo.t SET a = 1 FROM dbo.t JOIN (VALUES (1)) AS v (k) ON t.a = v.k", "Incorrect syntax near 't'."},
      {"UPDATE t SET a = 1 FROM u AS T WHERE T.b = 1", "Incorrect syntax near 'T'."},
  };
  for (const Case& c : cases) {
    Shape shape;
    Translation tr;
    Parameterize(c.tsql, shape);
    EXPECT_FALSE(Translate(shape, tr)) << c.tsql;
    EXPECT_EQ(tr.native_error, 102) << c.tsql;
    EXPECT_EQ(tr.sqlstate, "42000") << c.tsql;
    EXPECT_EQ(tr.message, c.message) << c.tsql;
    EXPECT_TRUE(tr.statements.empty());
  }
}

// Two compared columns have their collations read only where some column has one of its own: in a
// file without, the comparison is written as without a catalog and nothing is kept to be checked
// at each execution (planex's joins run thousands of times).
TEST(Translate, ComparedColumnsReadCollationsOnlyWhereOneIsOwn) {
  struct Files : Catalog {
    bool own = false;
    std::string a_collation;  // dbo.a.s's; dbo.b.s has Latin1_General_CI_AS
    std::vector<CatalogColumn> Columns(const std::string& table, bool collations) const override {
      const std::string c = !collations ? "" : table == "dbo.a" ? a_collation : "tsqlite_ci_as";
      return {{"s", "VARCHAR(5)", c}, {"id", "INT", ""}};
    }
    bool OwnCollations() const override { return own; }
  };
  struct Case {
    bool own;
    const char* a_collation;
    int tables_read;  // -1: fails with 468
  };
  const char* const tsql = "SELECT a.id FROM dbo.a JOIN dbo.b ON a.s = b.s WHERE a.id < b.id";
  Shape shape;
  Parameterize(tsql, shape);
  Translation plain;
  ASSERT_TRUE(Translate(shape, plain, Collation::CiAs));
  for (const Case c :
       {Case{false, "tsqlite_cs_as", 0}, Case{true, "tsqlite_ci_as", 2}, Case{true, "tsqlite_cs_as", -1}}) {
    Files files;
    files.own = c.own;
    files.a_collation = c.a_collation;
    Translation tr;
    const bool ok = Translate(shape, tr, Collation::CiAs, &files);
    SCOPED_TRACE(std::string(c.a_collation) + (c.own ? " own" : ""));
    if (c.tables_read < 0) {
      EXPECT_FALSE(ok);
      EXPECT_EQ(tr.native_error, 468);
      continue;
    }
    ASSERT_TRUE(ok) << tr.message;
    EXPECT_EQ(tr.statements[0].sql, plain.statements[0].sql);
    EXPECT_EQ(tr.tables_read.size(), static_cast<size_t>(c.tables_read));
    EXPECT_EQ(tr.plain_collations, !c.own);
  }
}

// Damaged statements (characters dropped, doubled or replaced) must come back translated or as a
// syntax error (or an unknown function), never crash or read outside the text.
TEST(Translate, DamagedStatementsFailCleanly) {
  const std::string statements[] = {
      "SELECT ((CONVERT(int, (TAGTAG - ZUOSDT + ZUOSTG - 1)) %        CONVERT(int, AgrTge)) + 1), ZuoAgr FROM  "
      "ABC_1.Qxs327Tag, ABC_1.Qxs311Zuo WHERE ZuoPnr = '0001'    AND (ZuoGbi >= CONVERT(Datetime, '20070101', 112)     "
      " OR ZuoGbi IS NULL) ORDER BY 1 DESC",
      "INSERT INTO QXSYSTEM.Qxs133Kal   (KalNum, KalDtm) VALUES   ('K1', CONVERT (Datetime, '20061229',112)) -- c\n/* "
      "x */",
      "CREATE TABLE ABC_1.T ([a b] varchar(3) NOT NULL CONSTRAINT c DEFAULT ('x'), d datetime, CONSTRAINT pk PRIMARY "
      "KEY (a), FOREIGN KEY (d) REFERENCES dbo.U (d) ON DELETE CASCADE)",
      "UPDATE ABC_1.Z SET a = N'it''s', b = -3 WHERE c IN (SELECT TOP (2) \"q\" FROM t WITH (NOLOCK)) AND d BETWEEN 1 "
      "AND 2; SET DATEFIRST 1",
  };
  uint32_t seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  const char kAlphabet[] = "'\"[]()., ;-*/%+=<>?@N0123456789aZ\n";
  int translated = 0;
  for (const std::string& original : statements) {
    for (int round = 0; round < 500; ++round) {
      std::string text = original;
      const int edits = 1 + static_cast<int>(next() % 3);
      for (int e = 0; e < edits && !text.empty(); ++e) {
        const size_t at = next() % text.size();
        switch (next() % 3) {
          case 0:
            text.erase(at, 1);
            break;
          case 1:
            text.insert(at, 1, text[at]);
            break;
          default:
            text[at] = kAlphabet[next() % (sizeof kAlphabet - 1)];
            break;
        }
      }
      Shape shape;
      Translation tr;
      Parameterize(text, shape);
      if (Translate(shape, tr)) {
        ++translated;
        for (const Statement& st : tr.statements) {
          for (int p : st.params) ASSERT_LT(static_cast<size_t>(p), shape.literals.size() + tr.variables) << text;
        }
      } else {
        // a syntax error, a damaged function name that names no built-in function, or a variable
        // made of a damaged '@' and a name
        EXPECT_TRUE(tr.native_error == 102 || tr.native_error == 195 || tr.native_error == 137)
            << tr.native_error << " " << text;
      }
    }
  }
  EXPECT_GT(translated, 0);
}

// The collations order every pair of texts as ICU's root collation does (trailing blanks left
// out), also where they take the short way for texts of ASCII letters, digits and blanks.
TEST(Collations, OrderAsIcuDoes) {
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(":memory:", &db));
  ASSERT_EQ(SQLITE_OK, RegisterCollations(db));
  const char* const texts[] = {"",
                               "a",
                               "A",
                               "ab",
                               "aB",
                               "Ab",
                               "a b",
                               "a1",
                               "1a",
                               "10",
                               "9",
                               "b",
                               "B0",
                               "z ",
                               "Z",
                               "0001",
                               "00010",
                               "\xC3\xA4",
                               "\xC3\x84",
                               "a-b",
                               "a\x01",
                               "ab\x01",
                               "\xC3\xA4"
                               "b",
                               "a\xC3\xA4",
                               "Ab\xC3\xA4",
                               "2024-01-02 10:00:00.000",
                               "2024-01-10 09:00:00.000",
                               "2024-01-02",
                               "a.b",
                               "a_b",
                               "a-c",
                               "a b-",
                               "a\x01"
                               "b"};
  for (bool cs : {false, true}) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* icu = ucol_open("", &status);
    ucol_setStrength(icu, cs ? UCOL_TERTIARY : UCOL_SECONDARY);
    // The collation of x, the left operand, decides the comparison.
    const std::string sql = std::string(
                                "SELECT CASE WHEN x < y THEN -1 WHEN x = y THEN 0 ELSE 1 END FROM (SELECT ?1 "
                                "COLLATE ") +
                            (cs ? "tsqlite_cs_as" : "tsqlite_ci_as") + " AS x, ?2 AS y)";
    sqlite3_stmt* q = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, sql.c_str(), -1, &q, nullptr)) << sqlite3_errmsg(db);
    for (const char* x : texts) {
      for (const char* y : texts) {
        sqlite3_bind_text(q, 1, x, -1, SQLITE_STATIC);
        sqlite3_bind_text(q, 2, y, -1, SQLITE_STATIC);
        ASSERT_EQ(SQLITE_ROW, sqlite3_step(q));
        std::string tx = x, ty = y;
        while (!tx.empty() && tx.back() == ' ') tx.pop_back();
        while (!ty.empty() && ty.back() == ' ') ty.pop_back();
        const UCollationResult r = ucol_strcollUTF8(icu, tx.data(), static_cast<int32_t>(tx.size()), ty.data(),
                                                    static_cast<int32_t>(ty.size()), &status);
        EXPECT_EQ(r == UCOL_LESS      ? -1
                  : r == UCOL_GREATER ? 1
                                      : 0,
                  sqlite3_column_int(q, 0))
            << (cs ? "CS: '" : "CI: '") << x << "' against '" << y << "'";
        sqlite3_reset(q);
      }
    }
    sqlite3_finalize(q);
    ucol_close(icu);
  }
  sqlite3_close(db);
}

}  // namespace
}  // namespace tsqlite
