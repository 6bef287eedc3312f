#include "documents/CifImport.h"

#include <gemmi/numb.hpp>
#include <gemmi/symmetry.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>
#include <numeric>
#include <optional>

#include "io/AtomicFile.h"
#include "documents/CifSyntax.h"
#include "engine/Angles.h"
#include "io/NumberFormat.h"
#include "refdata/ElementTable.h"

namespace pelmora {
namespace {

using gemmi::Op;
using Column = std::vector<CifValue>;
using Xyz = std::array<double, 3>;

constexpr const char* kInfoCaption = "Info";
// More operators than any space group has in any setting (F m -3 m: 192).
constexpr size_t kMaxOperators = 192;

// Something the file cannot be read past; the text is the message.
struct CifError {
  std::string text;
};

// The value of a tag as text without quotes; nothing for a missing tag or a
// CIF null ("?" or ".").
std::optional<std::string> ValueOf(const CifBlock& block, const char* tag) {
  const Column* v = block.Find(tag);
  if (!v || v->empty()) return std::nullopt;
  return v->front();
}

double Number(const std::string& text) { return gemmi::cif::as_number(text); }

std::optional<std::string> FirstValueOf(const CifBlock& block, std::initializer_list<const char*> tags) {
  for (const char* tag : tags)
    if (auto v = ValueOf(block, tag)) return v;
  return std::nullopt;
}

// Cell constants and factors are kept as the structure file writes them
// ("%.6f"), so that a converted file calculates exactly as the import does.
// Positions need no such care: the file writes them to every digit they have.
double AsWritten(double v) { return parseDoubleOr(cformat("%.6f", v), 0.0); }

// k / 24 in lowest terms as "p/q", as the operator parser reads it.
std::string Fraction24(long k) {
  if (k == 0) return "0";
  const long g = std::gcd(k, 24L);
  return std::to_string(k / g) + "/" + std::to_string(24 / g);
}

// --- symmetry -------------------------------------------------------------------

bool IsIdentityRotation(const Op::Rot& r) { return r == Op::identity().rot; }

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
  if (ops.empty()) throw CifError{"brak operatorów symetrii"};
  if (ops.size() > kMaxOperators) throw CifError{cformat("za dużo operatorów symetrii (%zu)", ops.size())};
  for (const Op& op : ops) {
    for (const auto& row : op.rot)
      for (int v : row)
        if (v != 0 && v != Op::DEN && v != -Op::DEN)
          throw CifError{"operator symetrii \"" + op.triplet() + "\" nie jest krystalograficzny"};
    if (!HasCrystallographicOrder(op)) throw CifError{"operator symetrii \"" + op.triplet() + "\" nie jest krystalograficzny"};
  }
  const bool hasIdentity =
      std::any_of(ops.begin(), ops.end(), [](const Op& op) { return op == Op::identity(); });
  if (!hasIdentity) throw CifError{"operatory symetrii nie tworzą grupy (brak x,y,z)"};
  for (const Op& p : ops)
    for (const Op& q : ops) {
      Op r = p.combine(q);
      r.wrap();
      if (std::find(ops.begin(), ops.end(), r) == ops.end())
        throw CifError{"operatory symetrii nie tworzą grupy (brak iloczynu " + p.triplet() + " · " + q.triplet() + ")"};
    }
}

std::vector<Op> Normalised(std::vector<Op> ops) {
  for (Op& op : ops) op.wrap();
  std::sort(ops.begin(), ops.end());
  ops.erase(std::unique(ops.begin(), ops.end()), ops.end());
  // The identity first, so that each site's own position leads its images.
  const auto id = std::find(ops.begin(), ops.end(), Op::identity());
  if (id != ops.end()) std::rotate(ops.begin(), id, id + 1);
  return ops;
}

std::vector<Op> AllOperations(const gemmi::GroupOps& g) {
  std::vector<Op> ops;
  for (const Op& s : g.sym_ops)
    for (const Op::Tran& t : g.cen_ops) ops.push_back(s.add_centering(t));
  return Normalised(std::move(ops));
}

// The crystal system from the rotations: the program's system code.
LatticeType CrystalSystemOf(const std::vector<Op>& ops) {
  int threeFolds = 0, twoFolds = 0;
  bool fourFold = false, sixFold = false, permutingThreeFold = false;
  std::vector<Op::Rot> seen;
  for (const Op& op : ops) {
    if (std::find(seen.begin(), seen.end(), op.rot) != seen.end()) continue;
    seen.push_back(op.rot);
    const int type = std::abs(op.rot_type());
    if (type == 3) {
      ++threeFolds;
      // (z,x,y) and the like: a three-fold axis along the cell diagonal, as
      // in a rhombohedral cell (on hexagonal axes it mixes x and y).
      bool permutation = true;
      for (const auto& row : op.rot)
        permutation = permutation && std::count(row.begin(), row.end(), 0) == 2;
      permutingThreeFold = permutingThreeFold || permutation;
    }
    if (type == 4) fourFold = true;
    if (type == 6) sixFold = true;
    if (op.rot_type() == 2 || op.rot_type() == -2) ++twoFolds;  // two-fold axes and mirrors
  }
  if (threeFolds >= 8) return kCubic;
  if (sixFold || threeFolds > 0) return permutingThreeFold ? kRhombohedral : kHexagonal;
  if (fourFold) return kTetragonal;
  if (twoFolds >= 3) return kOrthorhombic;
  if (twoFolds >= 1) return kMonoclinic;
  return kTriclinic;
}

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

struct Symmetry {
  std::vector<Op> ops;
  std::string note;  // an Info message about a choice the file left open
};

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

// a, b, c, alfa, beta, gamma.
using Cell = std::array<double, 6>;

// 'H' for a cell on hexagonal axes, 'R' for one on rhombohedral axes, 0
// for any other.
char AxesOf(const Cell& cell) {
  const auto near = [](double u, double v, double tolerance) { return std::fabs(u - v) <= tolerance; };
  const auto [a, b, c, alfa, beta, gamma] = cell;
  if (near(a, b, 1e-4 * a) && near(alfa, 90, 0.01) && near(beta, 90, 0.01) && near(gamma, 120, 0.01)) return 'H';
  if (near(a, b, 1e-4 * a) && near(a, c, 1e-4 * a) && near(alfa, beta, 0.01) && near(alfa, gamma, 0.01)) return 'R';
  return 0;
}

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
        sym.note = cformat("Symbol grupy przestrzennej \"%s\" wskazuje osie %s, lecz komórka elementarna ma osie "
                           "%s: przyjęto osie komórki.",
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
        sym.note = cformat("Symbol grupy przestrzennej \"%s\" nie wskazuje początku układu: przyjęto wariant %c.",
                           hm->c_str(), sg->ext);
      }
    }
    CheckGroup(sym.ops);
    return sym;
  }
  sym.ops = {Op::identity()};
  sym.note = "Plik nie podaje symetrii: przyjęto grupę P 1.";
  return sym;
}

// --- positions -----------------------------------------------------------------

double IntoCell(double v) {
  double r = v - std::floor(v);
  return r >= 1.0 ? 0.0 : r;
}

// Positions closer than tol in every coordinate, up to whole cell
// translations (0.9995 and 0.0005 are 0.001 apart).
bool SamePosition(const Xyz& p, const Xyz& q, double tol) {
  return SameSite(kTriclinic, p, q, tol);  // no centring: whole translations only
}

// The operator applied without scaling the coordinates (gemmi's
// (24 x) / 24 may change the last bit): the identity gives the site as read.
Xyz Apply(const Op& op, const Xyz& site) {
  Xyz p;
  for (int i = 0; i < 3; ++i) {
    double v = 0.0;
    for (int j = 0; j < 3; ++j) v += (op.rot[i][j] / Op::DEN) * site[j];
    p[i] = v + static_cast<double>(op.tran[i]) / Op::DEN;
  }
  return p;
}

// The atoms a site gives under the operators. Images closer than the merge
// tolerance are one atom, at their mean: a site on a special position that
// the file writes to a few decimals (0.66666667, or 0.3333 beside 0.6667)
// then sits exactly on it, and its images keep the symmetry. A site on a
// general position stays where the file has it; the first atom is the
// site's own image, in the file's cell, the others are wrapped into the cell.
std::vector<Xyz> Images(const std::vector<Op>& ops, const Xyz& site) {
  struct Cluster {
    Xyz first, sum;
    int count;
  };
  std::vector<Cluster> clusters;
  for (const Op& op : ops) {
    Xyz p = Apply(op, site);
    if (!clusters.empty())
      for (double& v : p) v = IntoCell(v);
    const auto near = std::find_if(clusters.begin(), clusters.end(), [&](const Cluster& c) {
      return SamePosition(p, c.first, kCifMergeTolerance);
    });
    if (near == clusters.end()) {
      clusters.push_back({p, p, 1});
      continue;
    }
    // Beside the cluster's first image, not a cell further on.
    for (int i = 0; i < 3; ++i) {
      const double d = p[i] - near->first[i];
      near->sum[i] += near->first[i] + (d - std::round(d));
    }
    ++near->count;
  }
  std::vector<Xyz> out;
  for (const Cluster& c : clusters) {
    Xyz mean;
    for (int i = 0; i < 3; ++i) mean[i] = c.count == 1 ? c.sum[i] : c.sum[i] / c.count;
    if (!out.empty())
      for (double& v : mean) v = IntoCell(v);
    out.push_back(mean);
  }
  return out;
}

size_t CountImages(const std::vector<Op>& ops, const std::vector<Xyz>& sites) {
  size_t n = 0;
  for (const Xyz& s : sites) n += Images(ops, s).size();
  return n;
}

// The program's centring vectors beside the zero vector, for the flag.
std::vector<Xyz> CentringVectors(LatticeType centring) {
  switch (centring) {
    case kBodyCentred: return {{0.5, 0.5, 0.5}};
    case kFaceCentred: return {{0.5, 0.5, 0.0}, {0.5, 0.0, 0.5}, {0.0, 0.5, 0.5}};
    case kBaseCentred: return {{0.5, 0.5, 0.0}};
    default: return {};
  }
}

// The centring flag that the operators' pure translations amount to, when
// the program has that lattice type; 0 (primitive, every atom listed)
// otherwise, also for A, B and R centring.
LatticeType CentringOf(const std::vector<Op>& ops, LatticeType system) {
  std::vector<Xyz> translations;
  for (const Op& op : ops)
    if (IsIdentityRotation(op.rot) && op.tran != Op::Tran{0, 0, 0})
      translations.push_back({op.tran[0] / double(Op::DEN), op.tran[1] / double(Op::DEN), op.tran[2] / double(Op::DEN)});
  for (LatticeType flag : {kBodyCentred, kFaceCentred, kBaseCentred}) {
    std::vector<Xyz> want = CentringVectors(flag);
    if (want.size() != translations.size()) continue;
    const bool all = std::all_of(want.begin(), want.end(), [&](const Xyz& w) {
      return std::any_of(translations.begin(), translations.end(),
                         [&](const Xyz& t) { return SamePosition(w, t, 1e-9); });
    });
    if (!all) continue;
    // Only the lattice types of the program's table.
    const LatticeType t = system | flag;
    const bool known = t == (kCubic | kBodyCentred) || t == (kCubic | kFaceCentred) ||
                       t == (kTetragonal | kBodyCentred) || t == (kOrthorhombic | kBodyCentred) ||
                       t == (kOrthorhombic | kBaseCentred) || t == (kOrthorhombic | kFaceCentred) ||
                       t == (kMonoclinic | kBaseCentred);
    return known ? flag : 0;
  }
  return 0;
}

// --- elements ------------------------------------------------------------------

// Element number (1..118) and charge of a type symbol such as "Fe", "Fe2+",
// "O2-", "O-2" or "Na+"; a label such as "O1" or "Ti2a" gives the element
// only. 0 when no element symbol leads the text. *symbolLength, when
// given, receives the number of characters the symbol took.
int ParseElement(const std::string& text, const ElementTable& table, bool withCharge, int* charge,
                 int* mass = nullptr, size_t* symbolLength = nullptr) {
  *charge = 0;
  if (mass) *mass = 0;
  if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return 0;
  std::string sym(1, static_cast<char>(std::toupper(static_cast<unsigned char>(text[0]))));
  size_t used = 1;
  int nr = 0;
  if (text.size() > 1 && std::isalpha(static_cast<unsigned char>(text[1]))) {
    const std::string two = sym + static_cast<char>(std::tolower(static_cast<unsigned char>(text[1])));
    nr = table.NumberOf(two);
    if (nr >= 1 && nr <= 118) used = 2;
    else nr = 0;
  }
  if (nr == 0) nr = table.NumberOf(sym);
  if (sym == "D" && used == 1 && mass) {
    // Deuterium, as neutron structures write it: hydrogen's isotope 2.
    nr = 1;
    *mass = 2;
  }
  if (nr < 1 || nr > 118) return 0;
  if (symbolLength) *symbolLength = used;
  if (withCharge) {
    const std::string rest = text.substr(used);
    size_t i = 0;
    int digits = 0;
    while (i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i])) && i < 2) digits = digits * 10 + (rest[i++] - '0');
    if (i < rest.size() && (rest[i] == '+' || rest[i] == '-') && i + 1 == rest.size()) {
      *charge = (i == 0 ? 1 : digits) * (rest[i] == '-' ? -1 : 1);
    } else if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
      int n = 0;
      size_t j = 1;
      while (j < rest.size() && j < 3 && std::isdigit(static_cast<unsigned char>(rest[j]))) n = n * 10 + (rest[j++] - '0');
      if (j == rest.size()) *charge = (j == 1 ? 1 : n) * (rest[0] == '-' ? -1 : 1);
    }
  }
  return nr;
}

// The atom the periodic-table dialog gives for an element and charge: the
// tabulated ion of that charge, else the neutral atom (else the element's
// default ion); the isotope of that mass (deuterium), else the natural
// isotope mixture; no anomalous terms yet.
AtomSite AtomFromTables(const ElementTable& table, int nr, int charge, int mass) {
  const ElementEntry& e = table.Entry(nr);
  int ion = table.FindIon(nr, charge);
  if (ion < 0) ion = table.FindIon(nr, 0);
  if (ion < 0 && e.ionCount() > 0) ion = e.defaultIon;
  int iso = table.FindIsotope(nr, mass);
  if (iso < 0) iso = table.FindIsotope(nr, 0);
  if (iso < 0 && e.isotopeCount() > 0) iso = e.defaultIsotope;
  AtomSite a;
  a.nr = nr;
  a.name = table.AtomNameFor(nr, ion, iso);
  if (ion >= 0 && ion < e.ionCount()) {
    const IonRecord& r = e.ions[static_cast<size_t>(ion)];
    a.ionCharge = r.charge;
    a.a1 = r.a1, a.a2 = r.a2, a.a3 = r.a3, a.a4 = r.a4;
    a.b1 = r.b1, a.b2 = r.b2, a.b3 = r.b3, a.b4 = r.b4;
    a.c = r.c;
  }
  if (iso >= 0 && iso < e.isotopeCount()) {
    a.isotopeMass = e.isotopes[static_cast<size_t>(iso)].mass;
    a.s = e.isotopes[static_cast<size_t>(iso)].s;
  }
  a.color = e.structureColor;
  a.radius = kDefaultAtomRadius;
  return a;
}

// --- the block -----------------------------------------------------------------

struct Site {
  std::string label;
  AtomSite atom;  // factors, already scaled by the occupancy
  Xyz position;   // as read
  double occupancy = 1.0;
};

double CellValue(const CifBlock& block, const char* tag, bool required, double fallback) {
  const std::optional<std::string> v = ValueOf(block, tag);
  if (!v) {
    if (required) throw CifError{std::string("brak komórki elementarnej (") + tag + ")"};
    return fallback;
  }
  const double d = Number(*v);
  if (!std::isfinite(d)) throw CifError{std::string("nieczytelna wartość ") + tag + " \"" + *v + "\""};
  return d;
}

struct Imported {
  LatticeType latticeType = kTriclinic;
  double a = 1, b = 1, c = 1, alfa = 90, beta = 90, gamma = 90;
  std::vector<AtomSite> structureAtoms;
  std::vector<std::string> notes;
};

// "A, B, C" of the texts; a long list ends with how many there are.
std::string Listed(const std::vector<std::string>& items) {
  constexpr size_t kShown = 12;
  std::string out;
  for (size_t i = 0; i < items.size() && i < kShown; ++i) out += (i == 0 ? "" : ", ") + items[i];
  if (items.size() > kShown) out += cformat(" i %zu innych", items.size() - kShown);
  return out;
}

// Whether the cell has the shape the crystal system asks for (a trigonal
// group with gamma = 90 has not). A monoclinic cell may have its unique
// axis along any edge.
bool CellFitsSystem(LatticeType system, const Imported& c) {
  const auto same = [](double u, double v) { return std::fabs(u - v) <= 1e-4 * std::max(u, v); };
  const auto right = [](double angle) { return std::fabs(angle - 90) <= 0.01; };
  const auto equal = [](double u, double v) { return std::fabs(u - v) <= 0.01; };
  switch (system) {
    case kCubic: return same(c.a, c.b) && same(c.a, c.c) && right(c.alfa) && right(c.beta) && right(c.gamma);
    case kTetragonal: return same(c.a, c.b) && right(c.alfa) && right(c.beta) && right(c.gamma);
    case kOrthorhombic: return right(c.alfa) && right(c.beta) && right(c.gamma);
    case kHexagonal: return same(c.a, c.b) && right(c.alfa) && right(c.beta) && equal(c.gamma, 120);
    case kRhombohedral: return same(c.a, c.b) && same(c.a, c.c) && equal(c.alfa, c.beta) && equal(c.alfa, c.gamma);
    case kMonoclinic: return int(right(c.alfa)) + int(right(c.beta)) + int(right(c.gamma)) >= 2;
    default: return true;
  }
}

// The cell constants, refused when they make no cell.
void ReadCell(const CifBlock& block, Imported& out) {
  out.a = AsWritten(CellValue(block, "_cell_length_a", true, 0));
  out.b = AsWritten(CellValue(block, "_cell_length_b", true, 0));
  out.c = AsWritten(CellValue(block, "_cell_length_c", true, 0));
  out.alfa = AsWritten(CellValue(block, "_cell_angle_alpha", false, 90));
  out.beta = AsWritten(CellValue(block, "_cell_angle_beta", false, 90));
  out.gamma = AsWritten(CellValue(block, "_cell_angle_gamma", false, 90));
  for (double len : {out.a, out.b, out.c})
    if (!(len > 0)) throw CifError{"komórka elementarna o krawędzi nie większej od zera"};
  const double ca = std::cos(DegreesToRadians(out.alfa)), cb = std::cos(DegreesToRadians(out.beta)),
               cg = std::cos(DegreesToRadians(out.gamma));
  if (!(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg > 1e-9) || out.alfa <= 0 || out.beta <= 0 ||
      out.gamma <= 0 || out.alfa >= 180 || out.beta >= 180 || out.gamma >= 180)
    throw CifError{"kąty komórki elementarnej nie tworzą komórki"};
}

// The site columns: the coordinates are required, the others are used when
// they run beside them.
class SiteColumns {
 public:
  enum Tag { kX, kY, kZ, kLabel, kSymbol, kOcc, kUiso, kBiso, kCalcFlag, kColumns };
  static constexpr const char* kTags[kColumns] = {
      "_atom_site_fract_x",     "_atom_site_fract_y",   "_atom_site_fract_z",        "_atom_site_label",
      "_atom_site_type_symbol", "_atom_site_occupancy", "_atom_site_U_iso_or_equiv", "_atom_site_B_iso_or_equiv",
      "_atom_site_calc_flag"};

  explicit SiteColumns(const CifBlock& block) : block_(block) {
    for (int k = 0; k < kColumns; ++k) columns_[k] = block.Find(kTags[k]);
    if (!columns_[kX] || !columns_[kY] || !columns_[kZ] || columns_[kX]->empty())
      throw CifError{"brak atomów (_atom_site_fract_x, _atom_site_fract_y, _atom_site_fract_z)"};
    rows_ = columns_[kX]->size();
    if (columns_[kY]->size() != rows_ || columns_[kZ]->size() != rows_)
      throw CifError{"współrzędne atomów nie stoją w jednej pętli"};
    for (const Column*& c : columns_)
      if (c && c->size() != rows_) c = nullptr;
  }
  size_t rows() const { return rows_; }
  bool has(int k, size_t i) const { return columns_[k] && (*columns_[k])[i].has_value(); }
  const std::string& text(int k, size_t i) const { return *(*columns_[k])[i]; }
  // The null "." rather than "?".
  bool isDot(int k, size_t i) const { return columns_[k] && block_.IsDot(kTags[k], i); }

 private:
  const CifBlock& block_;
  const Column* columns_[kColumns];
  size_t rows_ = 0;
};

// The element of row i: from its type symbol (with the charge), else from
// its label. *unclearLabel is set when the label alone gave an element and
// may mean another: letters follow the symbol ("Wat1" is W, "OW" is O), or
// the symbol is one of an element no structure holds ("NH4" is Nh).
AtomSite SiteAtom(const SiteColumns& col, size_t i, const std::string& label, const ElementTable& table,
                  bool* unclearLabel) {
  int charge = 0, nr = 0, mass = 0;
  *unclearLabel = false;
  if (col.has(SiteColumns::kSymbol, i)) {
    const std::string& symbol = col.text(SiteColumns::kSymbol, i);
    nr = ParseElement(symbol, table, true, &charge, &mass);
    if (nr == 0) throw CifError{"nieznany pierwiastek \"" + symbol + "\" (atom " + label + ")"};
  } else {
    size_t used = 0;
    nr = ParseElement(label, table, false, &charge, &mass, &used);
    if (nr == 0) throw CifError{"nieznany pierwiastek w etykiecie \"" + label + "\""};
    const auto letter = [&](size_t k) { return k < label.size() && std::isalpha(static_cast<unsigned char>(label[k])); };
    *unclearLabel = letter(used) || nr > 103;
  }
  return AtomFromTables(table, nr, charge, mass);
}

// The occupancy of row i, 1 when not given; slightly above 1 counts as 1.
double SiteOccupancy(const SiteColumns& col, size_t i, const std::string& label) {
  if (!col.has(SiteColumns::kOcc, i)) return 1.0;
  const double occ = Number(col.text(SiteColumns::kOcc, i));
  if (!std::isfinite(occ) || occ < 0 || occ > 1.0005)
    throw CifError{"nieprawidłowe obsadzenie \"" + col.text(SiteColumns::kOcc, i) + "\" (atom " + label + ")"};
  return std::min(occ, 1.0);
}

// The coordinates of row i. The ICSD writes 0 as "." (0.5 as ".5").
Xyz SiteCoordinates(const SiteColumns& col, size_t i, const std::string& label) {
  Xyz p;
  for (int k = 0; k < 3; ++k) {
    const int tag = SiteColumns::kX + k;
    const double v = col.has(tag, i) ? CifCoordinate(col.text(tag, i)) : col.isDot(tag, i) ? 0.0 : NAN;
    if (!std::isfinite(v) || std::fabs(v) > 1e6)
      throw CifError{std::string("nieczytelna współrzędna ") + "xyz"[k] + " (atom " + label + ")"};
    p[static_cast<size_t>(k)] = v;
  }
  return p;
}

Site ReadSite(const SiteColumns& col, size_t i, const ElementTable& table, CifImportReport& report,
              bool* unclearLabel) {
  Site s;
  s.label = col.has(SiteColumns::kLabel, i) ? col.text(SiteColumns::kLabel, i) : cformat("#%zu", i + 1);
  s.atom = SiteAtom(col, i, s.label, table, unclearLabel);
  s.position = SiteCoordinates(col, i, s.label);
  s.occupancy = SiteOccupancy(col, i, s.label);
  if (s.occupancy != 1.0) {
    // |F|^2 scales with the square of the occupancy: multiplying every
    // factor of the atom by it is exact.
    ScatteringFactors& f = s.atom.factors();
    for (double* v : {&f.s, &f.c, &f.a1, &f.a2, &f.a3, &f.a4, &f.fprim, &f.fbis}) *v *= s.occupancy;
    ++report.scaledSites;
  }
  for (double* v : {&s.atom.s, &s.atom.c, &s.atom.a1, &s.atom.a2, &s.atom.a3, &s.atom.a4, &s.atom.b1, &s.atom.b2,
                    &s.atom.b3, &s.atom.b4})
    *v = AsWritten(*v);
  auto nonZero = [&](int k) { return col.has(k, i) && gemmi::cif::as_number(col.text(k, i), 0.0) != 0.0; };
  if (nonZero(SiteColumns::kUiso) || nonZero(SiteColumns::kBiso)) report.displacementIgnored = true;
  return s;
}

// True for a row that is no atom: the ICSD's place for the hydrogen atoms
// it does not locate (_atom_site_calc_flag "dum", coordinates -1, the
// number of hydrogen atoms as occupancy), or a row of nothing but nulls, as
// a file without atoms may write its loop.
bool IsDummyRow(const SiteColumns& col, size_t i) {
  if (col.has(SiteColumns::kCalcFlag, i)) {
    std::string flag = col.text(SiteColumns::kCalcFlag, i);
    for (char& ch : flag) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (flag == "dum") return true;
  }
  for (int k : {SiteColumns::kX, SiteColumns::kY, SiteColumns::kZ, SiteColumns::kLabel})
    if (col.has(k, i) || col.isDot(k, i)) return false;
  return true;
}

std::vector<Site> ReadSites(const CifBlock& block, const ElementTable& table, CifImportReport& report,
                            std::vector<std::string>& notes) {
  const SiteColumns col(block);
  std::vector<Site> sites;
  std::vector<std::string> dummies, unclear;
  for (size_t i = 0; i < col.rows(); ++i) {
    if (IsDummyRow(col, i)) {
      if (col.has(SiteColumns::kLabel, i)) dummies.push_back(col.text(SiteColumns::kLabel, i));
      continue;
    }
    bool unclearLabel = false;
    sites.push_back(ReadSite(col, i, table, report, &unclearLabel));
    if (unclearLabel) {
      const ElementEntry& e = table.Entry(sites.back().atom.nr);
      unclear.push_back(sites.back().label + " → " + e.symbol + (e.name.empty() ? "" : " (" + e.name + ")"));
    }
    if (sites.size() > static_cast<size_t>(CKomorka::kMaxAtoms))
      throw CifError{cformat("za dużo atomów: więcej niż %d pozycji", CKomorka::kMaxAtoms)};
  }
  if (sites.empty()) throw CifError{"brak atomów: pętla atomów nie podaje żadnego atomu"};
  if (!dummies.empty())
    notes.push_back("Pominięto wiersze atomów oznaczone jako fikcyjne (_atom_site_calc_flag dum), które nie "
                    "podają położenia atomu: " + Listed(dummies) + ".");
  if (!unclear.empty())
    notes.push_back("Plik nie podaje symboli pierwiastków (_atom_site_type_symbol), a etykiety niektórych atomów "
                    "można odczytać różnie; przyjęto: " + Listed(unclear) + ". Sprawdź, czy to właściwe pierwiastki.");
  if (block.Find("_atom_site_aniso_U_11") || block.Find("_atom_site_aniso_B_11")) report.displacementIgnored = true;
  report.sites = static_cast<int>(sites.size());
  report.dummySites = static_cast<int>(col.rows()) - static_cast<int>(sites.size());
  report.labelElements = static_cast<int>(unclear.size());
  return sites;
}

// Every site's images under the operators. A site whose images are those
// of an earlier site is that site listed twice ((0.6947, 0.6947, 0) beside
// (-0.3053, -0.3053, 0)) and is left out, unless the two share the place
// (occupancies adding up to at most 1: a mixed site). The left-out sites
// have no orbit.
std::vector<std::vector<Xyz>> SiteOrbits(const std::vector<Op>& ops, const std::vector<Site>& sites,
                                         CifImportReport& report, std::vector<std::string>& notes) {
  std::vector<std::vector<Xyz>> orbits;
  std::vector<std::string> repeated;
  size_t total = 0;
  for (size_t j = 0; j < sites.size(); ++j) {
    orbits.push_back(Images(ops, sites[j].position));
    const Xyz& own = orbits.back().front();
    for (size_t i = 0; i < j; ++i) {
      if (orbits[i].empty() || sites[i].occupancy + sites[j].occupancy <= 1.0005) continue;
      if (std::any_of(orbits[i].begin(), orbits[i].end(),
                      [&](const Xyz& q) { return SamePosition(own, q, kCifMergeTolerance); })) {
        repeated.push_back(sites[j].label + " (jak " + sites[i].label + ")");
        orbits.back().clear();
        break;
      }
    }
    total += orbits.back().size();
    if (total > static_cast<size_t>(CKomorka::kMaxAtoms))
      throw CifError{cformat("za dużo atomów: komórka zawiera ich więcej niż %d", CKomorka::kMaxAtoms)};
  }
  if (!repeated.empty())
    notes.push_back("Plik podaje niektóre atomy dwukrotnie, w tym samym miejscu komórki (po przesunięciu o "
                    "wektor sieci lub przekształceniu symetrii); pominięto: " + Listed(repeated) + ".");
  report.cellAtoms = static_cast<int>(total);
  report.duplicateSites = static_cast<int>(repeated.size());
  return orbits;
}

// One image of each centring class of every orbit; false when an orbit does
// not split evenly into the classes of `flag`.
bool CentringRepresentatives(const std::vector<std::vector<Xyz>>& orbits, LatticeType flag,
                             std::vector<std::vector<Xyz>>& reps) {
  const std::vector<Xyz> shifts = CentringVectors(flag);
  const size_t n = shifts.size() + 1;
  for (const std::vector<Xyz>& orbit : orbits) {
    std::vector<Xyz> mine;
    for (const Xyz& p : orbit) {
      const bool covered = std::any_of(mine.begin(), mine.end(), [&](const Xyz& r) {
        return std::any_of(shifts.begin(), shifts.end(), [&](const Xyz& v) {
          return SamePosition(p, {IntoCell(r[0] + v[0]), IntoCell(r[1] + v[1]), IntoCell(r[2] + v[2])},
                              kCifMergeTolerance);
        });
      });
      if (!covered) mine.push_back(p);
    }
    if (mine.size() * n != orbit.size()) return false;
    reps.push_back(std::move(mine));
  }
  return true;
}

Imported ImportBlock(const CifBlock& block, const ElementTable& table, CifImportReport& report) {
  Imported out;
  ReadCell(block, out);
  const std::vector<Site> sites = ReadSites(block, table, report, out.notes);

  std::vector<Xyz> positions;
  for (const Site& s : sites) positions.push_back(s.position);
  const Symmetry sym = ReadSymmetry(block, {out.a, out.b, out.c, out.alfa, out.beta, out.gamma}, positions);
  if (!sym.note.empty()) out.notes.insert(out.notes.begin(), sym.note);

  const LatticeType system = CrystalSystemOf(sym.ops);
  if (!CellFitsSystem(system, out))
    out.notes.push_back(cformat("Komórka elementarna pliku (a = %g, b = %g, c = %g, alfa = %g, beta = %g, gamma = %g) "
                                "nie ma kształtu, jakiego wymaga jego symetria (komórka %s): obliczenie przyjmie ją "
                                "taką, jaka jest.",
                                out.a, out.b, out.c, out.alfa, out.beta, out.gamma,
                                std::string(kSystemNames[system]).c_str()));
  LatticeType centring = CentringOf(sym.ops, system);

  // Every site's images, then one representative of each centring class.
  const std::vector<std::vector<Xyz>> orbits = SiteOrbits(sym.ops, sites, report, out.notes);
  std::vector<std::vector<Xyz>> reps;
  if (centring != 0 && !CentringRepresentatives(orbits, centring, reps)) {
    centring = 0;
    reps.clear();
  }
  if (centring == 0) reps = orbits;
  out.latticeType = system | centring;

  for (size_t i = 0; i < sites.size(); ++i)
    for (const Xyz& p : reps[i]) {
      AtomSite a = sites[i].atom;
      a.x = p[0];
      a.y = p[1];
      a.z = p[2];
      a.siteIndex = static_cast<int>(out.structureAtoms.size());
      out.structureAtoms.push_back(std::move(a));
    }
  return out;
}

bool HasSites(const CifBlock& block) { return block.Find("_atom_site_fract_x") != nullptr; }
bool HasCell(const CifBlock& block) { return block.Find("_cell_length_a") != nullptr; }

}  // namespace

double CifCoordinate(std::string_view text) {
  const double v = Number(std::string(text));
  if (!std::isfinite(v)) return v;
  // [sign] digits "." digits ["(" uncertainty ")"]; anything else stands.
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  if (i == text.size() || text[i] != '.') return v;
  const size_t first = ++i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  const int decimals = static_cast<int>(i - first);
  // A standard uncertainty marks a refined value: no symmetry fixes it.
  if (i < text.size() || decimals < 2 || decimals > 5) return v;
  const double magnitude = std::fabs(v);
  const long k = std::lround(magnitude * Op::DEN);
  const long denominator = Op::DEN / std::gcd(k, static_cast<long>(Op::DEN));
  // Halves, quarters and eighths have exact decimals: a file writes them so.
  if (denominator % 3 != 0) return v;
  if (denominator >= 10 && decimals < 3) return v;
  const double fraction = static_cast<double>(k) / Op::DEN;
  const double scale = std::pow(10.0, decimals);
  if (std::llround(fraction * scale) != std::llround(magnitude * scale)) return v;
  return v < 0 ? -fraction : fraction;
}

bool LooksLikeCif(const std::string& path, std::string_view head) {
  if (path.size() >= 4) {
    std::string ext = path.substr(path.size() - 4);
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (ext == ".cif") return true;
  }
  size_t i = 0;
  while (i < head.size()) {
    while (i < head.size() && std::isspace(static_cast<unsigned char>(head[i]))) ++i;
    if (i < head.size() && head[i] == '#') {
      while (i < head.size() && head[i] != '\n') ++i;
      continue;
    }
    std::string word(head.substr(i, 5));
    for (char& ch : word) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return word == "data_";
  }
  return false;
}

bool ImportCifText(CKomorka& doc, std::string_view text, const ElementTable& elements,
                   std::vector<DocMessage>& messages, CifImportReport* report) {
  CifImportReport local;
  CifImportReport& rep = report ? *report : local;
  rep = CifImportReport{};
  try {
    std::vector<CifBlock> blocks;
    std::string syntaxError;
    if (!ParseCif(text, blocks, &syntaxError)) throw CifError{syntaxError};
    const CifBlock* chosen = nullptr;
    for (const CifBlock& block : blocks)
      if (HasSites(block)) {
        chosen = &block;
        break;
      }
    if (!chosen)
      for (const CifBlock& block : blocks)
        if (HasCell(block)) {
          chosen = &block;
          break;
        }
    if (!chosen) throw CifError{blocks.empty() ? "brak bloku danych (data_)" : "brak komórki elementarnej i atomów"};
    rep.blockName = chosen->name;
    Imported imp = ImportBlock(*chosen, elements, rep);

    doc.latticeType = imp.latticeType;
    doc.bravaisIndex = -1;
    for (int i = 0; i < kBravaisCount; ++i)
      if (doc.BravaisTable[static_cast<size_t>(i)].type == imp.latticeType) {
        doc.bravaisIndex = i;
        doc.centringText = doc.BravaisTable[static_cast<size_t>(i)].centringName;
      }
    doc.a = imp.a, doc.b = imp.b, doc.c = imp.c;
    doc.alfa = imp.alfa, doc.beta = imp.beta, doc.gamma = imp.gamma;
    doc.structureAtoms = std::move(imp.structureAtoms);
    doc.ExpandCellAtoms();

    for (const std::string& note : imp.notes) messages.push_back({kInfoCaption, note});
    if (rep.scaledSites > 0)
      messages.push_back({kInfoCaption, cformat("Obsadzenie różne od 1: czynniki rozpraszania atomów %d pozycji "
                                                "przemnożono przez obsadzenie.",
                                                rep.scaledSites)});
    if (rep.displacementIgnored)
      messages.push_back({kInfoCaption, "Plik podaje parametry drgań termicznych atomów, których model nie "
                                        "przechowuje: obowiązuje wspólny czynnik B."});
    return true;
  } catch (const CifError& e) {
    messages.push_back({kErrorCaption, "Plik CIF: " + e.text});
  } catch (const std::exception& e) {
    // Only a fault of ours or of the library gets here: its words after ours.
    messages.push_back({kErrorCaption, std::string("Plik CIF: nie udało się go odczytać (") + e.what() + ")"});
  }
  return false;
}

bool ImportCifFile(CKomorka& doc, const std::string& path, const ElementTable& elements,
                   std::vector<DocMessage>& messages, CifImportReport* report) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) {
    messages.push_back({kErrorCaption, kCannotOpenFile});
    return false;
  }
  return ImportCifText(doc, bytes, elements, messages, report);
}

bool OpenAnyStructure(CKomorka& doc, const std::string& path, const ElementTable& elements,
                      std::vector<DocMessage>& messages, DocumentFormat* format) {
  return OpenAnyStructure(doc, path, [&]() -> const ElementTable& { return elements; }, messages, format);
}

bool OpenAnyStructure(CKomorka& doc, const std::string& path, const std::function<const ElementTable&()>& elements,
                      std::vector<DocMessage>& messages, DocumentFormat* format) {
  std::string head;
  if (!LooksLikeCif(path, {})) {
    char buffer[4096];
    std::ifstream in(path, std::ios::binary);
    in.read(buffer, sizeof buffer);
    head.assign(buffer, static_cast<size_t>(in.gcount()));
  }
  if (LooksLikeCif(path, head)) {
    if (!ImportCifFile(doc, path, elements(), messages)) return false;
    if (format) *format = DocumentFormat::kCif;
    return true;
  }
  return OpenStructureDocument(doc, path, messages, format);
}

}  // namespace pelmora
