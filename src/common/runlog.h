#pragma once
// The run log PLANEX.LOG. The run sequence opens it and hands it to every generator through the
// run context; every line is written with the system's message texts through Printf, and every
// error line begun with Error, which keeps it with the reason of the failure it reports.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/format.h"
#include "common/text.h"

// Why a statement or the connection failed, as the driver said it. Empty when the line reports
// no failed statement (a row not found, RC:100, or a check of planex's own).
struct DbReason {
  std::string sqlstate;  // five characters, e.g. "42S02"
  int32_t native = 0;    // e.g. 208; 0 when the driver manager or driver gave none
  std::string message;   // the driver's text, e.g. "[tsqlite]Invalid object name 'ABC_1.Qxs327Tag'."
  bool Empty() const { return sqlstate.empty() && native == 0 && message.empty(); }
};
// One line for a person: "SQLSTATE 42S02, Nr. 208: Invalid object name ...", control characters
// escaped; "" for an empty reason.
std::string Db_Reason_Text(const DbReason& reason);

// The one rule of what an error line is: it begins with "Error" or "Fehler", or reports a wrong
// number of arguments. planex-check-log finds the failures of a run in its file by this rule; the
// run log holds to it when built: a text written with RunLog::Error must begin an error line, and
// no line a text of RunLog::Printf begins may look like one.
constexpr bool Run_Is_Error_Line(std::string_view line) {
  return line.starts_with("Error") || line.starts_with("Fehler") || line.starts_with("Falsche Anzahl Parameter");
}

namespace runlog_detail {

// Called only when a text breaks the rule above; being no constexpr function, it stops the build
// where the text is written.
void ErrorLinesAreWrittenWithRunLogError();

// True when a line that text begins (at its start or after a line end in it) is an error line.
constexpr bool BeginsAnErrorLine(std::string_view text) {
  for (std::size_t start = 0;;) {
    if (Run_Is_Error_Line(text.substr(start))) return true;
    const std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) return false;
    start = end + 1;
  }
}

}  // namespace runlog_detail

// The text of a line that is no error line (or of the rest of a line), checked when built.
template <class... Args>
class LogFormat {
 public:
  consteval LogFormat(const char* text) : format_(text) {  // NOLINT(google-explicit-constructor)
    if (runlog_detail::BeginsAnErrorLine(text)) runlog_detail::ErrorLinesAreWrittenWithRunLogError();
  }
  constexpr const char* c_str() const { return format_.c_str(); }

 private:
  CheckedFormat<Args...> format_;
};

// The text that begins an error line, checked when built.
template <class... Args>
class ErrorFormat {
 public:
  consteval ErrorFormat(const char* text) : format_(text) {  // NOLINT(google-explicit-constructor)
    if (!Run_Is_Error_Line(text)) runlog_detail::ErrorLinesAreWrittenWithRunLogError();
  }
  constexpr const char* c_str() const { return format_.c_str(); }

 private:
  CheckedFormat<Args...> format_;
};

// An error line of the run log (as it stands there, without its line end) and its reason.
struct RunErrorLine {
  std::string line;
  DbReason reason;
};

// The error lines of a run as the run log wrote them: the count of all, and the first of them
// with their reasons. The terminal's summary and the run report read them here.
class RunErrorLines {
 public:
  explicit RunErrorLines(std::size_t keep) : keep_(keep) {}
  long Count() const { return count_; }
  const std::vector<RunErrorLine>& Kept() const { return kept_; }

 private:
  friend class RunLog;  // which alone writes the lines
  void Add(std::string_view line, DbReason reason);

  std::size_t keep_;
  long count_ = 0;
  std::vector<RunErrorLine> kept_;
};

class RunLog {
 public:
  // keep: how many error lines are kept with their reasons (all are counted).
  explicit RunLog(std::size_t keep = 20) : errors_(keep) {}
  ~RunLog() { Close(); }
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Creates (empties) the run log at path. A symbolic link there is not followed: the log is then
  // one that cannot be created. Returns 0, or -1 with the system's reason in *reason.
  int Open(const char* path, const char** reason);
  // Closes the run log; safe to call when it is not open. An error line left without its line
  // end still counts, as it stands in the file.
  void Close();

  // Writes one text of a log line. A text that ends in a line end completes the line, which then
  // reaches the file at once, so that the log survives a crash of the run. Text arguments come
  // from settings, the command line and the database: their control characters are written
  // escaped (\n, \x1B, ...), so that no value can end a line or forge another.
  template <class... Args>
  void Printf(LogFormat<std::type_identity_t<Args>...> fmt, const Args&... args) {
    if (file_ == nullptr) return;
    Write(fmt.c_str(), Pass(Escaped(args))...);
  }
  // Writes the text that begins an error line; the line, once complete, is counted and kept with
  // reason, the failure it reports (empty when it reports none: a row not found, a refused
  // argument, a stop by a signal).
  template <class... Args>
  void Error(const DbReason& reason, ErrorFormat<std::type_identity_t<Args>...> fmt, const Args&... args) {
    if (file_ == nullptr) return;
    // Only a text that begins its line makes an error line, as the file shows it.
    if (pending_.empty()) {
      error_ = true;
      reason_ = reason;
    }
    Write(fmt.c_str(), Pass(Escaped(args))...);
  }
  // The error lines written so far.
  const RunErrorLines& Errors() const { return errors_; }

 private:
  static std::string Escaped(std::string_view text) { return Str_Escape(text); }
  static std::string Escaped(const char* text) { return Str_Escape(text != nullptr ? text : ""); }
  static int Escaped(int value) { return value; }
  static long Escaped(long value) { return value; }
  static const char* Pass(const std::string& text) { return text.c_str(); }
  static int Pass(int value) { return value; }
  static long Pass(long value) { return value; }

  void Write(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

  FILE* file_ = nullptr;
  std::string pending_;  // the started line
  bool error_ = false;   // the started line is an error line
  DbReason reason_;      // its reason
  RunErrorLines errors_;
};
