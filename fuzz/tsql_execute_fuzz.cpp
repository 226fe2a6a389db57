// Feeds arbitrary bytes as one T-SQL batch to the embedded database's engine (translator and
// executor) on an in-memory database holding the time-recording schema. Any SQL error is a fine
// answer; a crash, a hang, a leak or a sanitizer report is not. Each batch runs in a transaction
// that is rolled back, so every input meets the same tables.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "executor.h"
#include "fixtures/schema_script.h"

namespace {

void Die(const std::string& what) {
  std::fprintf(stderr, "tsql_execute_fuzz: %s\n", what.c_str());
  std::abort();
}

// The schema script with client ABC_1, batch by batch (a line holding GO ends a batch).
void InstallSchema(tsqlite::Database& db) {
  const std::vector<std::string> batches = fixture::SchemaBatches(PLANEX_SCHEMA_SQL, "ABC_1");
  if (batches.empty()) Die("cannot read " PLANEX_SCHEMA_SQL);
  for (const std::string& batch : batches) {
    tsqlite::Batch result;
    if (!db.Execute(batch, result)) Die("schema batch failed: " + result.errors.front().message + "\n" + batch);
  }
}

tsqlite::Database& Db() {
  static tsqlite::Database* db = [] {
    auto* d = new tsqlite::Database();
    tsqlite::Settings settings;
    settings.file = ":memory:";
    settings.create = true;
    tsqlite::Error error;
    if (!d->Open(settings, error)) Die("cannot open: " + error.message);
    InstallSchema(*d);
    d->SetManualCommit(true);
    return d;
  }();
  return *db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tsqlite::Database& db = Db();
  tsqlite::Batch batch;
  // A WHILE loop may run forever, as on SQL Server; the query timeout a client would set ends it.
  tsqlite::Limits limits;
  limits.timeout_seconds = 1;
  db.Execute(std::string_view(reinterpret_cast<const char*>(data), size), batch, limits);
  // Every result set is read to its end, as a client would.
  for (tsqlite::Result& r : batch.results) {
    for (size_t row = 0; row < r.rows; ++row) {
      tsqlite::Error error;
      if (!db.Window(r, row, error)) break;
    }
  }
  tsqlite::Error ignored;
  db.EndTransaction(false, ignored);
  return 0;
}
