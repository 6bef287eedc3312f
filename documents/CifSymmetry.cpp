// Space-group symmetry of a CIF block: the operators from an explicit list,
// a Hall symbol or a Hermann-Mauguin symbol, and the images they give a site.
#include <gemmi/symmetry.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <numeric>

#include "documents/CifImportSteps.h"
#include "io/NumberFormat.h"
#include "io/Translate.h"

namespace pelmora::cifimport {
namespace {

// More operators than any space group has in any setting (F m -3 m: 192).
constexpr size_t kMaxOperators = 192;

// k / 24 in lowest terms as "p/q", as the operator parser reads it.
std::string Fraction24(long k) {
  if (k == 0) return "0";
  const long g = std::gcd(k, 24L);
  return std::to_string(k / g) + "/" + std::to_string(24 / g);
}

// --- symmetry -------------------------------------------------------------------

using symmetry::AllOperations;
using symmetry::IsIdentityRotation;
using symmetry::Normalised;

// A rotation part whose first, second, third, fourth or sixth power is the
// identity; a shear such as (x+y,y,z) has none.
bool HasCrystallographicOrder(const Op& op) {
  Op power{op.rot, {0, 0, 0}};
  const Op step = power;
  for (int k = 1; k <= 6; ++k) {
    if (IsIdentityRotation(power.rot)) return k != 5;
    power = power.combine(step);
  }
  return false;
}

// Every operator must be a crystallographic one (entries 0 or +-1, a proper
// or improper rotation of order 1, 2, 3, 4 or 6) and the list a finite group:
// closed under products, modulo whole cell translations.
void CheckGroup(const std::vector<Op>& ops) {
  if (ops.empty()) throw CifError{TrText("documents", "brak operatorów symetrii")};
  if (ops.size() > kMaxOperators) throw CifError{cformat(TrText("documents", "za dużo operatorów symetrii (%zu)").c_str(), ops.size())};
  for (const Op& op : ops) {
    for (const auto& row : op.rot)
      for (int v : row)
        if (v != 0 && v != Op::DEN && v != -Op::DEN)
          throw CifError{TrText("documents", "operator symetrii \"") + op.triplet() + TrText("documents", "\" nie jest krystalograficzny")};
    if (!HasCrystallographicOrder(op)) throw CifError{TrText("documents", "operator symetrii \"") + op.triplet() + TrText("documents", "\" nie jest krystalograficzny")};
  }
  const bool hasIdentity =
      std::any_of(ops.begin(), ops.end(), [](const Op& op) { return op == Op::identity(); });
  if (!hasIdentity) throw CifError{TrText("documents", "operatory symetrii nie tworzą grupy (brak x,y,z)")};
  for (const Op& p : ops)
    for (const Op& q : ops) {
      Op r = p.combine(q);
      r.wrap();
      if (std::find(ops.begin(), ops.end(), r) == ops.end())
        throw CifError{TrText("documents", "operatory symetrii nie tworzą grupy (brak iloczynu ") + p.triplet() + " · " + q.triplet() + ")"};
    }
}




}  // namespace


namespace {

// Translations written as decimals ("z+.5", "x+0.3333") become the
// fractions they stand for; a decimal that is no multiple of 1/24 is left
// for the parser to refuse.
std::string WithFractions(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const auto digitAt = [&](size_t k) { return k < text.size() && std::isdigit(static_cast<unsigned char>(text[k])); };
    if (!digitAt(i) && !(text[i] == '.' && digitAt(i + 1))) {
      out += text[i++];
      continue;
    }
    size_t j = i;
    while (digitAt(j) || (j < text.size() && text[j] == '.')) ++j;
    const std::string number = text.substr(i, j - i);
    const double v = number.find('.') == std::string::npos ? NAN : parseDoubleOr(number, NAN);
    const double k = std::round(v * Op::DEN);
    out += std::isfinite(v) && std::fabs(v * Op::DEN - k) < 0.01 ? Fraction24(static_cast<long>(k)) : number;
    i = j;
  }
  return out;
}

std::vector<Op> ParseOperators(const Column& column) {
  std::vector<Op> ops;
  for (const CifValue& value : column) {
    if (!value) continue;
    const std::string& text = *value;
    try {
      ops.push_back(gemmi::parse_triplet(WithFractions(text)));
    } catch (const std::exception&) {
      throw CifError{"nieczytelny operator symetrii \"" + text + "\""};
    }
    if (ops.size() > kMaxOperators) break;
  }
  return ops;
}

// Cell atoms that n sites would give with these operators; used to choose
// between two origins the file does not name.
size_t CountImages(const std::vector<Op>& ops, const std::vector<Xyz>& sites);

// A Hermann-Mauguin symbol as files spell it: the setting may follow as
// ":2", as a trailing "2", "S" or "Z" (the ICSD's first and second origin),
// "H" or "R", or in words ("origin choice 2", "{rhombohedral axes}").
struct HmSymbol {
  std::string symbol;
  char setting = 0;  // '1' or '2' (origin choice), 'H' or 'R' (axes), 0 when not named
};

char SettingOf(std::string token) {
  if (token == "1" || token == "one" || token == "s") return '1';
  if (token == "2" || token == "two" || token == "z") return '2';
  if (token == "h") return 'H';
  if (token == "r") return 'R';
  return 0;
}

HmSymbol ReadHmSymbol(const std::string& text) {
  std::string s;
  for (char ch : text)
    if (ch != '_') s += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));  // P 4_2/n: P 42/n
  HmSymbol hm;
  // The setting in words, with the words that may follow or lead them.
  const auto erase = [&s](size_t from, size_t to) { s.replace(from, to - from, " "); };
  for (const char* lead : {"origin choice", "origin", "choice"}) {
    const size_t at = s.find(lead);
    if (at == std::string::npos) continue;
    size_t end = at + std::string(lead).size();
    while (end < s.size() && s[end] == ' ') ++end;
    size_t word = end;
    while (end < s.size() && std::isalnum(static_cast<unsigned char>(s[end]))) ++end;
    const char setting = SettingOf(s.substr(word, end - word));
    if (setting == '1' || setting == '2') {
      hm.setting = setting;
      erase(at, end);
    }
    break;
  }
  for (const auto& [word, setting] : {std::pair{"rhombohedral", 'R'}, std::pair{"hexagonal", 'H'}}) {
    const size_t at = s.find(word);
    if (at == std::string::npos) continue;
    size_t end = at + std::string(word).size();
    for (const char* tail : {" axes", " axis", " setting", " cell"})
      if (s.compare(end, std::string(tail).size(), tail) == 0) end += std::string(tail).size();
    hm.setting = setting;
    erase(at, end);
  }
  for (char& ch : s)
    if (std::strchr("()[]{},;", ch)) ch = ' ';
  const size_t colon = s.find(':');
  if (colon != std::string::npos) {
    std::string token;
    for (size_t i = colon + 1; i < s.size(); ++i)
      if (s[i] != ' ') token += s[i];
    if (const char setting = SettingOf(token)) {
      hm.setting = setting;
      s.erase(colon);
    }
  }
  const size_t first = s.find_first_not_of(' '), last = s.find_last_not_of(' ');
  hm.symbol = first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
  return hm;
}

// The group of a symbol in the setting it names; a setting the group does
// not have (an origin choice of a group with one origin) changes nothing.
const gemmi::SpaceGroup* FindSpaceGroup(const std::string& symbol, char setting, double alpha, double gamma) {
  if (symbol.empty()) return nullptr;
  if (setting != 0)
    if (const gemmi::SpaceGroup* sg = gemmi::find_spacegroup_by_name(symbol + ":" + setting)) return sg;
  return gemmi::find_spacegroup_by_name(symbol, alpha, gamma);
}

// The cubic symbols as written before the bar was added: "F d 3 m" for
// "F d -3 m", "P a 3" for "P a -3" (a 3 after a mirror or glide letter).
std::string WithCubicBar(const std::string& symbol) {
  std::string out = symbol;
  for (size_t i = 1; i < out.size(); ++i) {
    if (out[i] != '3') continue;
    size_t before = i;
    while (before > 1 && out[before - 1] == ' ') --before;
    if (before > 1 && std::strchr("mnda", out[before - 1])) out.insert(i, "-");
    break;
  }
  return out;
}

const gemmi::SpaceGroup* FindSpaceGroup(HmSymbol& hm, double alpha, double gamma) {
  // As written, then with the setting as the last word ("F d -3 m 2",
  // "R -3 m H", "I -4 2 d S"); each also with the cubic bar.
  std::vector<std::pair<std::string, char>> readings = {{hm.symbol, hm.setting}};
  const size_t space = hm.symbol.find_last_of(' ');
  if (hm.setting == 0 && space != std::string::npos)
    if (const char setting = SettingOf(hm.symbol.substr(space + 1)))
      readings.push_back({hm.symbol.substr(0, space), setting});
  for (const auto& [symbol, setting] : readings)
    for (const std::string& spelling : {symbol, WithCubicBar(symbol)})
      if (const gemmi::SpaceGroup* sg = FindSpaceGroup(spelling, setting, alpha, gamma)) {
        hm.symbol = spelling;
        hm.setting = setting;
        return sg;
      }
  return nullptr;
}

// 'H' for a cell on hexagonal axes, 'R' for one on rhombohedral axes, 0
// for any other.
char AxesOf(const Cell& cell) {
  const auto near = [](double u, double v, double tolerance) { return std::fabs(u - v) <= tolerance; };
  const auto [a, b, c, alfa, beta, gamma] = cell;
  if (near(a, b, 1e-4 * a) && near(alfa, 90, 0.01) && near(beta, 90, 0.01) && near(gamma, 120, 0.01)) return 'H';
  if (near(a, b, 1e-4 * a) && near(a, c, 1e-4 * a) && near(alfa, beta, 0.01) && near(alfa, gamma, 0.01)) return 'R';
  return 0;
}

}  // namespace

Symmetry ReadSymmetry(const CifBlock& block, const Cell& cell, const std::vector<Xyz>& sites) {
  const double alpha = cell[3], gamma = cell[5];
  Symmetry sym;
  for (const char* tag : {"_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz",
                          "_space_group_symop.operation_xyz"}) {
    const Column* column = block.Find(tag);
    if (!column || column->empty()) continue;
    sym.ops = Normalised(ParseOperators(*column));
    if (!sym.ops.empty()) {
      CheckGroup(sym.ops);
      return sym;
    }
  }
  if (auto hall = FirstValueOf(block, {"_space_group_name_Hall", "_symmetry_space_group_name_Hall",
                                       "_space_group.name_Hall"})) {
    try {
      sym.ops = AllOperations(gemmi::symops_from_hall(hall->c_str()));
    } catch (const std::exception&) {
      throw CifError{"nieznany symbol Halla \"" + *hall + "\""};
    }
    CheckGroup(sym.ops);
    return sym;
  }
  if (auto hm = FirstValueOf(block, {"_space_group_name_H-M_alt", "_symmetry_space_group_name_H-M",
                                     "_space_group.name_H-M_alt"})) {
    HmSymbol symbol = ReadHmSymbol(*hm);
    const gemmi::SpaceGroup* sg = FindSpaceGroup(symbol, alpha, gamma);
    if (!sg) throw CifError{"nieznany symbol grupy przestrzennej \"" + *hm + "\""};
    // The axes of a rhombohedral group follow the cell when the symbol
    // names the others: the coordinates belong to the cell's axes.
    const char axes = AxesOf(cell);
    if ((sg->ext == 'H' || sg->ext == 'R') && axes != 0 && axes != sg->ext) {
      const gemmi::SpaceGroup* other = FindSpaceGroup(symbol.symbol, axes, alpha, gamma);
      if (other && other->ext == axes) {
        sym.note = cformat(TrText("documents", "Symbol grupy przestrzennej \"%s\" wskazuje osie %s, lecz komórka elementarna ma osie "
                           "%s: przyjęto osie komórki.").c_str(),
                           hm->c_str(), sg->ext == 'R' ? "romboedryczne" : "heksagonalne",
                           axes == 'R' ? "romboedryczne" : "heksagonalne");
        sg = other;
      }
    }
    sym.ops = AllOperations(sg->operations());
    // A group with two origin choices and a symbol naming neither: the right
    // origin puts the atoms on their special positions, the wrong one spreads
    // them over more images.
    if ((sg->ext == '1' || sg->ext == '2') && symbol.setting == 0) {
      const gemmi::SpaceGroup* other = FindSpaceGroup(symbol.symbol, sg->ext == '1' ? '2' : '1', alpha, gamma);
      if (other) {
        std::vector<Op> otherOps = AllOperations(other->operations());
        if (CountImages(otherOps, sites) < CountImages(sym.ops, sites)) {
          sym.ops = std::move(otherOps);
          sg = other;
        }
        sym.note = cformat(TrText("documents", "Symbol grupy przestrzennej \"%s\" nie wskazuje początku układu: przyjęto wariant %c.").c_str(),
                           hm->c_str(), sg->ext);
      }
    }
    CheckGroup(sym.ops);
    return sym;
  }
  sym.ops = {Op::identity()};
  sym.note = TrText("documents", "Plik nie podaje symetrii: przyjęto grupę P 1.");
  return sym;
}

namespace {

size_t CountImages(const std::vector<Op>& ops, const std::vector<Xyz>& sites) {
  size_t n = 0;
  for (const Xyz& s : sites) n += Images(ops, s).size();
  return n;
}

}  // namespace

}  // namespace pelmora::cifimport
