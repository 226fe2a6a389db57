#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "common/runlog.h"

namespace {

// A run that dies must leave every completed line in the file; a started line may stay behind.
TEST(RunLog, CompletedLinesReachTheFileAtOnce) {
  char tmpl[] = "/tmp/planex-log-XXXXXX";
  std::string path = std::string(mkdtemp(tmpl)) + "/PLANEX.LOG";
  auto content = [&] {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  RunLog log;
  ASSERT_EQ(log.Open(path.c_str(), nullptr), 0);
  log.Printf("Datum: %s\n", "20261208");
  EXPECT_EQ(content(), "Datum: 20261208\n");
  log.Printf("Fehler(DB-Connect)! RC:%d ", -1);
  log.Printf("Name:%s \n", "x");
  EXPECT_EQ(content(), "Datum: 20261208\nFehler(DB-Connect)! RC:-1 Name:x \n");
  log.Close();
  const char* reason = nullptr;
  EXPECT_EQ(log.Open("/nonexistent/PLANEX.LOG", &reason), -1);
  EXPECT_STREQ(reason, "No such file or directory");
  std::remove(path.c_str());
  rmdir(path.substr(0, path.rfind('/')).c_str());
}

// Values from settings, command line and database cannot start a line of their own; the line ends
// of the message texts themselves stay.
TEST(RunLog, ControlCharactersOfValuesAreEscaped) {
  char tmpl[] = "/tmp/planex-log-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  const std::string path = dir + "/PLANEX.LOG";
  {
    RunLog log;
    ASSERT_EQ(log.Open(path.c_str(), nullptr), 0);
    log.Printf("Name:%s Pwd:**** Net:%s \n", "sa\nError: forged", std::string("dsn\r\x1B"));
  }
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  EXPECT_EQ(s.str(), "Name:sa\\nError: forged Pwd:**** Net:dsn\\r\\x1B \n");
  std::remove(path.c_str());
  rmdir(dir.c_str());
}

// A PLANEX.LOG that is a symbolic link is not followed: its target keeps its content.
TEST(RunLog, SymbolicLinkIsNotFollowed) {
  char tmpl[] = "/tmp/planex-log-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  const std::string target = dir + "/target", link = dir + "/PLANEX.LOG";
  std::ofstream(target) << "keep";
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  RunLog log;
  const char* reason = nullptr;
  EXPECT_EQ(log.Open(link.c_str(), &reason), -1);
  EXPECT_STREQ(reason, "Too many levels of symbolic links");
  std::ifstream in(target);
  std::string content;
  in >> content;
  EXPECT_EQ(content, "keep");
  std::remove(link.c_str());
  std::remove(target.c_str());
  rmdir(dir.c_str());
}

}  // namespace
