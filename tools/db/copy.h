#pragma once
// planex-db copy: a company (the system schema and one client schema) from the connection into
// another database, streamed, and checked table by table afterwards.
#include <cstdint>
#include <string>

#include "session.h"

namespace pxdb {

struct CopyTarget {
  std::string db;                   // an embedded database file (made when missing), or
  std::string dsn, user, password;  // an ODBC data source
  std::string tsqlite_lib;          // the embedded driver, for db
  std::string schema_sql;           // the schema script, installed where the target lacks it
  int date_first = 0;               // 0: the one the file records
  bool replace = false;             // delete the target's rows of the copied tables first
};

// The client's count and checksum of a table's rows: a hash of every value (and NULL) of a row,
// summed over the rows, so that both sides agree however their collations order text.
struct TableSum {
  long long rows = 0;
  std::uint64_t sum = 0;
  void Add(const Row& row);
  bool operator==(const TableSum&) const = default;
};

// Returns the exit status: 0 when every table arrived whole, 1 otherwise (the reason on
// standard error).
int CopyCompany(Session& source, const std::string& schema, const CopyTarget& target);

}  // namespace pxdb
