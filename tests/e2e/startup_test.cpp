// planex and planex-settings run as processes: command line, run log, settings files, and the
// connect failure through the real unixODBC driver manager.
#include <gtest/gtest.h>

#include "fixtures/helpers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kBuild = PLANEX_BUILD_DIR;
const std::string kPlanex = kBuild + "/planex";
const std::string kSettings = kBuild + "/planex-settings";
const std::string kUsage =
    "Aufruf: planex [BegDat] [EndeJahr] [Pfad] [PnrVon] [PnrBis]\n"
    "Bsp.: planex 20041201 2006 ..\\files\\velorando.ini 0000 9999 \n";

using Proc = fixture::ProcResult;

// A private working folder with an empty ODBC configuration, so that no data source exists.
class Workdir {
 public:
  Workdir() { fs::create_directory(dir_ / "odbc"); }
  ~Workdir() {
    std::error_code ec;
    fs::permissions(dir_ / "run", fs::perms::owner_all, ec);
  }
  fs::path Dir() const { return dir_; }
  std::string Read(const std::string& name) const { return fixture::ReadText(tmp_.File(name)); }
  void Write(const std::string& name, const std::string& text) const { fixture::WriteText(tmp_.File(name), text); }
  std::string Log() const { return Read("PLANEX.LOG"); }

  // Runs a program in dir with the clock pinned; standard input is fed from input. HOME and
  // ODBCINI keep a user's own data sources out of the test.
  Proc Run(const fs::path& dir, const std::vector<std::string>& argv, const std::string& input = "") const {
    return fixture::RunWithInput(dir.string(), argv, input,
                                 {"ODBCSYSINI=" + (dir_ / "odbc").string(),
                                  "ODBCINI=" + (dir_ / "odbc/odbc.ini").string(), "HOME=" + dir_.string()},
                                 fixture::kNow);
  }
  Proc Planex(const std::vector<std::string>& args) const { return Run(dir_, Argv(kPlanex, args)); }
  // planex with the settings file ini, for all persons up to the end of 2027.
  Proc PlanexWith(const std::string& ini) const { return Planex({"0", "2027", ini, "0", "0"}); }
  Proc Settings(const std::vector<std::string>& args, const std::string& input = "") const {
    return Run(dir_, Argv(kSettings, args), input);
  }

 private:
  static std::vector<std::string> Argv(const std::string& program, std::vector<std::string> args) {
    args.insert(args.begin(), program);
    return args;
  }
  fixture::TempDir tmp_{"planex-e2e"};
  fs::path dir_ = tmp_.Path();
};

// planex-settings write s.ini with these values and the password from standard input.
std::vector<std::string> WriteArgs(const std::string& login = "a", const std::string& dsn = "d",
                                   const std::string& schema = "s") {
  return {"write", "s.ini", "--login", login, "--dsn", dsn, "--schema", schema, "--password-stdin"};
}

// The settings values below were enciphered with the system key by an independent Blowfish.
const std::string kLoginHand = "B7E5674199C5DE390E525D01F09C4E9B";    // "hand_login"
const std::string kPassHand = "ADE36F362CDF4131EB335A0A9DEA4EC6";     // "hand pw;x"
const std::string kNoDsn = "CD6840F9E003191B8D2504666B44DAF8";        // "NO_SUCH_DSN"
const std::string kSchemaAbc = "C90BAF3D3F7ABDCE";                    // "abc_1x"
const std::string kPlanexValue = "0CB77001EF3C0D7C";                  // "planex"
const std::string kLoginForged = "EE507E64BA6F786BEC8AAAF00D88330D";  // "ops\nError: x"
const std::string kDsnEscape = "DF00945BAA79BA4A";                    // "DSN\x1B[2J"

TEST(Planex, WrongArgumentCountShowsUsage) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"0", "2027", "x.ini", "0", "0", "extra"}, {"0", "2027"}}) {
    Workdir w;
    w.Write("PLANEX.LOG", "left by an earlier run\n");
    Proc p = w.Planex(args);
    EXPECT_EQ(p.exit_code, 0);
    EXPECT_EQ(p.out, kUsage);
    EXPECT_EQ(p.err, "");
    EXPECT_EQ(w.Log(), "Falsche Anzahl Parameter(= 5)! AnzParam: " + std::to_string(args.size()) + "\n");
  }
}

// planex ends with status 1 and the reason on standard error when it cannot create its run log.
void ExpectRunLogRefused(const Proc& p, const std::string& reason) {
  EXPECT_EQ(p.exit_code, 1);
  EXPECT_EQ(p.out, "");
  EXPECT_EQ(p.err, "Fehler: PLANEX.LOG kann nicht angelegt werden: " + reason + "\n");
}

TEST(Planex, UncreatableRunLogFailsOnStandardError) {
  Workdir w;
  fs::create_directory(w.Dir() / "PLANEX.LOG");  // even root cannot open a folder for writing
  ExpectRunLogRefused(w.PlanexWith("x.ini"), "Is a directory");
}

TEST(Planex, ReadOnlyFolderFailsOnStandardError) {
  Workdir w;
  fs::path run = w.Dir() / "run";
  fs::create_directory(run);
  fs::permissions(run, fs::perms::owner_read | fs::perms::owner_exec);
  std::vector<std::string> argv{kPlanex};
  if (geteuid() == 0) {
    // Root writes into a read-only folder all the same, so planex runs as nobody there.
    if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "running as root without setpriv";
    if (const std::string why = fixture::UnreachableFor(65534, "/"); !why.empty()) GTEST_SKIP() << why;
    argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  }
  ExpectRunLogRefused(w.Run(run, argv), "Permission denied");
}

TEST(Planex, RefusesArgumentsThatAreNoDateKeys) {
  struct Case {
    std::string beg_dat, ende_jahr, line;
  } cases[] = {
      {"0", "27", "Error: Parameter EndeJahr ungültig: 27\n"},
      {"0", "20271", "Error: Parameter EndeJahr ungültig: 20271\n"},
      {"0", "", "Error: Parameter EndeJahr ungültig: \n"},
      {"2004120", "27", "Error: Parameter EndeJahr ungültig: 27\n"},  // the year is checked first
      {"2004120", "2027", "Error: Parameter BegDat ungültig: 2004120\n"},
      {"20230229", "2027", "Error: Parameter BegDat ungültig: 20230229\n"},
      {"00", "2027", "Error: Parameter BegDat ungültig: 00\n"},
  };
  for (const auto& c : cases) {
    Workdir w;
    Proc p = w.Planex({c.beg_dat, c.ende_jahr, "missing.ini", "0", "0"});
    EXPECT_EQ(p.exit_code, 0);
    EXPECT_EQ(p.out, "");
    EXPECT_EQ(w.Log(), "Datum: 20261208\n" + c.line) << c.beg_dat << " " << c.ende_jahr;
  }
}

TEST(Planex, RefusesSchemaBeforeConnecting) {
  auto file = [](const std::string& schema_hex) {
    std::string text = "0;DB;\n1;LOGIN;" + kPlanexValue + "\n0;DB;\n3;NET8;" + kNoDsn + "\n";
    if (!schema_hex.empty()) text += "0;DB;\n4;SCHEMA;" + schema_hex + "\n";
    return text;
  };
  struct Case {
    std::string setting;  // plain SCHEMA value; "-" = no SCHEMA pair at all
    std::string schema;
  } cases[] = {
      {"-", ""},
      {"x", ""},
      {"abcdefghij0123456789kx", "ABCDEFGHIJ0123456789K"},
      {"abc.dbox", "ABC.DBO"},
      {"a;b x", "A;B "},
      {"ab'--x", "AB'--"},
      // Names SQL Server only takes in brackets: every statement of the run would fail.
      {"1cx", "1C"},
      {"@c1x", "@C1"},
      {"selectx", "SELECT"},
      {"m\xC3\xBCllerx", "M\xC3\xBCLLER"},
  };
  for (const auto& c : cases) {
    Workdir w;
    std::string hex;
    if (c.setting != "-") {
      hex = w.Settings({"encode", c.setting}).out;
      hex.pop_back();  // the line end
    }
    w.Write("planex.ini", file(hex));
    Proc p = w.PlanexWith("planex.ini");
    EXPECT_EQ(p.exit_code, 0);
    EXPECT_EQ(w.Log(), "Datum: 20261208\nError: Schema ungültig: '" + c.schema + "'\n") << c.setting;
  }
}

// A path that gives no settings (missing, no regular file, a line longer than any settings line)
// ends the run with the schema line, never with a crash; a file that cannot be read is named in a
// line of its own before it.
TEST(Planex, UnreadableSettingsRefuseTheEmptySchema) {
  Workdir w;
  w.Write("long.ini", "0;DB;\n4;SCHEMA;" + std::string(70000, 'A') + "\n");
  struct Case {
    const char* path;
    std::string file_line;  // "" = none
  } cases[] = {
      {"no/such/planex.ini", "Error: Einstellungsdatei 'no/such/planex.ini' existiert nicht\n"},
      {"/dev/zero", "Error: Einstellungsdatei '/dev/zero' ist keine gewöhnliche Datei\n"},
      {".", "Error: Einstellungsdatei '.' ist ein Ordner, keine Datei\n"},
      {"bad\npath", "Error: Einstellungsdatei 'bad\\npath' existiert nicht\n"},
      {"long.ini", ""},
  };
  for (const Case& c : cases) {
    Proc p = w.PlanexWith(c.path);
    EXPECT_EQ(p.exit_code, 0) << c.path;
    EXPECT_EQ(w.Log(), "Datum: 20261208\n" + c.file_line + "Error: Schema ungültig: ''\n") << c.path;
  }
}

// A PLANEX.LOG that is a symbolic link is "cannot be created"; its target keeps its content.
TEST(Planex, RunLogIsNotWrittenThroughASymbolicLink) {
  Workdir w;
  w.Write("target", "keep\n");
  fs::create_symlink(w.Dir() / "target", w.Dir() / "PLANEX.LOG");
  ExpectRunLogRefused(w.PlanexWith("planex.ini"), "Too many levels of symbolic links");
  EXPECT_EQ(w.Read("target"), "keep\n");
}

// The run log of a run whose connection failed, with the login and data source it shows.
std::string ConnectFailed(const std::string& name_net) {
  return "Datum: 20261208\nFehler(DB-Connect)! RC:-1 " + name_net + " \n";
}

// Settings written by planex-settings, the longest ones too, reach the connect-failure line whole;
// the password never does.
TEST(Planex, ConnectFailureLogsTwoLinesWithMaskedPassword) {
  struct Case {
    const char* name;
    std::string login, password, schema;
  } cases[] = {
      {"usual values", "planex", "Top;Secret", "abc_1"},
      {"longest values", std::string(96, 'L'), std::string(96, 'p'), "abcdefghij0123456789"},
  };
  for (const auto& c : cases) {
    Workdir w;
    Proc wr = w.Settings(WriteArgs(c.login, "NO_SUCH_DSN", c.schema), c.password + "\n");
    ASSERT_EQ(wr.exit_code, 0) << c.name << ": " << wr.err;
    Proc p = w.Planex({"20041201", "2027", "s.ini", "0000", "9999"});
    EXPECT_EQ(p.exit_code, 0) << c.name;
    EXPECT_EQ(p.out, "") << c.name;
    EXPECT_EQ(w.Log(), ConnectFailed("Name:" + c.login + " Pwd:**** Net:NO_SUCH_DSN")) << c.name;
    EXPECT_EQ(w.Log().find(c.password), std::string::npos) << c.name;
  }
}

// Files written by hand, as operators have them, read the way the lookup rules say.
TEST(Planex, HandWrittenSettingsFiles) {
  struct Case {
    const char* name;
    std::string file;
    std::string name_net;  // what the connect-failure line shows
  } cases[] = {
      {"CR LF line ends",
       "0;DB;\r\n1;LOGIN;" + kLoginHand + "\r\n0;DB;\r\n2;PASS;" + kPassHand + "\r\n0;DB;\r\n3;NET8;" + kNoDsn +
           "\r\n0;DB;\r\n4;SCHEMA;" + kSchemaAbc + "\r\n",
       "Name:hand_login Pwd:**** Net:NO_SUCH_DSN"},
      {"no line end at the end, end-of-text mark",
       "0;DB;\n1;LOGIN;" + kLoginHand + "\n0;DB;\n3;NET8;" + kNoDsn + "\n0;DB;\n4;SCHEMA;" + kSchemaAbc +
           "\x1A\n0;DB;\n1;LOGIN;" + kPlanexValue + "\n",
       "Name:hand_login Pwd:**** Net:NO_SUCH_DSN"},
      {"first of two LOGIN pairs wins",
       "0;DB;\n1;LOGIN;" + kLoginHand + "\n0;DB;\n1;LOGIN;" + kPlanexValue + "\n0;DB;\n3;NET8;" + kNoDsn +
           "\n0;DB;\n4;SCHEMA;" + kSchemaAbc + "\n",
       "Name:hand_login Pwd:**** Net:NO_SUCH_DSN"},
      {"a pair numbered 0 answers every key", "0;DB;\n0;LOGIN;" + kLoginHand + "\n0;DB;\n3;NET8;" + kNoDsn + "\n",
       "Name:hand_login Pwd:**** Net:hand_login"},
      {"a pair without section answers every key",
       "no section\n7;SCHEMA;" + kSchemaAbc + "\n0;DB;\n1;LOGIN;" + kLoginHand + "\n",
       "Name:abc_1x Pwd:**** Net:abc_1x"},
      {"control characters of values are written escaped",
       "0;DB;\n1;LOGIN;" + kLoginForged + "\n0;DB;\n3;NET8;" + kDsnEscape + "\n0;DB;\n4;SCHEMA;" + kSchemaAbc + "\n",
       "Name:ops\\nError: x Pwd:**** Net:DSN\\x1B[2J"},
  };
  for (const auto& c : cases) {
    Workdir w;
    w.Write("planex.ini", c.file);
    Proc p = w.PlanexWith("planex.ini");
    EXPECT_EQ(p.exit_code, 0);
    EXPECT_EQ(w.Log(), ConnectFailed(c.name_net)) << c.name;
  }
}

TEST(SettingsTool, WrittenFileReadsBackThroughShow) {
  Workdir w;
  Proc wr = w.Settings(
      {"write", "s.ini", "--login=sa_user", "--dsn", "Prod DSN", "--schema", "Mandant_7", "--password-stdin"},
      "pw with blanks\r\n");
  ASSERT_EQ(wr.exit_code, 0) << wr.err;
  std::string text = w.Read("s.ini");
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(fs::status(w.Dir() / "s.ini").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  Proc show = w.Settings({"show", "s.ini"});
  EXPECT_EQ(show.exit_code, 0) << show.err;
  EXPECT_EQ(show.out,
            "login:       sa_user\n"
            "password:    ****\n"
            "data source: Prod DSN\n"
            "schema:      MANDANT_7\n");
  EXPECT_EQ(show.err, "");
}

TEST(SettingsTool, ShowReportsMissingKeysAndLooseMatches) {
  Workdir w;
  Proc missing = w.Settings({"show", "nope.ini"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("cannot read nope.ini"), std::string::npos);

  w.Write("partial.ini", "0;DB;\n1;LOGIN;" + kLoginHand + "\n");
  Proc partial = w.Settings({"show", "partial.ini"});
  EXPECT_EQ(partial.exit_code, 1);
  EXPECT_NE(partial.err.find("no pair for PASS"), std::string::npos);
  EXPECT_NE(partial.err.find("no pair for SCHEMA"), std::string::npos);

  w.Write("loose.ini", "0;DB;\n0;LOGIN;" + kLoginHand + "\n");
  Proc loose = w.Settings({"show", "loose.ini"});
  EXPECT_NE(loose.err.find("planex takes NET8 from the pair with key 'LOGIN'"), std::string::npos);
  EXPECT_NE(loose.out.find("data source: hand_login\n"), std::string::npos);
}

TEST(SettingsTool, EncodeAndDecodeSingleValues) {
  Workdir w;
  Proc enc = w.Settings({"encode", "hand pw;x"});
  EXPECT_EQ(enc.exit_code, 0);
  EXPECT_EQ(enc.out, kPassHand + "\n");
  Proc dec = w.Settings({"decode", kLoginHand});
  EXPECT_EQ(dec.exit_code, 0);
  EXPECT_EQ(dec.out, "hand_login\n");
  EXPECT_EQ(dec.err, "");
  Proc lower = w.Settings({"decode", "b7e5674199c5de39"});
  EXPECT_EQ(lower.exit_code, 0);
  EXPECT_NE(lower.err.find("warning"), std::string::npos);
  EXPECT_NE(lower.out, "hand_log\n");
}

TEST(SettingsTool, RefusesWhatPlanexCouldNotUse) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int exit_code;
    const char* message;
    const char* input = "pw\n";
  } cases[] = {
      {"bad schema", WriteArgs("a", "d", "abc.dbo"), 1, "planex would refuse the schema 'abc.dbo'"},
      {"long schema", WriteArgs("a", "d", std::string(21, 's')), 1, "planex would refuse the schema"},
      {"long login", WriteArgs(std::string(97, 'l')), 1, "at most 96"},
      {"empty dsn", WriteArgs("a", ""), 1, "must not be empty"},
      {"password on the command line",
       {"write", "s.ini", "--login", "a", "--dsn", "d", "--schema", "s", "--password", "x"},
       2,
       "not taken from the command line"},
      {"missing schema", {"write", "s.ini", "--login", "a", "--dsn", "d", "--password-stdin"}, 2, "--schema missing"},
      {"long text", {"encode", std::string(97, 't')}, 1, "at most 96"},
      {"line end in the login", WriteArgs("a\nError: x"), 1, "control character"},
      {"escape in the dsn", WriteArgs("a", "d\x1B[2J"), 1, "control character"},
      {"control character in the password", WriteArgs(), 1, "the password must not contain a control character",
       "p\tw\n"},
      {"reserved word as schema", WriteArgs("a", "d", "select"), 1, "planex would refuse the schema 'select'"},
      {"schema starting with a digit", WriteArgs("a", "d", "1c"), 1, "planex would refuse the schema '1c'"},
      {"tab in the text", {"encode", "a\tb"}, 1, "control character"},
      {"unknown command", {"frobnicate"}, 2, "unknown command"},
  };
  for (const auto& c : cases) {
    Workdir w;
    Proc p = w.Settings(c.args, c.input);
    EXPECT_EQ(p.exit_code, c.exit_code) << c.name;
    EXPECT_NE(p.err.find(c.message), std::string::npos) << c.name << ": " << p.err;
    EXPECT_FALSE(fs::exists(w.Dir() / "s.ini")) << c.name;
  }
}

// The temporary file beside the target is created afresh: one left there by someone else, or a
// symbolic link planted there, is never written through; the write fails and leaves both alone.
TEST(SettingsTool, WriteNeverUsesAnExistingTemporaryFile) {
  const std::vector<std::string> write = WriteArgs();
  {
    Workdir w;
    w.Write("s.ini.tmp", "someone else's\n");
    fs::permissions(w.Dir() / "s.ini.tmp",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    Proc p = w.Settings(write, "pw\n");
    EXPECT_EQ(p.exit_code, 1);
    EXPECT_NE(p.err.find("s.ini.tmp exists already"), std::string::npos) << p.err;
    EXPECT_EQ(w.Read("s.ini.tmp"), "someone else's\n");
    EXPECT_FALSE(fs::exists(w.Dir() / "s.ini"));
  }
  {
    Workdir w;
    w.Write("victim", "keep\n");
    fs::create_symlink(w.Dir() / "victim", w.Dir() / "s.ini.tmp");
    Proc p = w.Settings(write, "pw\n");
    EXPECT_EQ(p.exit_code, 1);
    EXPECT_EQ(w.Read("victim"), "keep\n");
    EXPECT_FALSE(fs::exists(w.Dir() / "s.ini"));
  }
  {
    // Written with a permissive umask, the file is still its owner's only.
    Workdir w;
    Proc p = w.Run(w.Dir(),
                   {"sh", "-c", "umask 0; exec \"$0\" \"$@\"", kSettings, "write", "s.ini", "--login", "a", "--dsn",
                    "d", "--schema", "s", "--password-stdin"},
                   "pw\n");
    ASSERT_EQ(p.exit_code, 0) << p.err;
    EXPECT_EQ(fs::status(w.Dir() / "s.ini").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
  }
}

TEST(SettingsTool, HelpForEveryCommand) {
  Workdir w;
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                               {"help"},
                                               {"write", "--help"},
                                               {"show", "--help"},
                                               {"encode", "--help"},
                                               {"decode", "--help"}}) {
    Proc p = w.Settings(args);
    EXPECT_EQ(p.exit_code, 0) << args[0];
    EXPECT_EQ(p.out.rfind("Usage: planex-settings", 0), 0u) << args[0];
  }
}

}  // namespace
