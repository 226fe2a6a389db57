#include "batch/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "common/interrupt.h"

namespace {

// The line is redrawn at most this often; a person run writes thousands of rows a second.
constexpr double kRedrawSeconds = 0.1;

std::string Duration(double seconds) {
  const long s = std::lround(std::max(seconds, 0.0));
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  }
  return text;
}

// Columns of the terminal behind fd, 0 when unknown.
size_t Columns(FILE* out) {
  winsize size{};
  if (ioctl(fileno(out), TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

}  // namespace

std::string Progress_Line(std::string_view step, long rows, long persons_done, long persons_total, double seconds) {
  std::string line(step);
  char part[96];
  if (persons_done >= 0) {
    if (persons_total >= 0) {
      std::snprintf(part, sizeof part, " %ld/%ld", persons_done, persons_total);
    } else {
      std::snprintf(part, sizeof part, " %ld", persons_done);
    }
    line += part;
    if (persons_done > 0 && seconds > 0) {
      double rate = persons_done / seconds;
      std::snprintf(part, sizeof part, ", %.1f/s", rate);
      line += part;
      if (persons_total >= persons_done) line += ", noch " + Duration((persons_total - persons_done) / rate);
    }
  }
  std::snprintf(part, sizeof part, ", %ld Zeilen", rows);
  line += part;
  return line;
}

std::string Progress_Summary(const std::vector<ProgressTable>& tables, long error_lines, double seconds,
                             const char* stopped, const RunStats* persons) {
  std::string text = stopped != nullptr
                         ? "planex: abgebrochen durch " + std::string(stopped) + " nach " + Duration(seconds) + "\n"
                         : "planex: fertig in " + Duration(seconds) + "\n";
  size_t width = 7;  // "Tabelle"
  for (const ProgressTable& t : tables) width = std::max(width, t.table.size());
  char line[160];
  std::snprintf(line, sizeof line, "  %-*s %10s %14s\n", static_cast<int>(width), "Tabelle", "neu", "überschrieben");
  text += line;
  for (const ProgressTable& t : tables) {
    std::snprintf(line, sizeof line, "  %-*s %10ld %13ld\n", static_cast<int>(width), t.table.c_str(), t.added,
                  t.rewritten);
    text += line;
  }
  if (tables.empty()) text += "  (keine Zeile geschrieben)\n";
  std::snprintf(line, sizeof line, "  Fehlerzeilen in PLANEX.LOG: %ld\n", error_lines);
  text += line;
  if (persons != nullptr && persons->persons_batched + persons->persons_daily > 0) {
    std::snprintf(line, sizeof line, "  Personen: %ld gebündelt, %ld Tag für Tag\n", persons->persons_batched,
                  persons->persons_daily);
    text += line;
    std::string reasons;
    for (const PnrFallbackName& why : kPnrFallbacks) {
      const auto it = persons->fallback_reasons.find(why.key);
      if (it == persons->fallback_reasons.end() || it->second == 0) continue;
      reasons += (reasons.empty() ? "" : ", ") + std::string(why.text) + ": " + std::to_string(it->second);
    }
    if (!reasons.empty()) text += "    Tag für Tag, weil: " + reasons + "\n";
  }
  return text;
}

std::string Progress_Error_Reasons(const std::vector<RunErrorLine>& kept, long count, std::size_t shown) {
  std::string text;
  std::size_t n = 0;
  for (; n < kept.size() && n < shown; ++n) {
    text += "    " + kept[n].line + "\n";
    if (!kept[n].reason.Empty()) text += "      Grund: " + Db_Reason_Text(kept[n].reason) + "\n";
  }
  if (count > static_cast<long>(n) && n > 0)
    text += "    ... und " + std::to_string(count - static_cast<long>(n)) + " weitere\n";
  return text;
}

void Progress::Step(std::string_view name) {
  if (!on_) return;
  Begin(name, false);
}

void Progress::Persons(std::string_view name) {
  if (!on_) return;
  Begin(name, true);
}

void Progress::Begin(std::string_view name, bool persons) {
  step_ = name;
  step_rows_ = stats_.Rows();
  persons_ = persons;
  step_persons_ = stats_.persons_done;
  step_start_ = Clock::now();
  Show(true);
}

void Progress::Changed() {
  if (!on_) return;
  Show(false);
}

void Progress::Finish(const RunErrorLines& errors, int signal) {
  if (!on_) return;
  Show(true);  // the step's last state, then the summary in its place
  std::vector<ProgressTable> tables;
  for (const RunTableRows& t : stats_.tables) tables.push_back({t.schema + "." + t.table, t.added, t.rewritten});
  std::string summary =
      Progress_Summary(tables, errors.Count(), Since(run_start_), signal != 0 ? Sig_Name(signal) : nullptr, &stats_);
  summary += Progress_Error_Reasons(errors.Kept(), errors.Count());
  std::fprintf(out_, "\r\033[K%s", summary.c_str());
  std::fflush(out_);
}

void Progress::Show(bool force) {
  Clock::time_point now = Clock::now();
  if (!force && std::chrono::duration<double>(now - shown_).count() < kRedrawSeconds) return;
  shown_ = now;
  const long persons_done = persons_ ? stats_.persons_done - step_persons_ : -1;
  const long persons_total = persons_ ? stats_.persons_total : -1;
  std::string line = Progress_Line(step_, stats_.Rows() - step_rows_, persons_done, persons_total, Since(step_start_));
  // A line longer than the terminal would wrap, and the next redraw would leave the wrapped part.
  size_t columns = Columns(out_);
  if (columns > 1 && line.size() >= columns) line.resize(columns - 1);
  std::fprintf(out_, "\r\033[K%s", line.c_str());
  std::fflush(out_);
}
