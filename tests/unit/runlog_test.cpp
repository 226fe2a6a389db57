#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>

#include "db/error_lines.h"
#include "common/runlog.h"
#include "fixtures/helpers.h"

namespace {

// A private folder for one test's run log.
struct LogDir : fixture::TempDir {
  LogDir() : TempDir("planex-log") {}
  std::string Path(const char* name = "PLANEX.LOG") const { return File(name); }
};

// A run that dies must leave every completed line in the file; a started line may stay behind.
TEST(RunLog, CompletedLinesReachTheFileAtOnce) {
  LogDir dir;
  const std::string path = dir.Path();
  RunLog log;
  ASSERT_EQ(log.Open(path.c_str(), nullptr), 0);
  log.Printf("Datum: %s\n", "20261208");
  EXPECT_EQ(fixture::ReadText(path), "Datum: 20261208\n");
  log.Error({}, "Fehler(DB-Connect)! RC:%d ", -1);
  log.Printf("Name:%s \n", "x");
  EXPECT_EQ(fixture::ReadText(path), "Datum: 20261208\nFehler(DB-Connect)! RC:-1 Name:x \n");
  log.Close();
  const char* reason = nullptr;
  EXPECT_EQ(log.Open("/nonexistent/PLANEX.LOG", &reason), -1);
  EXPECT_STREQ(reason, "No such file or directory");
}

// Values from settings, command line and database cannot start a line of their own; the line ends
// of the message texts themselves stay.
TEST(RunLog, ControlCharactersOfValuesAreEscaped) {
  LogDir dir;
  {
    RunLog log;
    ASSERT_EQ(log.Open(dir.Path().c_str(), nullptr), 0);
    log.Printf("Name:%s Pwd:**** Net:%s \n", "sa\nError: forged", std::string("dsn\r\x1B"));
  }
  EXPECT_EQ(fixture::ReadText(dir.Path()), "Name:sa\\nError: forged Pwd:**** Net:dsn\\r\\x1B \n");
}

// A PLANEX.LOG that is a symbolic link is not followed: its target keeps its content.
TEST(RunLog, SymbolicLinkIsNotFollowed) {
  LogDir dir;
  ASSERT_TRUE(fixture::WriteText(dir.Path("target"), "keep"));
  ASSERT_EQ(symlink(dir.Path("target").c_str(), dir.Path().c_str()), 0);
  RunLog log;
  const char* reason = nullptr;
  EXPECT_EQ(log.Open(dir.Path().c_str(), &reason), -1);
  EXPECT_STREQ(reason, "Too many levels of symbolic links");
  EXPECT_EQ(fixture::ReadText(dir.Path("target")), "keep");
}

// The run log keeps its error lines as the file has them, texts joined, each with the reason
// handed over with its first text and no other; lines past the kept ones are counted, a line left
// without its line end counts as the file shows it, and an error text in the middle of a line
// makes no error line, as the file does not show one.
TEST(RunLog, ErrorLinesKeepTheReasonWrittenWithThem) {
  DbResult failed{DB_FAIL, {}};
  std::strcpy(failed.diag.state, "42S02");
  failed.diag.native = 208;
  LogDir dir;
  RunLog log(2);
  ASSERT_EQ(log.Open(dir.Path().c_str(), nullptr), 0);
  log.Error(Db_Reason(failed.diag), "Error: Tagsatz einfügen %d! ", failed.code);
  log.Printf("Person: %s! Tag: %s\n", "P\n1", "20261201");
  log.Printf("ZtgTag: %d!\nZtgAgr: %s!\n", 3, "");
  log.Error({}, "Error: Abbruch durch %s! ", "SIGINT");
  log.Printf("Schritt: %s!\n", "Personen");
  log.Printf("Name:%s ", "x");
  log.Error(Db_Reason(failed.diag), "Error: mid-line\n");  // no error line in the file
  EXPECT_EQ(log.Errors().Count(), 2);
  log.Error(Db_Reason(failed.diag), "Error: unfinished %d", failed.code);
  log.Close();
  EXPECT_EQ(fixture::ReadText(dir.Path()),
            "Error: Tagsatz einfügen -1! Person: P\\n1! Tag: 20261201\nZtgTag: 3!\nZtgAgr: !\n"
            "Error: Abbruch durch SIGINT! Schritt: Personen!\nName:x Error: mid-line\nError: unfinished -1");
  const RunErrorLines& errors = log.Errors();
  EXPECT_EQ(errors.Count(), 3);
  ASSERT_EQ(errors.Kept().size(), 2u);
  EXPECT_EQ(errors.Kept()[0].line, "Error: Tagsatz einfügen -1! Person: P\\n1! Tag: 20261201");
  EXPECT_EQ(errors.Kept()[0].reason.native, 208);
  EXPECT_EQ(errors.Kept()[1].line, "Error: Abbruch durch SIGINT! Schritt: Personen!");
  EXPECT_TRUE(errors.Kept()[1].reason.Empty());
}

// The texts that begin error lines are the ones planex-check-log finds in the file.
TEST(RunLog, ErrorLineRule) {
  struct Case {
    const char* line;
    bool error;
  } cases[] = {{"Error: Bak_NewDay_Ins RC:-1", true},
               {"Error:Kal-Tag einfügen. RC:-1", true},
               {"Fehler(DB-Connect)! RC:-1 Name:x", true},
               {"Falsche Anzahl Parameter(= 5)! AnzParam: 2", true},
               {"Falsche Angabe", false},
               {"kein Error", false},
               {"error: klein", false},
               {"Aktuelles Schema: A ", false}};
  for (const Case& c : cases) EXPECT_EQ(Run_Is_Error_Line(c.line), c.error) << c.line;
  static_assert(runlog_detail::BeginsAnErrorLine("ZtgTag: 1!\nError: x"));
  static_assert(!runlog_detail::BeginsAnErrorLine("Person: Error\n"));
}

}  // namespace
