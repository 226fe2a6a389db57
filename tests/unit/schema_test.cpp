#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>

#include "common/schema.h"
#include "common/text.h"

namespace {

TEST(Schema, FormedFromTheSettingAndCheckedAsARegularIdentifier) {
  struct Case {
    std::string setting, schema;
    bool valid;
  } cases[] = {
      {"abc_1x", "ABC_1", true},
      {"_abc$#@9x", "_ABC$#@9", true},  // '_' first, then the other signs
      {"x", "", false},                 // one character leaves nothing
      {"", "", false},                  // key missing
      {"abcdefghij0123456789x", "ABCDEFGHIJ0123456789", true},
      {"abcdefghij0123456789Xx", "ABCDEFGHIJ0123456789X", false},  // 21 characters
      // No T-SQL regular identifier: every statement would fail with it.
      {"m\xC3\xBCller_", "M\xC3\xBCLLER", false},  // bytes above 127
      {"$#@_9x", "$#@_9", false},
      {"1cx", "1C", false},
      {"@c1x", "@C1", false},
      {"#c1x", "#C1", false},
      {"selectx", "SELECT", false},  // reserved words in any case
      {"Userx", "USER", false},
      {"selectedx", "SELECTED", true},
      {"abc.dbox", "ABC.DBO", false},
      {"a b_", "A B", false},
      {"abc;--x", "ABC;--", false},
      {"ab'cx", "AB'C", false},
  };
  for (const auto& c : cases) {
    std::string schema = Schema_Form(c.setting);
    EXPECT_EQ(schema, c.schema) << c.setting;
    EXPECT_EQ(Schema_Valid(schema), c.valid) << c.setting;
  }
  // Every reserved keyword of T-SQL, written in lower case in the setting
  // (https://learn.microsoft.com/sql/t-sql/language-elements/reserved-keywords-transact-sql).
  std::istringstream reserved(
      "ADD ALL ALTER AND ANY AS ASC AUTHORIZATION BACKUP BEGIN BETWEEN BREAK BROWSE BULK BY "
      "CASCADE CASE CHECK CHECKPOINT CLOSE CLUSTERED COALESCE COLLATE COLUMN COMMIT COMPUTE "
      "CONSTRAINT CONTAINS CONTAINSTABLE CONTINUE CONVERT CREATE CROSS CURRENT CURRENT_DATE "
      "CURRENT_TIME CURRENT_TIMESTAMP CURRENT_USER CURSOR DATABASE DBCC DEALLOCATE DECLARE DEFAULT "
      "DELETE DENY DESC DISK DISTINCT DISTRIBUTED DOUBLE DROP DUMP ELSE END ERRLVL ESCAPE EXCEPT "
      "EXEC EXECUTE EXISTS EXIT EXTERNAL FETCH FILE FILLFACTOR FOR FOREIGN FREETEXT FREETEXTTABLE "
      "FROM FULL FUNCTION GOTO GRANT GROUP HAVING HOLDLOCK IDENTITY IDENTITY_INSERT IDENTITYCOL IF "
      "IN INDEX INNER INSERT INTERSECT INTO IS JOIN KEY KILL LEFT LIKE LINENO LOAD MERGE NATIONAL "
      "NOCHECK NONCLUSTERED NOT NULL NULLIF OF OFF OFFSETS ON OPEN OPENDATASOURCE OPENQUERY "
      "OPENROWSET OPENXML OPTION OR ORDER OUTER OVER PERCENT PIVOT PLAN PRECISION PRIMARY PRINT "
      "PROC PROCEDURE PUBLIC RAISERROR READ READTEXT RECONFIGURE REFERENCES REPLICATION RESTORE "
      "RESTRICT RETURN REVERT REVOKE RIGHT ROLLBACK ROWCOUNT ROWGUIDCOL RULE SAVE SCHEMA "
      "SECURITYAUDIT SELECT SEMANTICKEYPHRASETABLE SEMANTICSIMILARITYDETAILSTABLE "
      "SEMANTICSIMILARITYTABLE SESSION_USER SET SETUSER SHUTDOWN SOME STATISTICS SYSTEM_USER TABLE "
      "TABLESAMPLE TEXTSIZE THEN TO TOP TRAN TRANSACTION TRIGGER TRUNCATE TRY_CONVERT TSEQUAL "
      "UNION UNIQUE UNPIVOT UPDATE UPDATETEXT USE USER VALUES VARYING VIEW WAITFOR WHEN WHERE "
      "WHILE WITH WITHIN WRITETEXT");
  for (std::string word; reserved >> word;) {
    std::string setting = word + "x";
    for (char& ch : setting) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_FALSE(Schema_Valid(Schema_Form(setting))) << word;
  }
}

TEST(Schema, SettingFormsTheSchemaBack) {
  for (const char* schema : {"ABC_1", "abc_1", "X"}) {
    std::string upper = schema;
    for (char& c : upper) c = Str_UpperChar(c);
    EXPECT_EQ(Schema_Form(Schema_Setting(schema)), upper);
  }
}

}  // namespace
