// planex against a real third-party ODBC driver: FreeTDS behind a data source on 127.0.0.1 where
// no database server answers. The run must end with the two connect-failure lines, never with a
// hang, whether the port refuses the connection or accepts it and stays silent.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fixtures/helpers.h"

namespace {

namespace fs = std::filesystem;

const std::string kFreeTds = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";
// FreeTDS's login timeout in the data source; a silent server must not keep planex longer.
constexpr int kLoginTimeoutSeconds = 2;
// Generous bound on one run: the login timeout plus the start-up of a sanitizer or valgrind build.
constexpr auto kRunBound = std::chrono::seconds(30);

// A TCP socket bound to a free port on 127.0.0.1, listening when asked: the kernel then completes
// every handshake, but nothing ever reads or answers. Closed unused, it leaves a port that
// refuses connections.
class LocalPort {
 public:
  explicit LocalPort(bool listening) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || (listening && listen(fd_, 8) != 0)) {
      ADD_FAILURE() << "cannot set up a local port";
      return;
    }
    port_ = ntohs(addr.sin_port);
    if (!listening) Close();
  }
  ~LocalPort() { Close(); }
  LocalPort(const LocalPort&) = delete;
  LocalPort& operator=(const LocalPort&) = delete;
  int Port() const { return port_; }

 private:
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  int fd_ = -1;
  int port_ = 0;
};

// A working folder with its own ODBC configuration: the FreeTDS driver and one data source,
// TDS_CLOSED, on the given port; and a settings file naming that data source.
class TdsWorkdir {
 public:
  explicit TdsWorkdir(int port) {
    fs::create_directory(dir_ / "odbc");
    fixture::WriteText(tmp_.File("odbc/odbcinst.ini"), "[FreeTDS]\nDriver=" + kFreeTds + "\n");
    fixture::WriteText(tmp_.File("odbc/odbc.ini"),
                       "[TDS_CLOSED]\n"
                       "Driver=FreeTDS\n"
                       "Server=127.0.0.1\n"
                       "Port=" +
                           std::to_string(port) +
                           "\n"
                           "TDS_Version=7.4\n"
                           "Timeout=" +
                           std::to_string(kLoginTimeoutSeconds) + "\n");
  }
  std::vector<std::string> Env() const {
    // HOME keeps a user's ~/.odbc.ini and ~/.freetds.conf out of the test.
    return {"ODBCSYSINI=" + (dir_ / "odbc").string(), "HOME=" + dir_.string()};
  }

  void WriteSettings(const std::string& login, const std::string& password) {
    fixture::ProcResult p =
        fixture::RunWithInput(dir_,
                              {fixture::BuildDir() + "/planex-settings", "write", "planex.ini", "--login", login,
                               "--dsn", "TDS_CLOSED", "--schema", "abc_1", "--password-stdin"},
                              password + "\n", Env());
    ASSERT_EQ(p.exit_code, 0) << p.out << p.err;
  }

  // Runs planex with the clock pinned; *elapsed receives the wall time of the run.
  fixture::ProcResult Planex(std::chrono::steady_clock::duration* elapsed) {
    auto start = std::chrono::steady_clock::now();
    fixture::ProcResult p = fixture::Run(dir_, {fixture::BuildDir() + "/planex", "0", "2027", "planex.ini", "0", "0"},
                                         Env(), fixture::kNow);
    *elapsed = std::chrono::steady_clock::now() - start;
    return p;
  }

  std::string Log() const { return fixture::ReadText(tmp_.File("PLANEX.LOG")); }

 private:
  fixture::TempDir tmp_{"planex-tds"};
  fs::path dir_ = tmp_.Path();
};

TEST(FreeTds, UnreachableServerEndsWithTheConnectFailureLines) {
  if (access(kFreeTds.c_str(), R_OK) != 0) GTEST_SKIP() << "FreeTDS ODBC driver not installed";
  struct Case {
    const char* name;
    bool listening;  // false: the port refuses; true: it accepts and never answers
  } cases[] = {{"refused", false}, {"silent", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LocalPort port(c.listening);
    TdsWorkdir w(port.Port());
    // The password holds what a careless format would expand; it must not reach the log at all.
    w.WriteSettings("sa_planex", "Pw;%s'--x");
    std::chrono::steady_clock::duration elapsed{};
    fixture::ProcResult p = w.Planex(&elapsed);
    EXPECT_EQ(p.exit_code, 0) << p.err;
    EXPECT_EQ(p.out, "");
    EXPECT_EQ(w.Log(),
              "Datum: 20261208\n"
              "Fehler(DB-Connect)! RC:-1 Name:sa_planex Pwd:**** Net:TDS_CLOSED \n");
    EXPECT_LT(elapsed, kRunBound);
    if (c.listening) {
      // The silent server is left only by the login timeout: planex waited for the driver rather
      // than giving up on its own, and came back once the driver did.
      EXPECT_GE(elapsed, std::chrono::seconds(kLoginTimeoutSeconds) - std::chrono::milliseconds(200));
    }
  }
}

}  // namespace
