// The atom sites of a CIF block: their elements, positions and occupancies,
// the sites listed twice, and the images each site gives in the cell.
#include <gemmi/numb.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <numeric>
#include <unordered_map>

#include "documents/CifImportSteps.h"
#include "engine/Angles.h"
#include "engine/PositionGrid.h"
#include "io/NumberFormat.h"
#include "refdata/ElementTable.h"
#include "io/Translate.h"

namespace pelmora {
namespace cifimport {
namespace {

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

}  // namespace

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

namespace {


// "A, B, C" of the texts; a long list ends with how many there are.
std::string Listed(const std::vector<std::string>& items) {
  constexpr size_t kShown = 12;
  std::string out;
  for (size_t i = 0; i < items.size() && i < kShown; ++i) out += (i == 0 ? "" : ", ") + items[i];
  if (items.size() > kShown) out += cformat(" i %zu innych", items.size() - kShown);
  return out;
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
      throw CifError{TrText("documents", "brak atomów (_atom_site_fract_x, _atom_site_fract_y, _atom_site_fract_z)")};
    rows_ = columns_[kX]->size();
    if (columns_[kY]->size() != rows_ || columns_[kZ]->size() != rows_)
      throw CifError{TrText("documents", "współrzędne atomów nie stoją w jednej pętli")};
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

// Water, as files without type symbols label its oxygen: the label begins,
// case aside, with "wat" ("Wat1", "WAT"), "hoh", "ow" ("OW1", "Ow2") or
// "o_w". Read letter by letter these would be tungsten ("Wat1"), holmium
// ("HOH") or an oxygen in doubt ("OW"). "W", "W1" or "W2a" stays tungsten:
// a W followed by anything but "at" is no water label; "O1W" is oxygen by
// its first letter.
bool IsWaterLabel(const std::string& label) {
  std::string lower = label.substr(0, 3);
  for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  for (const char* prefix : {"wat", "hoh", "ow", "o_w"})
    if (lower.rfind(prefix, 0) == 0) return true;
  return false;
}

// What the import tells the user about the sites as it reads them.
struct SiteNotes {
  std::vector<std::string> unclear;  // "Wa1 → W (wolfram)": elements guessed from a label
  std::vector<std::string> water;    // labels read as water oxygen
  std::vector<std::string> zeroed;   // "O1 (U = -0.001(2))": displacements taken as 0
};

// The element of row i: from its type symbol (with the charge), else from
// its label. A label that names water is oxygen. Another label is noted as
// unclear when letters follow the symbol ("Wa1" is W), or the symbol is one
// of an element no structure holds ("NH4" is Nh).
AtomSite SiteAtom(const SiteColumns& col, size_t i, const std::string& label, const ElementTable& table,
                  SiteNotes& notes) {
  int charge = 0, nr = 0, mass = 0;
  if (col.has(SiteColumns::kSymbol, i)) {
    const std::string& symbol = col.text(SiteColumns::kSymbol, i);
    nr = ParseElement(symbol, table, true, &charge, &mass);
    if (nr == 0) throw CifError{TrText("documents", "nieznany pierwiastek \"") + symbol + "\" (atom " + label + ")"};
  } else if (IsWaterLabel(label)) {
    nr = 8;
    notes.water.push_back(label);
  } else {
    size_t used = 0;
    nr = ParseElement(label, table, false, &charge, &mass, &used);
    if (nr == 0) throw CifError{"nieznany pierwiastek w etykiecie \"" + label + "\""};
    const auto letter = [&](size_t k) { return k < label.size() && std::isalpha(static_cast<unsigned char>(label[k])); };
    if (letter(used) || nr > 103) {
      const ElementEntry& e = table.Entry(nr);
      notes.unclear.push_back(label + " → " + e.symbol + (e.name.empty() ? "" : " (" + e.name + ")"));
    }
  }
  return AtomFromTables(table, nr, charge, mass);
}

// The occupancy of row i, 1 when not given; slightly above 1 counts as 1.
double SiteOccupancy(const SiteColumns& col, size_t i, const std::string& label) {
  if (!col.has(SiteColumns::kOcc, i)) return 1.0;
  const double occ = Number(col.text(SiteColumns::kOcc, i));
  if (!std::isfinite(occ) || occ < 0 || occ > 1.0005)
    throw CifError{TrText("documents", "nieprawidłowe obsadzenie \"") + col.text(SiteColumns::kOcc, i) + "\" (atom " + label + ")"};
  return std::min(occ, 1.0);
}

// The coordinates of row i. The ICSD writes 0 as "." (0.5 as ".5").
Xyz SiteCoordinates(const SiteColumns& col, size_t i, const std::string& label) {
  Xyz p;
  for (int k = 0; k < 3; ++k) {
    const int tag = SiteColumns::kX + k;
    const double v = col.has(tag, i) ? CifCoordinate(col.text(tag, i)) : col.isDot(tag, i) ? 0.0 : NAN;
    if (!std::isfinite(v) || std::fabs(v) > 1e6)
      throw CifError{TrText("documents", "nieczytelna współrzędna ") + "xyz"[k] + " (atom " + label + ")"};
    p[static_cast<size_t>(k)] = v;
  }
  return p;
}

// Refinements publish displacements slightly below zero (U_iso =
// -0.001(2)): zero within their uncertainty, read as B = 0 and reported.
// Below this U (Å²; B = 8π² U) a value is no rounding but an error, and the
// file is refused, as is text that is no number.
constexpr double kLowestU = -0.01;

// The B of row i: B_iso as given, else 8 pi^2 U_iso; nothing when neither
// is there.
std::optional<double> SiteB(const SiteColumns& col, size_t i, const std::string& label, SiteNotes& notes) {
  for (const int k : {SiteColumns::kBiso, SiteColumns::kUiso}) {
    if (!col.has(k, i)) continue;
    const std::string& text = col.text(k, i);
    const double v = Number(text);
    const char* name = k == SiteColumns::kBiso ? "B" : "U";
    if (!std::isfinite(v))
      throw CifError{cformat(TrText("documents", "nieczytelny parametr drgań termicznych %s = \"%s\" (atom %s)").c_str(), name, text.c_str(),
                             label.c_str())};
    const double u = k == SiteColumns::kBiso ? v / kBPerU : v;
    if (u < kLowestU)
      throw CifError{cformat(TrText("documents", "ujemny parametr drgań termicznych %s = %s (atom %s)").c_str(), name, text.c_str(), label.c_str())};
    if (u >= 0) return k == SiteColumns::kBiso ? v : kBPerU * v;
    notes.zeroed.push_back(label + " (" + name + " = " + text + ")");
    return 0.0;
  }
  return std::nullopt;
}

Site ReadSite(const SiteColumns& col, size_t i, const ElementTable& table, CifImportReport& report,
              SiteNotes& notes) {
  Site s;
  s.label = col.has(SiteColumns::kLabel, i) ? col.text(SiteColumns::kLabel, i) : cformat("#%zu", i + 1);
  s.atom = SiteAtom(col, i, s.label, table, notes);
  s.position = SiteCoordinates(col, i, s.label);
  s.occupancy = SiteOccupancy(col, i, s.label);
  s.atom.occupancy = s.occupancy;
  if (s.occupancy != 1.0) ++report.partialSites;
  for (double* v : {&s.atom.s, &s.atom.c, &s.atom.a1, &s.atom.a2, &s.atom.a3, &s.atom.a4, &s.atom.b1, &s.atom.b2,
                    &s.atom.b3, &s.atom.b4})
    *v = AsWritten(*v);
  if (const std::optional<double> B = SiteB(col, i, s.label, notes)) s.atom.biso = *B;
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

struct EquivalentIsotropic {
  std::string label;
  double ueq = NAN;        // NaN when a value is null
  std::string unreadable;  // a value that is no number, as written
};

// U_eq = 1/3 sum_ij U^ij a*_i a*_j (a_i . a_j) of the block's anisotropic
// displacements, by label; B_ij are 8 pi^2 U_ij.
std::vector<EquivalentIsotropic> EquivalentU(const CifBlock& block, const Cell& cell) {
  std::vector<EquivalentIsotropic> out;
  const Column* labels = block.Find("_atom_site_aniso_label");
  if (!labels) return out;
  static constexpr const char* kIj[6] = {"11", "22", "33", "12", "13", "23"};
  const Column* cols[6];
  double scale = 1.0;
  for (const char* kind : {"U", "B"}) {
    bool all = true;
    for (int k = 0; k < 6; ++k) {
      cols[k] = block.Find((std::string("_atom_site_aniso_") + kind + "_" + kIj[k]).c_str());
      all = all && cols[k] && cols[k]->size() == labels->size();
    }
    if (all) break;
    if (*kind == 'B') return out;
    scale = 1.0 / kBPerU;
  }
  const auto [a, b, c, alfa, beta, gamma] = cell;
  const double ca = std::cos(alfa * std::numbers::pi / 180), cb = std::cos(beta * std::numbers::pi / 180), cg = std::cos(gamma * std::numbers::pi / 180);
  const double sa = std::sin(alfa * std::numbers::pi / 180), sb = std::sin(beta * std::numbers::pi / 180), sg = std::sin(gamma * std::numbers::pi / 180);
  const double V = a * b * c * std::sqrt(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg);
  const double rs[3] = {b * c * sa / V, a * c * sb / V, a * b * sg / V};  // a*, b*, c*
  const double len[3] = {a, b, c};
  const double cosines[3][3] = {{1, cg, cb}, {cg, 1, ca}, {cb, ca, 1}};
  static constexpr int kIndex[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
  for (size_t r = 0; r < labels->size(); ++r) {
    if (!(*labels)[r]) continue;
    EquivalentIsotropic e;
    e.label = *(*labels)[r];
    double sum = 0.0;
    for (int k = 0; k < 6; ++k) {
      const CifValue& text = (*cols[k])[r];
      const double u = text ? Number(*text) * scale : NAN;
      if (text && !std::isfinite(u) && e.unreadable.empty()) e.unreadable = *text;
      const int i = kIndex[k][0], j = kIndex[k][1];
      const double term = u * rs[i] * rs[j] * len[i] * len[j] * cosines[i][j];
      sum += i == j ? term : 2 * term;
    }
    e.ueq = sum / 3.0;
    out.push_back(std::move(e));
  }
  return out;
}

// Sites with only anisotropic displacements get their equivalent isotropic
// B; slightly negative ones B = 0, as for U_iso. Returns their labels.
std::vector<std::string> TakeEquivalentU(const CifBlock& block, const Cell& cell, std::vector<Site>& sites,
                                         SiteNotes& notes) {
  std::vector<std::string> anisotropic;
  std::unordered_map<std::string, std::vector<size_t>> byLabel;
  for (size_t i = 0; i < sites.size(); ++i) byLabel[sites[i].label].push_back(i);
  for (const EquivalentIsotropic& e : EquivalentU(block, cell)) {
    const auto found = byLabel.find(e.label);
    if (found == byLabel.end()) continue;
    for (size_t i : found->second) {
      Site& s = sites[i];
      if (s.atom.biso) continue;
      if (!e.unreadable.empty())
        throw CifError{TrText("documents", "nieczytelny anizotropowy parametr drgań termicznych \"") + e.unreadable + "\" (atom " +
                       e.label + ")"};
      if (!std::isfinite(e.ueq)) continue;
      if (e.ueq < kLowestU)
        throw CifError{cformat(TrText("documents", "ujemny parametr drgań termicznych: Ueq = %.3g z parametrów anizotropowych (atom %s)").c_str(),
                               e.ueq, e.label.c_str())};
      s.atom.biso = e.ueq < 0 ? 0.0 : kBPerU * e.ueq;
      if (e.ueq < 0) notes.zeroed.push_back(e.label + cformat(" (Ueq = %.3g)", e.ueq));
      anisotropic.push_back(e.label);
    }
  }
  return anisotropic;
}

}  // namespace

std::vector<Site> ReadSites(const CifBlock& block, const Cell& cell, const ElementTable& table,
                            CifImportReport& report, std::vector<std::string>& messages) {
  const SiteColumns col(block);
  std::vector<Site> sites;
  std::vector<std::string> dummies;
  SiteNotes notes;
  for (size_t i = 0; i < col.rows(); ++i) {
    if (IsDummyRow(col, i)) {
      if (col.has(SiteColumns::kLabel, i)) dummies.push_back(col.text(SiteColumns::kLabel, i));
      continue;
    }
    sites.push_back(ReadSite(col, i, table, report, notes));
    if (sites.size() > static_cast<size_t>(Crystal::kMaxAtoms))
      throw CifError{cformat(TrText("documents", "za dużo atomów: więcej niż %d pozycji").c_str(), Crystal::kMaxAtoms)};
  }
  if (sites.empty()) throw CifError{TrText("documents", "brak atomów: pętla atomów nie podaje żadnego atomu")};
  const std::vector<std::string> anisotropic = TakeEquivalentU(block, cell, sites, notes);
  if (!dummies.empty())
    messages.push_back(TrText("documents", "Pominięto wiersze atomów oznaczone jako fikcyjne (_atom_site_calc_flag dum), które nie "
                       "podają położenia atomu: ") + Listed(dummies) + ".");
  if (!notes.water.empty())
    messages.push_back(TrText("documents", "Plik nie podaje symboli pierwiastków (_atom_site_type_symbol), a etykiety niektórych atomów "
                       "oznaczają cząsteczki wody; przyjęto dla nich tlen (O): ") + Listed(notes.water) + ".");
  if (!notes.unclear.empty())
    messages.push_back(TrText("documents", "Plik nie podaje symboli pierwiastków (_atom_site_type_symbol), a etykiety niektórych atomów "
                       "można odczytać różnie; przyjęto: ") + Listed(notes.unclear) +
                       TrText("documents", ". Sprawdź, czy to właściwe pierwiastki."));
  if (!anisotropic.empty())
    messages.push_back(TrText("documents", "Anizotropowe parametry drgań termicznych zastąpiono równoważnymi izotropowymi "
                       "(B = 8π²·Ueq) dla atomów: ") + Listed(anisotropic) + ".");
  if (!notes.zeroed.empty())
    messages.push_back(TrText("documents", "Niewielkie ujemne parametry drgań termicznych (zero w granicach niepewności udokładnienia) "
                       "przyjęto jako B = 0 dla atomów: ") + Listed(notes.zeroed) + ".");
  report.anisotropicSites = static_cast<int>(anisotropic.size());
  for (const Site& s : sites) report.displacementSites += s.atom.biso ? 1 : 0;
  report.sites = static_cast<int>(sites.size());
  report.dummySites = static_cast<int>(col.rows()) - static_cast<int>(sites.size());
  report.labelElements = static_cast<int>(notes.unclear.size());
  report.waterLabels = static_cast<int>(notes.water.size());
  report.zeroDisplacementSites = static_cast<int>(notes.zeroed.size());
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
  // The images of the sites kept so far, by site: the earliest site whose
  // images hold this one's position is named.
  PositionGrid kept(kCifMergeTolerance, sites.size() * ops.size());
  for (size_t j = 0; j < sites.size(); ++j) {
    orbits.push_back(Images(ops, sites[j].position));
    const Xyz& own = orbits.back().front();
    size_t first = j;
    kept.ForNear(own, [&](int id) {
      const size_t i = static_cast<size_t>(id);
      if (i >= first || sites[i].occupancy + sites[j].occupancy <= 1.0005) return;
      if (std::any_of(orbits[i].begin(), orbits[i].end(),
                      [&](const Xyz& q) { return SamePosition(own, q, kCifMergeTolerance); }))
        first = i;
    });
    if (first < j) {
      repeated.push_back(sites[j].label + " (jak " + sites[first].label + ")");
      orbits.back().clear();
    }
    for (const Xyz& q : orbits.back()) kept.Add(q, static_cast<int>(j));
    total += orbits.back().size();
    if (total > static_cast<size_t>(Crystal::kMaxAtoms))
      throw CifError{cformat(TrText("documents", "za dużo atomów: komórka zawiera ich więcej niż %d").c_str(), Crystal::kMaxAtoms)};
  }
  if (!repeated.empty())
    notes.push_back(TrText("documents", "Plik podaje niektóre atomy dwukrotnie, w tym samym miejscu komórki (po przesunięciu o "
                    "wektor sieci lub przekształceniu symetrii); pominięto: ") + Listed(repeated) + ".");
  report.cellAtoms = static_cast<int>(total);
  report.duplicateSites = static_cast<int>(repeated.size());
  return orbits;
}


}  // namespace cifimport

using namespace cifimport;

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

}  // namespace pelmora
