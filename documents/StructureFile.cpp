#include "documents/StructureFile.h"

#include <filesystem>

#include <charconv>
#include <cstdio>
#include <map>

#include "engine/SpaceGroup.h"

#include "io/AtomicFile.h"
#include "io/XmlUtil.h"
#include "io/CoordinateFormat.h"
#include "io/NumberFormat.h"
#include "io/Translate.h"

namespace pelmora {
namespace {

// Empty or non-numeric text reads as 0, as strtod would.
double NumberOr0(const std::optional<std::string>& text) { return text ? parseDoubleOr(*text, 0.0) : 0.0; }

void ReadChildNumber(const xmlNode* parent, const char* name, double& value) {
  if (const xmlNode* n = ChildElement(parent, name)) value = NumberOr0(NodeText(n));
}

void ReadFactors(const xmlNode* f, ScatteringFactors& at) {
  ReadChildNumber(f, "s", at.s);
  ReadChildNumber(f, "a1", at.a1);
  ReadChildNumber(f, "b1", at.b1);
  ReadChildNumber(f, "a2", at.a2);
  ReadChildNumber(f, "b2", at.b2);
  ReadChildNumber(f, "a3", at.a3);
  ReadChildNumber(f, "b3", at.b3);
  ReadChildNumber(f, "a4", at.a4);
  ReadChildNumber(f, "b4", at.b4);
  ReadChildNumber(f, "c", at.c);
  ReadChildNumber(f, "fprim", at.fprim);
  ReadChildNumber(f, "fbis", at.fbis);
}

// The factors that scale with the amount of the atom on its site (the
// exponents b1..b4 do not).
void ScaleFactors(ScatteringFactors& f, double by) {
  for (double* v : {&f.s, &f.c, &f.a1, &f.a2, &f.a3, &f.a4, &f.fprim, &f.fbis}) *v *= by;
}

AtomSite ParseAtom(const xmlNode* node) {
  AtomSite at;
  at.name = AttributeText(node, "name").value_or("atom");
  at.nr = static_cast<int>(parseLong(AttributeText(node, "nr").value_or("0")).value_or(0));
  at.ionCharge = 0;
  at.isotopeMass = -1;
  ReadChildNumber(node, "x", at.x);
  ReadChildNumber(node, "y", at.y);
  ReadChildNumber(node, "z", at.z);
  if (const xmlNode* f = ChildElement(node, "factors")) ReadFactors(f, at);
  if (const xmlNode* n = ChildElement(node, "color")) {
    const auto text = NodeText(n);
    at.color = text ? static_cast<std::uint32_t>(parseLong(*text).value_or(0)) : kEmptyColorElementColor;
  }
  if (const xmlNode* n = ChildElement(node, "radius")) {
    const auto text = NodeText(n);
    at.radius = text ? static_cast<int>(parseLong(*text).value_or(0)) : kDefaultAtomRadius;
  }
  at.visible = ChildElement(node, "visible") ? 1 : 0;
  // A partly occupied site: "factors" hold what it scatters (what readers
  // without occupancies calculate with), "atom_factors" those of the atom.
  if (const xmlNode* n = ChildElement(node, "occupancy")) {
    at.occupancy = NumberOr0(NodeText(n));
    if (const xmlNode* f = ChildElement(node, "atom_factors")) ReadFactors(f, at);
    else if (at.occupancy > 0.0) ScaleFactors(at, 1.0 / at.occupancy);
  }
  if (const xmlNode* n = ChildElement(node, "biso")) at.biso = NumberOr0(NodeText(n));
  return at;
}

// A coordinate with six decimals, or with as many more as it needs to read
// back as the same double: an imported position (0.38671 or 1 - 0.3053)
// must not move, or the images of a site stop being symmetric.
std::string Coordinate(double v) { return FixedNear(v, 6); }

// The shortest text that reads back as the same double.
std::string Exact(double v) {
  char buffer[kMaxNumberChars];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return ec == std::errc() ? std::string(buffer, end) : cformat("%.17g", v);
}

std::string FactorsText(const ScatteringFactors& f) {
  return cformat(
      "\t\t\t\t<s>%.6f</s><a1>%.6f</a1><b1>%.6f</b1><a2>%.6f</a2><b2>%.6f</b2><a3>%.6f</a3><b3>%.6f</b3>"
      "<a4>%.6f</a4><b4>%.6f</b4><c>%.6f</c><fprim>%.6f</fprim><fbis>%.6f</fbis>\r\n",
      f.s, f.a1, f.b1, f.a2, f.b2, f.a3, f.b3, f.a4, f.b4, f.c, f.fprim, f.fbis);
}

std::string WithoutMarkers(const std::string& name) {
  std::string out;
  for (char ch : name)
    if (ch != '*' && ch != '@') out += ch;
  return out;
}

// With a space group: an atom's site, and the site's own position.
struct SiteOf {
  long n = -1;
  std::optional<std::array<double, 3>> position;
};

// An atom as the file gives it, with its site.
struct ReadAtom {
  AtomSite at;
  SiteOf site;
};

ReadAtom ReadAtomElement(const xmlNode* n) {
  ReadAtom read{ParseAtom(n), {}};
  if (const xmlNode* e = ChildElement(n, "site")) {
    read.site.n = parseLong(AttributeText(e, "n").value_or("-1")).value_or(-1);
    const auto x = AttributeText(e, "x"), y = AttributeText(e, "y"), z = AttributeText(e, "z");
    if (x && y && z) read.site.position = std::array<double, 3>{parseDoubleOr(*x, 0), parseDoubleOr(*y, 0), parseDoubleOr(*z, 0)};
  }
  return read;
}

// An atom into the structure, with its site; false, with the message, when
// the cell cannot hold another.
bool TakeAtom(const CKomorka& doc, ReadAtom& atom, std::vector<AtomSite>& parsed, std::vector<SiteOf>& siteOf,
              std::vector<DocMessage>& messages) {
  if (parsed.size() >= static_cast<size_t>(Crystal::kMaxAtoms) ||
      !Crystal::FitsCapacity(doc.crystal.latticeType, parsed.size() + 1)) {
    messages.push_back(
        {kErrorCaption,
         cformat(TrText("documents", "Plik zawiera zbyt wiele atomów: po rozmnożeniu przez centrowanie komórka miałaby ponad %d "
                 "atomów.").c_str(),
                 Crystal::kMaxAtoms)});
    return false;
  }
  atom.at.siteIndex = static_cast<int>(parsed.size());
  parsed.push_back(std::move(atom.at));
  siteOf.push_back(atom.site);
  return true;
}

// The atoms as read: a long file's in two parts, the first's first.
struct AtomsRead {
  std::vector<ReadAtom> first, second;
};

// The structure's atoms and, beside each, its site. False when there are
// more than a cell can hold (refused is set then).
bool ReadBazaAtoms(const CKomorka& doc, AtomsRead& read, std::vector<AtomSite>& parsed, std::vector<SiteOf>& siteOf,
                   std::vector<DocMessage>& messages, bool& refused) {
  for (std::vector<ReadAtom>* part : {&read.first, &read.second})
    for (ReadAtom& atom : *part)
      if (!TakeAtom(doc, atom, parsed, siteOf, messages)) {
        refused = true;
        return false;
      }
  return true;
}

// The asymmetric unit: the sites in their order, each at its own position
// when the file gives it; an atom without one is a site of its own.
std::vector<AtomSite> SitesOf(const std::vector<AtomSite>& atoms, const std::vector<SiteOf>& siteOf) {
  std::map<long, AtomSite> sites;
  std::vector<AtomSite> loose;
  for (size_t i = 0; i < atoms.size(); ++i) {
    AtomSite at = atoms[i];
    if (siteOf[i].n < 0) {
      loose.push_back(at);
      continue;
    }
    if (sites.count(siteOf[i].n)) continue;
    if (siteOf[i].position) {
      at.x = (*siteOf[i].position)[0];
      at.y = (*siteOf[i].position)[1];
      at.z = (*siteOf[i].position)[2];
    }
    sites.emplace(siteOf[i].n, at);
  }
  std::vector<AtomSite> unit;
  for (auto& [n, at] : sites) unit.push_back(at);
  for (AtomSite& at : loose) unit.push_back(at);
  return unit;
}

// The space group, when the file names one the program knows: the
// asymmetric unit and the cell atoms it gives.
void ReadBazaSpaceGroup(CKomorka& doc, xmlXPathContext* ctx, const std::vector<SiteOf>& siteOf,
                        std::vector<DocMessage>& messages) {
  const auto found = XPathElements(ctx, "//baza/spacegroup");
  if (found.empty()) return;
  const xmlNode* sg = found.front();
  const std::string name = NodeText(sg).value_or("");
  std::optional<SpaceGroupSetting> g = FindSpaceGroup(name);
  if (!g)
    if (const auto hall = AttributeText(sg, "hall")) g = FindSpaceGroup(*hall);
  if (!g) {
    messages.push_back({kAppCaption, TrText("documents", "Nieznana grupa przestrzenna \"") + name +
                                         TrText("documents", "\": atomy komórki przyjęto takie, jakie podaje plik, bez symetrii.")});
    return;
  }
  doc.crystal.asymmetricUnit = SitesOf(doc.crystal.structureAtoms, siteOf);
  doc.crystal.spaceGroup = g->Name();
  doc.crystal.ExpandCellAtoms();
}

// Returns false when the load fails (the caller falls back to the import).
bool LoadBaza(CKomorka& doc, xmlXPathContext* ctx, AtomsRead& atoms, std::vector<DocMessage>& messages,
              bool& refused) {
  const auto lattice = XPathText(ctx, "//baza/lattice");
  if (!lattice) return false;
  if (!doc.crystal.SetSystemFromName(*lattice)) {
    messages.push_back({kAppCaption, TrText("documents", kUnknownCellType)});
    return false;
  }
  if (const auto letter = XPathText(ctx, "//baza/lat_type")) doc.crystal.SetCentringFromLetter(*letter);

  std::vector<AtomSite> parsed;
  std::vector<SiteOf> siteOf;
  if (!ReadBazaAtoms(doc, atoms, parsed, siteOf, messages, refused)) return false;
  doc.crystal.structureAtoms = std::move(parsed);
  doc.crystal.spaceGroup.clear();
  doc.crystal.asymmetricUnit.clear();
  ReadBazaSpaceGroup(doc, ctx, siteOf, messages);

  const struct {
    const char* expr;
    double* value;
  } cell[] = {{"//baza/alfa", &doc.cell.alfa}, {"//baza/beta", &doc.cell.beta}, {"//baza/gamma", &doc.cell.gamma},
              {"//baza/a", &doc.cell.a},       {"//baza/b", &doc.cell.b},       {"//baza/c", &doc.cell.c}};
  for (const auto& e : cell)
    if (const auto t = XPathText(ctx, e.expr)) *e.value = parseDoubleOr(*t, 0.0);
  return true;
}

void ReadIfPresent(xmlXPathContext* ctx, const char* expr, double& value) {
  if (const auto t = XPathText(ctx, expr)) value = parseDoubleOr(*t, 0.0);
}

void LoadSource(CKomorka& doc, xmlXPathContext* ctx) {
  const auto nodes = XPathElements(ctx, "//param/source");
  if (nodes.empty()) return;
  const auto name = AttributeText(nodes.front(), "name");
  if (!name) return;
  const auto type = AttributeText(nodes.front(), "type");
  const int kind = (type && !type->empty() && (*type)[0] == 'n') ? 1 : 0;
  // A missing wavelength or ratio keeps the document's value.
  double lambda1 = doc.experiment.lambda1, lambda2 = doc.experiment.lambda2, ratio = doc.experiment.ratio;
  ReadIfPresent(ctx, "//param/source/lambda1", lambda1);
  ReadIfPresent(ctx, "//param/source/lambda2", lambda2);
  ReadIfPresent(ctx, "//param/source/ratio", ratio);
  double angleMin = 20.0, angleMax = 150.0;
  ReadIfPresent(ctx, "//param/angle/min", angleMin);
  ReadIfPresent(ctx, "//param/angle/max", angleMax);
  auto dw = XPathText(ctx, "//param/dwfactor");
  if (!dw) dw = XPathText(ctx, "//param/dwfaktor");
  if (dw) {
    doc.experiment.IsDW = 1;
    doc.experiment.dwfactor = parseDoubleOr(*dw, 0.0);
  }
  ReadIfPresent(ctx, "//param/gsize", doc.experiment.gsize);
  // Written only when on: an older file has no solvent.
  if (!XPathElements(ctx, "//param/solvent").empty()) {
    doc.experiment.solvent.on = true;
    ReadIfPresent(ctx, "//param/solvent/k", doc.experiment.solvent.k);
    ReadIfPresent(ctx, "//param/solvent/b", doc.experiment.solvent.b);
  }
  ReadIfPresent(ctx, "//param/absorption", doc.experiment.absorption);
  ReadIfPresent(ctx, "//param/detslit", doc.experiment.detslit);
  ReadIfPresent(ctx, "//param/beamarea", doc.experiment.beamarea);
  ReadIfPresent(ctx, "//param/measurespeed", doc.experiment.measurespeed);
  ReadIfPresent(ctx, "//param/difradius", doc.experiment.difradius);
  if (const auto measured = XPathText(ctx, "//param/measured")) doc.measuredPath = *measured;

  doc.experiment.sourceName = *name;
  doc.experiment.lambda1 = lambda1;
  doc.experiment.lambda2 = lambda2;
  doc.experiment.ratio = ratio;
  doc.experiment.angleMin = angleMin;
  doc.experiment.angleMax = angleMax;
  doc.sourceRecord = std::make_unique<RadiationSource>(
      RadiationSource{lambda1, lambda2, ratio, "@" + WithoutMarkers(*name), kind});
}

void LoadAparat(CKomorka& doc, xmlXPathContext* ctx) {
  const auto nodes = XPathElements(ctx, "//param/aparat");
  if (nodes.empty()) return;
  const auto name = AttributeText(nodes.front(), "name");
  if (!name) return;
  ReadIfPresent(ctx, "//param/aparat/u", doc.experiment.u);
  ReadIfPresent(ctx, "//param/aparat/v", doc.experiment.v);
  ReadIfPresent(ctx, "//param/aparat/w", doc.experiment.w);
  ReadIfPresent(ctx, "//param/aparat/x", doc.experiment.x);
  ReadIfPresent(ctx, "//param/aparat/y", doc.experiment.y);
  doc.experiment.aparatName = *name;
  doc.aparatRecord = std::make_unique<ApparatusSet>(
      ApparatusSet{doc.experiment, "@" + WithoutMarkers(*name)});
}

}  // namespace

namespace {

StructureReadStatus ReadStructureXml(CKomorka& doc, xmlDoc* xml, AtomsRead& atoms,
                                     std::vector<DocMessage>& messages) {
  XPathContextPtr ctx(xmlXPathNewContext(xml));
  if (!ctx) return StructureReadStatus::kNotStructure;
  bool refused = false;
  if (!LoadBaza(doc, ctx.get(), atoms, messages, refused))
    return refused ? StructureReadStatus::kRefused : StructureReadStatus::kNotStructure;
  LoadSource(doc, ctx.get());
  LoadAparat(doc, ctx.get());
  return StructureReadStatus::kOk;
}

}  // namespace

StructureReadStatus ReadStructureBytes(CKomorka& doc, const std::string& bytes, std::vector<DocMessage>& messages) {
  // The atoms are read as the parser meets them: a large cell's file is
  // then never whole in memory as a tree. A long file is read in two
  // halves at once, each with its own atoms.
  AtomsRead atoms;
  const auto into = [](std::vector<ReadAtom>& read) {
    return [&read](const xmlNode* n, size_t place) {
      if (place >= read.size()) read.resize(place + 1);
      read[place] = ReadAtomElement(n);
    };
  };
  bool twoParts = false;
  const StreamedElements streamed{{"baza", "atom"}, into(atoms.first), into(atoms.second), [&](size_t firstCount) {
                                    atoms.first.resize(firstCount);
                                    twoParts = true;
                                  }};
  XmlDocPtr xml = ParseXmlBytes(bytes, &streamed);
  if (!xml) return StructureReadStatus::kNotStructure;
  // Read whole after all: what the second part took is not the file's.
  if (!twoParts) atoms.second.clear();
  return ReadStructureXml(doc, xml.get(), atoms, messages);
}

std::string MeasuredPathToStore(const std::string& measured, const std::string& structurePath) {
  namespace fs = std::filesystem;
  if (structurePath.empty()) return measured;
  std::error_code ec;
  const fs::path folder = fs::absolute(fs::path(structurePath), ec).parent_path();
  const fs::path relative = fs::path(measured).lexically_relative(folder);
  return (ec || relative.empty()) ? measured : relative.generic_string();
}

std::string MeasuredPathFromStore(const std::string& stored, const std::string& structurePath) {
  namespace fs = std::filesystem;
  const fs::path p(stored);
  if (stored.empty() || p.is_absolute()) return stored;
  std::error_code ec;
  const fs::path folder = fs::absolute(fs::path(structurePath), ec).parent_path();
  return ec ? stored : (folder / p).lexically_normal().string();
}

std::string FormatStructureFile(const CKomorka& doc, const std::string& structurePath) {
  std::string s = "<?xml version=\"1.0\"?>\r\n<pelmora>\r\n\t<baza>\r\n\t\t<lattice>";
  s += SystemNameOf(doc.crystal.latticeType);
  s += "</lattice>\r\n\t\t<lat_type>";
  s += CentringLetterOf(doc.crystal.latticeType);
  s += "</lat_type>\r\n";
  const std::optional<SpaceGroupSetting> group =
      doc.crystal.spaceGroup.empty() ? std::nullopt : FindSpaceGroup(doc.crystal.spaceGroup);
  if (group)
    s += cformat("\t\t<spacegroup number=\"%d\" hall=\"%s\">%s</spacegroup>\r\n", group->number,
                 xmlEscape(group->hall).c_str(), xmlEscape(group->Name()).c_str());
  std::vector<bool> siteWritten(doc.crystal.asymmetricUnit.size(), false);
  for (const AtomSite& at : doc.crystal.structureAtoms) {
    s += cformat("\t\t<atom name=\"%s\" nr=\"%d\">\r\n", xmlEscape(at.name).c_str(), at.nr);
    s += "\t\t\t<x>" + Coordinate(at.x) + "</x><y>" + Coordinate(at.y) + "</y><z>" + Coordinate(at.z) +
         "</z>\r\n\t\t\t<factors>\r\n";
    ScatteringFactors scattered = at.factors();
    if (at.occupancy != 1.0) ScaleFactors(scattered, at.occupancy);
    s += FactorsText(scattered);
    s += cformat("\t\t\t</factors>\r\n\t\t\t<color>%lu</color>\r\n\t\t\t<radius>%d</radius>\r\n",
                 static_cast<unsigned long>(at.color), at.radius);
    if (at.visible) s += "\t\t\t<visible/>\r\n";
    if (at.occupancy != 1.0)
      s += "\t\t\t<occupancy>" + Exact(at.occupancy) + "</occupancy>\r\n\t\t\t<atom_factors>\r\n" +
           FactorsText(at.factors()) + "\t\t\t</atom_factors>\r\n";
    if (at.biso) s += "\t\t\t<biso>" + Exact(*at.biso) + "</biso>\r\n";
    if (group && at.asymSite >= 0 && static_cast<size_t>(at.asymSite) < siteWritten.size()) {
      // The site's own position with its first atom: the atom may sit where
      // its merged images meet.
      if (!siteWritten[static_cast<size_t>(at.asymSite)]) {
        const AtomSite& site = doc.crystal.asymmetricUnit[static_cast<size_t>(at.asymSite)];
        s += cformat("\t\t\t<site n=\"%d\" x=\"%s\" y=\"%s\" z=\"%s\"/>\r\n", at.asymSite, Exact(site.x).c_str(),
                     Exact(site.y).c_str(), Exact(site.z).c_str());
        siteWritten[static_cast<size_t>(at.asymSite)] = true;
      } else {
        s += cformat("\t\t\t<site n=\"%d\"/>\r\n", at.asymSite);
      }
    }
    s += "\t\t</atom>\r\n";
  }
  s += cformat(
      "\t\t<a>%.6f</a><b>%.6f</b><c>%.6f</c>\r\n\t\t<alfa>%.6f</alfa><beta>%.6f</beta><gamma>%.6f</gamma>\r\n"
      "\t</baza>\r\n",
      doc.cell.a, doc.cell.b, doc.cell.c, doc.cell.alfa, doc.cell.beta, doc.cell.gamma);
  s += "\t<param>\r\n";
  s += cformat("\t\t<source name=\"%s\" type=\"%c\">\r\n", xmlEscape(StripNameMarker(doc.experiment.sourceName)).c_str(),
               doc.experiment.radiation < 1 ? 'x' : 'n');
  s += cformat("\t\t\t<lambda1>%.8f</lambda1>\r\n\t\t\t<lambda2>%.8f</lambda2>\r\n\t\t\t<ratio>%.4f</ratio>\r\n",
               doc.experiment.lambda1, doc.experiment.lambda2, doc.experiment.ratio);
  s += "\t\t</source>\r\n";
  s += cformat("\t\t<aparat name=\"%s\">\r\n", xmlEscape(StripNameMarker(doc.experiment.aparatName)).c_str());
  s += cformat("\t\t\t<u>%.8f</u>\r\n\t\t\t<v>%.8f</v>\r\n\t\t\t<w>%.8f</w>\r\n\t\t\t<x>%.8f</x>\r\n\t\t\t<y>%.8f</y>\r\n",
               doc.experiment.u, doc.experiment.v, doc.experiment.w, doc.experiment.x, doc.experiment.y);
  s += "\t\t</aparat>\r\n";
  s += cformat("\t\t<angle>\r\n\t\t\t<max>%.2f</max>\r\n\t\t\t<min>%.2f</min>\r\n\t\t</angle>\r\n", doc.experiment.angleMax,
               doc.experiment.angleMin);
  if (doc.experiment.IsDW) s += cformat("\t\t<dwfactor>%.8f</dwfactor>\r\n", doc.experiment.dwfactor);
  s += cformat("\t\t<gsize>%.2f</gsize>\r\n", doc.experiment.gsize);
  s += cformat("\t\t<absorption>%g</absorption>\r\n", doc.experiment.absorption);
  s += cformat("\t\t<detslit>%g</detslit>\r\n", doc.experiment.detslit);
  s += cformat("\t\t<beamarea>%g</beamarea>\r\n", doc.experiment.beamarea);
  s += cformat("\t\t<measurespeed>%g</measurespeed>\r\n", doc.experiment.measurespeed);
  s += cformat("\t\t<difradius>%g</difradius>\r\n", doc.experiment.difradius);
  if (doc.experiment.solvent.on)
    s += "\t\t<solvent>\r\n\t\t\t<k>" + FixedAtLeast(doc.experiment.solvent.k, 2) + "</k>\r\n\t\t\t<b>" +
         FixedAtLeast(doc.experiment.solvent.b, 2) + "</b>\r\n\t\t</solvent>\r\n";
  if (!doc.measuredPath.empty())
    s += "\t\t<measured>" + xmlEscape(MeasuredPathToStore(doc.measuredPath, structurePath)) + "</measured>\r\n";
  s += "\t</param>\r\n</pelmora>\r\n";
  return s;
}

bool SaveStructureFile(const CKomorka& doc, const std::string& path, std::string* error) {
  return WriteFileAtomically(path, FormatStructureFile(doc, path), error);
}

bool IsWritableFormat(DocumentFormat format) { return format == DocumentFormat::kStructure; }

std::string ImportedSaveName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExtension ? path.substr(0, dot) : path) + ".xml";
}

}  // namespace pelmora
