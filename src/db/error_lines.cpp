#include "db/error_lines.h"

#include <cstring>

DbReason Db_Reason(const DiagSatz& diag) {
  DbReason reason;
  reason.sqlstate.assign(diag.state, strnlen(diag.state, sizeof diag.state));
  reason.native = diag.native;
  reason.message.assign(diag.text, strnlen(diag.text, sizeof diag.text));
  return reason;
}
