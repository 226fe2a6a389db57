// planex-settings: writes and inspects the settings files planex reads its connection from, so
// that nobody has to encipher values by hand. It reads files with the very routines planex uses.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "common/schema.h"
#include "common/text.h"
#include "settings/cipher.h"
#include "settings/settings.h"

namespace {

enum Exit { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

constexpr const char* kUsage =
    "Usage: planex-settings COMMAND [ARGS]\n"
    "\n"
    "Writes and inspects the settings file that planex takes as its third argument.\n"
    "\n"
    "Commands:\n"
    "  write FILE --login USER --dsn DSN --schema SCHEMA [--password-stdin]\n"
    "                    write a complete settings file\n"
    "  show FILE         print the values planex will use (password masked)\n"
    "  encode TEXT       encipher one value\n"
    "  decode HEX        decipher one value\n"
    "\n"
    "Run 'planex-settings COMMAND --help' for the details of a command.\n";

constexpr const char* kWriteUsage =
    "Usage: planex-settings write FILE --login USER --dsn DSN --schema SCHEMA [--password-stdin]\n"
    "\n"
    "Writes FILE (replacing it) with the four values planex reads: LOGIN (database user),\n"
    "PASS (its password), NET8 (ODBC data source name) and SCHEMA (client schema).\n"
    "The password is asked for at the terminal without echo, twice; with --password-stdin it is\n"
    "read as one line from standard input instead. It is never taken from the command line.\n"
    "\n"
    "SCHEMA is the client schema as planex uses it (letters, digits, _ $ # @; at most 20\n"
    "characters); planex upper-cases it. Each value may have at most 96 characters.\n"
    "The file is created readable by its owner only.\n";

constexpr const char* kShowUsage =
    "Usage: planex-settings show FILE\n"
    "\n"
    "Prints the database user, the data source, the client schema and the masked password that\n"
    "planex reads from FILE. Exits with status 1 when FILE cannot be read, when a value is\n"
    "missing or when planex would refuse the client schema.\n";

constexpr const char* kEncodeUsage =
    "Usage: planex-settings encode TEXT\n"
    "\n"
    "Prints TEXT enciphered as a settings value (upper-case hexadecimal, 16 digits per started\n"
    "8 characters). TEXT may have at most 96 characters.\n";

constexpr const char* kDecodeUsage =
    "Usage: planex-settings decode HEX\n"
    "\n"
    "Prints the text planex reads from the settings value HEX. A value that is not upper-case\n"
    "hexadecimal in blocks of 16 digits is deciphered all the same, with a warning.\n";

bool IsHelp(std::string_view arg) {
  return arg == "--help" || arg == "-h";
}

int UsageError(const char* usage, const std::string& message) {
  std::fprintf(stderr, "planex-settings: %s\n\n%s", message.c_str(), usage);
  return ExitUsage;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "planex-settings: %s\n", message.c_str());
  return ExitFailed;
}

std::string Encode(const std::string& plain) {
  std::string hex;
  Cfg_Value_Encode(plain, &hex, kCfgCipherKey);
  return hex;
}

// Reads one line from fd (without its line end, and without a CR before it).
bool ReadLine(int fd, std::string* line) {
  line->clear();
  char c;
  ssize_t n;
  bool any = false;
  while ((n = read(fd, &c, 1)) == 1) {
    any = true;
    if (c == '\n') break;
    line->push_back(c);
  }
  if (n < 0) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return any;
}

// Asks for the password at the terminal with echo off, twice.
bool PromptPassword(std::string* password, std::string* error) {
  int tty = open("/dev/tty", O_RDWR | O_NOCTTY);
  if (tty < 0) {
    *error = "no terminal to ask for the password; use --password-stdin";
    return false;
  }
  termios saved{};
  if (tcgetattr(tty, &saved) != 0) {
    close(tty);
    *error = "cannot switch off echo on the terminal; use --password-stdin";
    return false;
  }
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  quiet.c_lflag |= ECHONL;
  tcsetattr(tty, TCSAFLUSH, &quiet);

  std::string again;
  auto ask = [&](const char* prompt, std::string* answer) {
    (void)!write(tty, prompt, std::strlen(prompt));
    return ReadLine(tty, answer);
  };
  bool ok = ask("Password: ", password) && ask("Repeat password: ", &again);
  tcsetattr(tty, TCSAFLUSH, &saved);
  close(tty);
  if (!ok) {
    *error = "no password given";
    return false;
  }
  if (*password != again) {
    *error = "the two passwords differ";
    return false;
  }
  return true;
}

int CmdWrite(const std::vector<std::string>& args) {
  std::string file, login, dsn, schema;
  bool have_login = false, have_dsn = false, have_schema = false, password_stdin = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (IsHelp(a)) {
      std::fputs(kWriteUsage, stdout);
      return ExitOk;
    }
    auto option = [&](const char* name, std::string* target, bool* seen) {
      std::string prefix = std::string(name) + "=";
      if (a == name) {
        if (i + 1 >= args.size()) return -1;
        *target = args[++i];
      } else if (a.compare(0, prefix.size(), prefix) == 0) {
        *target = a.substr(prefix.size());
      } else {
        return 0;
      }
      *seen = true;
      return 1;
    };
    int r = 0;
    for (auto [name, target, seen] : {std::tuple{"--login", &login, &have_login}, std::tuple{"--dsn", &dsn, &have_dsn},
                                      std::tuple{"--schema", &schema, &have_schema}}) {
      r = option(name, target, seen);
      if (r != 0) break;
    }
    if (r < 0) return UsageError(kWriteUsage, a + " needs a value");
    if (r > 0) continue;
    if (a == "--password-stdin") {
      password_stdin = true;
    } else if (a == "--password" || a.compare(0, 11, "--password=") == 0) {
      return UsageError(kWriteUsage,
                        "the password is not taken from the command line; it is asked for, or read "
                        "with --password-stdin");
    } else if (!a.empty() && a[0] == '-') {
      return UsageError(kWriteUsage, "unknown option " + a);
    } else if (file.empty()) {
      file = a;
    } else {
      return UsageError(kWriteUsage, "more than one FILE given");
    }
  }
  if (file.empty()) return UsageError(kWriteUsage, "FILE missing");
  if (!have_login) return UsageError(kWriteUsage, "--login missing");
  if (!have_dsn) return UsageError(kWriteUsage, "--dsn missing");
  if (!have_schema) return UsageError(kWriteUsage, "--schema missing");

  std::string error;
  if (!Cfg_Value_Check("the login", login, false, &error) ||
      !Cfg_Value_Check("the data source name", dsn, false, &error))
    return Fail(error);
  if (!Schema_Valid(Schema_Form(Schema_Setting(schema))))
    return Fail("planex would refuse the schema '" + Str_Escape(schema) + "': it needs " + kSchemaRule);

  std::string password;
  if (password_stdin) {
    if (!ReadLine(STDIN_FILENO, &password) && password.empty()) return Fail("no password on standard input");
  } else if (!PromptPassword(&password, &error)) {
    return Fail(error);
  }
  if (!Cfg_Value_Check("the password", password, true, &error)) return Fail(error);

  if (!Cfg_File_Write(file, Cfg_File_Text(login, password, dsn, schema), &error)) return Fail(error);
  return ExitOk;
}

int CmdShow(const std::vector<std::string>& args) {
  if (!args.empty() && IsHelp(args[0])) {
    std::fputs(kShowUsage, stdout);
    return ExitOk;
  }
  if (args.size() != 1) return UsageError(kShowUsage, "give exactly one FILE");
  const std::string& file = args[0];
  FILE* f = std::fopen(file.c_str(), "rb");
  if (f == nullptr) return Fail("cannot read " + file + ": " + std::strerror(errno));
  std::fclose(f);

  struct Item {
    const char* key;
    const char* label;
    std::string value;
    bool found = false;
  } items[] = {{"LOGIN", "login:      ", {}},
               {"PASS", "password:   ", {}},
               {"NET8", "data source:", {}},
               {"SCHEMA", "schema:     ", {}}};
  int status = ExitOk;
  for (auto& item : items) {
    // The same lookup planex makes: empty section, the key, number 0.
    CfgSatz r;
    Cfg_Value_Read("", item.key, 0, file.c_str(), &r);
    item.found = !(r.number == 0 && r.section.empty() && r.key.empty() && r.value.empty());
    item.value = r.value;
    if (!item.found) {
      std::fprintf(stderr, "planex-settings: %s: no pair for %s; planex would use an empty value\n", file.c_str(),
                   item.key);
      status = ExitFailed;
    } else if (r.key != item.key) {
      std::fprintf(stderr,
                   "planex-settings: %s: warning: planex takes %s from the pair with key '%s', "
                   "number %d and section '%s' (a pair with number 0 or without a section matches "
                   "every key)\n",
                   file.c_str(), item.key, r.key.c_str(), static_cast<int>(r.number), r.section.c_str());
    }
  }
  std::string schema = Schema_Form(items[3].value);
  // Values of a hand-made file may hold anything; control characters are shown escaped.
  std::printf("%s %s\n", items[0].label, Str_Escape(items[0].value).c_str());
  std::printf("%s %s\n", items[1].label, items[1].value.empty() ? "(empty)" : "****");
  std::printf("%s %s\n", items[2].label, Str_Escape(items[2].value).c_str());
  std::printf("%s %s\n", items[3].label, Str_Escape(schema).c_str());
  if (items[3].found && !Schema_Valid(schema)) {
    std::fprintf(stderr, "planex-settings: %s: planex refuses the schema '%s'\n", file.c_str(),
                 Str_Escape(schema).c_str());
    status = ExitFailed;
  }
  return status;
}

int CmdEncode(const std::vector<std::string>& args) {
  if (!args.empty() && IsHelp(args[0])) {
    std::fputs(kEncodeUsage, stdout);
    return ExitOk;
  }
  if (args.size() != 1) return UsageError(kEncodeUsage, "give exactly one TEXT");
  std::string error;
  if (!Cfg_Value_Check("TEXT", args[0], true, &error)) return Fail(error);
  std::printf("%s\n", Encode(args[0]).c_str());
  return ExitOk;
}

int CmdDecode(const std::vector<std::string>& args) {
  if (!args.empty() && IsHelp(args[0])) {
    std::fputs(kDecodeUsage, stdout);
    return ExitOk;
  }
  if (args.size() != 1) return UsageError(kDecodeUsage, "give exactly one HEX");
  const std::string& hex = args[0];
  if (hex.find_first_not_of("0123456789ABCDEF") != std::string::npos || hex.size() % 16 != 0)
    std::fputs(
        "planex-settings: warning: not upper-case hexadecimal in blocks of 16 digits; "
        "this is what planex would read from it\n",
        stderr);
  std::string text;
  Cfg_Value_Decode(hex, &text, kCfgCipherKey);
  std::printf("%s\n", text.c_str());
  return ExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return UsageError(kUsage, "no command given");
  std::string command = args[0];
  args.erase(args.begin());
  if (IsHelp(command) || command == "help") {
    std::fputs(kUsage, stdout);
    return ExitOk;
  }
  if (command == "write") return CmdWrite(args);
  if (command == "show") return CmdShow(args);
  if (command == "encode") return CmdEncode(args);
  if (command == "decode") return CmdDecode(args);
  return UsageError(kUsage, "unknown command " + command);
}
