#pragma once
// The reason of an error line, taken from the diagnostic of the statement or connection attempt
// that failed. PLANEX.LOG keeps its lines as they always were; the reasons go to the operator's
// terminal and to the run's report (common/runlog.h).
#include "common/runlog.h"
#include "db/db.h"

DbReason Db_Reason(const DiagSatz& diag);
