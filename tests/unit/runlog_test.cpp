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
  log.Printf("Fehler(DB-Connect)! RC:%d ", -1);
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

// A listener hears every completed line once, texts joined as in the file; the file is unchanged.
TEST(RunLog, ListenerHearsCompletedLines) {
  struct Lines : RunLogListener {
    std::vector<std::string> got;
    void Line(std::string_view line) override { got.emplace_back(line); }
  } lines;
  LogDir dir;
  {
    RunLog log;
    ASSERT_EQ(log.Open(dir.Path().c_str(), nullptr), 0);
    log.SetListener(&lines);
    log.Printf("Error: Tagsatz einfügen %d! ", -1);
    log.Printf("Person: %s! Tag: %s\n", "P\n1", "20261201");
    log.Printf("ZtgTag: %d!\nZtgAgr: %s!\n", 3, "");
    log.Printf("Error: unfinished");
  }
  EXPECT_EQ(lines.got, (std::vector<std::string>{"Error: Tagsatz einfügen -1! Person: P\\n1! Tag: 20261201",
                                                 "ZtgTag: 3!", "ZtgAgr: !"}));
  EXPECT_EQ(fixture::ReadText(dir.Path()),
            "Error: Tagsatz einfügen -1! Person: P\\n1! Tag: 20261201\nZtgTag: 3!\nZtgAgr: !\nError: unfinished");
}

// An error line keeps the reason handed over with its first text, and no other line takes it;
// lines past the kept ones are counted.
TEST(RunLog, ErrorLineKeepsTheReasonWrittenWithIt) {
  DbResult failed{DB_FAIL, {}};
  std::strcpy(failed.diag.state, "42S02");
  failed.diag.native = 208;
  LogDir dir;
  RunLog log;
  ASSERT_EQ(log.Open(dir.Path().c_str(), nullptr), 0);
  RunErrorLines errors(log, 2);
  errors.Write(failed, "Error: Tagsatz einfügen %d! ", failed.code);
  log.Printf("Person: %s\n", "P1");
  errors.Write(failed, "Aktuelles Schema: %s \n", "ABC_1");
  log.Printf("Error: Abbruch durch SIGINT! Schritt: Personen!\n");
  errors.Write(failed, "Error: Letzten Urlaubsvortrag ermitteln. %d\n", failed.code);
  ASSERT_EQ(errors.Kept().size(), 2u);
  EXPECT_EQ(errors.Count(), 3);
  EXPECT_EQ(errors.Kept()[0].line, "Error: Tagsatz einfügen -1! Person: P1");
  EXPECT_EQ(errors.Kept()[0].reason.native, 208);
  EXPECT_TRUE(errors.Kept()[1].reason.Empty());
}

}  // namespace
