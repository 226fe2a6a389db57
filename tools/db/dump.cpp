#include "dump.h"

#include <ctime>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "script.h"
#include "tables.h"

namespace pxdb {
namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
// SQL Server takes at most 1,000 rows in the VALUES list of an INSERT (error 10738).
constexpr size_t kRowsPerInsert = 1000;

std::string Trim(const std::string& text) {
  // Lines that hold nothing (comments blanked out) are dropped, trailing blanks cut.
  std::istringstream in(text);
  std::string out;
  for (std::string line; std::getline(in, line);) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.pop_back();
    if (!line.empty()) out += (out.empty() ? "" : "\n") + line;
  }
  return out;
}

bool StartsWith(const std::string& text, const char* head) {
  return text.compare(0, std::char_traits<char>::length(head), head) == 0;
}

// The word after the head: "CREATE TABLE ABC_1.Qxs300Pnr (" -> "ABC_1.Qxs300Pnr".
std::string NameAfter(const std::string& text, size_t at) {
  size_t end = text.find_first_of(" \t\n(", at);
  return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

}  // namespace

bool CreateWhereMissing(const std::string& script, const std::string& schema, std::vector<std::string>* batches,
                        std::string* message) {
  const std::map<std::string, std::string> vars = {{"CLIENT", schema}};
  std::string table;  // the open CREATE TABLE group
  auto close = [&] {
    if (!table.empty()) batches->push_back(table + "\nEND");
    table.clear();
  };
  for (const Batch& batch : SplitBatches(script)) {
    std::string sql, missing;
    if (!Substitute(BlankComments(batch.text), vars, &sql, &missing)) {
      *message = "scripting variable $(" + missing + ") has no value";
      return false;
    }
    sql = Trim(sql);
    if (StartsWith(sql, "CREATE SCHEMA ")) {
      close();
      const std::string name = NameAfter(sql, 14);
      // CREATE SCHEMA must open its batch; behind IF it runs through EXEC.
      batches->push_back("IF SCHEMA_ID(N'" + name + "') IS NULL EXEC(N'CREATE SCHEMA " + name + "')");
    } else if (StartsWith(sql, "CREATE TABLE ")) {
      close();
      table = "IF OBJECT_ID(N'" + NameAfter(sql, 13) + "', N'U') IS NULL\nBEGIN\n" + sql;
    } else if (StartsWith(sql, "CREATE INDEX ") && !table.empty()) {
      table += "\n" + sql;
    } else {
      *message =
          "line " + std::to_string(batch.first_line) + " of the schema script is no CREATE SCHEMA, TABLE or INDEX";
      return false;
    }
  }
  close();
  return true;
}

std::string Literal(const ColumnInfo& column, const std::optional<std::string>& value) {
  if (!value) return "NULL";
  const std::string& v = *value;
  switch (column.type) {
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP: {
      // "2026-12-08 10:00:00.123" -> style 126, whose form no language or DATEFORMAT changes.
      std::string iso = v;
      if (iso.size() > 10 && iso[10] == ' ') iso[10] = 'T';
      size_t dot = iso.find('.');
      std::string fraction = dot == std::string::npos ? "" : iso.substr(dot + 1);
      iso = iso.substr(0, dot);
      fraction.resize(3, '0');
      return "CONVERT(datetime, '" + iso + "." + fraction + "', 126)";
    }
    case SQL_DECIMAL:
    case SQL_NUMERIC: {
      // Digit for digit, with as many decimals as the column's scale.
      std::string d = v;
      if (column.digits > 0) {
        size_t dot = d.find('.');
        if (dot == std::string::npos) {
          d += '.';
          dot = d.size() - 1;
        }
        const size_t have = d.size() - dot - 1;
        if (have < static_cast<size_t>(column.digits)) d.append(static_cast<size_t>(column.digits) - have, '0');
      }
      return d;
    }
    case SQL_INTEGER:
    case SQL_SMALLINT:
    case SQL_TINYINT:
    case SQL_BIGINT:
    case SQL_BIT:
      return v;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      return "0x" + v;
    default:
      break;
  }
  std::string out = "N'";
  for (size_t i = 0; i < v.size(); ++i) {
    const char c = v[i];
    if (c == '\'') {
      out += "''";
    } else if (static_cast<unsigned char>(c) < 0x20) {
      out += "' + CHAR(" + std::to_string(static_cast<int>(c)) + ") + N'";
    } else if (c == '$' && i + 1 < v.size() && v[i + 1] == '(') {
      out += "$' + N'";
    } else {
      out += c;
    }
  }
  return out + "'";
}

int DumpCompany(Session& source, const std::string& schema, const std::string& schema_sql,
                const std::string& source_name, std::FILE* out) {
  std::ifstream in(schema_sql, std::ios::binary);
  std::ostringstream script;
  if (in) script << in.rdbuf();
  std::vector<std::string> ddl;
  std::string message;
  if (!in || !CreateWhereMissing(script.str(), schema, &ddl, &message)) {
    std::fprintf(stderr, "planex-db: dump: schema script %s: %s\n", schema_sql.c_str(),
                 in ? message.c_str() : "cannot be read");
    return kFailed;
  }
  const std::vector<SystemTable> tables = SystemTables(schema);
  std::string collation;
  DbError e;
  if (!source.Scalar("SELECT DATABASEPROPERTYEX(DB_NAME(), 'Collation')", &collation, &e)) collation = "unknown";
  std::vector<std::string> counts;
  long long total = 0;
  for (const SystemTable& t : tables) {
    std::string n;
    if (!source.Scalar("SELECT COUNT(*) FROM " + t.name, &n, &e)) {
      std::fprintf(stderr, "planex-db: dump: table %s: %s\n", t.name.c_str(), FormatError(e).c_str());
      return kFailed;
    }
    counts.push_back(n);
    total += std::stoll(n);
  }
  char made[32];
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  std::strftime(made, sizeof made, "%Y-%m-%d %H:%M:%S UTC", &utc);
  std::fprintf(out,
               "-- planex-db dump of a time-recording company: system schema QXSYSTEM and client schema %s,\n"
               "-- %lld rows in %zu tables.\n"
               "-- Made %s by planex-db " PLANEX_VERSION
               " from %s (collation %s).\n"
               "-- Run it into a database with sqlcmd -S SERVER -d DATABASE -i FILE, or with\n"
               "-- planex-db CONNECTION sql FILE: it creates the schemas and tables that are missing, then\n"
               "-- inserts the rows (into empty tables; a row already there stops it with error 2627).\n",
               schema.c_str(), total, tables.size(), made, source_name.c_str(), collation.c_str());
  for (size_t i = 0; i < tables.size(); ++i)
    std::fprintf(out, "--   %-20s %10s rows\n", tables[i].name.c_str(), counts[i].c_str());
  std::fputs("\n-- Schemas and tables, where missing\n", out);
  for (const std::string& batch : ddl) std::fprintf(out, "%s\nGO\n", batch.c_str());

  for (const SystemTable& t : tables) {
    std::fprintf(out, "\n-- Rows of %s\n", t.name.c_str());
    Cursor cursor;
    if (!cursor.Open(source, "SELECT * FROM " + t.name + " ORDER BY " + t.order_by, &e)) {
      std::fprintf(stderr, "planex-db: dump: table %s: %s\n", t.name.c_str(), FormatError(e).c_str());
      return kFailed;
    }
    std::string head = "INSERT INTO " + t.name + " (";
    for (size_t k = 0; k < cursor.Columns().size(); ++k) head += (k ? ", " : "") + cursor.Columns()[k].name;
    head += ") VALUES\n";
    Row row;
    size_t in_statement = 0;
    int got = 0;
    std::string line;
    while ((got = cursor.Fetch(&row, &e)) == 1) {
      line = in_statement == 0 ? head + "(" : ",\n(";
      for (size_t k = 0; k < row.size(); ++k) line += (k ? ", " : "") + Literal(cursor.Columns()[k], row[k]);
      line += ")";
      std::fputs(line.c_str(), out);
      if (++in_statement == kRowsPerInsert) {
        std::fputs("\nGO\n", out);
        in_statement = 0;
      }
    }
    if (in_statement > 0) std::fputs("\nGO\n", out);
    if (got < 0) {
      std::fprintf(stderr, "planex-db: dump: table %s: %s\n", t.name.c_str(), FormatError(e).c_str());
      return kFailed;
    }
  }
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fprintf(stderr, "planex-db: dump: writing the script failed\n");
    return kFailed;
  }
  return kOk;
}

}  // namespace pxdb
