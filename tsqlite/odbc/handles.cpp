// Handles and their diagnostics: allocation, release, environment attributes, and the reading of
// diagnostic records.
#include "handles.h"

#include <cstring>

#include "api.h"

namespace tsqlite {

SQLRETURN SetDiag(Handle* h, SQLRETURN rc, const char* sqlstate, SQLINTEGER native, const std::string& message) {
  if (h != nullptr) h->diags.push_back(DiagRecord{sqlstate, native, kMessagePrefix + message});
  return rc;
}

SQLRETURN SetDiag(Handle* h, SQLRETURN rc, Sqlstate state) {
  return SetDiag(h, rc, RowOf(state).sqlstate, 0, RowOf(state).message);
}

SQLRETURN SetDiag(Handle* h, SQLRETURN rc, Sqlstate state, const std::string& message) {
  return SetDiag(h, rc, RowOf(state).sqlstate, 0, message);
}

SQLRETURN Failed(Handle* h, Sqlstate state, const char* message) noexcept {
  if (h != nullptr) {
    try {
      h->diags.clear();  // the records of a call that broke off halfway say nothing
      SetDiag(h, SQL_ERROR, RowOf(state).sqlstate, 0, message != nullptr ? message : RowOf(state).message);
    } catch (...) {
      // No memory even for the record: the return code alone tells the caller.
    }
  }
  return SQL_ERROR;
}

SQLRETURN SetDiag(Handle* h, SQLRETURN rc, const std::vector<Error>& errors) {
  for (const Error& e : errors) SetDiag(h, rc, e.sqlstate.c_str(), e.native, e.message);
  return rc;
}

std::string ArgString(const SQLCHAR* text, SQLINTEGER length) {
  if (text == nullptr) return std::string();
  const char* p = reinterpret_cast<const char*>(text);
  if (length == SQL_NTS) return std::string(p);
  if (length < 0) return std::string();
  return std::string(p, static_cast<size_t>(length));
}

SQLRETURN PutString(Handle* h, const std::string& text, SQLCHAR* buffer, SQLLEN buffer_length, SQLSMALLINT* length16,
                    SQLINTEGER* length32) {
  if (length16 != nullptr) *length16 = static_cast<SQLSMALLINT>(text.size() > 32767 ? 32767 : text.size());
  if (length32 != nullptr) *length32 = static_cast<SQLINTEGER>(text.size());
  if (buffer == nullptr) return SQL_SUCCESS;
  if (buffer_length <= 0) {
    return text.empty() ? SQL_SUCCESS : SetDiag(h, SQL_SUCCESS_WITH_INFO, Sqlstate::StringTruncated);
  }
  size_t n = text.size() < static_cast<size_t>(buffer_length) ? text.size() : static_cast<size_t>(buffer_length) - 1;
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  if (n < text.size()) return SetDiag(h, SQL_SUCCESS_WITH_INFO, Sqlstate::StringTruncated);
  return SQL_SUCCESS;
}

SQLRETURN AllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  if (output == nullptr) return SQL_ERROR;
  *output = SQL_NULL_HANDLE;
  switch (type) {
    case SQL_HANDLE_ENV: {
      *output = static_cast<Handle*>(new Env());
      return SQL_SUCCESS;
    }
    case SQL_HANDLE_DBC: {
      Env* env = As<Env>(input);
      if (env == nullptr) return SQL_INVALID_HANDLE;
      ClearDiag(env);
      Dbc* dbc = new Dbc(env);
      env->connections.insert(dbc);
      *output = static_cast<Handle*>(dbc);
      return SQL_SUCCESS;
    }
    case SQL_HANDLE_STMT: {
      Dbc* dbc = As<Dbc>(input);
      if (dbc == nullptr) return SQL_INVALID_HANDLE;
      ClearDiag(dbc);
      if (!dbc->db.IsOpen()) return SetDiag(dbc, SQL_ERROR, Sqlstate::ConnectionNotOpen);
      Stmt* stmt = new Stmt(dbc);
      dbc->statements.insert(stmt);
      *output = static_cast<Handle*>(stmt);
      return SQL_SUCCESS;
    }
    case SQL_HANDLE_DESC: {
      Handle* h = As<Handle>(input);
      if (h == nullptr) return SQL_INVALID_HANDLE;
      ClearDiag(h);
      return SetDiag(h, SQL_ERROR, Sqlstate::NotImplemented, "Explicit descriptors are not supported");
    }
    default:
      return SQL_ERROR;
  }
}

SQLRETURN FreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  Handle* h = As<Handle>(handle);
  if (h == nullptr || h->type != type) return SQL_INVALID_HANDLE;
  switch (type) {
    case SQL_HANDLE_ENV: {
      Env* env = As<Env>(handle);
      if (!env->connections.empty()) {
        ClearDiag(env);
        return SetDiag(env, SQL_ERROR, Sqlstate::SequenceError, "Function sequence error: connections still allocated");
      }
      delete env;
      return SQL_SUCCESS;
    }
    case SQL_HANDLE_DBC: {
      Dbc* dbc = As<Dbc>(handle);
      if (dbc->db.IsOpen()) {
        ClearDiag(dbc);
        return SetDiag(dbc, SQL_ERROR, Sqlstate::SequenceError, "Function sequence error: still connected");
      }
      dbc->env->connections.erase(dbc);
      delete dbc;
      return SQL_SUCCESS;
    }
    case SQL_HANDLE_STMT: {
      Stmt* stmt = As<Stmt>(handle);
      stmt->dbc->statements.erase(stmt);
      delete stmt;
      return SQL_SUCCESS;
    }
    default:
      return SQL_ERROR;
  }
}

SQLRETURN SetEnvAttr(Env* env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER) {
  const auto v = static_cast<SQLINTEGER>(reinterpret_cast<intptr_t>(value));
  switch (attribute) {
    case SQL_ATTR_ODBC_VERSION:
      if (v != SQL_OV_ODBC2 && v != SQL_OV_ODBC3 && v != SQL_OV_ODBC3_80) {
        return SetDiag(env, SQL_ERROR, Sqlstate::InvalidAttributeValue);
      }
      env->odbc_version = v;
      return SQL_SUCCESS;
    case SQL_ATTR_CONNECTION_POOLING:
    case SQL_ATTR_CP_MATCH:
    case SQL_ATTR_OUTPUT_NTS:
      return SQL_SUCCESS;
    default:
      return SetDiag(env, SQL_ERROR, Sqlstate::InvalidAttribute);
  }
}

SQLRETURN GetEnvAttr(Env* env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER, SQLINTEGER* length) {
  SQLINTEGER v;
  switch (attribute) {
    case SQL_ATTR_ODBC_VERSION:
      v = env->odbc_version;
      break;
    case SQL_ATTR_CONNECTION_POOLING:
      v = SQL_CP_OFF;
      break;
    case SQL_ATTR_CP_MATCH:
      v = SQL_CP_STRICT_MATCH;
      break;
    case SQL_ATTR_OUTPUT_NTS:
      v = SQL_TRUE;
      break;
    default:
      return SetDiag(env, SQL_ERROR, Sqlstate::InvalidAttribute);
  }
  if (value != nullptr) *static_cast<SQLINTEGER*>(value) = v;
  if (length != nullptr) *length = sizeof(SQLINTEGER);
  return SQL_SUCCESS;
}

namespace {

Handle* DiagHandle(SQLSMALLINT type, SQLHANDLE handle) {
  Handle* h = As<Handle>(handle);
  if (h == nullptr) return nullptr;
  // A descriptor's diagnostics are those of its own handle; every other type must match.
  if (h->type != type) return nullptr;
  return h;
}

const Dbc* OwningConnection(const Handle* h) {
  switch (h->type) {
    case SQL_HANDLE_DBC:
      return static_cast<const Dbc*>(h);
    case SQL_HANDLE_STMT:
      return static_cast<const Stmt*>(h)->dbc;
    case SQL_HANDLE_DESC:
      return static_cast<const Desc*>(h)->stmt->dbc;
    default:
      return nullptr;
  }
}

// SQLSTATE classes defined by the SQL standard carry that origin; the rest are ODBC's.
const char* ClassOrigin(const std::string& sqlstate) {
  static const char* const kIsoClasses[] = {"01", "02", "07", "08", "0A", "21", "22", "23", "24", "25",
                                            "26", "28", "2D", "34", "3C", "3D", "40", "42", "44"};
  for (const char* c : kIsoClasses) {
    if (sqlstate.compare(0, 2, c) == 0) return "ISO 9075";
  }
  return "ODBC 3.0";
}

const char* SubclassOrigin(const std::string& sqlstate) {
  static const char* const kOdbcStates[] = {
      "01S00", "01S01", "01S02", "01S06", "01S07", "07S01", "08S01", "21S01", "21S02", "25S01", "25S02",
      "25S03", "42S01", "42S02", "42S11", "42S12", "42S21", "42S22", "HY095", "HY097", "HY098", "HY099",
      "HY100", "HY101", "HY105", "HY107", "HY109", "HY110", "HY111", "HYT00", "HYT01", "IM001", "IM002",
      "IM003", "IM004", "IM005", "IM006", "IM007", "IM008", "IM010", "IM011", "IM012"};
  for (const char* s : kOdbcStates) {
    if (sqlstate == s) return "ODBC 3.0";
  }
  return ClassOrigin(sqlstate);
}

}  // namespace

SQLRETURN GetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* sqlstate, SQLINTEGER* native,
                     SQLCHAR* message, SQLSMALLINT buffer_length, SQLSMALLINT* length) {
  Handle* h = DiagHandle(type, handle);
  if (h == nullptr) return SQL_INVALID_HANDLE;
  if (record < 1 || buffer_length < 0) return SQL_ERROR;
  if (static_cast<size_t>(record) > h->diags.size()) return SQL_NO_DATA;
  const DiagRecord& d = h->diags[record - 1];
  if (sqlstate != nullptr) {
    std::memcpy(sqlstate, d.sqlstate.c_str(), d.sqlstate.size() < 5 ? d.sqlstate.size() + 1 : 5);
    sqlstate[5] = '\0';
  }
  if (native != nullptr) *native = d.native;
  // A cut message is reported by the return code only; it does not add a record of its own.
  return PutString(nullptr, d.message, message, buffer_length, length) == SQL_SUCCESS ? SQL_SUCCESS
                                                                                      : SQL_SUCCESS_WITH_INFO;
}

SQLRETURN GetDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value,
                       SQLSMALLINT buffer_length, SQLSMALLINT* length) {
  Handle* h = DiagHandle(type, handle);
  if (h == nullptr) return SQL_INVALID_HANDLE;
  auto text = [&](const std::string& s) {
    return PutString(nullptr, s, static_cast<SQLCHAR*>(value), buffer_length, length) == SQL_SUCCESS
               ? SQL_SUCCESS
               : SQL_SUCCESS_WITH_INFO;
  };
  // Header fields.
  switch (field) {
    case SQL_DIAG_NUMBER:
      if (value != nullptr) *static_cast<SQLINTEGER*>(value) = static_cast<SQLINTEGER>(h->diags.size());
      return SQL_SUCCESS;
    case SQL_DIAG_ROW_COUNT:
    case SQL_DIAG_CURSOR_ROW_COUNT:
      if (h->type != SQL_HANDLE_STMT) return SQL_ERROR;
      if (value != nullptr) *static_cast<SQLLEN*>(value) = h->diag_row_count;
      return SQL_SUCCESS;
    case SQL_DIAG_DYNAMIC_FUNCTION_CODE:
      if (h->type != SQL_HANDLE_STMT) return SQL_ERROR;
      if (value != nullptr) *static_cast<SQLINTEGER*>(value) = h->diag_function;
      return SQL_SUCCESS;
    case SQL_DIAG_DYNAMIC_FUNCTION: {
      if (h->type != SQL_HANDLE_STMT) return SQL_ERROR;
      const char* name = "";
      switch (h->diag_function) {
        case SQL_DIAG_INSERT:
          name = "INSERT INTO";
          break;
        case SQL_DIAG_UPDATE_WHERE:
          name = "UPDATE WHERE";
          break;
        case SQL_DIAG_DELETE_WHERE:
          name = "DELETE WHERE";
          break;
        case SQL_DIAG_SELECT_CURSOR:
          name = "SELECT CURSOR";
          break;
        default:
          break;
      }
      return text(name);
    }
    case SQL_DIAG_RETURNCODE:
      return SQL_ERROR;  // kept by the driver manager
    default:
      break;
  }
  // Record fields.
  if (record < 1) return SQL_ERROR;
  if (static_cast<size_t>(record) > h->diags.size()) return SQL_NO_DATA;
  const DiagRecord& d = h->diags[record - 1];
  const Dbc* dbc = OwningConnection(h);
  switch (field) {
    case SQL_DIAG_SQLSTATE:
      return text(d.sqlstate);
    case SQL_DIAG_NATIVE:
      if (value != nullptr) *static_cast<SQLINTEGER*>(value) = d.native;
      return SQL_SUCCESS;
    case SQL_DIAG_MESSAGE_TEXT:
      return text(d.message);
    case SQL_DIAG_CLASS_ORIGIN:
      return text(ClassOrigin(d.sqlstate));
    case SQL_DIAG_SUBCLASS_ORIGIN:
      return text(SubclassOrigin(d.sqlstate));
    case SQL_DIAG_CONNECTION_NAME:
    case SQL_DIAG_SERVER_NAME:
      return text(dbc != nullptr ? dbc->dsn : std::string());
    case SQL_DIAG_COLUMN_NUMBER:
      if (value != nullptr) *static_cast<SQLINTEGER*>(value) = SQL_COLUMN_NUMBER_UNKNOWN;
      return SQL_SUCCESS;
    case SQL_DIAG_ROW_NUMBER:
      if (value != nullptr) *static_cast<SQLLEN*>(value) = SQL_ROW_NUMBER_UNKNOWN;
      return SQL_SUCCESS;
    default:
      return SQL_ERROR;
  }
}

}  // namespace tsqlite
