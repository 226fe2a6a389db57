#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

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

}  // namespace
