#include "install.h"

#include <fstream>
#include <map>
#include <sstream>

#include "script.h"

namespace pxdb {
namespace {

// The batches of a script that create the system schema: they name QXSYSTEM and no client
// object.
bool SystemBatch(const std::string& text) {
  return text.find("QXSYSTEM") != std::string::npos && text.find("$(CLIENT)") == std::string::npos;
}

}  // namespace

bool TableExists(Session& session, const std::string& table) {
  std::string n;
  DbError e;
  return session.Scalar("SELECT COUNT(*) FROM " + table, &n, &e);
}

bool InstallSchema(Session& session, const std::string& script_path, const std::string& schema, bool* system_there,
                   int* statements, std::string* message) {
  std::ifstream in(script_path, std::ios::binary);
  if (!in) {
    *message = "cannot read the schema script " + script_path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  *system_there = TableExists(session, "QXSYSTEM.Qxs133Bak");
  *statements = 0;
  const std::map<std::string, std::string> vars = {{"CLIENT", schema}};
  for (const Batch& batch : SplitBatches(text.str())) {
    if (*system_there && SystemBatch(BlankComments(batch.text))) continue;
    std::string sql, missing;
    if (!Substitute(batch.text, vars, &sql, &missing)) {
      *message =
          script_path + ":" + std::to_string(batch.first_line) + ": scripting variable $(" + missing + ") has no value";
      return false;
    }
    DbError e;
    if (!session.Exec(BlankComments(sql), &e)) {
      *message = script_path + ":" + std::to_string(batch.first_line) + ": " + FormatError(e);
      return false;
    }
    ++*statements;
  }
  return true;
}

}  // namespace pxdb
