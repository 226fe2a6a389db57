#include "tables.h"

namespace pxdb {

std::vector<SystemTable> SystemTables(const std::string& client_schema) {
  const std::string c = client_schema + ".";
  return {
      {"QXSYSTEM.Qxs133Bak", "BakDtm"},
      {"QXSYSTEM.Qxs135Muw", "MuwKal"},
      {"QXSYSTEM.Qxs133Kal", "KalNum, KalDtm"},
      {c + "Qxs135Mu2", "Mu2Kal"},
      {c + "Qxs137Wch", "WchKal, WchTag"},
      {c + "Qxs133Ka2", "Ka2Num, Ka2Dtm"},
      {c + "Qxs160Agr", "AgrNum"},
      {c + "Qxs161Wpl", "WplAgr, WplTag"},
      {c + "Qxs300Pnr", "PnrNum"},
      {c + "Qxs310Bsv", "BsvPnr, BsvGvo"},
      {c + "Qxs311Zuo", "ZuoPnr, ZuoGvo"},
      {c + "Qxs327Tag", "TagPnr, TagTag"},
      {c + "Qxs329Ztg", "ZtgPnr, ZtgVon"},
      {c + "Qxs332Urv", "UrvPnr, UrvJhr"},
  };
}

}  // namespace pxdb
