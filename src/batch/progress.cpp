#include "batch/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>

namespace {

// The line is redrawn at most this often; a person run writes thousands of rows a second.
constexpr double kRedrawSeconds = 0.1;

bool StartsWithWord(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != word[i]) return false;
  }
  return text.size() == word.size() || std::isspace(static_cast<unsigned char>(text[word.size()]));
}

std::string_view SkipSpace(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  return text;
}

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

bool Progress_Write_Parse(std::string_view statement, std::string* table, bool* inserted) {
  std::string_view rest = SkipSpace(statement);
  if (StartsWithWord(rest, "INSERT")) {
    rest = SkipSpace(rest.substr(6));
    if (!StartsWithWord(rest, "INTO")) return false;
    rest = SkipSpace(rest.substr(4));
    *inserted = true;
  } else if (StartsWithWord(rest, "UPDATE")) {
    rest = SkipSpace(rest.substr(6));
    *inserted = false;
  } else {
    return false;
  }
  size_t end = 0;
  while (end < rest.size() && !std::isspace(static_cast<unsigned char>(rest[end])) && rest[end] != '(') ++end;
  if (end == 0) return false;
  table->assign(rest.substr(0, end));
  return true;
}

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
                             const RunPersonStats* persons) {
  std::string text = "planex: fertig in " + Duration(seconds) + "\n";
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
  if (error_lines < 0) {
    text += "  PLANEX.LOG nicht lesbar\n";
  } else {
    std::snprintf(line, sizeof line, "  Fehlerzeilen in PLANEX.LOG: %ld\n", error_lines);
    text += line;
  }
  if (persons != nullptr && persons->batched + persons->daily > 0) {
    std::snprintf(line, sizeof line, "  Personen: %ld gebündelt, %ld Tag für Tag\n", persons->batched, persons->daily);
    text += line;
    // In the order of PnrFallback.
    static constexpr const char* kReasons[kPnrFallbacks] = {
        "ohne Zuordnung",       "mehrere Zuordnungen", "ohne Wochenplan", "mehrere Wochenpläne",
        "Ztgsatz ab Status 4",  "mehrere Ztgsätze",    "Wert zu lang",    "Kalendertage doppelt",
        "Lesen fehlgeschlagen", "Schreiben abgewiesen"};
    std::string reasons;
    for (std::size_t i = 0; i < kPnrFallbacks; ++i) {
      if (persons->fallbacks[i] == 0) continue;
      reasons +=
          (reasons.empty() ? "" : ", ") + std::string(kReasons[i]) + ": " + std::to_string(persons->fallbacks[i]);
    }
    if (!reasons.empty()) text += "    Tag für Tag, weil: " + reasons + "\n";
  }
  return text;
}

long Progress_Error_Lines(const char* log_path) {
  std::ifstream in(log_path, std::ios::binary);
  if (!in) return -1;
  long count = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Error", 0) == 0 || line.rfind("Fehler", 0) == 0) ++count;
  }
  return count;
}

Progress::Progress(RunContext& run, FILE* out, bool on) : run_(run), out_(out), on_(on) {
  if (!on_) return;
  run_.progress = this;
  run_.db.SetWriteObserver(this);
}

Progress::~Progress() {
  if (!on_) return;
  run_.progress = nullptr;
  run_.db.SetWriteObserver(nullptr);
}

void Progress::Step(std::string_view name) {
  if (!on_) return;
  Begin(name, -1, -1);
}

void Progress::Persons(std::string_view name, const char* pnr_von, const char* pnr_bis) {
  if (!on_) return;
  // The persons the person cursor will walk, counted as it selects them. A failed count leaves
  // the total unknown; its diagnostics are not kept, so that the run log cannot tell.
  static constexpr const char* kSql =
      "SELECT COUNT(DISTINCT BsvPnr) FROM %s.Qxs310Bsv, %s.Qxs300Pnr WHERE BsvPnr >= '%s' "
      "AND BsvPnr <= '%s' AND (BsvGbi IS NULL OR BsvGbi >= CURRENT_TIMESTAMP) "
      "AND BsvPnr = PnrNum AND BsvSta < 4 AND PnrSta < 4";
  int32_t total = 0;
  DiagSatz kept = run_.db.Diag();
  int r = Db_Query_One(run_.db, Db_Format(kSql, run_.schema, run_.schema, pnr_von, pnr_bis), {Db_Long(&total)});
  run_.db.Diag() = kept;
  Begin(name, 0, r == DB_OK ? total : -1);
}

void Progress::Begin(std::string_view name, long persons_done, long persons_total) {
  step_ = name;
  step_rows_ = 0;
  persons_done_ = persons_done;
  persons_total_ = persons_total;
  step_start_ = Clock::now();
  Show(true);
}

void Progress::PersonDone() {
  ++persons_done_;
  Show(false);
}

void Progress::Wrote(std::string_view statement, long rows) {
  std::string table;
  bool inserted = false;
  if (!Progress_Write_Parse(statement, &table, &inserted)) return;
  auto it = std::find_if(tables_.begin(), tables_.end(), [&](const ProgressTable& t) { return t.table == table; });
  if (it == tables_.end()) it = tables_.insert(tables_.end(), ProgressTable{table});
  (inserted ? it->added : it->rewritten) += rows;
  step_rows_ += rows;
  Show(false);
}

void Progress::Finish(const char* log_path) {
  if (!on_) return;
  Show(true);  // the step's last state, then the summary in its place
  std::string summary = Progress_Summary(tables_, Progress_Error_Lines(log_path), Since(run_start_), &run_.persons);
  std::fprintf(out_, "\r\033[K%s", summary.c_str());
  std::fflush(out_);
}

void Progress::Show(bool force) {
  Clock::time_point now = Clock::now();
  if (!force && std::chrono::duration<double>(now - shown_).count() < kRedrawSeconds) return;
  shown_ = now;
  std::string line = Progress_Line(step_, step_rows_, persons_done_, persons_total_, Since(step_start_));
  // A line longer than the terminal would wrap, and the next redraw would leave the wrapped part.
  size_t columns = Columns(out_);
  if (columns > 1 && line.size() >= columns) line.resize(columns - 1);
  std::fprintf(out_, "\r\033[K%s", line.c_str());
  std::fflush(out_);
}
