#include "roster_html.h"

#include <array>
#include <cstdint>

namespace pxdb {
namespace {

using std::chrono::days;

// Light colours that stay apart for the common kinds of colour blindness (Paul Tol's "light"
// scheme, with two more of the same lightness); the group code is written in every cell, so no
// colour stands alone.
constexpr std::array<const char*, 9> kPalette = {"#77AADD", "#EE8866", "#EEDD88", "#FFAABB", "#99DDFF",
                                                 "#44BB99", "#BBCC33", "#D9B8F0", "#E8C9A0"};
// Shadings of day types other than a working day, laid over the group's colour.
constexpr std::array<const char*, 4> kShades = {
    "repeating-linear-gradient(135deg,rgba(0,0,0,.28) 0 1px,transparent 1px 5px)",
    "repeating-linear-gradient(45deg,rgba(0,0,0,.28) 0 1px,transparent 1px 5px)",
    "radial-gradient(rgba(0,0,0,.35) 1px,transparent 1.5px) 0 0/5px 5px",
    "repeating-linear-gradient(90deg,rgba(0,0,0,.25) 0 1px,transparent 1px 4px)"};
constexpr std::array<const char*, 12> kMonths = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                                                 "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
constexpr std::array<const char*, 7> kWeekdays = {"Mo", "Di", "Mi", "Do", "Fr", "Sa", "So"};

const char* const kStyle =
    ":root{font:11px/1.25 system-ui,'DejaVu Sans',sans-serif;color:#111}"
    "body{margin:8px}h1{font-size:16px;margin:0 0 4px}"
    ".facts{margin:0 0 6px}.facts span{margin-right:18px}"
    ".legend{display:flex;flex-wrap:wrap;gap:3px 14px;margin:0 0 8px;align-items:center}"
    ".legend b{margin-right:-8px}.legend td{display:inline-block;width:auto;min-width:30px;height:auto;"
    "border:1px solid #888;margin-right:3px}"
    ".grid{overflow:auto;max-height:calc(100vh - 110px);border:1px solid #999}"
    "table{border-collapse:separate;border-spacing:0;table-layout:fixed}"
    "td,th{border:0 solid #bbb;border-width:0 1px 1px 0;padding:1px;width:34px;min-width:34px;max-width:34px;"
    "text-align:center;white-space:nowrap;overflow:hidden;font-weight:normal}"
    "td{height:24px;font-size:10px}td::first-line{font-weight:600}"
    "thead th{position:sticky;background:#eee;z-index:2;height:15px}"
    "thead tr:nth-child(2) th{top:18px}thead tr:nth-child(3) th{top:36px;height:26px}thead tr:first-child th{top:0}"
    "thead th.we{background:#ddd}"
    "th.p{position:sticky;left:0;z-index:1;background:#fff;text-align:left;width:180px;min-width:180px;"
    "max-width:180px;text-overflow:ellipsis;padding:1px 4px}thead th.p{z-index:3;background:#eee}"
    "th.p small{display:block;color:#555}th.p.d{color:#777;text-decoration:line-through}"
    "td.d{background-color:#fff;color:#666;text-decoration:line-through;outline:1px dashed #a00;outline-offset:-3px}"
    "td.m{background-color:#fff;color:#b00;font-weight:700;outline:2px solid #b00;outline-offset:-3px}"
    "td.n{outline:2px dotted #b00;outline-offset:-3px}td.e{background-color:#fff;outline:1px solid #555;"
    "outline-offset:-3px}"
    "@page{size:A4 landscape;margin:7mm}"
    "@media print{:root{font-size:7px}td{font-size:6px;height:auto}.grid{overflow:visible;max-height:none;border:0}"
    "thead th,th.p{position:static}thead{display:table-header-group}tr{break-inside:avoid}"
    "td,th{width:auto;min-width:0}th.p{width:110px;min-width:110px;max-width:110px}"
    "*{print-color-adjust:exact;-webkit-print-color-adjust:exact}}";

std::uint32_t Fnv(std::string_view text) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : text) h = (h ^ c) * 16777619u;
  return h;
}

// "YYYYMMDD" of a day as TT.MM.JJJJ.
std::string German(Day d) {
  const std::string k = DateKey(d);
  return k.substr(6, 2) + "." + k.substr(4, 2) + "." + k.substr(0, 4);
}

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

const char* DayTypeName(const std::string& t) {
  if (t == "AT") return "Arbeitstag";
  if (t == "FR") return "frei";
  if (t == "SA") return "Samstag";
  if (t == "FT") return "Feiertag";
  return "Tagestyp";
}

}  // namespace

std::string HtmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '&':
        out += "&amp;";
        ++i;
        continue;
      case '<':
        out += "&lt;";
        ++i;
        continue;
      case '>':
        out += "&gt;";
        ++i;
        continue;
      case '"':
        out += "&quot;";
        ++i;
        continue;
      case '\'':
        out += "&#39;";
        ++i;
        continue;
      default:
        break;
    }
    size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    bool valid = len > 0 && i + len <= text.size() && (len != 2 || c >= 0xC2);
    for (size_t k = 1; valid && k < len; ++k) valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (valid && len == 3) {
      const unsigned char d = static_cast<unsigned char>(text[i + 1]);
      valid = !(c == 0xE0 && d < 0xA0) && !(c == 0xED && d >= 0xA0);  // overlong, surrogates
    }
    if (valid && len == 4) {
      const unsigned char d = static_cast<unsigned char>(text[i + 1]);
      valid = c <= 0xF4 && !(c == 0xF0 && d < 0x90) && !(c == 0xF4 && d >= 0x90);
    }
    if (valid && len == 1 && c < 0x20 && c != '\t') valid = false;  // control characters
    if (!valid) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    out.append(text.substr(i, len));
    i += len;
  }
  return out;
}

GroupColours::GroupColours(const std::vector<RosterGroup>& groups) {
  std::vector<bool> taken(kPalette.size());
  for (const RosterGroup& g : groups) {
    int slot = static_cast<int>(Fnv(TrimRight(g.num)) % kPalette.size());
    for (size_t tries = 0; taken[static_cast<size_t>(slot)] && tries < kPalette.size(); ++tries) {
      slot = (slot + 1) % static_cast<int>(kPalette.size());
    }
    taken[static_cast<size_t>(slot)] = true;
    fixed_.emplace_back(TrimRight(g.num), slot);
  }
}

int GroupColours::Of(const std::string& group) const {
  const std::string g = TrimRight(group);
  for (const auto& [num, slot] : fixed_) {
    if (num == g) return slot;
  }
  return static_cast<int>(Fnv(g) % kPalette.size());
}

RosterPage::RosterPage(std::FILE* out, const RosterFacts& facts, const std::string& schema, Day from, Day to,
                       const std::string& pnr_from, const std::string& pnr_to)
    : out_(out),
      facts_(facts),
      schema_(schema),
      pnr_from_(pnr_from),
      pnr_to_(pnr_to),
      from_(from),
      to_(to),
      colours_(facts.groups) {}

int RosterPage::TypeClass(const std::string& day_type) const {
  if (day_type == "AT") return -1;
  for (size_t i = 0; i < facts_.day_types.size(); ++i) {
    if (facts_.day_types[i] == day_type) return static_cast<int>(i);
  }
  return -1;
}

void RosterPage::Begin() {
  Put("<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'; "
      "base-uri 'none'; form-action 'none'\">\n"
      "<meta name=\"viewport\" content=\"width=device-width\">\n<title>Schichtplan ");
  Put(HtmlText(schema_) + " " + German(from_) + " – " + German(to_) + "</title>\n<style>");
  Put(kStyle);
  for (size_t i = 0; i < kPalette.size(); ++i) {
    Put(".c" + std::to_string(i) + "{background-color:" + kPalette[i] + "}");
  }
  for (size_t i = 0; i < facts_.day_types.size(); ++i) {
    Put(".t" + std::to_string(i) + "{background:" + kShades[i % kShades.size()] + "}");
  }
  // A day the calendar lacks is grey and cross-hatched; a record on it keeps its group's colour
  // under the hatching, so the colour classes come after the shorthands.
  Put("td.x{background:repeating-linear-gradient(45deg,rgba(0,0,0,.13) 0 1px,transparent 1px 6px),"
      "repeating-linear-gradient(135deg,rgba(0,0,0,.13) 0 1px,transparent 1px 6px);background-color:#e4e4e4}");
  for (size_t i = 0; i < kPalette.size(); ++i) {
    Put("td.c" + std::to_string(i) + "{background-color:" + kPalette[i] + "}");
  }
  Put("td.d,td.m,td.e{background-color:#fff}</style></head>\n<body>\n");
  Put("<h1>Schichtplan – Mandant " + HtmlText(schema_) + "</h1>\n<p class=\"facts\"><span>Zeitraum: " + German(from_) +
      " – " + German(to_) + "</span><span>Personen: " + std::to_string(facts_.persons));
  if (!pnr_from_.empty() || !pnr_to_.empty()) {
    Put(" (Nr. " + (pnr_from_.empty() ? std::string("…") : HtmlText(pnr_from_)) + " bis " +
        (pnr_to_.empty() ? std::string("…") : HtmlText(pnr_to_)) + ")");
  }
  Put("</span><span>Neuester Satz: ");
  const std::string& n = facts_.newest;
  Put(n.size() >= 19 ? HtmlText(n.substr(8, 2) + "." + n.substr(5, 2) + "." + n.substr(0, 4) + " " + n.substr(11, 8))
                     : std::string("keiner"));
  Put("</span></p>\n");
  Legend();
  Put("<div class=\"grid\"><table>\n");
  GridHead();
  Put("<tbody>\n");
}

void RosterPage::Legend() {
  Put("<div class=\"legend\"><b>Gruppen:</b>");
  for (const RosterGroup& g : facts_.groups) {
    Put("<span><table><tr><td class=\"" + std::string(g.dead ? "d" : "c" + std::to_string(colours_.Of(g.num))) + "\">" +
        HtmlText(TrimRight(g.num)) + "</table>" + HtmlText(g.name));
    if (g.length > 0) Put(" (" + std::to_string(g.length) + " Tage)");
    if (g.dead) Put(" – gelöscht");
    Put("</span>");
  }
  Put("</div>\n<div class=\"legend\"><b>Tagestypen:</b>");
  for (const std::string& t : facts_.day_types) {
    const int k = TypeClass(t);
    Put("<span><table><tr><td" + (k < 0 ? std::string() : " class=\"t" + std::to_string(k) + "\"") + ">" + HtmlText(t) +
        "</table>" + DayTypeName(t) + "</span>");
  }
  Put("<span><table><tr><td class=\"x\"></table>kein Kalendertag</span></div>\n"
      "<div class=\"legend\"><b>Markierungen:</b>"
      "<span><table><tr><td class=\"m\">?</table>Tagessatz ohne Zuordnungssatz</span>"
      "<span><table><tr><td class=\"c0 n\">G1<br>1!</table>Zuordnungssatz ohne Tagessatz</span>"
      "<span><table><tr><td class=\"d\">G1<br>1</table>gelöschter Satz (Status 4 und höher)</span>"
      "<span><table><tr><td class=\"e\">—<br>0</table>Satz ohne Gruppe</span>"
      "<span>Zelle: Gruppe und Zyklustag; Tooltip: Arbeitszeit · Verrechnungsart</span></div>\n");
}

void RosterPage::GridHead() {
  const long n = (to_ - from_).count() + 1;
  std::string months = "<thead><tr><th class=\"p\" rowspan=\"3\">Person</th>";
  std::string weeks = "<tr>", wdays = "<tr>";
  for (long i = 0; i < n;) {  // months
    const std::chrono::year_month_day ymd{from_ + days{i}};
    long span = 0;
    while (i + span < n && std::chrono::year_month_day{from_ + days{i + span}}.month() == ymd.month()) ++span;
    months += "<th colspan=\"" + std::to_string(span) + "\">" + kMonths[static_cast<unsigned>(ymd.month()) - 1] + " " +
              std::to_string(static_cast<int>(ymd.year())) + "</th>";
    i += span;
  }
  for (long i = 0; i < n;) {  // ISO weeks: Monday to Sunday
    const Day d = from_ + days{i};
    const long left = 7 - (IsoWeekday(d) - 1);
    const long span = std::min(left, n - i);
    const WeekValues w = BaseCalendarWeek(d);
    weeks += "<th colspan=\"" + std::to_string(span) + "\" title=\"KW " + std::to_string(w.week) + "/" +
             std::to_string(w.week_year) + "\">" + (span >= 2 ? "KW " : "") + std::to_string(w.week) + "</th>";
    i += span;
  }
  for (long i = 0; i < n; ++i) {
    const Day d = from_ + days{i};
    const int wd = IsoWeekday(d);
    wdays += std::string("<th") + (wd >= 6 ? " class=\"we\"" : "") + " title=\"" + German(d) + "\">" +
             kWeekdays[static_cast<size_t>(wd - 1)] + "<br>" + DateKey(d).substr(6, 2) + "</th>";
  }
  Put(months + "</tr>\n" + weeks + "</tr>\n" + wdays + "</tr></thead>\n");
}

void RosterPage::Row(const RosterPerson& person, const std::vector<RosterCell>& cells) {
  std::string line = "<tr><th class=\"p";
  line += person.dead ? " d\" title=\"gelöscht\">" : "\">";
  line += "<small>" + HtmlText(person.num) + "</small>" + HtmlText(person.name) + "</th>";
  for (const RosterCell& c : cells) {
    std::string cls, title, text;
    const int k = TypeClass(c.day_type);
    if (c.has_ztg) {
      const std::string group = TrimRight(c.group);
      if (c.status >= 4) {
        cls = "d";
        title = "gelöscht (Status " + std::to_string(c.status) + ") ";
      } else if (group.empty()) {
        cls = "e";
        title = "keine Gruppe ";
      } else {
        cls = "c" + std::to_string(colours_.Of(group));
      }
      const std::string azt = TrimRight(c.azt), vra = TrimRight(c.vra);
      title += (azt.empty() ? "–" : HtmlText(azt)) + " · " + (vra.empty() ? "–" : HtmlText(vra));
      text = (group.empty() ? "—" : HtmlText(group)) + "<br>" + HtmlText(c.cycle_day);
      if (!c.has_day) {
        cls += " n";
        title += " · ohne Tagessatz";
        text += "!";
      }
    } else if (c.has_day) {
      cls = "m";
      title = "Tagessatz ohne Zuordnungssatz";
      text = "?";
    }
    if (k >= 0) cls += (cls.empty() ? "t" : " t") + std::to_string(k);
    if (!c.in_calendar) cls += cls.empty() ? "x" : " x";
    line += "<td";
    if (!cls.empty()) {
      line += cls.find(' ') == std::string::npos ? " class=" + cls : " class=\"" + cls + "\"";
    }
    if (!title.empty()) line += " title=\"" + title + "\"";
    line += ">" + text;
  }
  line += "\n";
  Put(line);
}

void RosterPage::End() {
  Put("</tbody></table></div>\n</body></html>\n");
}

}  // namespace pxdb
