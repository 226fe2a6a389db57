// Connections to the database file, transactions, the cache of translations by shape, and the
// execution of a batch statement by statement.
#include "executor.h"

#include "decimal.h"
#include "executor_internal.h"
#include "sql_type.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>
#include <map>
#include <unistd.h>

namespace tsqlite {

namespace {

// Beyond this many shapes the cache starts over; planex uses a few dozen.
constexpr size_t kCacheLimit = 1000;
// Beyond this many texts with markers their shapes start over; the batched person step of planex
// prepares a few dozen.
constexpr size_t kMarkedLimit = 64;

}  // namespace

// A file name as an SQLite URI ("file:" and the path, with the characters a URI gives a meaning
// of its own percent-encoded).
static std::string FileUri(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  // An absolute path follows an empty authority, so that one beginning with "//" stays a path.
  std::string uri = path.starts_with('/') ? "file://" : "file:";
  for (unsigned char c : path) {
    if (c <= ' ' || c >= 0x7F || c == '%' || c == '?' || c == '#') {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 0xF];
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri;
}

Database::Database() = default;
Database::~Database() {
  Close();
}

bool Database::Exec(const char* sql, Error& error) {
  char* message = nullptr;
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
  if (rc != SQLITE_OK) {
    std::vector<Error> mapped = MapSqliteError(sqlite3_extended_errcode(db_), message ? message : sqlite3_errstr(rc),
                                               ErrorContext{Kw::None, name_, "", {}});
    error = mapped.front();
    sqlite3_free(message);
    return false;
  }
  return true;
}

void Database::SetLockTimeout(int milliseconds) {
  lock_timeout_ms_ = milliseconds;
  // SQLite waits at most INT_MAX ms (24 days): as long as any run lasts.
  if (db_ != nullptr) sqlite3_busy_timeout(db_, milliseconds < 0 ? INT_MAX : milliseconds);
}

bool Database::Open(const Settings& settings, Error& error) {
  Close();
  size_t slash = settings.file.rfind('/');
  name_ = settings.file.substr(slash == std::string::npos ? 0 : slash + 1);
  size_t dot = name_.rfind('.');
  if (dot != std::string::npos && dot > 0) name_.resize(dot);
  date_first_ = settings.date_first;
  lock_timeout_ms_ = settings.lock_timeout_ms;
  nocount_ = settings.nocount;
  Collation wanted = Collation::CiAs;  // a new file's collation, as a default server installation's
  if (!settings.collation.empty() && !CollationByName(settings.collation, wanted)) {
    error = Raised<Err::InvalidCollation>(settings.collation);
    return false;
  }

  // A connection is used by one thread at a time: its state in the driver has no lock, so SQLite's
  // per-call lock protected nothing more and is left out (it was taken and released for every
  // value read). Connections in different threads are apart; SQLCancel's sqlite3_interrupt from
  // another thread needs no lock.
  //
  // A file this process may only read is opened read-only, and, while no write-ahead log of another
  // connection lies beside it, as immutable: SQLite would otherwise create the -wal and -shm files
  // with the database file's own read-only mode, and a -shm file left so refuses every write even
  // after the database file has been made writable again. Writes then fail with 3906.
  const bool read_only =
      !settings.create && access(settings.file.c_str(), F_OK) == 0 && access(settings.file.c_str(), W_OK) != 0;
  std::string target = settings.file;
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (settings.create ? SQLITE_OPEN_CREATE : 0);
  if (read_only) {
    flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX;
    if (access((settings.file + "-wal").c_str(), F_OK) != 0 && access((settings.file + "-shm").c_str(), F_OK) != 0) {
      target = FileUri(settings.file) + "?immutable=1";
      flags |= SQLITE_OPEN_URI;
    }
  }
  int rc = sqlite3_open_v2(target.c_str(), &db_, flags, nullptr);
  if (rc == SQLITE_CANTOPEN && !settings.create && access(settings.file.c_str(), F_OK) != 0) {
    error = Raised<Err::CannotOpenDatabase>(settings.file);
    Close();
    return false;
  }
  if (rc != SQLITE_OK) {
    error = Raised<Err::ConnectFailed>("Cannot open database \"" + settings.file +
                                       "\": " + (db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc)));
    Close();
    return false;
  }
  sqlite3_extended_result_codes(db_, 1);
  // A text or binary value may grow to 256 MiB: a loop that doubles a varchar(max) stops there
  // with SQL Server's error for a value past its limit, while the process needs a few times that
  // much memory at most, and each step stays short enough for the query timeout to end it soon.
  sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, kMaxValueBytes);
  SetLockTimeout(lock_timeout_ms_);
  // A double-quoted name is always a name, as in SQL Server with QUOTED_IDENTIFIER on: a
  // misspelt quoted column must fail with 207 instead of becoming a text value.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  // WAL keeps every commit across a crash of the process and lets readers of other processes go
  // on while planex writes. NORMAL syncs at checkpoints only; FULL also at every commit, for
  // installations that must survive a power loss.
  // A read-only file keeps the journal mode it has.
  const char* setup = read_only ? "PRAGMA foreign_keys=ON;"
                      : settings.synchronous_full
                          ? "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;"
                          : "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;";
  // Connections turning one new file to WAL at the same moment: SQLite refuses the second at once
  // (SQLITE_BUSY without its busy handler, as both hold a read lock and want to write), so the
  // refused one tries again, as long as its lock timeout lets it wait for any other lock.
  const auto give_up =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(lock_timeout_ms_ < 0 ? INT_MAX : lock_timeout_ms_);
  bool set_up = Exec(setup, error);
  while (!set_up && (sqlite3_errcode(db_) & 0xff) == SQLITE_BUSY && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    set_up = Exec(setup, error);
  }
  if (!set_up) {
    error = Raised<Err::ConnectFailed>(error.message);
    Close();
    return false;
  }
  // Schemas live in a table of their own; dbo exists in every database, as on SQL Server.
  sqlite3_stmt* probe = nullptr;
  auto any_row = [&](const char* query) {
    bool found = false;
    if (sqlite3_prepare_v2(db_, query, -1, &probe, nullptr) == SQLITE_OK) found = sqlite3_step(probe) == SQLITE_ROW;
    sqlite3_finalize(probe);
    probe = nullptr;
    return found;
  };
  if (!any_row("SELECT 1 FROM sqlite_master WHERE name = 'tsqlite_schemas'")) {
    // A new (empty) file records its collation beside; a file made before collations has none and
    // stays binary, as it always was. Another connection may be opening the same new file at this
    // moment (a copy making its target while someone looks at it): the first to take the write
    // lock makes the tables, and the other finds them made instead of failing on them.
    if (!Exec("BEGIN IMMEDIATE", error)) {
      error = Raised<Err::ConnectFailed>(error.message);
      Close();
      return false;
    }
    const bool has_schemas = any_row("SELECT 1 FROM sqlite_master WHERE name = 'tsqlite_schemas'");
    const bool empty = !any_row("SELECT 1 FROM sqlite_master");
    const std::string make = std::string(
                                 "CREATE TABLE IF NOT EXISTS tsqlite_schemas (name TEXT PRIMARY KEY COLLATE NOCASE);"
                                 "INSERT OR IGNORE INTO tsqlite_schemas VALUES ('dbo');") +
                             (empty ? std::string("CREATE TABLE tsqlite_collation (name TEXT NOT NULL);"
                                                  "INSERT INTO tsqlite_collation VALUES ('") +
                                          CollationName(wanted) + "');"
                                    : std::string());
    if ((!has_schemas && !Exec(make.c_str(), error)) || !Exec("COMMIT", error)) {
      error = Raised<Err::ConnectFailed>(error.message);
      Close();
      return false;
    }
  }
  collation_ = Collation::Bin2Utf8;
  if (sqlite3_prepare_v2(db_, "SELECT name FROM tsqlite_collation", -1, &probe, nullptr) == SQLITE_OK &&
      sqlite3_step(probe) == SQLITE_ROW) {
    const unsigned char* name = sqlite3_column_text(probe, 0);
    if (name != nullptr) CollationByName(reinterpret_cast<const char*>(name), collation_);
  }
  sqlite3_finalize(probe);
  probe = nullptr;
  // A running statement looks at its time limit and at SQLCancel every few thousand steps.
  sqlite3_progress_handler(db_, 4000, &Database::Progress, this);
  FunctionState functions;
  functions.date_first = &date_first_;
  functions.statement_cache = &statement_cache_;
  functions.database_name = &name_;
  functions.collation = &collation_;
  functions.row_count = &row_count_;
  functions.identity = &identity_;
  functions.lock_timeout = &lock_timeout_ms_;
  rc = RegisterFunctions(db_, functions);
  if (rc == SQLITE_OK) rc = RegisterCollations(db_);
  if (rc != SQLITE_OK) {
    error = Raised<Err::ConnectFailed>(std::string("Cannot register functions: ") + sqlite3_errstr(rc));
    Close();
    return false;
  }
  return true;
}

void Database::Close() {
  cache_.clear();
  marked_.clear();
  sqlite3_finalize(table_info_);
  table_info_ = nullptr;
  failed_.reset();
  spills_.clear();  // the spill database goes with the connection
  sqlite3_close_v2(spill_db_);
  spill_db_ = nullptr;
  if (db_ != nullptr) {
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
}

bool Database::InTransaction() const {
  return db_ != nullptr && !sqlite3_get_autocommit(db_);
}

bool Database::EndTransaction(bool commit, Error& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!InTransaction()) return true;
  if (Exec(commit ? "COMMIT" : "ROLLBACK", error)) return true;
  if (commit) {
    // A commit that failed (a lock held too long) leaves the transaction open; SQL Server's
    // client would see it rolled back, so do not leave it dangling either.
    Error ignored;
    Exec("ROLLBACK", ignored);
  }
  return false;
}

namespace {

// The declared types of the connection's tables, as the translator reads them.
class SqliteCatalog : public Catalog {
 public:
  // query: the connection's prepared query, made at the first use and finalized with the connection.
  SqliteCatalog(sqlite3* db, sqlite3_stmt*& query, Collation collation)
      : db_(db), query_(query), collation_(collation) {}
  std::vector<CatalogColumn> Columns(const std::string& table, bool collations) const override {
    std::vector<CatalogColumn> columns;
    if (query_ == nullptr &&
        sqlite3_prepare_v2(db_, "SELECT name, type FROM pragma_table_info(?1)", -1, &query_, nullptr) != SQLITE_OK) {
      sqlite3_finalize(query_);
      query_ = nullptr;
      return columns;
    }
    sqlite3_bind_text(query_, 1, table.data(), static_cast<int>(table.size()), SQLITE_STATIC);
    while (sqlite3_step(query_) == SQLITE_ROW) {
      CatalogColumn& c = columns.emplace_back();
      if (const unsigned char* name = sqlite3_column_text(query_, 0)) c.name = reinterpret_cast<const char*>(name);
      if (const unsigned char* type = sqlite3_column_text(query_, 1)) c.type = reinterpret_cast<const char*>(type);
      for (char& ch : c.type) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      // Only a text column's collation decides anything; SQLite gives every column one.
      const char* collation = nullptr;
      if (collations && ParseSqlType(c.type).IsText()) {
        sqlite3_table_column_metadata(db_, nullptr, table.c_str(), c.name.c_str(), nullptr, &collation, nullptr,
                                      nullptr, nullptr);
      }
      if (collation != nullptr) c.collation = collation;
    }
    sqlite3_reset(query_);
    sqlite3_clear_bindings(query_);
    return columns;
  }

  std::optional<UpdatableView> View(const std::string& view) const override {
    std::optional<UpdatableView> found;
    sqlite3_stmt* read = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT refusal, base, columns FROM tsqlite_views WHERE name = ?1", -1, &read,
                           nullptr) == SQLITE_OK) {
      sqlite3_bind_text(read, 1, view.data(), static_cast<int>(view.size()), SQLITE_STATIC);
      if (sqlite3_step(read) == SQLITE_ROW) {
        found.emplace();
        found->refusal = sqlite3_column_int(read, 0);
        if (const unsigned char* base = sqlite3_column_text(read, 1)) found->base = reinterpret_cast<const char*>(base);
        // "view column<TAB>table column" lines
        const unsigned char* text = sqlite3_column_text(read, 2);
        std::string_view lines = text == nullptr ? std::string_view() : reinterpret_cast<const char*>(text);
        while (!lines.empty()) {
          const size_t end = std::min(lines.find('\n'), lines.size());
          const std::string_view line = lines.substr(0, end);
          const size_t tab = std::min(line.find('\t'), line.size());
          found->columns.emplace_back(std::string(line.substr(0, tab)),
                                      std::string(tab < line.size() ? line.substr(tab + 1) : std::string_view()));
          lines.remove_prefix(std::min(end + 1, lines.size()));
        }
      }
    }
    sqlite3_finalize(read);
    return found;
  }

  // A column's own collation is written in its table's definition as one of the driver's SQLite
  // collations other than the database's; a COLLATE clause of a CHECK may be taken for one, which
  // only makes the translator read the columns' collations.
  bool OwnCollations() const override {
    std::vector<std::string> others;
    for (Collation c : {Collation::CiAs, Collation::CsAs, Collation::Bin2Utf8}) {
      if (c != collation_) others.push_back(std::string(" COLLATE ") + SqliteCollation(c));
    }
    sqlite3_stmt* stmt = nullptr;
    bool found = true;  // when the question fails, the collations are read
    if (sqlite3_prepare_v2(db_,
                           "SELECT 1 FROM (SELECT sql FROM main.sqlite_master WHERE type = 'table' UNION ALL "
                           "SELECT sql FROM temp.sqlite_master WHERE type = 'table') "
                           "WHERE instr(sql, ?1) > 0 OR instr(sql, ?2) > 0 LIMIT 1",
                           -1, &stmt, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(stmt, 1, others[0].c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_text(stmt, 2, others[1].c_str(), -1, SQLITE_STATIC);
      const int rc = sqlite3_step(stmt);
      found = rc != SQLITE_DONE;
    }
    sqlite3_finalize(stmt);
    return found;
  }

 private:
  sqlite3* db_;
  sqlite3_stmt*& query_;
  Collation collation_;  // the database's
};

}  // namespace

std::shared_ptr<Database::Entry> Database::Lookup(const Shape& shape) {
  const SqliteCatalog catalog(db_, table_info_, collation_);
  auto found = cache_.find(shape.key);
  if (found != cache_.end()) {
    // A translation that read column types holds while the tables still read so.
    bool holds = true;
    for (const Translation::TableRead& read : found->second->translation.tables_read) {
      holds = holds && catalog.Columns(read.table, read.collations) == read.columns;
    }
    for (const auto& [view, facts] : found->second->translation.views_read)
      holds = holds && catalog.View(view) == facts;
    if (holds) return found->second;
    cache_.erase(found);
  }
  auto entry = std::make_shared<Entry>();
  entry->ok = Translate(shape, entry->translation, collation_, &catalog);
  entry->prepared.resize(entry->translation.statements.size());
  if (!entry->ok) {
    failed_ = entry;
    return entry;
  }
  if (cache_.size() >= kCacheLimit) cache_.clear();
  cache_.emplace(shape.key, entry);
  return entry;
}

int Database::Progress(void* self) {
  Database* db = static_cast<Database*>(self);
  if (db->cancel_ != nullptr && db->cancel_->load(std::memory_order_relaxed)) {
    db->stopped_ = Stop::Cancel;
    return 1;
  }
  if (db->has_deadline_ && std::chrono::steady_clock::now() >= db->deadline_) {
    db->stopped_ = Stop::Timeout;
    return 1;
  }
  return 0;
}

bool Database::Describe(std::string_view tsql, Result& result, std::vector<Error>& errors) {
  std::lock_guard<std::mutex> lock(mutex_);
  result = Result();
  errors.clear();
  if (db_ == nullptr) {
    errors.push_back(Raised<Err::ConnectionNotOpen>());
    return false;
  }
  Parameterize(tsql, shape_);
  const std::shared_ptr<Entry> entry = Lookup(shape_);
  if (!entry->ok) {
    const Translation& t = entry->translation;
    errors.push_back(
        Error{t.sqlstate.empty() ? RowOf(Err::SyntaxError).sqlstate : t.sqlstate, t.native_error, t.message});
    return false;
  }
  // The columns of the batch's first result set, read from the prepared statement unexecuted.
  for (size_t i = 0; i < entry->translation.statements.size(); ++i) {
    if (entry->translation.statements[i].kind != Statement::Kind::Query) continue;
    Batch batch;
    if (!Prepare(*entry, i, batch)) {
      errors = std::move(batch.errors);
      return false;
    }
    for (sqlite3_stmt* stmt : entry->prepared[i].stmts) {
      const int ncols = sqlite3_column_count(stmt);
      if (ncols == 0) continue;
      result.has_rows = true;
      for (int c = 0; c < ncols; ++c) {
        const char* name = sqlite3_column_name(stmt, c);
        const char* decl = sqlite3_column_decltype(stmt, c);
        const std::vector<std::string>& cast = entry->translation.statements[i].column_types;
        result.columns.push_back(Column{name ? name : "",
                                        decl                                   ? decl
                                        : static_cast<size_t>(c) < cast.size() ? cast[static_cast<size_t>(c)]
                                                                               : "",
                                        "", ColumnNulls(stmt, c)});
      }
      return true;
    }
  }
  return true;
}

std::vector<std::string> Database::DescribeMarkers(std::string_view tsql) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> decls;
  if (db_ == nullptr) return decls;
  Parameterize(tsql, shape_);
  decls.resize(shape_.markers.size());
  const std::shared_ptr<const Entry> entry = Lookup(shape_);
  if (!entry->ok) return decls;
  for (const Statement& statement : entry->translation.statements) {
    for (const Statement::Probe& probe : statement.probes) {
      if (probe.param < 1 || static_cast<size_t>(probe.param) > statement.params.size()) continue;
      const int literal = statement.params[static_cast<size_t>(probe.param) - 1];
      const auto marker = std::find(shape_.markers.begin(), shape_.markers.end(), literal);
      if (marker == shape_.markers.end()) continue;  // a literal of the text, no marker
      std::string& decl = decls[static_cast<size_t>(marker - shape_.markers.begin())];
      if (probe.sql.empty()) {
        decl = SqlTypeName(SqlType::Kind::Datetime);
        continue;
      }
      sqlite3_stmt* q = nullptr;
      if (sqlite3_prepare_v2(db_, probe.sql.c_str(), -1, &q, nullptr) == SQLITE_OK && q != nullptr &&
          probe.column < sqlite3_column_count(q)) {
        const char* d = sqlite3_column_decltype(q, probe.column);
        if (d != nullptr) decl = d;
      }
      sqlite3_finalize(q);
    }
  }
  return decls;
}

void Database::Keep(std::string_view tsql, const Shape& shape) {
  if (marked_.size() >= kMarkedLimit) marked_.clear();
  marked_.insert_or_assign(std::string(tsql), shape);
}

size_t Database::Markers(std::string_view tsql) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (const auto found = marked_.find(tsql); found != marked_.end()) return found->second.markers.size();
  Shape shape;
  Parameterize(tsql, shape);
  if (!shape.markers.empty()) Keep(tsql, shape);
  return shape.markers.size();
}

bool Database::Execute(std::string_view tsql, Batch& batch, const Limits& limits, const std::vector<Literal>* params) {
  std::lock_guard<std::mutex> lock(mutex_);
  // The limits hold for this batch only; Progress() reads them while it runs.
  struct Armed {
    Database& db;
    Armed(Database& d, const Limits& limits) : db(d) {
      db.cancel_ = limits.cancel;
      db.has_deadline_ = limits.timeout_seconds > 0;
      if (db.has_deadline_) {
        db.deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(limits.timeout_seconds);
      }
      db.stopped_ = Stop::None;
    }
    ~Armed() {
      db.cancel_ = nullptr;
      db.has_deadline_ = false;
    }
  } armed(*this, limits);
  batch.results.clear();
  batch.errors.clear();
  batch.messages.clear();
  batch.no_data = false;
  if (db_ == nullptr) {
    batch.errors.push_back(Raised<Err::ConnectionNotOpen>());
    return false;
  }
  batch.verb = Kw::None;
  if (!spills_.empty()) DropSpills();
  if (const auto found = marked_.empty() ? marked_.end() : marked_.find(tsql); found != marked_.end()) {
    shape_ = found->second;
  } else {
    Parameterize(tsql, shape_);
    if (!shape_.markers.empty()) Keep(tsql, shape_);
  }
  if (!shape_.markers.empty()) {
    if (params == nullptr || params->size() < shape_.markers.size()) {
      batch.errors.push_back(Raised<Err::CountFieldIncorrect>());
      return false;
    }
    for (size_t i = 0; i < shape_.markers.size(); ++i) {
      shape_.literals[static_cast<size_t>(shape_.markers[i])] = (*params)[i];
    }
  }
  return RunBatch(shape_, batch, 0);
}

bool Database::RunBatch(Shape& shape, Batch& batch, int depth) {
  const std::shared_ptr<Entry> entry = Lookup(shape);
  if (depth == 0) batch.verb = entry->translation.verb;
  if (!entry->ok) {
    const Translation& t = entry->translation;
    batch.errors.push_back(
        Error{t.sqlstate.empty() ? RowOf(Err::SyntaxError).sqlstate : t.sqlstate, t.native_error, t.message});
    return false;
  }
  if (manual_commit_ && sqlite3_get_autocommit(db_)) {
    Error error;
    if (!Exec("BEGIN", error)) {
      batch.errors.push_back(error);
      return false;
    }
  }
  identity_.has_scope = false;  // a batch is a scope of its own
  // The batch's variables, NULL until set, follow the literals.
  shape.literals.resize(shape.literals.size() + entry->translation.variables);
  const size_t count = entry->translation.statements.size();
  for (size_t i = 0, next = 1; i < count; i = next, next = i + 1) {
    const Statement& statement = entry->translation.statements[i];
    switch (statement.kind) {
      case Statement::Kind::NoOp:
        break;
      case Statement::Kind::Assign:
      case Statement::Kind::JumpIfNot:
      case Statement::Kind::Jump:
        if (!RunScript(*entry, entry->translation, i, shape, batch, next)) {
          batch.results.clear();
          return false;
        }
        break;
      case Statement::Kind::Exec:
        if (!RunText(*entry, i, shape, batch, depth)) {
          batch.results.clear();
          return false;
        }
        break;
      case Statement::Kind::Print: {
        const size_t before = batch.results.size();
        if (!Run(*entry, i, shape, batch)) {
          batch.results.clear();
          return false;
        }
        // The printed value goes to the client as a message, not as a result set.
        std::string text;
        if (batch.results.size() > before) {
          const Result& printed = batch.results.back();
          if (!printed.cells.empty()) {
            const Value& v = printed.cells[0];
            if (v.type == Value::Type::Integer) {
              text = std::to_string(v.integer);
            } else if (v.type == Value::Type::Real) {
              char buffer[32];
              std::snprintf(buffer, sizeof buffer, "%.15g", v.real);
              text = buffer;
            } else if (v.type == Value::Type::Text) {
              Decimal d;  // a decimal as its digits, not its stored form
              text = ParseDecimalForm(v.text, d) ? DecimalText(d) : v.text;
            }
          }
          batch.results.pop_back();
        }
        batch.messages.push_back(Raised<Err::Message>(text));
        break;
      }
      case Statement::Kind::SetNoCount:
        nocount_ = statement.on;
        break;
      case Statement::Kind::SetLockTimeout: {
        const int p = statement.date_first_param;
        int64_t n = 0;
        if (p >= 0 && p < static_cast<int>(shape.literals.size()) && shape.literals[p].kind == Literal::Kind::Integer) {
          n = statement.on ? -shape.literals[p].integer : shape.literals[p].integer;
        }
        // -1 waits without end, 0 not at all (SET LOCK_TIMEOUT (Transact-SQL)); a negative
        // number waits without end here too.
        SetLockTimeout(static_cast<int>(std::clamp<int64_t>(n, -1, INT32_MAX)));
        break;
      }
      case Statement::Kind::SetDateFirst: {
        int p = statement.date_first_param;
        int64_t n = 0;
        if (p >= 0 && p < static_cast<int>(shape.literals.size()) && shape.literals[p].kind == Literal::Kind::Integer) {
          n = shape.literals[p].integer;
        }
        if (n < 1 || n > 7) {
          batch.results.clear();
          batch.errors.push_back(Raised<Err::DateFirstRange>(std::to_string(n)));
          return false;
        }
        date_first_ = static_cast<int>(n);
        break;
      }
      default: {
        const bool insert = statement.verb == Kw::Insert;
        const sqlite3_int64 changes = insert ? sqlite3_total_changes64(db_) : 0;
        if (!Run(*entry, i, shape, batch) && !RetryWithWriteLock(*entry, i, shape, batch)) {
          batch.results.clear();
          return false;
        }
        if (insert && sqlite3_total_changes64(db_) != changes) NoteIdentity(statement.target);
        // A table made or changed may have a column with a collation of its own, and a view may
        // now stand where a table stood: a statement that compared columns without reading their
        // collations, or wrote a table, is translated again.
        if (statement.kind == Statement::Kind::Ddl) {
          std::erase_if(cache_, [](const auto& kept) {
            const Translation& t = kept.second->translation;
            return t.plain_collations || (t.views_read.empty() &&
                                          std::any_of(t.statements.begin(), t.statements.end(), [](const Statement& s) {
                                            return s.kind == Statement::Kind::Write;
                                          }));
          });
        }
        break;
      }
    }
  }
  return true;
}

// An INSERT that wrote rows into a table with an IDENTITY column (SQLite's AUTOINCREMENT row
// number) sets @@IDENTITY and SCOPE_IDENTITY() to the last of them; an INSERT into any other
// table leaves both as they were.
void Database::NoteIdentity(const std::string& table) {
  int autoincrement = 0;
  if (sqlite3_table_column_metadata(db_, nullptr, table.c_str(), "rowid", nullptr, nullptr, nullptr, nullptr,
                                    &autoincrement) != SQLITE_OK ||
      !autoincrement) {
    return;
  }
  identity_.connection = identity_.scope = sqlite3_last_insert_rowid(db_);
  identity_.has_connection = identity_.has_scope = true;
}

}  // namespace tsqlite
