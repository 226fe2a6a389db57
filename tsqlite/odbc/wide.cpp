// The Unicode (W) calls: each converts its UTF-16 arguments to the UTF-8 the database stores,
// runs the call of the same name, and hands its texts out as UTF-16. Lengths are counted as the
// call counts them: in characters for SQLDescribeColW, SQLGetDiagRecW, SQLDriverConnectW and
// SQLNativeSqlW, in bytes for SQLColAttributeW, SQLGetInfoW, SQLGetDiagFieldW and the attributes.
// The driver manager calls these for an application that connected with a W call; planex's ANSI
// calls reach the ANSI functions unchanged.
#include <cstring>
#include <string>
#include <vector>

#include "api.h"
#include "utf16.h"
#include "handles.h"

namespace tsqlite {

namespace {

// A UTF-16 argument of length chars (or SQL_NTS) as UTF-8; absent stays absent.
struct Arg {
  Arg(const SQLWCHAR* text, SQLINTEGER chars) : present(text != nullptr) {
    if (text == nullptr) return;
    std::u16string w;
    if (chars == SQL_NTS) {
      for (const SQLWCHAR* p = text; *p != 0; ++p) w += static_cast<char16_t>(*p);
    } else if (chars > 0) {
      w.assign(reinterpret_cast<const char16_t*>(text), static_cast<size_t>(chars));
    }
    utf8 = Utf8(w);
  }
  SQLCHAR* Ptr() { return present ? reinterpret_cast<SQLCHAR*>(utf8.data()) : nullptr; }
  SQLSMALLINT Len16() const { return present ? static_cast<SQLSMALLINT>(utf8.size()) : 0; }
  SQLINTEGER Len32() const { return present ? static_cast<SQLINTEGER>(utf8.size()) : 0; }
  bool present;
  std::string utf8;
};

// A text a narrow call produced, of the size it reported.
struct Narrow {
  std::vector<SQLCHAR> buffer = std::vector<SQLCHAR>(32768);
  SQLSMALLINT len16 = -1;
  SQLINTEGER len32 = -1;
  std::string Text() const { return std::string(reinterpret_cast<const char*>(buffer.data())); }
};

// The result of the narrow call, with a cut of the wide copy reported as 01004 (on h when given).
SQLRETURN Merge(Handle* h, SQLRETURN narrow, const std::string& text, SQLWCHAR* out, SQLLEN capacity, bool bytes,
                SQLSMALLINT* len16, SQLINTEGER* len32) {
  if (!SQL_SUCCEEDED(narrow)) return narrow;
  SQLRETURN put = PutWide(h, text, out, capacity, bytes, len16, len32);
  return put == SQL_SUCCESS ? narrow : put;
}

bool IsTextDiagField(SQLSMALLINT field) {
  return field == SQL_DIAG_SQLSTATE || field == SQL_DIAG_MESSAGE_TEXT || field == SQL_DIAG_CLASS_ORIGIN ||
         field == SQL_DIAG_SUBCLASS_ORIGIN || field == SQL_DIAG_CONNECTION_NAME || field == SQL_DIAG_SERVER_NAME ||
         field == SQL_DIAG_DYNAMIC_FUNCTION;
}

bool IsTextConnectAttr(SQLINTEGER attribute) {
  return attribute == SQL_ATTR_CURRENT_CATALOG || attribute == SQL_ATTR_TRACEFILE ||
         attribute == SQL_ATTR_TRANSLATE_LIB;
}

}  // namespace

SQLRETURN PutWide(Handle* h, const std::string& text, SQLWCHAR* out, SQLLEN capacity, bool bytes, SQLSMALLINT* len16,
                  SQLINTEGER* len32) {
  const std::u16string w = Utf16(text);
  const SQLLEN full = static_cast<SQLLEN>(w.size()) * (bytes ? 2 : 1);
  if (len16 != nullptr) *len16 = static_cast<SQLSMALLINT>(full > 32767 ? 32767 : full);
  if (len32 != nullptr) *len32 = static_cast<SQLINTEGER>(full);
  if (out == nullptr) return SQL_SUCCESS;
  const SQLLEN units = bytes ? capacity / 2 : capacity;
  if (units <= 0) {
    if (w.empty()) return SQL_SUCCESS;
    return h != nullptr ? SetDiag(h, SQL_SUCCESS_WITH_INFO, Sqlstate::StringTruncated) : SQL_SUCCESS_WITH_INFO;
  }
  size_t n = w.size() < static_cast<size_t>(units) ? w.size() : static_cast<size_t>(units) - 1;
  // A surrogate pair is never cut in half.
  if (n < w.size() && n > 0 && w[n - 1] >= 0xD800 && w[n - 1] < 0xDC00) --n;
  for (size_t i = 0; i < n; ++i) out[i] = w[i];
  out[n] = 0;
  if (n == w.size()) return SQL_SUCCESS;
  return h != nullptr ? SetDiag(h, SQL_SUCCESS_WITH_INFO, Sqlstate::StringTruncated) : SQL_SUCCESS_WITH_INFO;
}

SQLRETURN ExecDirectW(Stmt* stmt, SQLWCHAR* text, SQLINTEGER length) {
  Arg a(text, length);
  return ExecDirect(stmt, a.Ptr(), a.Len32());
}

SQLRETURN PrepareW(Stmt* stmt, SQLWCHAR* text, SQLINTEGER length) {
  Arg a(text, length);
  return Prepare(stmt, a.Ptr(), a.Len32());
}

SQLRETURN ConnectW(Dbc* dbc, SQLWCHAR* dsn, SQLSMALLINT dsn_length, SQLWCHAR* user, SQLSMALLINT user_length,
                   SQLWCHAR* password, SQLSMALLINT password_length) {
  Arg d(dsn, dsn_length), u(user, user_length), p(password, password_length);
  return Connect(dbc, d.Ptr(), d.Len16(), u.Ptr(), u.Len16(), p.Ptr(), p.Len16());
}

SQLRETURN DriverConnectW(Dbc* dbc, SQLHWND window, SQLWCHAR* in, SQLSMALLINT in_length, SQLWCHAR* out,
                         SQLSMALLINT out_max, SQLSMALLINT* out_length, SQLUSMALLINT completion) {
  Arg a(in, in_length);
  Narrow n;
  SQLRETURN rc = DriverConnect(dbc, window, a.Ptr(), a.Len16(), n.buffer.data(), static_cast<SQLSMALLINT>(32767),
                               &n.len16, completion);
  return Merge(dbc, rc, n.Text(), out, out_max, false, out_length, nullptr);
}

SQLRETURN NativeSqlW(Dbc* dbc, SQLWCHAR* in, SQLINTEGER in_length, SQLWCHAR* out, SQLINTEGER out_max,
                     SQLINTEGER* out_length) {
  Arg a(in, in_length);
  Narrow n;
  SQLRETURN rc = NativeSql(dbc, a.Ptr(), a.Len32(), n.buffer.data(), 32767, &n.len32);
  return Merge(dbc, rc, n.Text(), out, out_max, false, nullptr, out_length);
}

SQLRETURN DescribeColW(Stmt* stmt, SQLUSMALLINT column, SQLWCHAR* name, SQLSMALLINT buffer_length,
                       SQLSMALLINT* name_length, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                       SQLSMALLINT* nullable) {
  Narrow n;
  SQLRETURN rc = DescribeCol(stmt, column, n.buffer.data(), 32767, &n.len16, type, size, digits, nullable);
  return Merge(stmt, rc, n.Text(), name, buffer_length, false, name_length, nullptr);
}

SQLRETURN ColAttributeW(Stmt* stmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text, SQLSMALLINT buffer_length,
                        SQLSMALLINT* length, SQLLEN* number) {
  Narrow n;
  SQLRETURN rc = ColAttribute(stmt, column, field, n.buffer.data(), 32767, &n.len16, number);
  if (n.len16 < 0) return rc;  // a number
  return Merge(stmt, rc, n.Text(), static_cast<SQLWCHAR*>(text), buffer_length, true, length, nullptr);
}

SQLRETURN GetDiagRecW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLWCHAR* sqlstate, SQLINTEGER* native,
                      SQLWCHAR* message, SQLSMALLINT buffer_length, SQLSMALLINT* length) {
  Narrow n;
  SQLCHAR state[6] = "";
  SQLRETURN rc = GetDiagRec(type, handle, record, state, native, n.buffer.data(), 32767, &n.len16);
  if (!SQL_SUCCEEDED(rc)) return rc;
  if (sqlstate != nullptr) {
    for (int i = 0; i < 6; ++i) sqlstate[i] = state[i];
  }
  return Merge(nullptr, rc, n.Text(), message, buffer_length, false, length, nullptr);
}

SQLRETURN GetDiagFieldW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value,
                        SQLSMALLINT buffer_length, SQLSMALLINT* length) {
  if (!IsTextDiagField(field)) return GetDiagField(type, handle, record, field, value, buffer_length, length);
  Narrow n;
  SQLRETURN rc = GetDiagField(type, handle, record, field, n.buffer.data(), 32767, &n.len16);
  return Merge(nullptr, rc, n.Text(), static_cast<SQLWCHAR*>(value), buffer_length, true, length, nullptr);
}

SQLRETURN GetInfoW(Dbc* dbc, SQLUSMALLINT info, SQLPOINTER value, SQLSMALLINT buffer_length, SQLSMALLINT* length) {
  Narrow n;
  bool is_text = false;
  SQLRETURN rc = GetInfo(dbc, info, n.buffer.data(), 32767, &n.len16, &is_text);
  if (!is_text) return GetInfo(dbc, info, value, buffer_length, length);
  return Merge(dbc, rc, n.Text(), static_cast<SQLWCHAR*>(value), buffer_length, true, length, nullptr);
}

SQLRETURN GetConnectAttrW(Dbc* dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER buffer_length,
                          SQLINTEGER* length) {
  if (!IsTextConnectAttr(attribute)) return GetConnectAttr(dbc, attribute, value, buffer_length, length);
  Narrow n;
  SQLRETURN rc = GetConnectAttr(dbc, attribute, n.buffer.data(), 32767, &n.len32);
  return Merge(dbc, rc, n.Text(), static_cast<SQLWCHAR*>(value), buffer_length, true, nullptr, length);
}

SQLRETURN SetConnectAttrW(Dbc* dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
  if (!IsTextConnectAttr(attribute)) return SetConnectAttr(dbc, attribute, value, length);
  Arg a(static_cast<SQLWCHAR*>(value), length == SQL_NTS ? SQL_NTS : length / 2);
  return SetConnectAttr(dbc, attribute, a.Ptr(), a.Len32());
}

SQLRETURN TablesW(Stmt* stmt, SQLWCHAR* catalog, SQLSMALLINT catalog_length, SQLWCHAR* schema,
                  SQLSMALLINT schema_length, SQLWCHAR* table, SQLSMALLINT table_length, SQLWCHAR* types,
                  SQLSMALLINT types_length) {
  Arg c(catalog, catalog_length), s(schema, schema_length), t(table, table_length), y(types, types_length);
  return Tables(stmt, c.Ptr(), c.Len16(), s.Ptr(), s.Len16(), t.Ptr(), t.Len16(), y.Ptr(), y.Len16());
}

SQLRETURN PrimaryKeysW(Stmt* stmt, SQLWCHAR* catalog, SQLSMALLINT catalog_length, SQLWCHAR* schema,
                       SQLSMALLINT schema_length, SQLWCHAR* table, SQLSMALLINT table_length) {
  Arg c(catalog, catalog_length), s(schema, schema_length), t(table, table_length);
  return PrimaryKeys(stmt, c.Ptr(), c.Len16(), s.Ptr(), s.Len16(), t.Ptr(), t.Len16());
}

SQLRETURN StatisticsW(Stmt* stmt, SQLWCHAR* catalog, SQLSMALLINT catalog_length, SQLWCHAR* schema,
                      SQLSMALLINT schema_length, SQLWCHAR* table, SQLSMALLINT table_length, SQLUSMALLINT unique,
                      SQLUSMALLINT reserved) {
  Arg c(catalog, catalog_length), s(schema, schema_length), t(table, table_length);
  return Statistics(stmt, c.Ptr(), c.Len16(), s.Ptr(), s.Len16(), t.Ptr(), t.Len16(), unique, reserved);
}

SQLRETURN ColumnsW(Stmt* stmt, SQLWCHAR* catalog, SQLSMALLINT catalog_length, SQLWCHAR* schema,
                   SQLSMALLINT schema_length, SQLWCHAR* table, SQLSMALLINT table_length, SQLWCHAR* column,
                   SQLSMALLINT column_length) {
  Arg c(catalog, catalog_length), s(schema, schema_length), t(table, table_length), k(column, column_length);
  return Columns(stmt, c.Ptr(), c.Len16(), s.Ptr(), s.Len16(), t.Ptr(), t.Len16(), k.Ptr(), k.Len16());
}

}  // namespace tsqlite
