#include "batch/early.h"

#include <cerrno>
#include <cstring>

#include "common/text.h"

#ifndef PLANEX_VERSION
#define PLANEX_VERSION "unbekannt"
#endif

namespace {

constexpr char kHelp[] =
    "Aufruf: planex BegDat EndeJahr Pfad PnrVon PnrBis\n"
    "        planex --help | -h | --version\n"
    "\n"
    "Erzeugt bis zum 31. Dezember von EndeJahr den Basiskalender, die Tage der\n"
    "Arbeitszeitkalender und je Person Tagessätze, Tageszuordnungen und Urlaubsvorträge.\n"
    "Das Protokoll steht in PLANEX.LOG im aktuellen Ordner: ob der Lauf gelang, steht dort.\n"
    "\n"
    "  BegDat    0, oder ein Datum JJJJMMTT: die Tage jeder Person werden spätestens ab dem\n"
    "            Tag danach neu gelesen (früher, wo ihre Sätze früher enden); es greift zurück\n"
    "  EndeJahr  vierstelliges Jahr, bis zu dessen 31. Dezember alles erzeugt wird; mehr als\n"
    "            10 Jahre voraus nur mit PLANEX_FAR_YEAR=1\n"
    "  Pfad      die Einstellungsdatei (Benutzer, Passwort, Datenquelle, Schema;\n"
    "            geschrieben mit planex-settings)\n"
    "  PnrVon    kleinste Personalnummer (als Text verglichen); 0 = alle Personen\n"
    "  PnrBis    größte Personalnummer; 0 = alle Personen\n"
    "\n"
    "Bsp.: planex 0 2027 /etc/planex/planex.ini 0 0\n"
    "Mehr in planex(1).\n";

std::string Quoted(std::string_view text) {
  return "'" + Str_Escape(text) + "'";
}

std::string ErrnoText(int error) {
  switch (error) {
    case ENOENT:
      return "existiert nicht";
    case ENOTDIR:
      return "existiert nicht (ein Teil des Pfads ist kein Ordner)";
    case EACCES:
    case EPERM:
      return "nicht lesbar (keine Berechtigung)";
    default:
      return std::string("nicht lesbar: ") + std::strerror(error);
  }
}

}  // namespace

std::string Batch_Info_Text(int argc, const char* const* argv) {
  if (argc != 2) return "";
  const std::string_view arg = argv[1];
  if (arg == "--help" || arg == "-h") return kHelp;
  if (arg == "--version") return "planex " PLANEX_VERSION "\n";
  return "";
}

std::string Batch_Settings_Problem(const CfgSettings& settings) {
  switch (settings.problem) {
    case CfgProblem::None:
      return "";
    case CfgProblem::NoPath:
      return "ist leer";
    case CfgProblem::CannotOpen:
      return ErrnoText(settings.error);
    case CfgProblem::NotAFile:
      return settings.directory ? "ist ein Ordner, keine Datei" : "ist keine gewöhnliche Datei";
  }
  return "";
}

BatchStop Batch_Stop_Arguments(int given) {
  return {"arguments", "falsche Anzahl Argumente: " + std::to_string(given) + ", erwartet 5 (planex --help)", {}};
}

BatchStop Batch_Stop_EndeJahr(std::string_view ende_jahr) {
  return {"arguments", "EndeJahr " + Quoted(ende_jahr) + " ist kein vierstelliges Jahr", {}};
}

BatchStop Batch_Stop_BegDat(std::string_view beg_dat) {
  return {"arguments", "BegDat " + Quoted(beg_dat) + " ist weder 0 noch ein Datum JJJJMMTT", {}};
}

BatchStop Batch_Stop_Schema(const std::string& path, const CfgSettings& settings, const std::string& schema) {
  const std::string problem = Batch_Settings_Problem(settings);
  if (!problem.empty()) return {"settings_file", "Einstellungsdatei " + Quoted(path) + " " + problem, {}};
  if (settings.schema.empty()) {
    return {"settings_file",
            "Einstellungsdatei " + Quoted(path) + " nennt kein SCHEMA (oder ist keine Einstellungsdatei; " +
                "prüfen mit planex-settings show)",
            {}};
  }
  return {"schema",
          "Schema " + Quoted(schema) + " aus " + Quoted(path) +
              " ist ungültig (1 bis 20 Zeichen, ein Buchstabe oder _ zuerst, dann Buchstaben, Ziffern, _ $ # @)",
          {}};
}

BatchStop Batch_Stop_Connect(const std::string& dsn, const std::string& login, const DbReason& reason) {
  std::string text = "Verbindung zur Datenquelle " + Quoted(dsn) + " als " + Quoted(login) + " fehlgeschlagen";
  text += reason.Empty() ? " (der Treiber nennt keinen Grund)" : ": " + Db_Reason_Text(reason);
  if (reason.sqlstate == "IM002")
    text += " (Datenquellen stehen in odbc.ini; prüfen mit isql -v " + Str_Escape(dsn) + ")";
  return {"connection", text, reason};
}

std::string Batch_Stop_Line(const BatchStop& stop) {
  return "planex: " + stop.text + "\n";
}
