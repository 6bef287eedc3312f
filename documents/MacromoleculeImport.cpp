#include "documents/MacromoleculeImport.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>

#include "documents/CifImportSteps.h"
#include "documents/MacromoleculeSyntax.h"
#include "engine/Angles.h"
#include "engine/SpaceGroup.h"
#include "io/NumberFormat.h"
#include "refdata/ElementTable.h"
#include "io/Translate.h"

namespace pelmora {
namespace {

constexpr const char* kInfoCaption = PELMORA_TR_NOOP("documents", "Info");

// Something the file cannot be read past; the text is the message.
struct ImportError {
  std::string text;
};

// Record names a PDB file opens with.
constexpr std::string_view kOpeningRecords[] = {"HEADER", "OBSLTE", "TITLE ", "CAVEAT", "COMPND", "KEYWDS",
                                                "EXPDTA", "AUTHOR", "REMARK", "CRYST1", "ATOM  ", "HETATM",
                                                "MODEL ", "SCALE1", "ORIGX1"};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
}

bool EndsWith(const std::string& text, std::string_view tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Whether a line of the text opens (after blanks) with one of the tags,
// given in lower case; only the first few characters of each line are
// looked at, so that a large file is passed over quickly.
bool HasTagLine(std::string_view text, std::initializer_list<std::string_view> lowerTags) {
  for (size_t at = 0; at < text.size();) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    if (at < text.size() && text[at] == '_')
      for (std::string_view tag : lowerTags)
        if (text.size() - at >= tag.size() &&
            std::equal(tag.begin(), tag.end(), text.begin() + static_cast<long>(at), [](char t, char c) {
              return t == std::tolower(static_cast<unsigned char>(c));
            }))
          return true;
    const size_t eol = text.find('\n', at);
    if (eol == std::string_view::npos) break;
    at = eol + 1;
  }
  return false;
}

std::string Trimmed(std::string_view s) {
  const size_t first = s.find_first_not_of(" \t\r"), last = s.find_last_not_of(" \t\r");
  return first == std::string_view::npos ? std::string() : std::string(s.substr(first, last - first + 1));
}

// The line (1-based) of the atom with this serial number: a PDB ATOM or
// HETATM record with it in columns 7-11, or an mmCIF row whose first two
// words are ATOM or HETATM and it. 0 when no line is.
int LineOfAtom(std::string_view text, bool mmcif, int serial, std::string_view* found) {
  int number = 0;
  for (size_t at = 0; at < text.size();) {
    ++number;
    size_t eol = text.find('\n', at);
    if (eol == std::string_view::npos) eol = text.size();
    const std::string_view line = text.substr(at, eol - at);
    at = eol + 1;
    std::string_view field;
    if (mmcif) {
      const size_t word = line.find_first_of(" \t");
      if (word == std::string_view::npos) continue;
      const std::string_view record = line.substr(0, word);
      if (record != "ATOM" && record != "HETATM") continue;
      const size_t start = line.find_first_not_of(" \t", word);
      if (start == std::string_view::npos) continue;
      field = line.substr(start, line.find_first_of(" \t", start) - start);
    } else {
      if (!(line.starts_with("ATOM  ") || line.starts_with("HETATM")) || line.size() < 11) continue;
      field = line.substr(6, 5);
      while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec == std::errc() && end == field.data() + field.size() && value == serial) {
      if (found) *found = line;
      return number;
    }
  }
  return 0;
}

std::string Describe(const MacromoleculeAtom& a) {
  std::string out = cformat("atom %d %s", a.serial, a.name.c_str());
  if (a.altloc) out += cformat(TrText("documents", " (położenie alternatywne %c)").c_str(), a.altloc);
  out += ", " + a.residue;
  if (!a.chain.empty()) out += TrText("documents", ", łańcuch ") + a.chain;
  return out;
}

// Where an atom stands in the file, for a message: its line and itself.
std::string Where(std::string_view text, bool mmcif, const MacromoleculeAtom& a) {
  const int line = LineOfAtom(text, mmcif, a.serial, nullptr);
  return line > 0 ? cformat("wiersz %d: ", line) + Describe(a) : Describe(a);
}

// The element text of an atom gemmi knows no element for: the PDB element
// columns (77-78), else the atom name; the mmCIF type symbol.
std::string UnknownElementText(std::string_view text, bool mmcif, const MacromoleculeAtom& a) {
  if (mmcif || !a.rawElement.empty()) return a.rawElement.empty() ? a.name : a.rawElement;
  std::string_view line;
  if (LineOfAtom(text, mmcif, a.serial, &line) > 0 && line.size() > 76) {
    const std::string columns = Trimmed(line.substr(76, 2));
    if (!columns.empty()) return columns;
  }
  return a.name;
}

// Occupancies and B are single-precision in gemmi: the value as the file
// wrote it, not 55.40999985 for 55.41.
double AsGiven(double v) { return parseDoubleOr(cformat("%.6g", v), v); }

// a.b.c of gemmi's cell, refused when it is no crystal's.
void CheckCell(const MacromoleculeText& mm, bool mmcif) {
  if (!mm.hasCell)
    throw ImportError{mmcif ? TrText("documents", "brak komórki elementarnej (_cell.length_a, _cell.length_b, _cell.length_c, "
                              "_cell.angle_alpha, _cell.angle_beta, _cell.angle_gamma)")
                            : TrText("documents", "brak komórki elementarnej (rekordu CRYST1)")};
  const double values[] = {mm.a, mm.b, mm.c, mm.alpha, mm.beta, mm.gamma};
  for (double v : values)
    if (!std::isfinite(v) || !(v > 0)) throw ImportError{TrText("documents", "nieczytelna lub zerowa stała komórki elementarnej")};
  const auto one = [](double v) { return std::fabs(v - 1.0) < 1e-6; };
  if (one(mm.a) && one(mm.b) && one(mm.c))
    throw ImportError{TrText("documents", "komórka elementarna 1 × 1 × 1 Å nie opisuje kryształu (tak zapisuje się struktury z NMR "
                      "i mikroskopii elektronowej): nie ma z czego obliczyć dyfraktogramu proszkowego")};
  const double ca = std::cos(DegreesToRadians(mm.alpha)), cb = std::cos(DegreesToRadians(mm.beta)),
               cg = std::cos(DegreesToRadians(mm.gamma));
  if (!(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg > 1e-9) || mm.alpha >= 180 || mm.beta >= 180 ||
      mm.gamma >= 180)
    throw ImportError{TrText("documents", "kąty komórki elementarnej nie tworzą komórki")};
}

// The setting the file's symbol names: PDB symbols ("P 1 21 1", "H 3") as
// gemmi reads them, with the cell's angles deciding between hexagonal and
// rhombohedral axes.
SpaceGroupSetting GroupOf(const MacromoleculeText& mm, bool mmcif) {
  const std::string symbol = Trimmed(mm.spaceGroup);
  if (symbol.empty())
    throw ImportError{mmcif ? TrText("documents", "brak grupy przestrzennej (_symmetry.space_group_name_H-M)")
                            : TrText("documents", "brak grupy przestrzennej (rekord CRYST1, kolumny 56-66)")};
  std::optional<SpaceGroupSetting> g;
  try {
    if (const gemmi::SpaceGroup* sg = gemmi::find_spacegroup_by_name(symbol, mm.alpha, mm.gamma))
      g = FindSpaceGroup(sg->xhm());
  } catch (const std::exception&) {
  }
  if (!g) g = FindSpaceGroup(symbol);
  if (!g) throw ImportError{"nieznana grupa przestrzenna \"" + symbol + "\""};
  return *g;
}

// The atom of the tables for a file's atom; refused for an element the
// tables do not know.
AtomSite SiteAtom(std::string_view text, bool mmcif, const MacromoleculeAtom& a, const ElementTable& table) {
  int nr = 0, mass = 0;
  if (a.element == "D") {
    // Deuterium: hydrogen's isotope 2.
    nr = 1;
    mass = 2;
  } else if (!a.element.empty()) {
    nr = table.NumberOf(a.element);
  }
  if (nr < 1 || nr > 118) {
    const std::string symbol = a.element.empty() ? UnknownElementText(text, mmcif, a) : a.element;
    throw ImportError{"nieznany pierwiastek \"" + symbol + "\" (" + Where(text, mmcif, a) + ")"};
  }
  AtomSite site = cifimport::AtomFromTables(table, nr, a.charge, mass);
  for (double* v : {&site.s, &site.c, &site.a1, &site.a2, &site.a3, &site.a4, &site.b1, &site.b2, &site.b3, &site.b4})
    *v = cifimport::AsWritten(*v);
  return site;
}

struct Imported {
  MacromoleculeText mm;
  SpaceGroupSetting group;
  std::vector<AtomSite> sites;
  std::vector<std::string> labels;  // beside each site: its residue and atom name
  std::vector<std::string> notes;
};

// A file that writes an atom on a special position writes its occupancy
// divided by the site symmetry's order n, as PDB files do (1/2 on a
// twofold axis): the cell sum over every operator then counts it once.
// Here its images are one atom, so an occupancy of at most 1/n (as written
// to two decimals) is multiplied by n; a larger one is the site's own.
void CountSiteSymmetry(const SpaceGroupSetting& g, const GeneratedCell& cell, std::vector<AtomSite>& sites,
                       const std::vector<std::string>& labels, MacromoleculeImportReport& report,
                       std::vector<std::string>& notes) {
  std::vector<int> images(sites.size(), 0);
  for (const AtomSite& a : cell.structureAtoms) ++images[static_cast<size_t>(a.asymSite)];
  const int centring = CentringMultiplicity(cell.latticeType);
  std::vector<std::string> scaled;
  for (size_t i = 0; i < sites.size(); ++i) {
    const int multiplicity = images[i] * centring;
    if (multiplicity <= 0 || g.order % multiplicity != 0) continue;
    const int n = g.order / multiplicity;
    AtomSite& s = sites[i];
    if (n < 2 || s.occupancy > 1.0 / n + 0.005) continue;
    const double whole = s.occupancy * n;
    const double occupancy = std::fabs(whole - 1.0) <= 0.005 * n ? 1.0 : std::min(1.0, AsGiven(whole));
    if (scaled.size() < 12) scaled.push_back(cformat("%s (%g → %g)", labels[i].c_str(), s.occupancy, occupancy));
    s.occupancy = occupancy;
    ++report.specialSites;
  }
  if (report.specialSites > 0)
    notes.push_back(cformat(TrText("documents", "Atomy leżące na elementach symetrii (%d) mają w pliku obsadzenie podzielone przez "
                            "liczbę przekształceń, które zostawiają je na miejscu, jak zapisują je pliki PDB; "
                            "przyjęto obsadzenie całej pozycji: ").c_str(),
                            report.specialSites) +
                    [&] {
                      std::string list;
                      for (const std::string& s : scaled) list += (list.empty() ? "" : ", ") + s;
                      if (report.specialSites > static_cast<int>(scaled.size()))
                        list += cformat(" i %d innych", report.specialSites - static_cast<int>(scaled.size()));
                      return list;
                    }() +
                    ".");
}

Imported Import(std::string_view text, bool mmcif, const ElementTable& table, MacromoleculeImportReport& report) {
  Imported out;
  std::string error;
  if (!ReadMacromoleculeText(text, mmcif, out.mm, &error)) throw ImportError{error};
  const MacromoleculeText& mm = out.mm;
  CheckCell(mm, mmcif);
  out.group = GroupOf(mm, mmcif);
  if (mm.atoms.empty() && !mm.missingColumns.empty()) {
    std::string list;
    for (const std::string& tag : mm.missingColumns) list += (list.empty() ? "" : ", ") + tag;
    throw ImportError{TrText("documents", "pętla atomów nie ma pól ") + list};
  }
  if (mm.atoms.empty())
    throw ImportError{mmcif ? TrText("documents", "brak atomów (pętli _atom_site)") : TrText("documents", "brak atomów (rekordów ATOM i HETATM)")};
  report.models = mm.models;
  if (mm.models > 1) out.notes.push_back(cformat(TrText("documents", "Plik zawiera kilka modeli struktury (%d): odczytano pierwszy.").c_str(), mm.models));

  for (const MacromoleculeAtom& a : mm.atoms) {
    AtomSite site = SiteAtom(text, mmcif, a, table);
    const double occupancy = AsGiven(a.occupancy), b = AsGiven(a.b);
    if (!std::isfinite(occupancy) || occupancy < 0 || occupancy > 1.0005)
      throw ImportError{cformat(TrText("documents", "nieprawidłowe obsadzenie %g (").c_str(), occupancy) + Where(text, mmcif, a) + ")"};
    if (!std::isfinite(b) || b < 0)
      throw ImportError{cformat(TrText("documents", "nieprawidłowy parametr drgań termicznych B = %g (").c_str(), b) + Where(text, mmcif, a) + ")"};
    for (double v : a.fract)
      if (!std::isfinite(v) || std::fabs(v) > 1e6)
        throw ImportError{TrText("documents", "nieczytelne współrzędne (") + Where(text, mmcif, a) + ")"};
    if (occupancy == 0) {
      ++report.emptySites;
      continue;
    }
    site.occupancy = std::min(occupancy, 1.0);
    site.biso = b;
    site.x = a.fract[0];
    site.y = a.fract[1];
    site.z = a.fract[2];
    if (site.occupancy < 1.0) ++report.partialSites;
    out.sites.push_back(std::move(site));
    out.labels.push_back(a.residue + " " + a.name + (a.chain.empty() ? "" : " " + a.chain));
    if (out.sites.size() > static_cast<size_t>(Crystal::kMaxAtoms))
      throw ImportError{cformat(TrText("documents", "za dużo atomów: więcej niż %d").c_str(), Crystal::kMaxAtoms)};
  }
  if (out.sites.empty()) throw ImportError{TrText("documents", "brak atomów: każdy ma w pliku obsadzenie 0")};
  if (report.emptySites > 0)
    out.notes.push_back(cformat(TrText("documents", "Pominięto atomy o obsadzeniu 0 (%d): nie rozpraszają.").c_str(), report.emptySites));

  const GeneratedCell cell = GenerateCell(out.group, out.sites, Crystal::kMaxAtoms);
  if (!cell.fits)
    throw ImportError{cformat(TrText("documents", "za dużo atomów: komórka zawiera ich więcej niż %d").c_str(), Crystal::kMaxAtoms)};
  CountSiteSymmetry(out.group, cell, out.sites, out.labels, report, out.notes);
  report.sites = static_cast<int>(out.sites.size());
  report.cellAtoms = static_cast<int>(cell.structureAtoms.size()) * CentringMultiplicity(cell.latticeType);
  return out;
}

// A protein's pattern lies at low angles, and a small molecule's window up
// to high angles would mean millions of reflections over thousands of atoms:
// a window reaching past 30 degrees 2-theta (3 A with Cu radiation) comes
// down to it, its bottom to 1 degree. Returns the note that says so, or
// nothing.
std::string LowAngleWindow(CKomorka& doc) {
  constexpr double kMin = 1.0, kMax = 30.0;
  if (doc.experiment.angleMax <= kMax) return {};
  doc.experiment.angleMin = std::min(doc.experiment.angleMin, kMin);
  doc.experiment.angleMax = std::min(doc.experiment.angleMax, kMax);
  return cformat(TrText("documents", "Zakres kątów 2θ ustawiono na %.1f–%.1f°, jak dla makrocząsteczek; "
                 "zmienisz go w parametrach eksperymentu.").c_str(),
                 doc.experiment.angleMin, doc.experiment.angleMax);
}

}  // namespace

bool LooksLikePdb(const std::string& path, std::string_view head) {
  const std::string name = Lower(path);
  if (EndsWith(name, ".pdb") || EndsWith(name, ".ent")) return true;
  const size_t first = head.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos || (first > 0 && head[first - 1] != '\n')) return false;
  const std::string_view line = head.substr(first);
  return std::any_of(std::begin(kOpeningRecords), std::end(kOpeningRecords),
                     [&](std::string_view record) { return line.starts_with(record); });
}

bool IsMmcifText(std::string_view text) {
  return HasTagLine(text, {"_atom_site.cartn_x"}) && !HasTagLine(text, {"_atom_site_fract_x", "_atom_site.fract_x"});
}

bool ImportMacromoleculeText(CKomorka& doc, std::string_view text, bool mmcif, const ElementTable& elements,
                             std::vector<DocMessage>& messages, MacromoleculeImportReport* report) {
  MacromoleculeImportReport local;
  MacromoleculeImportReport& rep = report ? *report : local;
  rep = MacromoleculeImportReport{};
  const std::string lead = mmcif ? TrText("documents", "Plik mmCIF: ") : TrText("documents", "Plik PDB: ");
  try {
    Imported imp = Import(text, mmcif, elements, rep);
    doc.cell.a = cifimport::AsWritten(imp.mm.a);
    doc.cell.b = cifimport::AsWritten(imp.mm.b);
    doc.cell.c = cifimport::AsWritten(imp.mm.c);
    doc.cell.alfa = cifimport::AsWritten(imp.mm.alpha);
    doc.cell.beta = cifimport::AsWritten(imp.mm.beta);
    doc.cell.gamma = cifimport::AsWritten(imp.mm.gamma);
    doc.crystal.spaceGroup = imp.group.Name();
    doc.crystal.asymmetricUnit = std::move(imp.sites);
    doc.crystal.structureAtoms.clear();
    doc.crystal.ExpandCellAtoms();
    for (const std::string& note : imp.notes) messages.push_back({kInfoCaption, note});
    if (const std::string note = LowAngleWindow(doc); !note.empty()) messages.push_back({kInfoCaption, note});
    // The file models the molecule only; in the crystal solvent fills the
    // rest and weakens the low-angle lines.
    if (!doc.experiment.solvent.on)
      messages.push_back({kInfoCaption,
                          TrText("documents", "Model z pliku nie zawiera rozpuszczalnika: linie pod małymi kątami są liczone jak dla "
                          "białka w próżni i wychodzą za silne. Poprawka na rozpuszczalnik (Babinet: k = 0.8, "
                          "B = 200 Å²) jest na stronie eksperymentu (\"Rozpuszczalnik\"), w pelmora-cli "
                          "--solvent.")});
    return true;
  } catch (const ImportError& e) {
    messages.push_back({kErrorCaption, lead + e.text});
  } catch (const std::exception& e) {
    // Only a fault of ours or of the library gets here: its words after ours.
    messages.push_back({kErrorCaption, lead + TrText("documents", "nie udało się go odczytać (") + e.what() + ")"});
  }
  return false;
}

}  // namespace pelmora
