// Parameterize() is the hot path (every statement executed): one pass over the lexer's tokens,
// literals out, whitespace and comments folded, no allocation once the caller's Shape has warmed
// up. Literals stay in the shape where SQLite cannot take a parameter or where they decide the
// translation: in CREATE/ALTER/DROP statements, CONVERT styles and type lengths (char(8)), ORDER
// BY positions.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "translator_class.h"

namespace tsqlite {

namespace {

// A word that begins a statement at the outermost level: DDL keeps its literals, any other
// statement takes them out again.
enum class Verb { None, Ddl, Other };

Verb VerbOf(Kw kw) {
  switch (kw) {
    case Kw::Create:
    case Kw::Alter:
    case Kw::Drop:
      return Verb::Ddl;
    case Kw::Select:
    case Kw::Insert:
    case Kw::Update:
    case Kw::Delete:
    case Kw::Set:
    case Kw::Use:
    case Kw::Print:
    case Kw::Go:
    case Kw::Union:
    case Kw::Declare:
    case Kw::While:
    case Kw::Begin:
    case Kw::Exec:
    case Kw::Execute:
      return Verb::Other;
    default:
      return Verb::None;
  }
}

// CONVERT, or a type whose '(' holds a length, precision or digits that stay in the shape.
bool OpensConvert(Kw kw) {
  switch (kw) {
    case Kw::Convert:
    case Kw::Char:
    case Kw::Varchar:
    case Kw::Nchar:
    case Kw::Nvarchar:
    case Kw::Decimal:
    case Kw::Numeric:
    case Kw::Datetime2:
    case Kw::Time:
      return true;
    default:
      return false;
  }
}

}  // namespace

void Parameterize(std::string_view s, Shape& out) {
  out.key.clear();
  out.markers.clear();
  if (out.key.capacity() < s.size()) out.key.reserve(s.size() + 16);
  size_t nlit = 0;
  auto next_literal = [&]() -> Literal& {
    if (nlit == out.literals.size()) out.literals.emplace_back();
    return out.literals[nlit++];
  };

  // Context that decides whether a literal must stay in the text: DDL cannot take parameters, and
  // ORDER BY 1 names a column. Paren levels below 64 are tracked in bit sets.
  bool ddl = false;
  bool in_view = false;  // CREATE or ALTER VIEW: DDL to its end, its query included
  int depth = 0;
  uint64_t convert_levels = 0;  // levels opened by CONVERT( or by a type's length, as char(8)
  bool opens_convert = false;   // the last word was CONVERT or a type name taking a length
  bool after_by = false;        // the last word was BY
  bool after_as = false;        // the last word was AS: a string after it is a column alias
  bool order_by = false;
  int order_depth = 0;
  char prev = 0;  // the last significant character written
  bool pending_space = false;

  for (size_t i = 0;;) {
    const Lexeme t = NextToken(s, i);
    if (t.type == Tok::End) break;
    i = t.offset + t.length;
    const std::string_view text = s.substr(t.offset, t.length);
    if (t.type == Tok::Space || t.type == Tok::Comment) {
      pending_space = true;
      continue;
    }
    if (pending_space && !out.key.empty()) out.key.push_back(' ');
    pending_space = false;

    switch (t.type) {
      case Tok::String:
        if (ddl || !t.closed || after_as) {
          out.key.append(text);
        } else {
          Literal& lit = next_literal();
          lit.kind = Literal::Kind::Text;
          // The text between the quotes, '' standing for one quote.
          const std::string_view body = text.substr(t.national ? 2 : 1, text.size() - (t.national ? 3 : 2));
          lit.text.clear();
          for (size_t k = 0;;) {
            const size_t quote = body.find('\'', k);
            if (quote == std::string_view::npos) {
              lit.text.append(body.substr(k));
              break;
            }
            lit.text.append(body.substr(k, quote + 1 - k));
            k = quote + 2;
            if (k >= body.size()) break;
          }
          if (t.national) out.key.push_back('N');  // N? : the translator describes it as nvarchar
          out.key.push_back(kMarker);
        }
        prev = '\'';
        opens_convert = after_by = after_as = false;
        break;
      case Tok::Number: {
        bool keep = ddl || t.hex || after_by || (order_by && prev == ',' && depth == order_depth);
        if (!keep && depth < 64 && (convert_levels >> depth & 1) && (prev == ',' || prev == '(')) {
          // A CONVERT style or a type length: the literal belongs to the statement's shape.
          Lexeme after = NextToken(s, i);
          if (after.type == Tok::Space) after = NextToken(s, after.offset + after.length);
          keep = after.type == Tok::Op && (s[after.offset] == ')' || s[after.offset] == ',');
        }
        if (keep) {
          out.key.append(text);
        } else {
          Literal& lit = next_literal();
          int64_t v = 0;
          bool overflow = t.real;
          for (size_t k = 0; k < text.size() && !overflow; ++k) {
            overflow = __builtin_mul_overflow(v, 10, &v) || __builtin_add_overflow(v, text[k] - '0', &v);
          }
          if (overflow) {
            char buf[64];
            const size_t len = std::min(text.size(), sizeof buf - 1);
            std::memcpy(buf, text.data(), len);
            buf[len] = 0;
            lit.kind = Literal::Kind::Real;
            lit.real = std::strtod(buf, nullptr);
            // A literal without an exponent is a decimal on SQL Server: its digits are kept for
            // where it is bound exactly.
            lit.text.assign(text.find_first_of("eE") == std::string_view::npos ? text : std::string_view());
          } else {
            lit.kind = Literal::Kind::Integer;
            lit.integer = v;
          }
          out.key.push_back(kMarker);
        }
        prev = '0';
        opens_convert = after_by = after_as = false;
        break;
      }
      case Tok::Word:
      case Tok::Variable: {
        out.key.append(text);
        const Kw kw = t.type == Tok::Word ? KeywordOf(text) : Kw::None;
        after_by = kw == Kw::By;
        after_as = kw == Kw::As;
        if (after_by) {
          order_by = true;
          order_depth = depth;
        }
        opens_convert = OpensConvert(kw);
        // A view's query is part of its definition: its literals stay in the text to GO.
        if (kw == Kw::View && ddl) in_view = true;
        if (depth == 0) {
          switch (VerbOf(kw)) {
            case Verb::Ddl:
              ddl = true;
              order_by = false;
              break;
            case Verb::Other:
              if (in_view && kw != Kw::Go) break;
              ddl = in_view = false;
              order_by = false;
              break;
            case Verb::None:
              break;
          }
        }
        prev = 'a';
        break;
      }
      case Tok::Quoted:  // copied as it stands
        out.key.append(text);
        prev = 'a';
        opens_convert = after_by = after_as = false;
        break;
      case Tok::Op:
        if (text == "(") {
          ++depth;
          if (depth < 64) {
            if (opens_convert) {
              convert_levels |= uint64_t{1} << depth;
            } else {
              convert_levels &= ~(uint64_t{1} << depth);
            }
          }
        } else if (text == ")") {
          if (depth > 0) --depth;
          if (depth < order_depth) order_by = false;
        }
        out.key.append(text);
        prev = text.back();
        opens_convert = after_by = after_as = false;
        break;
      case Tok::Marker:
        if (!ddl) {
          // A parameter marker: a literal slot the caller fills from the bound value.
          Literal& lit = next_literal();
          lit.kind = Literal::Kind::Null;
          out.markers.push_back(static_cast<int>(nlit - 1));
          out.key.push_back(kMarker);
          prev = '0';
          opens_convert = after_by = after_as = false;
          break;
        }
        [[fallthrough]];
      default:  // Foreign, and a marker in DDL: never taken for a literal marker
        for (char c : text) out.key.push_back(c == kMarker ? kForeignByte : c);
        prev = text.back();
        opens_convert = after_by = after_as = false;
        break;
    }
  }
  out.literals.resize(nlit);
}

}  // namespace tsqlite
