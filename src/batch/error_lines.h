#pragma once
// The error lines of a run, each with the reason of the failure it reports: the SQLSTATE, the
// server's (or driver's) native error number and the driver's message. PLANEX.LOG keeps its lines
// as they always were; the reasons go to the operator's terminal and to the run's report.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/runlog.h"
#include "db/db.h"

// Why a statement or the connection failed, as the driver said it. Empty when the line reports
// no failed statement (a row not found, RC:100, or a check of planex's own).
struct DbReason {
  std::string sqlstate;  // five characters, e.g. "42S02"
  int32_t native = 0;    // e.g. 208; 0 when the driver manager or driver gave none
  std::string message;   // the driver's text, e.g. "[tsqlite]Invalid object name 'ABC_1.Qxs327Tag'."
  bool Empty() const { return sqlstate.empty() && native == 0 && message.empty(); }
};
DbReason Db_Reason(const DiagSatz& diag);
// One line for a person: "SQLSTATE 42S02, Nr. 208: Invalid object name ...", control characters
// escaped; "" for an empty reason.
std::string Db_Reason_Text(const DbReason& reason);

// An error line of the run log (as it stands there, without its line end) and its reason.
struct RunErrorLine {
  std::string line;
  DbReason reason;
};

// Lines that begin with "Error" or "Fehler" are error lines, for the terminal, the report and
// planex-check-log alike.
bool Run_Is_Error_Line(std::string_view line);

// Listens to the run log and keeps its error lines with their reasons: the first `keep` of them,
// and the count of all. A line takes the diagnostics of the connection's latest statement (or of
// the connection attempt) when that failed and no earlier error line took them.
class RunErrorLines final : public RunLogListener {
 public:
  RunErrorLines(DbConnection& db, RunLog& log, std::size_t keep = 20);
  ~RunErrorLines();
  RunErrorLines(const RunErrorLines&) = delete;
  RunErrorLines& operator=(const RunErrorLines&) = delete;

  void Line(std::string_view line) override;

  long Count() const { return count_; }
  const std::vector<RunErrorLine>& Kept() const { return kept_; }

 private:
  DbConnection& db_;
  RunLog& log_;
  std::size_t keep_;
  long count_ = 0;
  std::vector<RunErrorLine> kept_;
};
