#pragma once
// The run log PLANEX.LOG. The run sequence opens it and hands it to every generator through the
// run context; every line is written with the system's message texts through Printf.
#include <cstdio>
#include <string>
#include <string_view>

#include "common/format.h"
#include "common/text.h"

// Told of every line of the run log once it is complete, as it stands in the file (without its
// line end). The run keeps the reasons of its error lines with it.
class RunLogListener {
 public:
  virtual void Line(std::string_view line) = 0;

 protected:
  ~RunLogListener() = default;
};

class RunLog {
 public:
  RunLog() = default;
  ~RunLog() { Close(); }
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Creates (empties) the run log at path. A symbolic link there is not followed: the log is then
  // one that cannot be created. Returns 0, or -1 with the system's reason in *reason.
  int Open(const char* path, const char** reason);
  // Closes the run log; safe to call when it is not open.
  void Close();
  // The listener of completed lines, or nullptr for none (the default).
  void SetListener(RunLogListener* listener) { listener_ = listener; }

  // Writes one text of a log line. A text that ends in a line end completes the line, which then
  // reaches the file at once, so that the log survives a crash of the run. Text arguments come
  // from settings, the command line and the database: their control characters are written
  // escaped (\n, \x1B, ...), so that no value can end a line or forge another.
  template <class... Args>
  void Printf(FormatFor<Args...> fmt, const Args&... args) {
    if (file_ == nullptr) return;
    Write(fmt.c_str(), Pass(Escaped(args))...);
  }

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
  RunLogListener* listener_ = nullptr;
  std::string pending_;  // the started line, while there is a listener
};
