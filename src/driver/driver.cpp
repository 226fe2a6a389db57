#include "driver/driver.h"

#include <cstdio>
#include <ctime>

#include "calendar/bak.h"
#include "calendar/date.h"
#include "calendar/kal.h"
#include "db/db.h"
#include "driver/runlog.h"
#include "driver/text.h"
#include "person/pnr.h"
#include "settings/settings.h"

namespace {

constexpr std::size_t kSchemaMax = 20;

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

int Digits(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

std::string TodayKey() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  char key[16] = "";
  if (localtime_r(&now, &local) != nullptr) std::strftime(key, sizeof key, "%Y%m%d", &local);
  return key;
}

std::string ReadSetting(const char* key, const std::string& path) {
  Cfg_Value_Read("", key, 0, path.c_str());
  return Cfg_Record().value;
}

}  // namespace

bool Drv_EndeJahr_Valid(std::string_view ende_jahr) {
  return ende_jahr.size() == 4 && AllDigits(ende_jahr);
}

bool Drv_BegDat_Valid(std::string_view beg_dat) {
  if (beg_dat == "0") return true;
  if (beg_dat.size() != 8 || !AllDigits(beg_dat)) return false;
  int year = Digits(beg_dat.substr(0, 4));
  int month = Digits(beg_dat.substr(4, 2));
  int day = Digits(beg_dat.substr(6, 2));
  return day >= 1 && day <= Dat_MonthLen(month, year);
}

bool Drv_Schema_Valid(std::string_view schema) {
  if (schema.empty() || schema.size() > kSchemaMax) return false;
  for (char ch : schema) {
    unsigned char c = static_cast<unsigned char>(ch);
    bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '$' || c == '#' || c == '@' || c > 127;
    if (!ok) return false;
  }
  return true;
}

std::string Drv_Schema_Form(std::string_view setting) {
  std::string schema(setting.substr(0, setting.empty() ? 0 : setting.size() - 1));
  return Str_Upper(schema);
}

void Drv_AllPersons(std::string* pnr_von, std::string* pnr_bis) {
  if (*pnr_von == "0" || *pnr_bis == "0") {
    *pnr_von = "        ";
    *pnr_bis = "zzzzzzzz";
  }
}

int Drv_Run(int argc, const char* const* argv) {
  Run_SetToday(TodayKey().c_str());

  const char* reason = "";
  if (Log_Open("PLANEX.LOG", &reason) != 0) {
    std::fprintf(stderr, "Fehler: PLANEX.LOG kann nicht angelegt werden: %s\n", reason);
    return 1;
  }

  if (argc - 1 != 5) {
    std::fputs("Aufruf: planex [BegDat] [EndeJahr] [Pfad] [PnrVon] [PnrBis]\n", stdout);
    std::fputs("Bsp.: planex 20041201 2006 ..\\files\\velorando.ini 0000 9999 \n", stdout);
    Log_Printf("Falsche Anzahl Parameter(= 5)! AnzParam: %d\n", argc - 1);
    Log_Close();
    return 0;
  }

  std::string beg_dat = argv[1];
  std::string ende_jahr = argv[2];
  std::string pfad = argv[3];
  std::string pnr_von = argv[4];
  std::string pnr_bis = argv[5];
  std::string end_key = ende_jahr + "1231";

  Log_Printf("Datum: %s\n", Run_Today());

  // A year or start date that is not a date key would be compared as text against real date keys
  // and run the generators far past any sensible date, so both are refused before anything else.
  if (!Drv_EndeJahr_Valid(ende_jahr)) {
    Log_Printf("Error: Parameter EndeJahr ungültig: %s\n", ende_jahr.c_str());
    Log_Close();
    return 0;
  }
  if (!Drv_BegDat_Valid(beg_dat)) {
    Log_Printf("Error: Parameter BegDat ungültig: %s\n", beg_dat.c_str());
    Log_Close();
    return 0;
  }

  std::string login = ReadSetting("LOGIN", pfad);
  std::string pass = ReadSetting("PASS", pfad);
  std::string net8 = ReadSetting("NET8", pfad);
  std::string schema = Drv_Schema_Form(ReadSetting("SCHEMA", pfad));

  // The schema is pasted into every statement text; anything but a plain name is refused here.
  if (!Drv_Schema_Valid(schema)) {
    Log_Printf("Error: Schema ungültig: '%s'\n", schema.c_str());
    Log_Close();
    return 0;
  }
  Run_SetSchema(schema.c_str());

  int rc = Db_Connect(login.c_str(), pass.c_str(), net8.c_str());
  if (rc != 0) {
    // Whoever can read the run's folder can read the log, so the password never goes into it.
    Log_Printf("Fehler(DB-Connect)! RC:%d ", rc);
    Log_Printf("Name:%s Pwd:**** Net:%s \n", login.c_str(), net8.c_str());
    Log_Close();
    return 0;
  }

  Log_Printf("Aktuelles Schema: %s \n", Run_Schema());

  Drv_AllPersons(&pnr_von, &pnr_bis);

  // Each generator reports its own failures; none keeps the next from running.
  Bak_Calendar_Extend(end_key.c_str());
  Kal_Calendar_Generate(end_key.c_str());
  Pnr_Schedule_Generate(beg_dat.c_str(), end_key.c_str(), pnr_von.c_str(), pnr_bis.c_str());

  Log_Close();
  return 0;
}
