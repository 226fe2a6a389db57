// Parameters: SQLBindParameter, SQLNumParams, SQLDescribeParam, data at execution
// (SQLParamData/SQLPutData), arrays of parameter values, and the execution of a statement with
// them. Each bound value becomes a Literal that the engine binds to SQLite in the marker's place;
// no value is ever written into a statement text.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "api.h"
#include "column_type.h"
#include "handles.h"
#include "utf16.h"
#include "params.h"

namespace tsqlite {

namespace {

bool IsCharType(SQLSMALLINT t) {
  return t == SQL_CHAR || t == SQL_VARCHAR || t == SQL_LONGVARCHAR || t == SQL_WCHAR || t == SQL_WVARCHAR ||
         t == SQL_WLONGVARCHAR;
}
bool IsBinaryType(SQLSMALLINT t) {
  return t == SQL_BINARY || t == SQL_VARBINARY || t == SQL_LONGVARBINARY;
}
bool IsNumberType(SQLSMALLINT t) {
  switch (t) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
    case SQL_NUMERIC:
    case SQL_DECIMAL:
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_DOUBLE:
      return true;
    default:
      return false;
  }
}

// The C type SQL_C_DEFAULT stands for with a parameter of this SQL type.
SQLSMALLINT DefaultParamCType(SQLSMALLINT sql_type) {
  if (IsBinaryType(sql_type)) return SQL_C_BINARY;
  if (sql_type == SQL_WCHAR || sql_type == SQL_WVARCHAR || sql_type == SQL_WLONGVARCHAR) return SQL_C_WCHAR;
  if (sql_type == SQL_TYPE_DATE) return SQL_C_TYPE_DATE;
  if (sql_type == SQL_TYPE_TIME) return SQL_C_TYPE_TIME;
  if (sql_type == SQL_GUID) return SQL_C_GUID;
  if (sql_type == SQL_BIT) return SQL_C_BIT;
  return DefaultCType(sql_type);
}

// A text as a number: an integer when it is one that fits, else a double; false when it is none.
bool TextToNumber(std::string_view text, Literal& out) {
  std::string s(text);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  size_t start = s.find_first_not_of(" \t");
  if (start == std::string::npos) return false;
  s.erase(0, start);
  char* end = nullptr;
  errno = 0;
  long long n = std::strtoll(s.c_str(), &end, 10);
  if (errno == 0 && end != s.c_str() && *end == 0) {
    out.kind = Literal::Kind::Integer;
    out.integer = n;
    return true;
  }
  double d = std::strtod(s.c_str(), &end);
  if (end == s.c_str() || *end != 0) return false;
  out.kind = Literal::Kind::Real;
  out.real = d;
  // Without an exponent the text is a decimal: its digits go where the value is bound exactly.
  out.text = s.find_first_of("eE") == std::string::npos ? s : std::string();
  return true;
}

// SQL_NUMERIC_STRUCT as decimal text: the 128-bit magnitude in val (little-endian), scaled.
std::string NumericText(const SQL_NUMERIC_STRUCT& n) {
  unsigned __int128 v = 0;
  for (int i = SQL_MAX_NUMERIC_LEN - 1; i >= 0; --i) v = (v << 8) | n.val[i];
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  } while (v != 0);
  const int scale = n.scale;
  if (scale > 0) {
    if (digits.size() <= static_cast<size_t>(scale))
      digits.insert(0, static_cast<size_t>(scale) - digits.size() + 1, '0');
    digits.insert(digits.size() - static_cast<size_t>(scale), 1, '.');
  } else if (scale < 0 && digits != "0") {
    digits.append(static_cast<size_t>(-scale), '0');
  }
  return (n.sign == 0 && digits.find_first_not_of("0.") != std::string::npos ? "-" : "") + digits;
}

std::string Format(const char* format, int a, int b, int c, int d = 0, int e = 0, int f = 0, int g = 0) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, a, b, c, d, e, f, g);
  return buf;
}

// The bytes of one value of parameter b: the element of row `row` of its buffer (and indicator),
// by column-wise or row-wise binding. length is the indicator's value (SQL_NTS when there is none).
struct Element {
  const char* data = nullptr;
  SQLLEN length = SQL_NTS;
};

Element ElementOf(const Stmt* stmt, const ParamBinding& b, SQLULEN row) {
  const SQLULEN offset = stmt->param_bind_offset != nullptr ? *stmt->param_bind_offset : 0;
  Element e;
  const char* base = static_cast<const char*>(b.value);
  const char* ind = reinterpret_cast<const char*>(b.indicator);
  size_t stride = 0;
  size_t ind_stride = sizeof(SQLLEN);
  if (stmt->param_bind_type != SQL_PARAM_BIND_BY_COLUMN) {
    stride = ind_stride = stmt->param_bind_type;
  } else if (row > 0) {
    switch (b.c_type) {
      case SQL_C_CHAR:
      case SQL_C_WCHAR:
      case SQL_C_BINARY:
        stride = static_cast<size_t>(b.buffer_length);
        break;
      case SQL_C_BIT:
      case SQL_C_STINYINT:
      case SQL_C_UTINYINT:
      case SQL_C_TINYINT:
        stride = 1;
        break;
      case SQL_C_SSHORT:
      case SQL_C_USHORT:
      case SQL_C_SHORT:
        stride = 2;
        break;
      case SQL_C_SLONG:
      case SQL_C_ULONG:
      case SQL_C_LONG:
      case SQL_C_FLOAT:
        stride = 4;
        break;
      case SQL_C_SBIGINT:
      case SQL_C_UBIGINT:
      case SQL_C_DOUBLE:
        stride = 8;
        break;
      case SQL_C_NUMERIC:
        stride = sizeof(SQL_NUMERIC_STRUCT);
        break;
      case SQL_C_TYPE_DATE:
      case SQL_C_DATE:
        stride = sizeof(SQL_DATE_STRUCT);
        break;
      case SQL_C_TYPE_TIME:
      case SQL_C_TIME:
        stride = sizeof(SQL_TIME_STRUCT);
        break;
      case SQL_C_TYPE_TIMESTAMP:
      case SQL_C_TIMESTAMP:
        stride = sizeof(SQL_TIMESTAMP_STRUCT);
        break;
      case SQL_C_GUID:
        stride = sizeof(SQLGUID);
        break;
      default:
        stride = static_cast<size_t>(b.buffer_length);
    }
  }
  // With a binding offset, a buffer bound at 0 is the field at the start of the application's row.
  if (base != nullptr || offset != 0) e.data = base + offset + row * stride;
  if (ind != nullptr) e.length = *reinterpret_cast<const SQLLEN*>(ind + offset + row * ind_stride);
  return e;
}

template <typename T>
T Read(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

bool ParamLiteral(SQLSMALLINT c_type, SQLSMALLINT sql_type, const char* data, SQLLEN length, Literal& out,
                  Error& error) {
  out = Literal();
  if (length == SQL_NULL_DATA || length == SQL_DEFAULT_PARAM || data == nullptr) {
    out.kind = Literal::Kind::Null;
    return true;
  }
  if (c_type == SQL_C_DEFAULT) c_type = DefaultParamCType(sql_type);
  auto integer = [&](int64_t v) {
    out.kind = Literal::Kind::Integer;
    out.integer = v;
  };
  auto text = [&](std::string s) {
    out.kind = Literal::Kind::Text;
    out.text = std::move(s);
  };
  switch (c_type) {
    case SQL_C_CHAR:
      text(length == SQL_NTS || length < 0 ? std::string(data) : std::string(data, static_cast<size_t>(length)));
      break;
    case SQL_C_WCHAR: {
      std::u16string w;
      if (length == SQL_NTS || length < 0) {
        for (const char* p = data;; p += 2) {
          char16_t c = Read<char16_t>(p);
          if (c == 0) break;
          w += c;
        }
      } else {
        w.resize(static_cast<size_t>(length) / 2);
        std::memcpy(w.data(), data, w.size() * 2);
      }
      text(Utf8(w));
      break;
    }
    case SQL_C_BINARY:
      out.kind = Literal::Kind::Blob;
      out.text.assign(data, length < 0 ? 0 : static_cast<size_t>(length));
      break;
    case SQL_C_BIT:
      integer(Read<unsigned char>(data) != 0);
      break;
    case SQL_C_STINYINT:
    case SQL_C_TINYINT:
      integer(Read<signed char>(data));
      break;
    case SQL_C_UTINYINT:
      integer(Read<unsigned char>(data));
      break;
    case SQL_C_SSHORT:
    case SQL_C_SHORT:
      integer(Read<int16_t>(data));
      break;
    case SQL_C_USHORT:
      integer(Read<uint16_t>(data));
      break;
    case SQL_C_SLONG:
    case SQL_C_LONG:
      integer(Read<int32_t>(data));
      break;
    case SQL_C_ULONG:
      integer(Read<uint32_t>(data));
      break;
    case SQL_C_SBIGINT:
      integer(Read<int64_t>(data));
      break;
    case SQL_C_UBIGINT: {
      const uint64_t v = Read<uint64_t>(data);
      if (v > static_cast<uint64_t>(INT64_MAX)) {
        out.kind = Literal::Kind::Real;
        out.real = static_cast<double>(v);
      } else {
        integer(static_cast<int64_t>(v));
      }
      break;
    }
    case SQL_C_FLOAT:
      out.kind = Literal::Kind::Real;
      out.real = Read<float>(data);
      break;
    case SQL_C_DOUBLE:
      out.kind = Literal::Kind::Real;
      out.real = Read<double>(data);
      break;
    case SQL_C_NUMERIC: {
      if (!TextToNumber(NumericText(Read<SQL_NUMERIC_STRUCT>(data)), out)) text("0");
      break;
    }
    case SQL_C_TYPE_DATE:
    case SQL_C_DATE: {
      const auto d = Read<SQL_DATE_STRUCT>(data);
      text(Format("%04d-%02d-%02d", d.year, d.month, d.day));
      break;
    }
    case SQL_C_TYPE_TIME:
    case SQL_C_TIME: {
      const auto t = Read<SQL_TIME_STRUCT>(data);
      text(Format("%02d:%02d:%02d", t.hour, t.minute, t.second));
      break;
    }
    case SQL_C_TYPE_TIMESTAMP:
    case SQL_C_TIMESTAMP: {
      // Milliseconds, or all nine digits when there is more (datetime2 keeps 100 ns).
      const auto ts = Read<SQL_TIMESTAMP_STRUCT>(data);
      const bool ms = ts.fraction % 1000000 == 0;
      text(Format(ms ? "%04d-%02d-%02d %02d:%02d:%02d.%03d" : "%04d-%02d-%02d %02d:%02d:%02d.%09d", ts.year, ts.month,
                  ts.day, ts.hour, ts.minute, ts.second, static_cast<int>(ms ? ts.fraction / 1000000 : ts.fraction)));
      break;
    }
    case SQL_C_GUID: {
      const auto g = Read<SQLGUID>(data);
      char buf[40];
      std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", g.Data1, g.Data2, g.Data3,
                    g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
      text(buf);
      break;
    }
    default:
      error = ErrorOf(Sqlstate::ProgramTypeOutOfRange);
      return false;
  }
  // The value takes the SQL type the application gave the parameter, as the server converts it.
  if (out.kind == Literal::Kind::Text && IsNumberType(sql_type)) {
    if (!TextToNumber(out.text, out)) {
      error = ErrorOf(Sqlstate::BadCharacterValue, "Invalid character value for the type of the parameter");
      return false;
    }
  }
  if (sql_type == SQL_BIT && out.kind == Literal::Kind::Integer) out.integer = out.integer != 0;
  if (out.kind == Literal::Kind::Text && IsBinaryType(sql_type)) out.kind = Literal::Kind::Blob;
  if (out.kind == Literal::Kind::Blob && IsCharType(sql_type)) out.kind = Literal::Kind::Text;
  return true;
}

namespace {

bool AtExecution(SQLLEN length) {
  return length == SQL_DATA_AT_EXEC || length <= SQL_LEN_DATA_AT_EXEC_OFFSET;
}

// The values of parameter row `row`. Parameters given at execution are left Null and listed in
// wanted (when it is given; otherwise they are an error).
SQLRETURN RowValues(Stmt* stmt, SQLULEN row, size_t count, std::vector<Literal>& values, std::vector<size_t>* wanted) {
  values.assign(count, Literal());
  for (size_t i = 0; i < count; ++i) {
    if (i >= stmt->params.size() || !stmt->params[i].bound) {
      return SetDiag(stmt, SQL_ERROR, Sqlstate::CountFieldIncorrect);
    }
    const ParamBinding& b = stmt->params[i];
    const Element e = ElementOf(stmt, b, row);
    if (AtExecution(e.length) && b.indicator != nullptr) {
      if (wanted == nullptr) return SetDiag(stmt, SQL_ERROR, Sqlstate::NotImplemented);
      wanted->push_back(i);
      continue;
    }
    Error error;
    if (!ParamLiteral(b.c_type, b.sql_type, e.data, e.length, values[i], error)) {
      return SetDiag(stmt, SQL_ERROR, error.sqlstate.c_str(), error.native, error.message);
    }
  }
  return SQL_SUCCESS;
}

// SQL Server takes at most 2,100 parameters in a request (and SQLNumParams counts in 16 bits).
constexpr size_t kMaxMarkers = 2100;
SQLRETURN TooManyMarkers(Stmt* stmt) {
  return SetDiag(stmt, SQL_ERROR, "42000", 8003,
                 "The incoming request has too many parameters. The server supports a maximum of 2100 parameters. "
                 "Reduce the number of parameters and resend the request.");
}

size_t CountMarkers(std::string_view text) {
  Shape shape;
  Parameterize(text, shape);
  return shape.markers.size();
}

// Runs text with every row of parameter values, one after the other, from the pending row on:
// the row counts add up, the result sets follow each other. Stops at the first row that fails.
// A row with values to come at execution returns SQL_NEED_DATA, and SQLParamData goes on.
SQLRETURN ContinueRows(Stmt* stmt) {
  PendingExecution& p = stmt->pending;
  const bool array = p.rows > 1;
  for (; p.row < p.rows; ++p.row) {
    SQLRETURN rc = SQL_SUCCESS;
    if (!p.gathered) {
      p.wanted.clear();
      p.next = 0;
      rc = RowValues(stmt, p.row, p.count, p.values, &p.wanted);
      if (rc == SQL_SUCCESS && !p.wanted.empty()) {
        p.gathered = true;
        p.active = true;
        return SQL_NEED_DATA;
      }
    }
    p.gathered = false;
    if (rc == SQL_SUCCESS) rc = RunBatch(stmt, p.text, &p.values);
    if (stmt->params_processed != nullptr) *stmt->params_processed = p.row + 1;
    if (stmt->param_status != nullptr) {
      stmt->param_status[p.row] = rc == SQL_ERROR ? SQL_PARAM_ERROR : SQL_PARAM_SUCCESS;
      if (rc == SQL_ERROR) {
        for (SQLULEN r = p.row + 1; r < p.rows; ++r) stmt->param_status[r] = SQL_PARAM_UNUSED;
      }
    }
    if (rc == SQL_ERROR || !array) {
      p = PendingExecution();
      return rc;
    }
    for (Result& r : stmt->batch.results) {
      if (r.has_rows) p.only_counts = false;
      if (!r.has_rows && r.affected >= 0) p.affected = (p.affected < 0 ? 0 : p.affected) + r.affected;
      p.all.results.push_back(std::move(r));
    }
  }
  if (p.only_counts) {
    p.all.results.clear();
    Result total;
    total.affected = p.affected;
    p.all.results.push_back(std::move(total));
  }
  stmt->batch = std::move(p.all);
  p = PendingExecution();
  stmt->result_index = 0;
  EnterResult(stmt);
  return SQL_SUCCESS;
}

}  // namespace

SQLRETURN ExecuteWithParams(Stmt* stmt, std::string_view text) {
  stmt->pending = PendingExecution();
  if (stmt->params.empty()) return RunBatch(stmt, text, nullptr);
  const size_t count = stmt->dbc->db.Markers(text);
  if (count == 0) return RunBatch(stmt, text, nullptr);
  if (count > kMaxMarkers) return TooManyMarkers(stmt);
  PendingExecution& p = stmt->pending;
  p.text = std::string(text);
  p.count = count;
  p.rows = stmt->paramset_size > 0 ? stmt->paramset_size : 1;
  if (stmt->params_processed != nullptr) *stmt->params_processed = 0;
  return ContinueRows(stmt);
}

SQLRETURN BindParameter(Stmt* stmt, SQLUSMALLINT number, SQLSMALLINT io_type, SQLSMALLINT c_type, SQLSMALLINT sql_type,
                        SQLULEN size, SQLSMALLINT digits, SQLPOINTER value, SQLLEN buffer_length, SQLLEN* indicator) {
  if (number < 1) return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidDescriptorIndex);
  if (io_type != SQL_PARAM_INPUT) {
    return SetDiag(stmt, SQL_ERROR, Sqlstate::NotImplemented);
  }
  if (stmt->params.size() < number) stmt->params.resize(number);
  ParamBinding& b = stmt->params[number - 1];
  b.bound = true;
  b.c_type = c_type;
  b.sql_type = sql_type;
  b.size = size;
  b.digits = digits;
  b.value = value;
  b.buffer_length = buffer_length;
  b.indicator = indicator;
  return SQL_SUCCESS;
}

SQLRETURN NumParams(Stmt* stmt, SQLSMALLINT* count) {
  if (!stmt->prepared) return SetDiag(stmt, SQL_ERROR, Sqlstate::SequenceError);
  const size_t markers = CountMarkers(stmt->prepared_text);
  if (markers > kMaxMarkers) return TooManyMarkers(stmt);
  if (count != nullptr) *count = static_cast<SQLSMALLINT>(markers);
  return SQL_SUCCESS;
}

SQLRETURN DescribeParam(Stmt* stmt, SQLUSMALLINT number, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                        SQLSMALLINT* nullable) {
  if (!stmt->prepared) return SetDiag(stmt, SQL_ERROR, Sqlstate::SequenceError);
  if (number < 1 || number > CountMarkers(stmt->prepared_text)) {
    return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidDescriptorIndex);
  }
  // A marker that meets a column is described as that column; any other takes any value and is
  // described as the widest text, which every value converts to.
  const std::vector<std::string> decls = stmt->dbc->db.DescribeMarkers(stmt->prepared_text);
  ColumnType t{SQL_WVARCHAR, 4000, 0, 4000, "nvarchar"};
  if (number <= decls.size() && !decls[number - 1].empty()) {
    Result column;
    column.columns.push_back(Column{"", decls[number - 1], "", Column::Nulls::Unknown});
    t = TypeOfColumn(column, 0);
  }
  if (type != nullptr) *type = t.sql_type;
  if (size != nullptr) *size = t.size;
  if (digits != nullptr) *digits = t.digits;
  if (nullable != nullptr) *nullable = SQL_NULLABLE;
  return SQL_SUCCESS;
}

SQLRETURN ParamData(Stmt* stmt, SQLPOINTER* token) {
  PendingExecution& p = stmt->pending;
  if (!p.active) return SetDiag(stmt, SQL_ERROR, Sqlstate::SequenceError);
  if (p.next > 0) {
    // The data put for the parameter asked last becomes its value.
    const size_t index = p.wanted[p.next - 1];
    const ParamBinding& b = stmt->params[index];
    Error error;
    const bool ok = p.null ? ParamLiteral(b.c_type, b.sql_type, nullptr, SQL_NULL_DATA, p.values[index], error)
                           : ParamLiteral(b.c_type, b.sql_type, p.data.data(), static_cast<SQLLEN>(p.data.size()),
                                          p.values[index], error);
    if (!ok) {
      p = PendingExecution();
      return SetDiag(stmt, SQL_ERROR, error.sqlstate.c_str(), error.native, error.message);
    }
  }
  if (p.next == p.wanted.size()) {
    // The row has all its values: it runs, and the rows after it until one wants data again.
    const SQLRETURN rc = ContinueRows(stmt);
    if (rc != SQL_NEED_DATA) return rc;
  }
  // The token is the parameter's buffer in this row, as bound (with the binding offset and the
  // row's place in the array), which the application handed over to tell its values apart.
  const ParamBinding& b = stmt->params[p.wanted[p.next++]];
  p.data.clear();
  p.null = false;
  p.put = false;
  if (token != nullptr) *token = const_cast<char*>(ElementOf(stmt, b, p.row).data);
  return SQL_NEED_DATA;
}

SQLRETURN PutData(Stmt* stmt, SQLPOINTER data, SQLLEN length) {
  PendingExecution& p = stmt->pending;
  if (!p.active || p.next == 0) return SetDiag(stmt, SQL_ERROR, Sqlstate::SequenceError);
  if (length == SQL_NULL_DATA) {
    p.null = true;
    return SQL_SUCCESS;
  }
  if (data == nullptr && length != 0) return SetDiag(stmt, SQL_ERROR, Sqlstate::NullPointer);
  const ParamBinding& b = stmt->params[p.wanted[p.next - 1]];
  const SQLSMALLINT c_type = b.c_type == SQL_C_DEFAULT ? DefaultParamCType(b.sql_type) : b.c_type;
  const char* bytes = static_cast<const char*>(data);
  if (length == SQL_NTS) {
    if (c_type == SQL_C_WCHAR) {
      size_t n = 0;
      while (Read<char16_t>(bytes + 2 * n) != 0) ++n;
      p.data.append(bytes, 2 * n);
    } else {
      p.data.append(bytes);
    }
  } else if (length > 0) {
    p.data.append(bytes, static_cast<size_t>(length));
  } else if (length < 0) {
    return SetDiag(stmt, SQL_ERROR, Sqlstate::InvalidBufferLength);
  }
  p.put = true;
  return SQL_SUCCESS;
}

}  // namespace tsqlite
