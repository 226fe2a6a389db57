#include "db/error_lines.h"

#include <utility>

#include "common/text.h"

DbReason Db_Reason(const DiagSatz& diag) {
  DbReason reason;
  reason.sqlstate.assign(diag.state, strnlen(diag.state, sizeof diag.state));
  reason.native = diag.native;
  reason.message.assign(diag.text, strnlen(diag.text, sizeof diag.text));
  return reason;
}

std::string Db_Reason_Text(const DbReason& reason) {
  if (reason.Empty()) return "";
  std::string text = "SQLSTATE " + Str_Escape(reason.sqlstate);
  if (reason.native != 0) text += ", Nr. " + std::to_string(reason.native);
  return text + ": " + Str_Escape(reason.message);
}

bool Run_Is_Error_Line(std::string_view line) {
  return line.starts_with("Error") || line.starts_with("Fehler");
}

RunErrorLines::RunErrorLines(RunLog& log, std::size_t keep) : log_(log), keep_(keep) {
  log_.SetListener(this);
}

RunErrorLines::~RunErrorLines() {
  log_.SetListener(nullptr);
}

void RunErrorLines::Line(std::string_view line) {
  // The reason belongs to this line alone, whatever it is: no later line may take it.
  DbReason reason = std::exchange(reason_, DbReason{});
  if (!Run_Is_Error_Line(line)) return;
  ++count_;
  if (kept_.size() >= keep_) return;
  kept_.push_back({std::string(line), std::move(reason)});
}
