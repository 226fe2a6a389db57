#pragma once
// The run report and the metrics for monitoring. With PLANEX_REPORT=FILE in the environment, a run
// writes FILE as one JSON document (outcome "running" from its start, the outcome and figures at
// its end); with PLANEX_METRICS=FILE it writes the same figures at its end in Prometheus' text
// format, for node_exporter's textfile collector. Both replace their file whole (FILE.tmp renamed
// over FILE); a file that cannot be written is said on standard error and changes nothing else.
// Without either variable nothing is written.
#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "batch/early.h"
#include "common/runlog.h"
#include "db/run_stats.h"

enum class RunOutcome {
  Running,           // the run has not ended (or was killed before it could say so)
  Ok,                // ran to its end, no error line in the run log
  Errors,            // ran to its end, with error lines in the run log
  Refused,           // stopped by its arguments or its settings before connecting
  ConnectionFailed,  // the connection failed
  Interrupted,       // stopped by SIGINT or SIGTERM
  LogFailed,         // PLANEX.LOG could not be created
  Blocked,           // stopped because the database refused statement after statement by its locks,
                     // or its disk is full
};
const char* Run_Outcome_Name(RunOutcome outcome);

// What the report and the metrics say of one run.
struct RunReport {
  std::string version;
  std::time_t started = 0;
  std::optional<std::time_t> ended;
  std::optional<double> duration_seconds;
  std::vector<std::string> arguments;  // as given; the password is never one of them
  std::optional<std::string> data_source, login, schema;
  std::optional<std::string> person_step;  // "batched" or "daily", once the run has connected
  RunOutcome outcome = RunOutcome::Running;
  std::optional<std::string> signal;  // the signal that stopped the run
  long error_lines = 0;
  std::vector<std::string> first_error_lines;  // at most kReportErrorLines
  std::vector<DbReason> first_error_reasons;   // the reason of each of them; empty where it has none
  std::optional<BatchStop> stopped_by;         // why a run stopped before the generators
  long peak_memory_bytes = 0;
  RunStats stats;
};
inline constexpr std::size_t kReportErrorLines = 10;

// The report as JSON (two-space indent, a line end after it).
std::string Report_Json(const RunReport& report);
// The metrics in Prometheus' text exposition format.
std::string Report_Metrics(const RunReport& report);
// A time as ISO 8601 local time with its offset, e.g. 2026-12-09T01:30:00+01:00.
std::string Report_Time(std::time_t when);
// Writes the report and the metrics of the run it is made for, where the environment asks.
class RunReporter {
 public:
  // Takes PLANEX_REPORT and PLANEX_METRICS from the environment and the arguments of the run.
  RunReporter(int argc, const char* const* argv);
  bool On() const { return !report_path_.empty() || !metrics_path_.empty(); }
  // Writes the report with outcome "running", so that a run killed without warning leaves one.
  void Begin();
  // The run's error lines with their reasons, once its run log is open.
  void ErrorLines(const RunErrorLines* errors) { errors_ = errors; }
  // Why the run stopped before the generators.
  void Stopped(const BatchStop& stop) { report_.stopped_by = stop; }
  // What the run learnt of its connection.
  void Connection(const std::string& data_source, const std::string& login, const std::string& schema, bool batched);
  // Writes both files with the run's outcome and figures and returns exit_status. Ok becomes Errors
  // when the run wrote error lines. signal: the one that stopped the run, or 0.
  int Finish(RunOutcome outcome, const RunStats* stats, int signal, int exit_status);

 private:
  void Write(const std::string& path, std::string (*format)(const RunReport&), int mode);

  std::string report_path_, metrics_path_;
  RunReport report_;
  const RunErrorLines* errors_ = nullptr;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};
