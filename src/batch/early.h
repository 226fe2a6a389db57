#pragma once
// What planex says at the operator's terminal: its usage and version on request, and why a run
// stopped before the generators (arguments, settings file, schema, connection). The run log says
// the same in its own lines, which stay as they always were.
#include <string>
#include <string_view>

#include "common/runlog.h"
#include "settings/settings.h"

// "--help", "-h" or "--version" as the only argument: the text for standard output; else "".
std::string Batch_Info_Text(int argc, const char* const* argv);

// Why a run stopped before the generators.
struct BatchStop {
  const char* kind = "";  // "arguments", "settings_file", "schema", "connection", "weekday_numbering"
  std::string text;       // a German sentence naming the file or data source and the reason
  DbReason reason;        // the driver's diagnostics of a failed connection
};

// Why the settings file could not be read, in German ("ist leer", "existiert nicht", "nicht lesbar
// (keine Berechtigung)", "ist ein Ordner, keine Datei", ...); "" when it was read.
std::string Batch_Settings_Problem(const CfgSettings& settings);

BatchStop Batch_Stop_Arguments(int given);
BatchStop Batch_Stop_EndeJahr(std::string_view ende_jahr);
BatchStop Batch_Stop_BegDat(std::string_view beg_dat);
// The schema was refused: the settings file's own problem when it has one, else the value.
BatchStop Batch_Stop_Schema(const std::string& path, const CfgSettings& settings, const std::string& schema);
BatchStop Batch_Stop_Connect(const std::string& dsn, const std::string& login, const DbReason& reason);

// The terminal's lines of a stop: "planex: <text>\n".
std::string Batch_Stop_Line(const BatchStop& stop);
