// Statements: execution, result sets and the cursor over them, column binding and reading, and
// statement attributes.
#include <cstddef>
#include <cstring>
#include <vector>

#include "api.h"
#include "column_type.h"
#include "convert.h"
#include "handles.h"
#include "params.h"

namespace tsqlite {

namespace {

SQLRETURN Worst(SQLRETURN a, SQLRETURN b) {
  if (a == SQL_ERROR || b == SQL_ERROR) return SQL_ERROR;
  if (a == SQL_SUCCESS_WITH_INFO || b == SQL_SUCCESS_WITH_INFO) return SQL_SUCCESS_WITH_INFO;
  return a;
}

// SQL_DIAG_DYNAMIC_FUNCTION_CODE of a batch, from the verb its parse found.
SQLINTEGER FunctionCode(Kw verb) {
  switch (verb) {
    case Kw::Select:
      return SQL_DIAG_SELECT_CURSOR;
    case Kw::Insert:
      return SQL_DIAG_INSERT;
    case Kw::Update:
      return SQL_DIAG_UPDATE_WHERE;
    case Kw::Delete:
      return SQL_DIAG_DELETE_WHERE;
    case Kw::Create:
      return SQL_DIAG_CREATE_TABLE;
    default:
      return SQL_DIAG_UNKNOWN_STATEMENT;
  }
}

}  // namespace

void EnterResult(Stmt* stmt) {
  const Result* r = stmt->Current();
  stmt->row = 0;
  stmt->getdata_column = 0;
  stmt->getdata.Reset();
  stmt->types.clear();
  stmt->cursor_open = r != nullptr && r->has_rows;
  if (r != nullptr) {
    for (size_t c = 0; c < r->columns.size(); ++c) stmt->types.push_back(TypeOfColumn(*r, c));
    stmt->diag_row_count = r->has_rows ? static_cast<SQLLEN>(r->rows) : static_cast<SQLLEN>(r->affected);
  }
}

void Close(Stmt* stmt) {
  stmt->batch.results.clear();
  stmt->error_after.clear();
  stmt->executed = false;
  stmt->cursor_open = false;
  stmt->types.clear();
  stmt->row = 0;
  stmt->described = false;  // described again from the prepared statement when asked
}

SQLRETURN RunBatch(Stmt* stmt, std::string_view text, const std::vector<Literal>* params) {
  Close(stmt);
  stmt->dbc->RoundTrip();
  if (stmt->dbc->counts) stmt->dbc->counts->Statement();
  stmt->diag_row_count = 0;
  stmt->cancel = false;
  // The connection's test aids: a write that fails before it writes, or after (rolled back).
  Faults& faults = stmt->dbc->faults;
  const std::string_view verb = faults.writes.empty() && !faults.trigger_counts ? "" : WriteVerb(text);
  const WriteFault* fault = faults.Next(verb);
  if (fault != nullptr && !fault->after) {
    return SetDiag(stmt, SQL_ERROR, {FaultError(fault->native, verb, stmt->dbc->db.Name())});
  }
  // A read refused by locks fails before it reads.
  if (const WriteFault* refused = faults.reads.empty() || !IsSelect(text) ? nullptr : faults.NextRead()) {
    return SetDiag(stmt, SQL_ERROR, {FaultError(refused->native, "SELECT", stmt->dbc->db.Name())});
  }
  Database& db = stmt->dbc->db;
  if (fault != nullptr && stmt->dbc->autocommit) db.SetManualCommit(true);
  stmt->running = true;
  const bool ok = db.Execute(text, stmt->batch, Limits{stmt->query_timeout, &stmt->cancel}, params);
  stmt->running = false;
  if (fault != nullptr) {
    // A trigger's error rolls back the write, and the transaction it ran in.
    Error ignored;
    db.EndTransaction(false, ignored);
    if (stmt->dbc->autocommit) db.SetManualCommit(false);
    if (ok) stmt->error_after.push_back(FaultError(fault->native, verb, db.Name()));
  }
  stmt->diag_function = FunctionCode(stmt->batch.verb);
  if (!ok) {
    SQLRETURN rc = SetDiag(stmt, SQL_ERROR, stmt->batch.errors);
    stmt->batch.errors.clear();
    return rc;
  }
  std::vector<Result>& results = stmt->batch.results;
  if (db.NoCount()) {
    // SET NOCOUNT ON: a write sends no row count, so no result of its own; a batch of writes
    // alone has one result whose count is unknown.
    std::erase_if(results, [](const Result& r) { return !r.has_rows; });
    if (results.empty()) results.emplace_back();
  } else if (faults.trigger_counts && !verb.empty()) {
    // An AFTER trigger without SET NOCOUNT ON: its own row count follows every write's.
    for (size_t i = 0; i < results.size(); ++i) {
      if (!results[i].has_rows && results[i].affected >= 0) {
        Result trigger;
        trigger.affected = results[i].affected;
        results.insert(results.begin() + static_cast<std::ptrdiff_t>(++i), std::move(trigger));
      }
    }
  }
  stmt->executed = true;
  stmt->result_index = 0;
  EnterResult(stmt);
  // An UPDATE or DELETE that touched no row has no data, as ODBC 3 drivers report it (not under
  // SET NOCOUNT ON, which says nothing of rows).
  if (stmt->batch.no_data && results.size() <= 1 && !db.NoCount() && stmt->error_after.empty()) return SQL_NO_DATA;
  if (!stmt->batch.messages.empty()) {
    // PRINT's texts, as SQL Server sends them: informational messages of the execution.
    for (const Error& m : stmt->batch.messages) {
      SetDiag(stmt, SQL_SUCCESS_WITH_INFO, m.sqlstate.c_str(), m.native, m.message);
    }
    stmt->batch.messages.clear();
    return SQL_SUCCESS_WITH_INFO;
  }
  return SQL_SUCCESS;
}

namespace {

// The rows the cursor may visit: all of them, or SQL_ATTR_MAX_ROWS.
size_t Visible(const Stmt* stmt, const Result& r) {
  return stmt->max_rows > 0 && stmt->max_rows < r.rows ? stmt->max_rows : r.rows;
}

// A statement prepared and not yet executed is described from its prepared form, as applications
// may ask for the columns before they execute.
SQLRETURN Describe(Stmt* stmt) {
  if (stmt->executed || !stmt->prepared || stmt->described) return SQL_SUCCESS;
  std::vector<Error> errors;
  if (!stmt->dbc->db.Describe(stmt->prepared_text, stmt->description, errors)) return SetDiag(stmt, SQL_ERROR, errors);
  stmt->described = true;
  stmt->types.clear();
  for (size_t c = 0; c < stmt->description.columns.size(); ++c) {
    stmt->types.push_back(TypeOfColumn(stmt->description, c));
  }
  return SQL_SUCCESS;
}

SQLSMALLINT Nullability(const Column& c) {
  switch (c.nulls) {
    case Column::Nulls::Allowed:
      return SQL_NULLABLE;
    case Column::Nulls::Refused:
      return SQL_NO_NULLS;
    default:
      return SQL_NULLABLE_UNKNOWN;
  }
}

SQLRETURN CheckColumn(Stmt* stmt, SQLUSMALLINT column, const Result*& r) {
  if (SQLRETURN rc = Describe(stmt); rc != SQL_SUCCESS) return rc;
  r = stmt->Current();
  if (r == nullptr || !r->has_rows) return SetDiag(stmt, SQL_ERROR, Sqlstate::NoResultSet);
  if (column < 1 || column > r->columns.size()) return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidDescriptorIndex);
  return SQL_SUCCESS;
}

}  // namespace

SQLRETURN ExecDirect(Stmt* stmt, SQLCHAR* text, SQLINTEGER length) {
  if (text == nullptr) return SetDiag(stmt, SQL_ERROR, Sqlstate::NullPointer);
  stmt->prepared = false;
  if (length != SQL_NTS && length < 0) return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidBufferLength);
  const std::string_view sql = length == SQL_NTS
                                   ? std::string_view(reinterpret_cast<const char*>(text))
                                   : std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
  if (stmt->dbc->counts) stmt->dbc->counts->Direct(sql);
  return ExecuteWithParams(stmt, sql);
}

SQLRETURN Prepare(Stmt* stmt, SQLCHAR* text, SQLINTEGER length) {
  if (text == nullptr) return SetDiag(stmt, SQL_ERROR, Sqlstate::NullPointer);
  Close(stmt);
  // The statement is translated when it is executed; its shape is cached from then on.
  stmt->prepared_text = ArgString(text, length);
  stmt->prepared = true;
  if (stmt->dbc->counts) stmt->dbc->counts->Prepared();
  stmt->described = false;
  return SQL_SUCCESS;
}

SQLRETURN Execute(Stmt* stmt) {
  if (!stmt->prepared) return SetDiag(stmt, SQL_ERROR, Sqlstate::SequenceError);
  return ExecuteWithParams(stmt, stmt->prepared_text);
}

SQLRETURN NumResultCols(Stmt* stmt, SQLSMALLINT* count) {
  if (SQLRETURN rc = Describe(stmt); rc != SQL_SUCCESS) return rc;
  const Result* r = stmt->Current();
  if (count != nullptr) *count = r != nullptr && r->has_rows ? static_cast<SQLSMALLINT>(r->columns.size()) : 0;
  return SQL_SUCCESS;
}

SQLRETURN DescribeCol(Stmt* stmt, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT buffer_length,
                      SQLSMALLINT* name_length, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                      SQLSMALLINT* nullable) {
  const Result* r = nullptr;
  if (SQLRETURN rc = CheckColumn(stmt, column, r); rc != SQL_SUCCESS) return rc;
  const ColumnType& t = stmt->types[column - 1];
  if (type != nullptr) *type = t.sql_type;
  if (size != nullptr) *size = t.size;
  if (digits != nullptr) *digits = t.digits;
  if (nullable != nullptr) *nullable = Nullability(r->columns[column - 1]);
  return PutString(stmt, r->columns[column - 1].name, name, buffer_length, name_length);
}

SQLRETURN ColAttribute(Stmt* stmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text, SQLSMALLINT buffer_length,
                       SQLSMALLINT* length, SQLLEN* number) {
  if (field == SQL_DESC_COUNT || field == SQL_COLUMN_COUNT) {
    if (SQLRETURN rc = Describe(stmt); rc != SQL_SUCCESS) return rc;
    const Result* r = stmt->Current();
    if (number != nullptr) *number = r != nullptr && r->has_rows ? static_cast<SQLLEN>(r->columns.size()) : 0;
    return SQL_SUCCESS;
  }
  const Result* r = nullptr;
  if (SQLRETURN rc = CheckColumn(stmt, column, r); rc != SQL_SUCCESS) return rc;
  const ColumnType& t = stmt->types[column - 1];
  const Column& c = r->columns[column - 1];
  auto put_text = [&](const std::string& s) {
    return PutString(stmt, s, static_cast<SQLCHAR*>(text), buffer_length, length);
  };
  auto put_number = [&](SQLLEN n) {
    if (number != nullptr) *number = n;
    return static_cast<SQLRETURN>(SQL_SUCCESS);
  };
  const bool is_text = t.sql_type == SQL_CHAR || t.sql_type == SQL_VARCHAR || t.sql_type == SQL_LONGVARCHAR;
  const bool is_wide = t.sql_type == SQL_WCHAR || t.sql_type == SQL_WVARCHAR || t.sql_type == SQL_WLONGVARCHAR;
  switch (field) {
    case SQL_DESC_NAME:
    case SQL_DESC_LABEL:
    case SQL_DESC_BASE_COLUMN_NAME:
    case SQL_COLUMN_NAME:
      return put_text(c.name);
    case SQL_DESC_TABLE_NAME:
    case SQL_DESC_BASE_TABLE_NAME:
    case SQL_DESC_SCHEMA_NAME:
    case SQL_DESC_CATALOG_NAME:
    case SQL_DESC_LITERAL_PREFIX:
    case SQL_DESC_LITERAL_SUFFIX:
      if (field == SQL_DESC_LITERAL_PREFIX && is_wide) return put_text("N'");
      if ((is_text || is_wide) && (field == SQL_DESC_LITERAL_PREFIX || field == SQL_DESC_LITERAL_SUFFIX))
        return put_text("'");
      return put_text("");
    case SQL_DESC_TYPE_NAME:
    case SQL_DESC_LOCAL_TYPE_NAME:
      return put_text(t.type_name);
    case SQL_DESC_TYPE:
      return put_number(t.sql_type == SQL_TYPE_TIMESTAMP ? SQL_DATETIME : t.sql_type);
    case SQL_DESC_CONCISE_TYPE:  // also SQL_COLUMN_TYPE
      return put_number(t.sql_type);
    case SQL_DESC_LENGTH:
    case SQL_DESC_PRECISION:
    case SQL_COLUMN_LENGTH:
    case SQL_COLUMN_PRECISION:
      return put_number(static_cast<SQLLEN>(t.size));
    case SQL_DESC_OCTET_LENGTH:
      if (is_wide) return put_number(static_cast<SQLLEN>(t.size) * 2);
      if (t.sql_type == SQL_BINARY || t.sql_type == SQL_VARBINARY || t.sql_type == SQL_LONGVARBINARY) {
        return put_number(static_cast<SQLLEN>(t.size));
      }
      if (t.sql_type == kSqlSsTime2) return put_number(sizeof(SsTime2));
      // A char/varchar of code page 1252 holds one byte a character but reaches a SQL_C_CHAR buffer
      // as UTF-8, up to three bytes a character (the euro sign): a buffer of this size holds it whole.
      if (is_text && t.sql_type != SQL_LONGVARCHAR && CodePage1252(stmt->dbc->db.TextCollation())) {
        return put_number(3 * static_cast<SQLLEN>(t.size));
      }
      return put_number(is_text ? static_cast<SQLLEN>(t.size) : t.sql_type == SQL_TYPE_TIMESTAMP ? 16 : 8);
    case SQL_DESC_SCALE:
    case SQL_COLUMN_SCALE:
      return put_number(t.digits);
    case SQL_DESC_DISPLAY_SIZE:
      return put_number(t.display_size);
    case SQL_DESC_NULLABLE:
    case SQL_COLUMN_NULLABLE:
      return put_number(Nullability(c));
    case SQL_DESC_UNSIGNED:
      return put_number(is_text || is_wide || t.sql_type == SQL_TYPE_TIMESTAMP ? SQL_TRUE : SQL_FALSE);
    case SQL_DESC_AUTO_UNIQUE_VALUE:
    case SQL_DESC_FIXED_PREC_SCALE:
    case SQL_DESC_CASE_SENSITIVE:
      return put_number(SQL_FALSE);
    case SQL_DESC_SEARCHABLE:
      return put_number(SQL_PRED_SEARCHABLE);
    case SQL_DESC_UPDATABLE:
      return put_number(SQL_ATTR_READONLY);
    case SQL_DESC_NUM_PREC_RADIX:
      return put_number(is_text || is_wide || t.sql_type == SQL_TYPE_TIMESTAMP ? 0 : 10);
    case SQL_DESC_UNNAMED:
      return put_number(c.name.empty() ? SQL_UNNAMED : SQL_NAMED);
    default:
      return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidFieldIdentifier);
  }
}

SQLRETURN BindCol(Stmt* stmt, SQLUSMALLINT column, SQLSMALLINT c_type, SQLPOINTER target, SQLLEN buffer_length,
                  SQLLEN* indicator) {
  if (column < 1) return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidDescriptorIndex);
  if (buffer_length < 0) return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidBufferLength);
  if (target == nullptr && indicator == nullptr) {
    if (column <= stmt->bindings.size()) stmt->bindings[column - 1] = Binding{};
    return SQL_SUCCESS;
  }
  if (stmt->bindings.size() < column) stmt->bindings.resize(column);
  stmt->bindings[column - 1] = Binding{c_type, target, buffer_length, indicator};
  return SQL_SUCCESS;
}

namespace {
// The values of the cursor's current row. A spilled result set reads the window holding the row
// first; when that fails, rc holds the error and the result is null.
const Value* RowValues(Stmt* stmt, SQLRETURN& rc) {
  Result* r = stmt->executed ? &stmt->batch.results[stmt->result_index] : &stmt->description;
  Error error;
  if (!stmt->dbc->db.Window(*r, stmt->row - 1, error)) {
    rc = SetDiag(stmt, SQL_ERROR, error.sqlstate.c_str(), error.native, error.message);
    return nullptr;
  }
  return &r->cells[(stmt->row - 1 - r->first) * r->columns.size()];
}
}  // namespace

SQLRETURN Fetch(Stmt* stmt) {
  const Result* r = stmt->Current();
  if (!stmt->cursor_open || r == nullptr) return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidCursorState);
  // A server cursor (lock concurrency) fetches every row from the server, the end included.
  if (stmt->concurrency == SQL_CONCUR_LOCK) {
    stmt->dbc->RoundTrip();
    if (stmt->dbc->counts) stmt->dbc->counts->Fetch();
  }
  // A fetch refused by locks: the server ends the batch, and with it the cursor.
  if (const WriteFault* refused = stmt->dbc->faults.NextRead()) {
    Close(stmt);
    return SetDiag(stmt, SQL_ERROR, {FaultError(refused->native, "SELECT", stmt->dbc->db.Name())});
  }
  if (stmt->rows_fetched != nullptr) *stmt->rows_fetched = 0;
  stmt->getdata_column = 0;
  stmt->getdata.Reset();
  if (stmt->row >= Visible(stmt, *r)) {
    stmt->row = Visible(stmt, *r) + 1;
    if (stmt->row_status != nullptr) stmt->row_status[0] = SQL_ROW_NOROW;
    return SQL_NO_DATA;
  }
  ++stmt->row;
  const size_t ncols = r->columns.size();
  SQLRETURN rc = SQL_SUCCESS;
  const Value* cells = RowValues(stmt, rc);
  if (cells == nullptr) return rc;
  const size_t bound = stmt->bindings.size() < ncols ? stmt->bindings.size() : ncols;
  for (size_t c = 0; c < bound; ++c) {
    const Binding& b = stmt->bindings[c];
    if (b.target == nullptr && b.indicator == nullptr) continue;
    SQLSMALLINT c_type = b.c_type == SQL_C_DEFAULT ? DefaultCType(stmt->types[c].sql_type) : b.c_type;
    Value scratch;
    const Value& v = Shown(stmt->types[c], cells[c], scratch);
    rc = Worst(rc, PutValue(stmt, v, ReadAs(stmt->types[c], c_type), b.target, b.buffer_length, b.indicator, nullptr));
  }
  if (stmt->rows_fetched != nullptr) *stmt->rows_fetched = 1;
  if (stmt->row_status != nullptr) {
    stmt->row_status[0] = rc == SQL_SUCCESS ? SQL_ROW_SUCCESS
                          : rc == SQL_ERROR ? SQL_ROW_ERROR
                                            : SQL_ROW_SUCCESS_WITH_INFO;
  }
  return rc;
}

SQLRETURN FetchScroll(Stmt* stmt, SQLSMALLINT orientation, SQLLEN) {
  if (orientation != SQL_FETCH_NEXT) return SetDiag(stmt, SQL_ERROR, Sqlstate::FetchTypeOutOfRange);
  return Fetch(stmt);
}

SQLRETURN GetData(Stmt* stmt, SQLUSMALLINT column, SQLSMALLINT c_type, SQLPOINTER target, SQLLEN buffer_length,
                  SQLLEN* indicator) {
  const Result* r = stmt->Current();
  if (!stmt->cursor_open || r == nullptr || stmt->row == 0 || stmt->row > Visible(stmt, *r)) {
    return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidCursorState);
  }
  if (column < 1 || column > r->columns.size()) return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidDescriptorIndex);
  if (buffer_length < 0) return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidBufferLength);
  if (column != stmt->getdata_column) {
    stmt->getdata_column = column;
    stmt->getdata.Reset();
  }
  if (c_type == SQL_C_DEFAULT) c_type = DefaultCType(stmt->types[column - 1].sql_type);
  SQLRETURN rc = SQL_SUCCESS;
  const Value* cells = RowValues(stmt, rc);
  if (cells == nullptr) return rc;
  Value scratch;
  const Value& v = Shown(stmt->types[column - 1], cells[column - 1], scratch);
  return PutValue(stmt, v, ReadAs(stmt->types[column - 1], c_type), target, buffer_length, indicator, &stmt->getdata);
}

SQLRETURN RowCount(Stmt* stmt, SQLLEN* count) {
  const Result* r = stmt->Current();
  SQLLEN n = -1;
  if (r != nullptr && !r->has_rows) n = static_cast<SQLLEN>(r->affected);
  if (count != nullptr) *count = n;
  return SQL_SUCCESS;
}

SQLRETURN MoreResults(Stmt* stmt) {
  if (stmt->executed && stmt->result_index + 1 < stmt->batch.results.size()) {
    ++stmt->result_index;
    EnterResult(stmt);
    return SQL_SUCCESS;
  }
  const std::vector<Error> after = std::move(stmt->error_after);
  Close(stmt);
  if (!after.empty()) return SetDiag(stmt, SQL_ERROR, after);
  return SQL_NO_DATA;
}

SQLRETURN FreeStmt(Stmt* stmt, SQLUSMALLINT option) {
  switch (option) {
    case SQL_CLOSE:
      Close(stmt);
      return SQL_SUCCESS;
    case SQL_UNBIND:
      stmt->bindings.clear();
      return SQL_SUCCESS;
    case SQL_RESET_PARAMS:
      stmt->params.clear();
      return SQL_SUCCESS;
    case SQL_DROP:
      return FreeHandle(SQL_HANDLE_STMT, static_cast<Handle*>(stmt));
    default:
      return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidAttribute);
  }
}

SQLRETURN CloseCursor(Stmt* stmt) {
  if (!stmt->cursor_open) return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidCursorState);
  Close(stmt);
  return SQL_SUCCESS;
}

SQLRETURN Cancel(Stmt* stmt) {
  // Called from another thread while the statement runs: only the atomic flag may be touched, not
  // the diagnostics the running call is writing (so the entry point leaves them alone). With
  // nothing running there is nothing to stop.
  if (stmt->running.load()) stmt->cancel = true;
  return SQL_SUCCESS;
}

SQLRETURN SetStmtAttr(Stmt* stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER) {
  const auto v = static_cast<SQLULEN>(reinterpret_cast<uintptr_t>(value));
  auto changed = [stmt]() { return SetDiag(stmt, SQL_SUCCESS_WITH_INFO, Sqlstate::OptionValueChanged); };
  switch (attribute) {
    case SQL_ATTR_CURSOR_SCROLLABLE:
      if (v != SQL_NONSCROLLABLE) return SetDiag(stmt, SQL_ERROR, Sqlstate::NotImplemented);
      stmt->scrollable = v;
      return SQL_SUCCESS;
    case SQL_ATTR_CONCURRENCY:
      // Result sets are read in full when executed, so a cursor never holds a lock and other
      // statements may run while it is open, whatever concurrency is asked for.
      if (v != SQL_CONCUR_READ_ONLY && v != SQL_CONCUR_LOCK && v != SQL_CONCUR_ROWVER && v != SQL_CONCUR_VALUES) {
        return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidAttributeValue);
      }
      stmt->concurrency = v;
      return SQL_SUCCESS;
    case SQL_ATTR_CURSOR_TYPE:
      if (v != SQL_CURSOR_FORWARD_ONLY) {
        stmt->cursor_type = SQL_CURSOR_FORWARD_ONLY;
        return changed();
      }
      return SQL_SUCCESS;
    case SQL_ATTR_CURSOR_SENSITIVITY:
      stmt->sensitivity = v;
      return SQL_SUCCESS;
    case SQL_ATTR_QUERY_TIMEOUT:
      stmt->query_timeout = v;
      return SQL_SUCCESS;
    case SQL_ATTR_MAX_ROWS:
      stmt->max_rows = v;
      return SQL_SUCCESS;
    case SQL_ATTR_MAX_LENGTH:
      stmt->max_length = v;
      return SQL_SUCCESS;
    case SQL_ATTR_NOSCAN:
      stmt->noscan = v;
      return SQL_SUCCESS;
    case SQL_ATTR_RETRIEVE_DATA:
      stmt->retrieve_data = v;
      return SQL_SUCCESS;
    case SQL_ATTR_ROW_ARRAY_SIZE:
    case SQL_ROWSET_SIZE:
      return v == 1 ? SQL_SUCCESS : changed();
    case SQL_ATTR_PARAMSET_SIZE:
      if (v < 1) return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidAttributeValue);
      stmt->paramset_size = v;
      return SQL_SUCCESS;
    case SQL_ATTR_PARAM_BIND_TYPE:
      stmt->param_bind_type = v;
      return SQL_SUCCESS;
    case SQL_ATTR_PARAMS_PROCESSED_PTR:
      stmt->params_processed = static_cast<SQLULEN*>(value);
      return SQL_SUCCESS;
    case SQL_ATTR_PARAM_STATUS_PTR:
      stmt->param_status = static_cast<SQLUSMALLINT*>(value);
      return SQL_SUCCESS;
    case SQL_ATTR_PARAM_BIND_OFFSET_PTR:
      stmt->param_bind_offset = static_cast<SQLULEN*>(value);
      return SQL_SUCCESS;
    case SQL_ATTR_ROWS_FETCHED_PTR:
      stmt->rows_fetched = static_cast<SQLULEN*>(value);
      return SQL_SUCCESS;
    case SQL_ATTR_ROW_STATUS_PTR:
      stmt->row_status = static_cast<SQLUSMALLINT*>(value);
      return SQL_SUCCESS;
    case SQL_ATTR_ROW_BIND_TYPE:
    case SQL_ATTR_USE_BOOKMARKS:
    case SQL_ATTR_ASYNC_ENABLE:
    case SQL_ATTR_ENABLE_AUTO_IPD:
    case SQL_ATTR_ROW_BIND_OFFSET_PTR:
    case SQL_ATTR_APP_ROW_DESC:
    case SQL_ATTR_APP_PARAM_DESC:
      // Only the defaults: column-wise binding without offsets, no bookmarks, no asynchronous
      // execution, the implicit descriptors.
      if (v != 0) return SetDiag(stmt, SQL_ERROR, Sqlstate::NotImplemented);
      return SQL_SUCCESS;
    case SQL_ATTR_PARAM_OPERATION_PTR:
    case SQL_ATTR_METADATA_ID:
    case SQL_ATTR_SIMULATE_CURSOR:
    case SQL_ATTR_KEYSET_SIZE:
      return SQL_SUCCESS;
    default:
      return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidAttribute);
  }
}

SQLRETURN GetStmtAttr(Stmt* stmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER, SQLINTEGER* length) {
  if (value == nullptr) return SetDiag(stmt, SQL_ERROR, Sqlstate::NullPointer);
  auto desc = [&](Desc& d) {
    *static_cast<SQLHANDLE*>(value) = static_cast<Handle*>(&d);
    if (length != nullptr) *length = sizeof(SQLHANDLE);
    return static_cast<SQLRETURN>(SQL_SUCCESS);
  };
  auto ulen = [&](SQLULEN n) {
    *static_cast<SQLULEN*>(value) = n;
    if (length != nullptr) *length = sizeof(SQLULEN);
    return static_cast<SQLRETURN>(SQL_SUCCESS);
  };
  auto pointer = [&](void* p) {
    *static_cast<SQLPOINTER*>(value) = p;
    if (length != nullptr) *length = sizeof(SQLPOINTER);
    return static_cast<SQLRETURN>(SQL_SUCCESS);
  };
  switch (attribute) {
    case SQL_ATTR_APP_ROW_DESC:
      return desc(stmt->ard);
    case SQL_ATTR_APP_PARAM_DESC:
      return desc(stmt->apd);
    case SQL_ATTR_IMP_ROW_DESC:
      return desc(stmt->ird);
    case SQL_ATTR_IMP_PARAM_DESC:
      return desc(stmt->ipd);
    case SQL_ATTR_CURSOR_SCROLLABLE:
      return ulen(stmt->scrollable);
    case SQL_ATTR_CONCURRENCY:
      return ulen(stmt->concurrency);
    case SQL_ATTR_CURSOR_TYPE:
      return ulen(stmt->cursor_type);
    case SQL_ATTR_CURSOR_SENSITIVITY:
      return ulen(stmt->sensitivity);
    case SQL_ATTR_QUERY_TIMEOUT:
      return ulen(stmt->query_timeout);
    case SQL_ATTR_MAX_ROWS:
      return ulen(stmt->max_rows);
    case SQL_ATTR_MAX_LENGTH:
      return ulen(stmt->max_length);
    case SQL_ATTR_NOSCAN:
      return ulen(stmt->noscan);
    case SQL_ATTR_RETRIEVE_DATA:
      return ulen(stmt->retrieve_data);
    case SQL_ATTR_ROW_ARRAY_SIZE:
    case SQL_ROWSET_SIZE:
    case SQL_ATTR_PARAMSET_SIZE:
      return ulen(stmt->paramset_size);
    case SQL_ATTR_ROW_NUMBER:
      return ulen(stmt->cursor_open ? stmt->row : 0);
    case SQL_ATTR_ROW_BIND_TYPE:
      return ulen(SQL_BIND_BY_COLUMN);
    case SQL_ATTR_PARAM_BIND_TYPE:
      return ulen(stmt->param_bind_type);
    case SQL_ATTR_USE_BOOKMARKS:
      return ulen(SQL_UB_OFF);
    case SQL_ATTR_ASYNC_ENABLE:
      return ulen(SQL_ASYNC_ENABLE_OFF);
    case SQL_ATTR_ENABLE_AUTO_IPD:
    case SQL_ATTR_METADATA_ID:
    case SQL_ATTR_KEYSET_SIZE:
      return ulen(0);
    case SQL_ATTR_SIMULATE_CURSOR:
      return ulen(SQL_SC_UNIQUE);
    case SQL_ATTR_ROWS_FETCHED_PTR:
      return pointer(stmt->rows_fetched);
    case SQL_ATTR_ROW_STATUS_PTR:
      return pointer(stmt->row_status);
    case SQL_ATTR_PARAMS_PROCESSED_PTR:
      return pointer(stmt->params_processed);
    case SQL_ATTR_PARAM_STATUS_PTR:
      return pointer(stmt->param_status);
    case SQL_ATTR_PARAM_BIND_OFFSET_PTR:
      return pointer(stmt->param_bind_offset);
    case SQL_ATTR_ROW_BIND_OFFSET_PTR:
    case SQL_ATTR_PARAM_OPERATION_PTR:
      return pointer(nullptr);
    default:
      return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidAttribute);
  }
}

SQLRETURN ShowResults(Stmt* stmt, Batch batch) {
  Close(stmt);
  stmt->batch = std::move(batch);
  stmt->executed = true;
  stmt->result_index = 0;
  EnterResult(stmt);
  return SQL_SUCCESS;
}

}  // namespace tsqlite
