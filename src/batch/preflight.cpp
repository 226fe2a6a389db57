#include "batch/preflight.h"

#include <cstring>

#include "calendar/date.h"
#include "common/text.h"
#include "db/db.h"

namespace {

// German weekday names by DATEFIRST: the day each numbering counts as 1.
constexpr const char* kFirstDays[] = {"",           "Montag",  "Dienstag", "Mittwoch",
                                      "Donnerstag", "Freitag", "Samstag",  "Sonntag"};

int Number(std::string_view digits) {
  int v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return digits.empty() ? -1 : v;
}

std::string Quoted(std::string_view text) {
  return "'" + Str_Escape(text) + "'";
}

std::string Numbering(int date_first) {
  return "ab " + std::string(kFirstDays[date_first]) + " (DATEFIRST " + std::to_string(date_first) + ")";
}

// A client table every run needs, and the permission its writes need ("SELECT" for one it only
// reads). The client calendar tables are left out: without them the run takes the system's.
struct NeededTable {
  const char* table;
  const char* permission;
};
constexpr NeededTable kNeeded[] = {
    {"Qxs300Pnr", "SELECT"}, {"Qxs310Bsv", "SELECT"}, {"Qxs327Tag", "INSERT"},
    {"Qxs329Ztg", "INSERT"}, {"Qxs329Ztg", "UPDATE"}, {"Qxs332Urv", "INSERT"},
};

}  // namespace

int Batch_DateFirst_Of(std::string_view key, int weekday) {
  if (key.size() != 8 || weekday < 1 || weekday > 7) return 0;
  const int year = Number(key.substr(0, 4)), month = Number(key.substr(4, 2)), day = Number(key.substr(6, 2));
  const int sunday_first = Dat_WeekDay(day, month, year);  // 0 = Sunday
  if (sunday_first < 0) return 0;
  const int iso = sunday_first == 0 ? 7 : sunday_first;  // 1 = Monday ... 7 = Sunday
  return ((iso - weekday) % 7 + 7) % 7 + 1;
}

std::optional<BatchStop> Batch_Check_Weekdays(RunContext& run, const std::string& dsn, const std::string& login) {
  static constexpr char kSql[] =
      "SELECT CONVERT(char(8), BakDtm, 112), BakWtg, DATEPART(weekday, BakDtm) FROM QXSYSTEM.Qxs133Bak "
      "WHERE BakDtm = (SELECT MAX(BakDtm) FROM QXSYSTEM.Qxs133Bak)";
  char day[11];
  int32_t stored = 0, now = 0;
  const DbResult r = Db_Query_One(run.db, Db_Format(kSql), {Db_Text(day, sizeof day), Db_Long(&stored), Db_Long(&now)});
  if (r != DB_OK || stored == now) return std::nullopt;
  day[8] = '\0';
  const int was = Batch_DateFirst_Of(day, stored), is = Batch_DateFirst_Of(day, now);
  if (was == 0 || is == 0) return std::nullopt;
  run.log.Error({},
                "Error: Wochentage %s, Basiskalender %s! DateFirst der Datenquelle oder Sprache des Logins anpassen.\n",
                Numbering(is), Numbering(was));
  return BatchStop{"weekday_numbering",
                   "diese Verbindung zählt die Wochentage " + Numbering(is) + ", der Basiskalender " + Numbering(was) +
                       " (am " + day + " gespeichert " + std::to_string(stored) + ", jetzt " + std::to_string(now) +
                       "); die Tage würden verschoben. Abhilfe: DateFirst = " + std::to_string(was) +
                       " in der Datenquelle " + Quoted(dsn) + " (odbc.ini), auf SQL Server die Sprache des Logins " +
                       Quoted(login) + " wie bisher; nichts geschrieben",
                   {}};
}

std::optional<BatchStop> Batch_Check_Schema(RunContext& run, const std::string& dsn, const std::string& login,
                                            const std::string& settings_path) {
  std::string missing, refused;
  std::size_t missing_count = 0;
  for (const NeededTable& t : kNeeded) {
    static constexpr char kSql[] = "SELECT HAS_PERMS_BY_NAME('%s.%s', 'OBJECT', '%s')";
    int32_t allowed = 0;
    SQLLEN indicator = 0;
    const DbResult r =
        Db_Query_One(run.db, Db_Format(kSql, run.schema, t.table, t.permission), {Db_Long(&allowed, &indicator)});
    if (r != DB_OK) return std::nullopt;  // a server that cannot be asked: the generators report
    const std::string name = run.schema + "." + t.table;
    if (indicator == SQL_NULL_DATA) {
      // A table missing for one permission is missing for all.
      if (missing.find(name) == std::string::npos) {
        missing += (missing.empty() ? "" : ", ") + name;
        ++missing_count;
      }
    } else if (allowed == 0) {
      refused += (refused.empty() ? "" : ", ") + name + " (" + t.permission + ")";
    }
  }
  if (missing.empty() && refused.empty()) return std::nullopt;
  std::string text;
  if (!missing.empty()) {
    run.log.Error({}, "Error: Schema %s unvollständig! Es fehlt: %s\n", run.schema, missing);
    text = missing_count == 5 ? "das Schema " + Quoted(run.schema) + " fehlt auf der Datenquelle " + Quoted(dsn) +
                                    " (falsche Datenbank, oder falsches SCHEMA in " + Quoted(settings_path) + "?)"
                              : "auf der Datenquelle " + Quoted(dsn) + " fehlt " + missing;
  }
  if (!refused.empty()) {
    run.log.Error({}, "Error: Schema %s nicht beschreibbar! %s\n", run.schema, refused);
    text +=
        (text.empty() ? "" : "; ") + std::string("der Login ") + Quoted(login) + " darf nicht schreiben: " + refused;
  }
  return BatchStop{"schema", text + "; nichts geschrieben", {}};
}

std::optional<BatchStop> Batch_Check_Far_Year(RunLog& log, std::string_view ende_jahr, std::string_view today,
                                              const char* far_year_env) {
  const int year = Number(ende_jahr), now = Number(today.substr(0, 4));
  if (year < 0 || now < 0 || year - now <= kFarYears) return std::nullopt;
  if (far_year_env != nullptr && std::strcmp(far_year_env, "1") == 0) return std::nullopt;
  log.Error({}, "Error: Parameter EndeJahr zu weit entfernt: %s\n", ende_jahr);
  return BatchStop{"arguments",
                   "EndeJahr " + std::string(ende_jahr) + " liegt mehr als " + std::to_string(kFarYears) +
                       " Jahre nach " + std::to_string(now) +
                       ": jede Person bekäme Zeilen für jedes Jahr, und planex löscht nie; ist das gewollt, "
                       "mit PLANEX_FAR_YEAR=1 starten",
                   {}};
}

std::vector<RunWarning> Batch_Warnings(std::string_view pnr_von, std::string_view pnr_bis, bool all_persons,
                                       int pnr_width, std::string_view ende_jahr, std::string_view today) {
  std::vector<RunWarning> out;
  if (!all_persons && pnr_bis < pnr_von) {
    out.push_back({"range_reversed", "PnrVon " + Quoted(pnr_von) + " liegt hinter PnrBis " + Quoted(pnr_bis) +
                                         ": der Bereich enthält keine Person"});
  }
  if (!all_persons && pnr_width > 0) {
    for (std::string_view pnr : {pnr_von, pnr_bis}) {
      if (pnr.size() == static_cast<std::size_t>(pnr_width)) continue;
      out.push_back({"pnr_width", "Personalnummer " + Quoted(pnr) + " hat " + std::to_string(pnr.size()) +
                                      " Zeichen, die Personen haben " + std::to_string(pnr_width) +
                                      ": als Text verglichen trifft der Bereich andere Personen als gemeint"});
      break;
    }
  }
  const int year = Number(ende_jahr), now = Number(today.substr(0, 4));
  if (year >= 0 && now >= 0 && year < now) {
    out.push_back({"end_year_past", "EndeJahr " + std::string(ende_jahr) + " liegt vor dem laufenden Jahr " +
                                        std::to_string(now) + ": nur Kalender, die früher enden, bekommen Tage"});
  }
  return out;
}

int Bsv_Pnr_Width(RunContext& run) {
  static constexpr char kSql[] = "SELECT MIN(LEN(BsvPnr)), MAX(LEN(BsvPnr)) FROM %s.Qxs310Bsv";
  int32_t shortest = 0, longest = 0;
  const DbResult r = Db_Query_One(run.db, Db_Format(kSql, run.schema), {Db_Long(&shortest), Db_Long(&longest)});
  return r == DB_OK && shortest == longest ? shortest : 0;
}

RunWarning Batch_Warning_No_Persons(std::string_view pnr_von, std::string_view pnr_bis, bool all_persons) {
  if (all_persons) return {"no_persons", "keine Person gefunden: keine Personenzeile geschrieben"};
  return {"no_persons",
          "keine Person von " + Quoted(pnr_von) + " bis " + Quoted(pnr_bis) + ": keine Personenzeile geschrieben"};
}
