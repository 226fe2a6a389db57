#include "batch/batch.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "batch/early.h"
#include "batch/preflight.h"
#include "batch/progress.h"
#include "batch/report.h"
#include "calendar/bak.h"
#include "calendar/date.h"
#include "calendar/kal.h"
#include "common/interrupt.h"
#include "common/runlog.h"
#include "common/schema.h"
#include "db/db.h"
#include "db/error_lines.h"
#include "db/run_context.h"
#include "person/pnr.h"
#include "settings/settings.h"

namespace {

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

int Digits(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

std::string TodayKey() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  char key[16] = "";
  if (localtime_r(&now, &local) != nullptr) std::strftime(key, sizeof key, "%Y%m%d", &local);
  return key;
}

// A run that stops before the generators says why at the operator's terminal; a scheduler's run
// has the run log only.
void SayStop(bool terminal, const BatchStop& stop) {
  if (terminal) std::fputs(Batch_Stop_Line(stop).c_str(), stderr);
}

}  // namespace

bool Batch_EndeJahr_Valid(std::string_view ende_jahr) {
  return ende_jahr.size() == 4 && AllDigits(ende_jahr);
}

bool Batch_BegDat_Valid(std::string_view beg_dat) {
  if (beg_dat == "0") return true;
  if (beg_dat.size() != 8 || !AllDigits(beg_dat)) return false;
  int year = Digits(beg_dat.substr(0, 4));
  int month = Digits(beg_dat.substr(4, 2));
  int day = Digits(beg_dat.substr(6, 2));
  return day >= 1 && day <= Dat_MonthLen(month, year);
}

long Batch_Lock_Timeout_Ms(const char* seconds) {
  constexpr long kDefault = 30;
  if (seconds == nullptr || *seconds == '\0') return kDefault * 1000;
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(seconds, &end, 10);
  // -1: as long as the server waits; more than a day is taken for a mistake.
  if (*end != '\0' || errno != 0 || n < -1 || n > 24L * 3600) {
    std::fprintf(stderr, "planex: PLANEX_LOCK_TIMEOUT '%s' ist keine Zahl von Sekunden (-1 bis 86400); es gilt %ld.\n",
                 seconds, kDefault);
    return kDefault * 1000;
  }
  return n < 0 ? -1 : n * 1000;
}

void Batch_AllPersons(std::string* pnr_von, std::string* pnr_bis) {
  if (*pnr_von == "0" || *pnr_bis == "0") {
    *pnr_von = "        ";
    *pnr_bis = "zzzzzzzz";
  }
}

int Batch_Run(int argc, const char* const* argv) {
  // Usage and version on request, before any log or report is written.
  if (const std::string info = Batch_Info_Text(argc, argv); !info.empty()) {
    std::fputs(info.c_str(), stdout);
    return 0;
  }
  const bool terminal = isatty(STDERR_FILENO) == 1;

  // SIGINT and SIGTERM wait for the next statement boundary (common/interrupt.h).
  RunSignals signals;
  RunReporter report(argc, argv);
  report.Begin();
  const std::string today = TodayKey();

  // The log and the connection close on every way out of the run.
  RunLog log;
  const char* reason = "";
  if (log.Open("PLANEX.LOG", &reason) != 0) {
    std::fprintf(stderr, "Fehler: PLANEX.LOG kann nicht angelegt werden: %s\n", reason);
    return report.Finish(RunOutcome::LogFailed, nullptr, 0, 1);
  }
  // The run's connection (opened below); the log keeps its error lines with the reasons of the
  // failures they report.
  DbConnection db;
  report.ErrorLines(&log.Errors());
  // A run that stops before the generators says why at the terminal and in the report.
  auto refuse = [&](const BatchStop& stop, RunOutcome outcome) {
    SayStop(terminal, stop);
    report.Stopped(stop);
    log.Close();
    return report.Finish(outcome, nullptr, 0, 0);
  };

  if (argc - 1 != 5) {
    std::fputs("Aufruf: planex [BegDat] [EndeJahr] [Pfad] [PnrVon] [PnrBis]\n", stdout);
    std::fputs("Bsp.: planex 20041201 2006 ..\\files\\velorando.ini 0000 9999 \n", stdout);
    log.Error({}, "Falsche Anzahl Parameter(= 5)! AnzParam: %d\n", argc - 1);
    return refuse(Batch_Stop_Arguments(argc - 1), RunOutcome::Refused);
  }

  std::string beg_dat = argv[1];
  std::string ende_jahr = argv[2];
  std::string pfad = argv[3];
  std::string pnr_von = argv[4];
  std::string pnr_bis = argv[5];
  std::string end_key = ende_jahr + "1231";

  log.Printf("Datum: %s\n", today);

  // A year or start date that is not a date key would be compared as text against real date keys
  // and run the generators far past any sensible date, so both are refused before anything else.
  if (!Batch_EndeJahr_Valid(ende_jahr)) {
    log.Error({}, "Error: Parameter EndeJahr ungültig: %s\n", ende_jahr);
    return refuse(Batch_Stop_EndeJahr(ende_jahr), RunOutcome::Refused);
  }
  if (!Batch_BegDat_Valid(beg_dat)) {
    log.Error({}, "Error: Parameter BegDat ungültig: %s\n", beg_dat);
    return refuse(Batch_Stop_BegDat(beg_dat), RunOutcome::Refused);
  }
  // planex never deletes: a far year by mistake costs rows for every person that only hand work
  // takes away again, so it must be asked for.
  if (auto far = Batch_Check_Far_Year(log, ende_jahr, today, std::getenv("PLANEX_FAR_YEAR"))) {
    return refuse(*far, RunOutcome::Refused);
  }

  // A settings file that cannot be read gives no settings; the log names it before the line of
  // the schema that is then missing.
  const CfgSettings settings = Cfg_Settings_Read(pfad);
  if (!settings.Readable()) {
    log.Error({}, "Error: Einstellungsdatei '%s' %s\n", pfad, Batch_Settings_Problem(settings));
  }
  const std::string& login = settings.login;
  const std::string& pass = settings.password;
  const std::string& net8 = settings.dsn;
  std::string schema = Schema_Form(settings.schema);

  // The schema is pasted into every statement text; anything but a plain name is refused here.
  if (!Schema_Valid(schema)) {
    log.Error({}, "Error: Schema ungültig: '%s'\n", schema);
    return refuse(Batch_Stop_Schema(pfad, settings, schema), RunOutcome::Refused);
  }

  // PLANEX_PERSON_STEP=daily runs the person step day by day, one statement at a time, as the
  // reference and as the operator's fall-back; the batched step is the default.
  const char* step = std::getenv("PLANEX_PERSON_STEP");
  const bool batched = step == nullptr || std::strcmp(step, "daily") != 0;
  report.Connection(net8, login, schema, batched);  // the report names them from here on

  DbResult connected = db.Connect(login.c_str(), pass.c_str(), net8.c_str());
  // A statement waits for another session's lock this long at most, instead of as long as the
  // server lets it (for ever, by SQL Server's default).
  if (connected.code == DB_OK) connected = db.SetLockTimeout(Batch_Lock_Timeout_Ms(std::getenv("PLANEX_LOCK_TIMEOUT")));
  if (connected.code != DB_OK) {
    // Whoever can read the run's folder can read the log, so the password never goes into it.
    log.Error(Db_Reason(connected.diag), "Fehler(DB-Connect)! RC:%d ", connected.code);
    log.Printf("Name:%s Pwd:**** Net:%s \n", login, net8);
    return refuse(Batch_Stop_Connect(net8, login, Db_Reason(connected.diag)), RunOutcome::ConnectionFailed);
  }

  RunContext run{db, schema, today, log, {}};
  run.batched = batched;
  log.Printf("Aktuelles Schema: %s \n", run.schema);

  // Before the first write: a connection that numbers weekdays otherwise than the base calendar,
  // or a database without the client's tables, would write rows that no later run repairs.
  if (auto stop = Batch_Check_Weekdays(run, net8, login)) return refuse(*stop, RunOutcome::Refused);
  if (auto stop = Batch_Check_Schema(run, net8, login, pfad)) return refuse(*stop, RunOutcome::Refused);

  Batch_AllPersons(&pnr_von, &pnr_bis);
  const bool all_persons = pnr_von != argv[4];
  run.stats.warnings =
      Batch_Warnings(pnr_von, pnr_bis, all_persons, all_persons ? 0 : Bsv_Pnr_Width(run), ende_jahr, today);

  // Each generator reports its own failures; none keeps the next from running. An operator at a
  // terminal sees how far the run is; a scheduler's run gets no output there.
  Progress progress(run.stats, stderr, terminal);
  if (terminal) run.stats_changed = [&progress] { progress.Changed(); };
  const char* at = "Basiskalender";
  int stopped = 0;
  bool blocked = false;
  // A database plainly blocked stops the run after the statement that showed it, whose error
  // line the routine has written; this line says that the run stopped, and why.
  auto stop_blocked = [&](const DbResult& failure) {
    blocked = true;
    log.Error(Db_Reason(failure.diag), "Error: Abbruch, Datenbank blockiert (%d)! ",
              static_cast<int>(failure.diag.native));
    if (run.stats.person.empty()) {
      log.Printf("Schritt: %s!\n", at);
    } else {
      log.Printf("Person: %s!\n", run.stats.person);
    }
  };
  db.StopWhenBlocked();
  try {
    progress.Step("[1/3] Basiskalender");
    Bak_Calendar_Extend(run, end_key.c_str());
    at = "Arbeitszeitkalender";
    progress.Step("[2/3] Arbeitszeitkalender");
    Kal_Calendar_Generate(run, end_key.c_str());
    at = "Personen";
    // The operator sees persons done of all; a scheduler's run does not count them.
    if (terminal) run.stats.persons_total = Bsv_Pnr_Count(run, pnr_von.c_str(), pnr_bis.c_str());
    progress.Persons("[3/3] Personen");
    Pnr_Schedule_Generate(run, beg_dat.c_str(), end_key.c_str(), pnr_von.c_str(), pnr_bis.c_str());
    Sig_Check();  // a signal after the last statement still stops the run
    db.CheckBlocked();
  } catch (const RunBlocked& refused) {
    stop_blocked(refused.failure);
  } catch (const RunInterrupted& interrupted) {
    // Every statement before this one has been committed on its own; the interrupted person is
    // completed by the next run.
    stopped = interrupted.signal;
    log.Error({}, "Error: Abbruch durch %s! ", Sig_Name(stopped));
    if (run.stats.person.empty()) {
      log.Printf("Schritt: %s!\n", at);
    } else {
      log.Printf("Person: %s!\n", run.stats.person);
    }
  }
  // A run that found no person in its range says so, unless it failed or was stopped anyway.
  if (stopped == 0 && log.Errors().Count() == 0 && run.stats.persons_read == 0 &&
      (run.stats.warnings.empty() || run.stats.warnings[0].code != "range_reversed")) {
    run.stats.warnings.push_back(Batch_Warning_No_Persons(argv[4], argv[5], all_persons));
  }
  run.stats.retries_deadlock = db.Retries().deadlock;
  run.stats.retries_lock_timeout = db.Retries().lock_timeout;
  progress.Finish(log.Errors(), stopped);
  if (terminal) {
    for (const RunWarning& w : run.stats.warnings) std::fprintf(stderr, "planex: Warnung: %s\n", w.text.c_str());
  }
  run.stats_changed = nullptr;
  log.Close();
  // A run that ends by its signal closes its connection first, so that the server sees a logout.
  if (stopped != 0) db.Disconnect();
  const RunOutcome outcome = stopped != 0 ? RunOutcome::Interrupted : blocked ? RunOutcome::Blocked : RunOutcome::Ok;
  return report.Finish(outcome, &run.stats, stopped, 0);
}
