#include "batch/report.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "common/file.h"
#include "common/interrupt.h"

#ifndef PLANEX_VERSION
#define PLANEX_VERSION "unknown"
#endif

namespace {

constexpr RunOutcome kOutcomes[] = {
    RunOutcome::Running,          RunOutcome::Ok,          RunOutcome::Errors,    RunOutcome::Refused,
    RunOutcome::ConnectionFailed, RunOutcome::Interrupted, RunOutcome::LogFailed, RunOutcome::Blocked};

// The rows of a table the run writes, zero when it wrote none.
RunTableRows RowsOf(const RunReport& report, const RunTableName& name) {
  const std::string schema = name.system ? "QXSYSTEM" : report.schema.value_or("");
  const RunTableRows* rows = report.stats.Find(schema, name.table);
  return rows != nullptr ? *rows : RunTableRows{schema, name.table};
}

long PeakMemoryBytes() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return usage.ru_maxrss * 1024L;  // Linux gives kilobytes
}

// A label value: backslash, double quote and line end escaped.
std::string Label(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

class Exposition {
 public:
  void Family(const char* name, const char* help) {
    text_ += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n";
  }
  void Sample(const std::string& series, double value) {
    char number[64];
    std::snprintf(number, sizeof number, "%.17g", value);
    text_ += series + " " + number + "\n";
  }
  std::string Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace

const char* Run_Outcome_Name(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Running:
      return "running";
    case RunOutcome::Ok:
      return "ok";
    case RunOutcome::Errors:
      return "errors";
    case RunOutcome::Refused:
      return "refused";
    case RunOutcome::ConnectionFailed:
      return "connection_failed";
    case RunOutcome::Interrupted:
      return "interrupted";
    case RunOutcome::LogFailed:
      return "log_failed";
    case RunOutcome::Blocked:
      return "blocked";
  }
  return "running";
}

std::string Report_Time(std::time_t when) {
  std::tm local{};
  char text[40] = "";
  if (localtime_r(&when, &local) == nullptr || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local) == 0) {
    return "";
  }
  // strftime gives the offset as +hhmm; ISO 8601's extended form (and RFC 3339) wants +hh:mm.
  std::string out = text;
  if (out.size() >= 5) out.insert(out.size() - 2, ":");
  return out;
}

std::string Report_Json(const RunReport& report) {
  using Json = nlohmann::ordered_json;
  auto optional = [](const auto& value) { return value ? Json(*value) : Json(nullptr); };
  Json doc;
  doc["version"] = report.version;
  doc["started"] = Report_Time(report.started);
  doc["ended"] = report.ended ? Json(Report_Time(*report.ended)) : Json(nullptr);
  doc["duration_seconds"] = optional(report.duration_seconds);
  doc["outcome"] = Run_Outcome_Name(report.outcome);
  doc["signal"] = optional(report.signal);
  doc["arguments"] = report.arguments;
  doc["data_source"] = optional(report.data_source);
  doc["login"] = optional(report.login);
  doc["schema"] = optional(report.schema);
  // What the run warns of: it may have done nothing that was meant, though nothing failed.
  Json warnings = Json::array();
  for (const RunWarning& w : report.stats.warnings) warnings.push_back({{"code", w.code}, {"text", w.text}});
  doc["warnings"] = warnings;
  doc["person_step"] = optional(report.person_step);
  doc["error_lines"] = report.error_lines;
  Json lines = Json::array();
  // Each line with the reason of its failure: SQLSTATE, native error and the driver's message, or
  // null where the line reports no failed statement.
  auto reason = [](Json& entry, const DbReason& r) {
    const bool none = r.Empty();
    entry["sqlstate"] = none ? Json(nullptr) : Json(r.sqlstate);
    entry["native"] = none ? Json(nullptr) : Json(r.native);
    entry["message"] = none ? Json(nullptr) : Json(r.message);
  };
  for (std::size_t i = 0; i < report.first_error_lines.size(); ++i) {
    Json entry = {{"line", report.first_error_lines[i]}};
    reason(entry, i < report.first_error_reasons.size() ? report.first_error_reasons[i] : DbReason{});
    lines.push_back(entry);
  }
  doc["first_error_lines"] = lines;
  Json stopped_by(nullptr);
  if (report.stopped_by) {
    stopped_by = {{"kind", report.stopped_by->kind}, {"text", report.stopped_by->text}};
    reason(stopped_by, report.stopped_by->reason);
  }
  doc["stopped_by"] = stopped_by;
  Json rows = Json::object();
  for (const RunTableName& name : kRunTables) {
    const RunTableRows t = RowsOf(report, name);
    // A figure the server did not say (SET NOCOUNT ON) is null, not a guess.
    rows[name.table] = {{"added", t.added_unknown ? Json(nullptr) : Json(t.added)},
                        {"rewritten", t.rewritten_unknown ? Json(nullptr) : Json(t.rewritten)}};
  }
  doc["rows"] = rows;
  const RunStats& s = report.stats;
  doc["persons"] = {{"read", s.persons_read},
                    {"batched", s.persons_batched},
                    {"daily", s.persons_daily},
                    {"handed_over", s.persons_handed_over},
                    {"fallback_reasons", s.fallback_reasons}};
  Json refusals = Json::array();
  for (const RunStats::Refusal& r : s.refusals) {
    refusals.push_back({{"pnr", r.pnr}, {"sqlstate", r.sqlstate}, {"native", r.native}, {"message", r.message}});
  }
  doc["persons"]["refusals"] = refusals;
  doc["retries"] = {{"deadlock", s.retries_deadlock}, {"lock_timeout", s.retries_lock_timeout}};
  doc["peak_memory_bytes"] = report.peak_memory_bytes;
  // Log lines and settings are bytes as they came; what is not UTF-8 is replaced, not refused.
  return doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string Report_Metrics(const RunReport& report) {
  Exposition out;
  out.Family("planex_run_info", "The last run of planex: its version, 1.");
  out.Sample("planex_run_info{version=\"" + Label(report.version) + "\"}", 1);
  out.Family("planex_run_start_time_seconds", "Start of the last run, seconds since 1970-01-01 UTC.");
  out.Sample("planex_run_start_time_seconds", static_cast<double>(report.started));
  out.Family("planex_run_end_time_seconds", "End of the last run, seconds since 1970-01-01 UTC.");
  out.Sample("planex_run_end_time_seconds", static_cast<double>(report.ended.value_or(report.started)));
  out.Family("planex_run_duration_seconds", "How long the last run took.");
  out.Sample("planex_run_duration_seconds", report.duration_seconds.value_or(0));
  out.Family("planex_run_outcome", "Outcome of the last run: 1 for the outcome it had, 0 for the others.");
  for (RunOutcome outcome : kOutcomes) {
    out.Sample(std::string("planex_run_outcome{outcome=\"") + Run_Outcome_Name(outcome) + "\"}",
               outcome == report.outcome ? 1 : 0);
  }
  out.Family("planex_run_error_lines",
             "Lines of the last run's log that say a failure (Error, Fehler, a wrong argument count).");
  out.Sample("planex_run_error_lines", static_cast<double>(report.error_lines));
  out.Family("planex_run_warnings", "Warnings of the last run, by code (a run that may have done nothing meant).");
  for (const char* code : kRunWarningCodes) {
    long n = 0;
    for (const RunWarning& w : report.stats.warnings) n += w.code == code ? 1 : 0;
    out.Sample(std::string("planex_run_warnings{code=\"") + code + "\"}", static_cast<double>(n));
  }
  out.Family("planex_run_rows", "Rows the last run added or rewrote, by table.");
  for (const RunTableName& name : kRunTables) {
    const RunTableRows t = RowsOf(report, name);
    // A figure the server did not say is left out rather than guessed.
    if (!t.added_unknown) {
      out.Sample(std::string("planex_run_rows{table=\"") + name.table + "\",kind=\"added\"}",
                 static_cast<double>(t.added));
    }
    if (!t.rewritten_unknown) {
      out.Sample(std::string("planex_run_rows{table=\"") + name.table + "\",kind=\"rewritten\"}",
                 static_cast<double>(t.rewritten));
    }
  }
  const RunStats& s = report.stats;
  out.Family("planex_run_persons", "Persons the last run read, and the person step each went through.");
  const std::pair<const char*, long> persons[] = {{"read", s.persons_read},
                                                  {"batched", s.persons_batched},
                                                  {"daily", s.persons_daily},
                                                  {"handed_over", s.persons_handed_over}};
  for (const auto& [step, n] : persons) {
    out.Sample(std::string("planex_run_persons{step=\"") + step + "\"}", static_cast<double>(n));
  }
  if (!s.fallback_reasons.empty()) {
    out.Family("planex_run_person_fallbacks", "Persons the last run's batched step handed over, by reason.");
    for (const auto& [reason, n] : s.fallback_reasons) {
      out.Sample("planex_run_person_fallbacks{reason=\"" + Label(reason) + "\"}", static_cast<double>(n));
    }
  }
  out.Family("planex_run_retries",
             "Statements the server refused by its locks that the last run ran again, by reason.");
  out.Sample("planex_run_retries{reason=\"deadlock\"}", static_cast<double>(s.retries_deadlock));
  out.Sample("planex_run_retries{reason=\"lock_timeout\"}", static_cast<double>(s.retries_lock_timeout));
  out.Family("planex_run_person_refusals", "Statements of the last run's batched step that the server refused.");
  out.Sample("planex_run_person_refusals", static_cast<double>(s.refused));
  out.Family("planex_run_peak_memory_bytes", "Peak resident memory of the last run.");
  out.Sample("planex_run_peak_memory_bytes", static_cast<double>(report.peak_memory_bytes));
  return out.Text();
}

RunReporter::RunReporter(int argc, const char* const* argv) {
  const char* report = std::getenv("PLANEX_REPORT");
  const char* metrics = std::getenv("PLANEX_METRICS");
  if (report != nullptr) report_path_ = report;
  if (metrics != nullptr) metrics_path_ = metrics;
  report_.version = PLANEX_VERSION;
  report_.started = std::time(nullptr);
  for (int i = 1; i < argc; ++i) report_.arguments.emplace_back(argv[i]);
}

void RunReporter::Begin() {
  if (!report_path_.empty()) Write(report_path_, Report_Json, -1);
}

void RunReporter::Connection(const std::string& data_source, const std::string& login, const std::string& schema,
                             bool batched) {
  report_.data_source = data_source;
  report_.login = login;
  report_.schema = schema;
  report_.person_step = batched ? "batched" : "daily";
}

int RunReporter::Finish(RunOutcome outcome, const RunStats* stats, int signal, int exit_status) {
  if (On()) {
    report_.ended = std::time(nullptr);
    report_.duration_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    if (stats != nullptr) report_.stats = *stats;
    if (errors_ != nullptr) {
      report_.error_lines = errors_->Count();
      for (const RunErrorLine& kept : errors_->Kept()) {
        if (report_.first_error_lines.size() == kReportErrorLines) break;
        report_.first_error_lines.push_back(kept.line);
        report_.first_error_reasons.push_back(kept.reason);
      }
    }
    if (outcome == RunOutcome::Ok && report_.error_lines > 0) outcome = RunOutcome::Errors;
    report_.outcome = outcome;
    if (signal != 0) report_.signal = Sig_Name(signal);
    report_.peak_memory_bytes = PeakMemoryBytes();
    if (!report_path_.empty()) Write(report_path_, Report_Json, -1);
    // The collector runs as a user of its own: the figures, which hold nothing private, are
    // readable by everyone whatever the run's umask.
    if (!metrics_path_.empty()) Write(metrics_path_, Report_Metrics, 0644);
  }
  if (signal != 0) Sig_Die(signal);
  return exit_status;
}

void RunReporter::Write(const std::string& path, std::string (*format)(const RunReport&), int mode) {
  // Whatever goes wrong here is said and leaves the run as it is.
  std::string error;
  try {
    if (File_Replace(path, format(report_), mode, &error)) return;
  } catch (const std::exception& e) {
    error = "cannot write " + path + ": " + e.what();
  }
  std::fprintf(stderr, "planex: %s\n", error.c_str());
}
