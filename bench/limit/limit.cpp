// The limit planex is measured against: the rows of a planex run written by raw SQLite.
//
// Runs on a copy of the same company (a database made by planex-db) and makes the same decisions
// as planex, statement for statement: the base calendar day by day, the day rows of every
// working-time calendar, and for every person the day records, schedule-assignment records and
// leave years. Every statement is an SQLite statement prepared once and bound with parameters, in
// autocommit mode with the journal mode and synchronous setting the embedded driver uses (WAL,
// NORMAL). Multi-row reads are read to their end before anything is written, as they must be in
// autocommit mode: a pending read would hold every later write's commit back.
//
// Usage: planex-limit DATABASE SCHEMA ENDEJAHR PNRVON PNRBIS [DATEFIRST [person]]
// With "person", each person's statements run in one transaction (one commit per person): the
// limit of a person step that writes a person's rows together, as the batched step does.
// "Today" is the local date (pin it with faketime, as for planex). Prints one line:
//   statements=N person_days=N seconds=S
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "collation.h"

namespace {

using Clock = std::chrono::steady_clock;

// How planex's CURRENT_TIMESTAMP reaches the embedded database.
#define NOW "strftime('%Y-%m-%d %H:%M:%f','now','localtime')"

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "planex-limit: %s\n", what.c_str());
  std::exit(1);
}

long statements = 0;

// One statement prepared once; Run() binds texts and integers in order and steps it to its end,
// handing every row to the caller.
class Stmt {
 public:
  Stmt(sqlite3* db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) != SQLITE_OK) {
      Die("prepare: " + std::string(sqlite3_errmsg(db)) + "\n  in: " + sql);
    }
  }
  ~Stmt() { sqlite3_finalize(stmt_); }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  Stmt& Text(const std::string& v) {
    sqlite3_bind_text(stmt_, ++bound_, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Stmt& Int(long long v) {
    sqlite3_bind_int64(stmt_, ++bound_, v);
    return *this;
  }
  // Steps to the end; returns the SQLite result (SQLITE_DONE on success).
  template <class Row>
  int Run(Row row) {
    ++statements;
    int rc;
    while ((rc = sqlite3_step(stmt_)) == SQLITE_ROW) row(stmt_);
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    bound_ = 0;
    return rc;
  }
  int Run() {
    return Run([](sqlite3_stmt*) {});
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  int bound_ = 0;
};

std::string Col(sqlite3_stmt* s, int c) {
  const unsigned char* t = sqlite3_column_text(s, c);
  return t ? reinterpret_cast<const char*>(t) : "";
}

// Stored datetimes read 'YYYY-MM-DD hh:mm:ss.fff'; planex's date keys are YYYYMMDD.
std::string Stored(const std::string& key) {
  return key.substr(0, 4) + "-" + key.substr(4, 2) + "-" + key.substr(6, 2) + " 00:00:00.000";
}
std::string Key(const std::string& stored) {
  if (stored.size() < 10) return stored;
  return stored.substr(0, 4) + stored.substr(5, 2) + stored.substr(8, 2);
}

std::chrono::sys_days Days(const std::string& key) {
  using namespace std::chrono;
  return sys_days{year{std::atoi(key.substr(0, 4).c_str())} / std::atoi(key.substr(4, 2).c_str()) /
                  std::atoi(key.substr(6, 2).c_str())};
}
std::string KeyOf(std::chrono::sys_days day) {
  std::chrono::year_month_day ymd{day};
  char out[16];
  std::snprintf(out, sizeof out, "%04d%02u%02u", static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()));
  return out;
}
// ISO week (Monday first, week 1 holds the first Thursday).
int IsoWeek(std::chrono::sys_days day) {
  using namespace std::chrono;
  const weekday wd{day};
  const int iso = wd.iso_encoding();
  const sys_days thursday = day + days{4 - iso};
  const year_month_day t{thursday};
  const sys_days first = sys_days{t.year() / January / 1};
  return static_cast<int>((thursday - first).count() / 7 + 1);
}

class Limit {
 public:
  Limit(sqlite3* db, std::string schema, int date_first) : db_(db), s_(std::move(schema)), date_first_(date_first) {}
  void BaseCalendar(const std::string& end_key);
  void Calendars(const std::string& end_key);
  void Persons(const std::string& end_key, const std::string& von, const std::string& bis);
  long person_days = 0;
  bool commit_per_person = false;

 private:
  std::string T(const char* table) const { return "\"" + s_ + "." + table + "\""; }
  void Family(bool system, const std::string& end_key);

  sqlite3* db_;
  std::string s_;
  int date_first_;
  std::string today_ = [] {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char key[16];
    std::strftime(key, sizeof key, "%Y%m%d", &tm);
    return std::string(key);
  }();
};

void Limit::BaseCalendar(const std::string& end_key) {
  Stmt last(db_, "SELECT COALESCE(MAX(BakDtm), " NOW ") FROM \"QXSYSTEM.Qxs133Bak\"");
  Stmt next(db_, "SELECT BakDtm FROM \"QXSYSTEM.Qxs133Bak\" WHERE BakDtm = ?1");
  Stmt ins(db_,
           "INSERT INTO \"QXSYSTEM.Qxs133Bak\" (BakDtm, BakJhr, BakMon, BakTag, BakWch, BakWtg, BakJtg, BakYow, "
           "BakDat) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, " NOW ")");
  std::string key = today_;
  last.Run([&](sqlite3_stmt* s) { key = Key(Col(s, 0)); });
  while (key < end_key) {
    bool found = false;
    next.Text(Stored(key)).Run([&](sqlite3_stmt*) { found = true; });
    if (!found) break;
    const auto day = Days(key) + std::chrono::days{1};
    key = KeyOf(day);
    const std::chrono::year_month_day ymd{day};
    const int y = static_cast<int>(ymd.year()), m = static_cast<int>(static_cast<unsigned>(ymd.month()));
    const int week = IsoWeek(day);
    const int yow = (m == 12 && week == 1) ? y + 1 : (m == 1 && week > 51) ? y - 1 : y;
    const int wd = (static_cast<int>(std::chrono::weekday{day}.c_encoding()) - (date_first_ % 7) + 7) % 7 + 1;
    const int jtg = static_cast<int>((day - std::chrono::sys_days{ymd.year() / 1 / 1}).count()) + 1;
    ins.Text(Stored(key)).Int(y).Int(m).Int(static_cast<unsigned>(ymd.day())).Int(week).Int(wd).Int(jtg).Int(yow);
    ins.Run();
  }
}

void Limit::Family(bool system, const std::string& end_key) {
  const std::string master = system ? "\"QXSYSTEM.Qxs135Muw\"" : T("Qxs135Mu2");
  const std::string p = system ? "Muw" : "Mu2";
  const std::string table = system ? "\"QXSYSTEM.Qxs133Kal\"" : T("Qxs133Ka2");
  const std::string k = system ? "Kal" : "Ka2";
  Stmt nums(db_, "SELECT DISTINCT " + p + "Kal FROM " + master + ", " + T("Qxs137Wch") + " WHERE " + p +
                     "Kal = WchKal AND " + p + "Sta < 4 AND WchSta < 4");
  Stmt last(db_, "SELECT COALESCE(MAX(" + k + "Dtm), " NOW ") FROM " + table + " WHERE " + k + "Num = ?1 AND " + k +
                     "Sta < 4");
  Stmt days(db_, "SELECT BakDtm, WchTtp FROM \"QXSYSTEM.Qxs133Bak\", " + master + ", " + T("Qxs137Wch") +
                     " WHERE WchKal = ?1 AND WchKal = " + p + "Kal AND WchTag = BakWtg AND " + p +
                     "Sta < 4 AND WchSta < 4 AND BakDtm > ?2 AND BakDtm <= ?3 ORDER BY BakDtm");
  Stmt ins(db_, "INSERT INTO " + table + " (" + k + "Num, " + k + "Dtm, " + k + "Ttp, " + k + "Ptp, " + k + "Btp, " +
                    k + "Gwt, " + k + "Dat, " + k + "Sta) VALUES (?1, ?2, ?3, '', '', 0, " NOW ", 1)");
  std::vector<std::string> numbers;
  nums.Run([&](sqlite3_stmt* s) { numbers.push_back(Col(s, 0)); });
  for (const std::string& num : numbers) {
    std::string last_key;
    last.Text(num).Run([&](sqlite3_stmt* s) { last_key = Key(Col(s, 0)); });
    if (last_key >= end_key) continue;
    std::vector<std::pair<std::string, std::string>> rows;
    days.Text(num).Text(Stored(last_key)).Text(Stored(end_key)).Run([&](sqlite3_stmt* s) {
      rows.emplace_back(Col(s, 0), Col(s, 1));
    });
    for (const auto& [dtm, ttp] : rows) ins.Text(num).Text(dtm).Text(ttp).Run();
  }
}

void Limit::Calendars(const std::string& end_key) {
  Family(true, end_key);
  Family(false, end_key);
}

void Limit::Persons(const std::string& end_key, const std::string& von, const std::string& bis) {
  Stmt bsv(db_, "SELECT BsvPnr, BsvGvo, BsvKal, BsvAkr, BsvAbr, PnrNam FROM " + T("Qxs310Bsv") + ", " + T("Qxs300Pnr") +
                    " WHERE BsvPnr >= ?1 AND BsvPnr <= ?2 AND (BsvGbi IS NULL OR BsvGbi >= " NOW
                    ") AND BsvPnr = PnrNum AND BsvSta < 4 AND PnrSta < 4 ORDER BY BsvPnr ASC, BsvGvo DESC");
  Stmt tag_last(db_, "SELECT COALESCE(MAX(TagTag), " NOW ") FROM " + T("Qxs327Tag") + " WHERE TagPnr = ?1");
  Stmt ztg_last(db_,
                "SELECT COALESCE(MAX(ZtgVon), " NOW ") FROM " + T("Qxs329Ztg") + " WHERE ZtgPnr = ?1 AND ZtgSta < 4");
  Stmt days(db_, "SELECT Ka2Dtm, Ka2Ttp FROM " + T("Qxs133Ka2") +
                     " WHERE Ka2Num = ?1 AND Ka2Dtm > ?2 AND Ka2Dtm <= ?3 AND Ka2Sta < 4 ORDER BY Ka2Dtm");
  Stmt tag_exists(db_, "SELECT TagPnr, TagTag FROM " + T("Qxs327Tag") + " WHERE TagPnr = ?1 AND TagTag = ?2");
  Stmt tag_ins(db_, "INSERT INTO " + T("Qxs327Tag") +
                        " (TagPnr, TagTag, TagVon, TagUhr, TagBis, TagEnd, TagDat) VALUES (?1, ?2, ?2, ?2, ?2, ?2, " NOW
                        ")");
  Stmt ztg_get(db_,
               "SELECT ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt, ZtgAgr, ZtgTag, ZtgBsd, ZtgVra, ZtgAzt, ZtgTtp "
               "FROM " +
                   T("Qxs329Ztg") + " WHERE ZtgPnr = ?1 AND ZtgVon = ?2 AND ZtgSta < 4");
  Stmt zuo(db_,
           "SELECT (((CAST(round(julianday(TagTag) - julianday(ZUOSDT)) AS INTEGER) + ZUOSTG - 1) % AgrTge"
           " + AgrTge) % AgrTge) + 1, ZuoAgr, ZuoAbt, ZuoKst, ZuoKrt, ZuoKtr, ZuoVra FROM " +
               T("Qxs327Tag") + ", " + T("Qxs311Zuo") + ", " + T("Qxs160Agr") +
               " WHERE ZuoPnr = ?1 AND ZuoPnr = TagPnr AND ZuoGvo <= ?2 AND (ZuoGbi >= ?2 OR ZuoGbi IS NULL)"
               " AND ZuoSta < 4 AND TagTag = ?2 AND AgrNum = ZuoAgr AND AgrSta < 4");
  Stmt wpl(db_, "SELECT WplAzt, WplVra FROM " + T("Qxs161Wpl") + " WHERE WplAgr = ?1 AND WplTag = ?2 AND WplSta < 4");
  Stmt ztg_ins(db_, "INSERT INTO " + T("Qxs329Ztg") +
                        " (ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt, ZtgAgr, ZtgTag, ZtgBsd, ZtgVra, "
                        "ZtgAzt, ZtgTtp, ZtgDat, ZtgSta, ZtgPnm) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, "
                        "?12, ?13, " NOW ", 1, ?14)");
  Stmt ztg_upd(db_, "UPDATE " + T("Qxs329Ztg") +
                        " SET ZtgAkr = ?3, ZtgAbt = ?4, ZtgKst = ?5, ZtgKtr = ?6, ZtgKrt = ?7, ZtgAgr = ?8, "
                        "ZtgTag = ?9, ZtgBsd = ?10, ZtgVra = ?11, ZtgAzt = ?12, ZtgTtp = ?13, ZtgDat = " NOW
                        ", ZtgSta = 1, ZtgPnm = ?14 WHERE ZtgPnr = ?1 AND ZtgVon = ?2");
  Stmt urv_last(db_, "SELECT MAX(UrvJhr) FROM " + T("Qxs332Urv") + " WHERE UrvPnr = ?1");
  Stmt urv_ins(db_, "INSERT INTO " + T("Qxs332Urv") + " (UrvPnr, UrvJhr) VALUES (?1, ?2)");

  struct Person {
    std::string pnr, gvo, kal, akr, abr, nam;
  };
  std::vector<Person> persons;
  bsv.Text(von).Text(bis).Run([&](sqlite3_stmt* s) {
    persons.push_back({Col(s, 0), Key(Col(s, 1)), Col(s, 2), Col(s, 3), Col(s, 4), Col(s, 5)});
  });
  const std::string prev_year_end = std::to_string(std::atoi(end_key.substr(0, 4).c_str()) - 1) + "1231";
  const int end_year = std::atoi(end_key.substr(0, 4).c_str());
  const int today_year = std::atoi(today_.substr(0, 4).c_str());
  std::string prev;
  for (const Person& p : persons) {
    if (p.pnr == prev) continue;
    prev = p.pnr;
    if (commit_per_person) sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
    std::string last_tag, last_ztg;
    tag_last.Text(p.pnr).Run([&](sqlite3_stmt* s) { last_tag = Key(Col(s, 0)); });
    ztg_last.Text(p.pnr).Run([&](sqlite3_stmt* s) { last_ztg = Key(Col(s, 0)); });
    std::string start = std::min(last_tag, last_ztg), threshold = last_ztg;
    start = std::min(start, prev_year_end);
    threshold = std::min(threshold, prev_year_end);
    if (start < end_key) {
      std::vector<std::pair<std::string, std::string>> rows;
      days.Text(p.kal).Text(Stored(start)).Text(Stored(end_key)).Run([&](sqlite3_stmt* s) {
        rows.emplace_back(Col(s, 0), Col(s, 1));
      });
      for (const auto& [dtm, ttp] : rows) {
        ++person_days;
        bool exists = false;
        tag_exists.Text(p.pnr).Text(dtm).Run([&](sqlite3_stmt*) { exists = true; });
        if (!exists) tag_ins.Text(p.pnr).Text(dtm).Run();
        if (!(threshold < Key(dtm))) continue;
        // The record as it stands, then the person's, the assignment's and the plan's values.
        std::string f[11];
        long long cycle = 0;
        bool found = false;
        ztg_get.Text(p.pnr).Text(dtm).Run([&](sqlite3_stmt* s) {
          found = true;
          for (int c = 0; c < 11; ++c) f[c] = Col(s, c);
        });
        std::string akr = p.akr, bsd = p.abr, agr, abt, kst, krt, ktr, vra, azt = found ? f[9] : "";
        zuo.Text(p.pnr).Text(dtm).Run([&](sqlite3_stmt* s) {
          cycle = sqlite3_column_int64(s, 0);
          agr = Col(s, 1), abt = Col(s, 2), kst = Col(s, 3), krt = Col(s, 4), ktr = Col(s, 5), vra = Col(s, 6);
        });
        wpl.Text(agr).Int(cycle).Run([&](sqlite3_stmt* s) {
          std::string a = Col(s, 0), v = Col(s, 1);
          if (a.find_first_not_of(' ') != std::string::npos) azt = a;
          if (v.find_first_not_of(' ') != std::string::npos) vra = v;
        });
        Stmt& w = found ? ztg_upd : ztg_ins;
        w.Text(p.pnr).Text(dtm).Text(akr).Text(abt).Text(kst).Text(ktr).Text(krt).Text(agr).Int(cycle);
        w.Text(bsd).Text(vra).Text(azt).Text(ttp).Text(p.nam).Run();
      }
    }
    long long last_year = 0;
    urv_last.Text(p.pnr).Run([&](sqlite3_stmt* s) { last_year = sqlite3_column_int64(s, 0); });
    long long counter = last_year > 0 ? last_year : std::max(std::atoi(p.gvo.substr(0, 4).c_str()), today_year) - 1;
    while (counter < end_year) urv_ins.Text(p.pnr).Int(++counter).Run();
    if (commit_per_person) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6 || argc > 8) {
    std::fprintf(stderr, "usage: planex-limit DATABASE SCHEMA ENDEJAHR PNRVON PNRBIS [DATEFIRST [person]]\n");
    return 2;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
    Die("cannot open " + std::string(argv[1]));
  sqlite3_busy_timeout(db, 5000);
  // Text columns compare by the file's collation, as the driver registers it.
  if (tsqlite::RegisterCollations(db) != SQLITE_OK) Die("cannot register the collations");
  if (sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;", nullptr, nullptr,
                   nullptr) != SQLITE_OK) {
    Die(sqlite3_errmsg(db));
  }
  const std::string end_key = std::string(argv[3]) + "1231";
  // planex reads 0 in either bound as "all persons".
  std::string von = argv[4], bis = argv[5];
  if (von == "0" || bis == "0") von = "        ", bis = "zzzzzzzz";
  Limit limit(db, argv[2], argc >= 7 ? std::atoi(argv[6]) : 7);
  limit.commit_per_person = argc == 8 && std::strcmp(argv[7], "person") == 0;
  const auto start = Clock::now();
  limit.BaseCalendar(end_key);
  limit.Calendars(end_key);
  limit.Persons(end_key, von, bis);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("statements=%ld person_days=%ld seconds=%.3f\n", statements, limit.person_days, seconds);
  sqlite3_close_v2(db);
  return 0;
}
