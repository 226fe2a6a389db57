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
// and the count of all. An error line is written through Write by the routine that decided on the
// failure, which hands the failure's diagnostic over with the line's first text; a line written
// otherwise (a refused parameter, a stop by a signal) has no reason.
class RunErrorLines final : public RunLogListener {
 public:
  explicit RunErrorLines(RunLog& log, std::size_t keep = 20);
  ~RunErrorLines();
  RunErrorLines(const RunErrorLines&) = delete;
  RunErrorLines& operator=(const RunErrorLines&) = delete;

  // Writes the text that begins a line of the run log; the line, once complete, has failed's
  // diagnostic as its reason (none when the failure has none: a row not found, RC:100).
  template <class... Args>
  void Write(const DbResult& failed, FormatFor<Args...> fmt, const Args&... args) {
    reason_ = Db_Reason(failed.diag);
    log_.Printf(fmt, args...);
  }

  void Line(std::string_view line) override;

  long Count() const { return count_; }
  const std::vector<RunErrorLine>& Kept() const { return kept_; }

 private:
  RunLog& log_;
  std::size_t keep_;
  long count_ = 0;
  std::vector<RunErrorLine> kept_;
  DbReason reason_;  // of the line being written, handed over by Write
};
