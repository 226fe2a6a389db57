// The process runner every end-to-end test relies on: what it captures, what it passes on, and
// that a pinned clock reaches the child.
#include <gtest/gtest.h>

#include "fixtures/company.h"

namespace {

TEST(FixtureRun, CapturesBothStreamsAndTheExitStatus) {
  fixture::ProcResult r = fixture::Run("/tmp", {"sh", "-c", "printf out; printf err >&2; exit 3"});
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_EQ(r.out, "out");
  EXPECT_EQ(r.err, "err");
}

TEST(FixtureRun, RunsInTheFolderWithExtraEnvironmentAndInput) {
  fixture::ProcResult r = fixture::RunWithInput("/usr", {"sh", "-c", "read line; echo \"$PWD $PLANEX_X $line\""},
                                                "hello\n", {"PLANEX_X=1", "PLANEX_X=2"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "/usr 2 hello\n");
}

TEST(FixtureRun, PinsTheChildsClockWithFaketime) {
  fixture::ProcResult r = fixture::Run("/tmp", {"date", "+%Y%m%d"}, {}, "2031-06-15 10:00:00");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "20310615\n");
}

TEST(FixtureRun, LargeOutputDoesNotBlockTheChild) {
  fixture::ProcResult r = fixture::Run("/tmp", {"sh", "-c", "seq 1 200000; seq 1 200000 >&2"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out.size(), r.err.size());
  EXPECT_GT(r.out.size(), 1000000u);
}

TEST(FixtureCompany, InstallsTheSchemaAndRemovesItsFolder) {
  if (!fixture::DriverAvailable()) GTEST_SKIP() << "embedded driver not built";
  std::string dir;
  {
    fixture::Company c({.schema = "abc_9", .first_day = "20260101"});
    ASSERT_EQ(c.SetupError(), "");
    dir = c.Dir();
    EXPECT_EQ(c.Schema(), "ABC_9");
    EXPECT_EQ(c.Scalar("SELECT COUNT(*) FROM ABC_9.Qxs300Pnr"), "0");
    std::string message;
    EXPECT_EQ(c.Exec("SELECT * FROM ABC_9.Nothing", &message), 208) << message;
  }
  EXPECT_NE(fixture::Run("/tmp", {"test", "-e", dir}).exit_code, 0);
}

}  // namespace
