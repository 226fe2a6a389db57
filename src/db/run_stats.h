#pragma once
// What a run did, as its writers and its person run record it: rows added and rewritten per
// table, persons read and the way each went. The terminal's progress and summary, the run report
// and the metrics read these figures; nothing parses statement texts or the run log for them.
#include <cstddef>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// The rows a run wrote to one table.
struct RunTableRows {
  std::string schema;  // QXSYSTEM, or the client schema
  std::string table;   // as the statements name it after the schema, e.g. Qxs327Tag
  long added = 0;      // rows inserted
  long rewritten = 0;  // rows updated
  // A write succeeded whose server did not say its rows (SET NOCOUNT ON): the figure is unknown.
  bool added_unknown = false;
  bool rewritten_unknown = false;
};

enum class RunWrite { Added, Rewritten };

// Why the batched person step handed a person to the day-by-day routines.
enum class PnrFallback : std::size_t {
  NoAssignment,        // a day without a valid group assignment
  SeveralAssignments,  // a day with several
  NoPlan,              // no live plan row for the group and cycle day
  SeveralPlans,        // several
  DeadRecord,          // a schedule-assignment record with status 4 or more on the day
  SeveralRecords,      // several records on the day
  TooLong,             // a value longer than its field
  OddDays,             // calendar days twice or out of order
  ReadFailed,          // a read failed
  WriteRefused,        // a write was refused
};
// Each reason, in the order of PnrFallback: its key in the run report and its words on the
// operator's terminal.
struct PnrFallbackName {
  const char* key;
  const char* text;
};
inline constexpr PnrFallbackName kPnrFallbacks[] = {
    {"no_assignment", "ohne Zuordnung"},
    {"several_assignments", "mehrere Zuordnungen"},
    {"no_plan", "ohne Wochenplan"},
    {"several_plans", "mehrere Wochenpläne"},
    {"dead_record", "Ztgsatz ab Status 4"},
    {"several_records", "mehrere Ztgsätze"},
    {"too_long", "Wert zu lang"},
    {"odd_days", "Kalendertage doppelt"},
    {"read_failed", "Lesen fehlgeschlagen"},
    {"write_refused", "Schreiben abgewiesen"},
};
static_assert(std::size(kPnrFallbacks) == static_cast<std::size_t>(PnrFallback::WriteRefused) + 1);

// The tables a run writes, as their statements name them: the schema is QXSYSTEM for the system
// tables and the client schema for the others.
struct RunTableName {
  const char* table;
  bool system;
};
inline constexpr RunTableName kRunTables[] = {
    {"Qxs133Bak", true},  {"Qxs133Kal", true},  {"Qxs133Ka2", false},
    {"Qxs327Tag", false}, {"Qxs329Ztg", false}, {"Qxs332Urv", false},
};

// What a run says of itself that is no failure: it may have done nothing the operator meant. A
// short code for the report and the metrics, and a German sentence for the operator.
struct RunWarning {
  std::string code;
  std::string text;
};
// Every code, in the order the metrics list them.
inline constexpr const char* kRunWarningCodes[] = {"range_reversed", "no_persons", "pnr_width", "end_year_past"};

struct RunStats {
  // Every table a write succeeded on, in the order of its first such write.
  std::vector<RunTableRows> tables;

  // Persons the person cursor gave, each counted once, and the step each went through: the
  // batched step, or the day-by-day routines (the run's step, or a person the batched step handed
  // over because it could not decide it exactly). A person with no day after its start date takes
  // neither. fallback_reasons counts the hand-overs by reason, where the reason is known.
  long persons_read = 0;
  // Persons whose every step is done, and the persons the person cursor will give as counted
  // before it opens (at a terminal only; -1 when not counted or the count failed).
  long persons_done = 0;
  long persons_total = -1;
  long persons_batched = 0;
  long persons_daily = 0;
  long persons_handed_over = 0;
  std::map<std::string, long> fallback_reasons;

  // What the run warns of; the outcome stays as it is.
  std::vector<RunWarning> warnings;

  // The person the person run is at; empty before it starts.
  std::string person;

  // Statements (and persons' batched writes) the server refused by its locks and that ran again,
  // by reason ("deadlock", "lock_timeout"): the connection counts them (DbConnection::Retries),
  // the run sequence copies them here at the end.
  long retries_deadlock = 0;
  long retries_lock_timeout = 0;
  // The first statements of the batched step that failed, with the server's reason; the person
  // then went day by day (or was done again).
  struct Refusal {
    std::string pnr;
    std::string sqlstate;
    long native = 0;
    std::string message;
  };
  std::vector<Refusal> refusals;
  long refused = 0;  // all of them
  static constexpr std::size_t kRefusalsKept = 10;

  // Records why the batched step handed a person over.
  void FellBack(PnrFallback why) { ++fallback_reasons[kPnrFallbacks[static_cast<std::size_t>(why)].key]; }
  // Records a write that succeeded: rows touched in schema.table (DB_ROWS_UNKNOWN: not said).
  void Wrote(std::string_view schema, std::string_view table, RunWrite kind, long rows);
  // The rows of schema.table, or nullptr when nothing was written there.
  const RunTableRows* Find(std::string_view schema, std::string_view table) const;
  // Rows written to every table together.
  long Rows() const;
};
