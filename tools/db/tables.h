#pragma once
// The tables of the time-recording system as db/schema.sql creates them, in an order in which
// each table comes after the tables its foreign keys name, with the columns that order its rows
// (the primary key, or the index of a table without one).
#include <string>
#include <vector>

namespace pxdb {

struct SystemTable {
  std::string name;      // schema-qualified: QXSYSTEM.Qxs133Bak, ABC_1.Qxs300Pnr
  std::string order_by;  // "TagPnr, TagTag"
};

// The three tables of QXSYSTEM, then the eleven of the client schema.
std::vector<SystemTable> SystemTables(const std::string& client_schema);

}  // namespace pxdb
