#pragma once
// The run's progress on the operator's terminal. When standard error is a terminal, one line is
// kept up to date (the step; in the person run, persons done of all, rate and time left) and at
// the end replaced by a summary: rows added and rewritten per table, the number of error lines of
// the run log and the first of them with their reasons, the time taken. Every figure comes from
// the run's statistics, which the writers and the person run keep (db/run_stats.h); the run
// sequence calls Changed when they change. Otherwise the progress does nothing at all: no output.
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/runlog.h"
#include "db/run_stats.h"

// Rows a run wrote to one table, as the summary shows them.
struct ProgressTable {
  std::string table;   // as the statement names it, schema included
  long added = 0;      // rows inserted
  long rewritten = 0;  // rows updated
};

// The progress line of a step: persons_done < 0 for a step without persons, persons_total < 0
// when their number is unknown. seconds: time spent in the step so far.
std::string Progress_Line(std::string_view step, long rows, long persons_done, long persons_total, double seconds);
// The closing summary, lines ending in "\n"; stopped names the signal that interrupted the run;
// with persons, also how many each step did and why persons went day by day.
std::string Progress_Summary(const std::vector<ProgressTable>& tables, long error_lines, double seconds,
                             const char* stopped = nullptr, const RunStats* persons = nullptr);
// The first `shown` error lines of a run, each followed by its reason where it has one, and how
// many more there are; lines ending in "\n", "" when there are none.
std::string Progress_Error_Reasons(const std::vector<RunErrorLine>& kept, long count, std::size_t shown = 5);

class Progress final {
 public:
  // Shows the run's stats on out when on is true (standard error is a terminal); else does nothing.
  Progress(const RunStats& stats, FILE* out, bool on) : stats_(stats), out_(out), on_(on) {}
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // A step without persons: the base calendar, the working-time calendars.
  void Step(std::string_view name);
  // The person run: persons done of stats.persons_total.
  void Persons(std::string_view name);
  // Replaces the line by the summary, with the number of the run's error lines and the first of
  // them with their reasons; signal: the one that interrupted the run, or 0.
  void Finish(const RunErrorLines& errors, int signal = 0);

  // The stats changed: the line is redrawn, at most every tenth of a second.
  void Changed();

 private:
  using Clock = std::chrono::steady_clock;
  void Begin(std::string_view name, bool persons);
  void Show(bool force);
  static double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

  const RunStats& stats_;
  FILE* out_;
  bool on_;
  std::string step_;
  long step_rows_ = 0;     // rows the run had written when the step began
  bool persons_ = false;   // the step is the person run
  long step_persons_ = 0;  // persons done when the step began
  Clock::time_point run_start_ = Clock::now();
  Clock::time_point step_start_ = run_start_;
  Clock::time_point shown_ = run_start_;
};
