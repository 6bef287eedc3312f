#include "refdata/ReferenceFiles.h"

#include <libxml/xpath.h>

#include <set>

#include "io/AtomicFile.h"
#include "io/XmlUtil.h"
#include "io/NumberFormat.h"
#include "io/Translate.h"

namespace pelmora {
namespace {

constexpr const char* kHead = "<?xml version=\"1.0\"?>\r\n<pelmora>\r\n";
constexpr const char* kTail = "</pelmora>\r\n";

// Element nodes selected by the file's expression, in document order.
std::vector<xmlNode*> Select(xmlDoc* doc, const char* expr) {
  XPathContextPtr ctx(xmlXPathNewContext(doc));
  if (!ctx) return {};
  return XPathElements(ctx.get(), expr);
}

double ChildNumber(const xmlNode* node, const char* name) {
  const auto text = NodeText(ChildElement(node, name));
  return text ? parseDoubleOr(*text, 0.0) : 0.0;
}

// Integer attribute; a missing or non-numeric one reads as `missing`. Values
// outside 32 bits cannot name an element or a mass and read as `missing` too.
long IntAttribute(const xmlNode* node, const char* name, long missing) {
  const auto text = AttributeText(node, name);
  if (!text) return missing;
  const auto v = parseLong(*text);
  if (!v || *v < INT32_MIN || *v > INT32_MAX) return missing;
  return *v;
}

// One <aparat> or <source> element of a reference file.
ApparatusSet ParseApparatusElement(const xmlNode* node) {
  ApparatusSet set;
  set.name = AttributeText(node, "name").value_or("Nieznane");
  set.u = ChildNumber(node, "u");
  set.v = ChildNumber(node, "v");
  set.w = ChildNumber(node, "w");
  set.x = ChildNumber(node, "x");
  set.y = ChildNumber(node, "y");
  return set;
}

RadiationSource ParseSourceElement(const xmlNode* node) {
  RadiationSource src;
  src.name = AttributeText(node, "name").value_or("Nieznane");
  const auto type = AttributeText(node, "type");
  src.radiation = (type && !type->empty() && (*type)[0] == 'n') ? 1 : 0;
  src.lambda1 = ChildNumber(node, "lambda1");
  src.lambda2 = ChildNumber(node, "lambda2");
  src.ratio = ChildNumber(node, "ratio");
  return src;
}

bool IsDefaultMark(const xmlNode* node) { return IntAttribute(node, "default", 0) == 1; }

bool IsMarked(const std::string& name) { return !name.empty() && (name[0] == '*' || name[0] == '@'); }

template <typename Loader, typename Table>
RefFileResult LoadFile(const std::string& path, Table& table, Loader load) {
  XmlDocPtr doc;
  if (ParseXmlFile(path, doc) != XmlReadStatus::kOk) return {};
  return load(doc.get(), table);
}

}  // namespace

RefFileResult LoadSourcesXml(xmlDoc* doc, std::vector<RadiationSource>& sources) {
  RefFileResult r{true, 0};
  for (const xmlNode* n : Select(doc, "//source")) {
    if (sources.size() >= static_cast<size_t>(kMaxSources)) {
      ++r.leftOut;
      continue;
    }
    sources.push_back(ParseSourceElement(n));
  }
  return r;
}

RefFileResult LoadApparatusXml(xmlDoc* doc, std::vector<ApparatusSet>& sets) {
  RefFileResult r{true, 0};
  for (const xmlNode* n : Select(doc, "//aparat")) {
    if (sets.size() >= static_cast<size_t>(kMaxApparatusSets)) {
      ++r.leftOut;
      continue;
    }
    sets.push_back(ParseApparatusElement(n));
  }
  return r;
}

RefFileResult LoadIonsXml(xmlDoc* doc, ElementTable& elements) {
  RefFileResult r{true, 0};
  for (const xmlNode* n : Select(doc, "//ION")) {
    const long nr = IntAttribute(n, "nr", 0);
    if (nr < 1 || nr > AnomalTable::kMaxElement) continue;
    IonRecord ion;
    ion.charge = static_cast<std::int32_t>(IntAttribute(n, "charge", 0));
    ion.a1 = ChildNumber(n, "a1");
    ion.b1 = ChildNumber(n, "b1");
    ion.a2 = ChildNumber(n, "a2");
    ion.b2 = ChildNumber(n, "b2");
    ion.a3 = ChildNumber(n, "a3");
    ion.b3 = ChildNumber(n, "b3");
    ion.a4 = ChildNumber(n, "a4");
    ion.b4 = ChildNumber(n, "b4");
    ion.c = ChildNumber(n, "c");
    if (!elements.AppendIon(static_cast<int>(nr), ion)) {
      ++r.leftOut;
      continue;
    }
    ElementEntry* e = elements.Find(static_cast<int>(nr));
    if (IsDefaultMark(n)) e->defaultIon = e->ionCount() - 1;
  }
  return r;
}

RefFileResult LoadIsotopesXml(xmlDoc* doc, ElementTable& elements) {
  RefFileResult r{true, 0};
  for (const xmlNode* n : Select(doc, "//IZO")) {
    const long nr = IntAttribute(n, "nr", 0);
    if (nr < 1 || nr > AnomalTable::kMaxElement) continue;
    IsotopeRecord iso;
    iso.mass = static_cast<std::int32_t>(IntAttribute(n, "mass", 0));
    iso.s = ChildNumber(n, "s");
    if (!elements.AppendIsotope(static_cast<int>(nr), iso)) {
      ++r.leftOut;
      continue;
    }
    ElementEntry* e = elements.Find(static_cast<int>(nr));
    if (IsDefaultMark(n)) e->defaultIsotope = e->isotopeCount() - 1;
  }
  return r;
}

RefFileResult LoadAnomalsXml(xmlDoc* doc, std::vector<AnomalTable>& tables) {
  RefFileResult r{true, 0};
  std::set<std::string> refused;  // names of tables that did not fit
  for (const xmlNode* n : Select(doc, "//anomal")) {
    const long atom = IntAttribute(n, "atom", 0);
    if (atom < 1 || atom > AnomalTable::kMaxElement) continue;
    const std::string name = AttributeText(n, "name").value_or("Nieznane");
    AnomalTable* table = nullptr;
    for (AnomalTable& t : tables)
      if (t.name == name) table = &t;
    if (!table) {
      if (tables.size() >= static_cast<size_t>(kMaxAnomalTables)) {
        refused.insert(name);
        continue;
      }
      tables.push_back(AnomalTable{});
      table = &tables.back();
      table->name = name;
    }
    table->fprim[static_cast<size_t>(atom)] = ChildNumber(n, "f_prim");
    table->fbis[static_cast<size_t>(atom)] = ChildNumber(n, "f_bis");
  }
  r.leftOut = static_cast<int>(refused.size());
  return r;
}

RefFileResult LoadSources(const std::string& path, std::vector<RadiationSource>& sources) {
  return LoadFile(path, sources, LoadSourcesXml);
}
RefFileResult LoadApparatusSets(const std::string& path, std::vector<ApparatusSet>& sets) {
  return LoadFile(path, sets, LoadApparatusXml);
}
RefFileResult LoadIons(const std::string& path, ElementTable& elements) { return LoadFile(path, elements, LoadIonsXml); }
RefFileResult LoadIsotopes(const std::string& path, ElementTable& elements) {
  return LoadFile(path, elements, LoadIsotopesXml);
}
RefFileResult LoadAnomalTables(const std::string& path, std::vector<AnomalTable>& tables) {
  return LoadFile(path, tables, LoadAnomalsXml);
}

std::string FormatSources(const std::vector<RadiationSource>& sources) {
  std::string s = kHead;
  for (size_t i = 1; i < sources.size(); ++i) {
    const RadiationSource& src = sources[i];
    if (IsMarked(src.name)) continue;
    s += cformat("\t<source name=\"%s\" type=\"%c\">\r\n", xmlEscape(src.name).c_str(), src.radiation >= 1 ? 'n' : 'x');
    s += cformat("\t\t<lambda1>%.10f</lambda1>\r\n\t\t<lambda2>%.10f</lambda2>\r\n\t\t<ratio>%.10f</ratio>\r\n",
                 src.lambda1, src.lambda2, src.ratio);
    s += "\t</source>\r\n";
  }
  return s + kTail;
}

std::string FormatApparatusSets(const std::vector<ApparatusSet>& sets) {
  std::string s = kHead;
  for (size_t i = 1; i < sets.size(); ++i) {
    const ApparatusSet& set = sets[i];
    // The "@" set of an open structure file is no more reference data than
    // the "*" entry of the settings.
    if (IsMarked(set.name)) continue;
    s += cformat("\t<aparat name=\"%s\">\r\n", xmlEscape(set.name).c_str());
    s += cformat("\t\t<u>%.10f</u><v>%.10f</v><w>%.10f</w><x>%.10f</x><y>%.10f</y>\r\n", set.u, set.v, set.w, set.x,
                 set.y);
    s += "\t</aparat>\r\n";
  }
  return s + kTail;
}

std::string FormatIons(const ElementTable& elements) {
  std::string s = kHead;
  for (int nr = 1; nr <= ElementTable::kElementCount; ++nr) {
    const ElementEntry& e = elements.Entry(nr);
    for (int i = 0; i < e.ionCount(); ++i) {
      const IonRecord& ion = e.ions[static_cast<size_t>(i)];
      // The default mark is written as for isotopes, so that a save keeps
      // the element's starting ion instead of silently resetting it.
      s += cformat("<ION nr=\"%d\" charge=\"%d\"%s>\r\n", nr, ion.charge, i == e.defaultIon ? " default=\"1\"" : "");
      s += cformat(
          "\t<a1>%.6f</a1>\r\n\t<b1>%.6f</b1>\r\n\t<a2>%.6f</a2>\r\n\t<b2>%.6f</b2>\r\n\t<a3>%.6f</a3>\r\n"
          "\t<b3>%.6f</b3>\r\n\t<a4>%.6f</a4>\r\n\t<b4>%.6f</b4>\r\n\t<c>%.6f</c>\r\n",
          ion.a1, ion.b1, ion.a2, ion.b2, ion.a3, ion.b3, ion.a4, ion.b4, ion.c);
      s += "</ION>\r\n";
    }
  }
  return s + kTail;
}

std::string FormatIsotopes(const ElementTable& elements) {
  std::string s = kHead;
  for (int nr = 1; nr <= ElementTable::kElementCount; ++nr) {
    const ElementEntry& e = elements.Entry(nr);
    for (int i = 0; i < e.isotopeCount(); ++i) {
      const IsotopeRecord& iso = e.isotopes[static_cast<size_t>(i)];
      s += cformat("<IZO nr=\"%d\" mass=\"%d\"%s>\r\n", nr, iso.mass, i == e.defaultIsotope ? " default=\"1\"" : "");
      s += cformat("\t<s>%.5f</s>\r\n", iso.s);
      s += "</IZO>\r\n";
    }
  }
  return s + kTail;
}

std::string FormatAnomalTables(const std::vector<AnomalTable>& tables) {
  std::string s = kHead;
  for (const AnomalTable& t : tables) {
    const std::string name = xmlEscape(t.name);
    for (int nr = 1; nr <= AnomalTable::kMaxElement; ++nr) {
      const double fp = t.fprim[static_cast<size_t>(nr)], fb = t.fbis[static_cast<size_t>(nr)];
      // Element 1 always: a table exists only once a record names it. An
      // element whose values print as zero reads back as zero: leaving it
      // out keeps a file the same through any number of saves.
      const std::string fpText = cformat("%f", fp), fbText = cformat("%f", fb);
      const auto zero = [](const std::string& t) { return t == "0.000000" || t == "-0.000000"; };
      if (nr > 1 && zero(fpText) && zero(fbText)) continue;
      s += cformat("\t<anomal name=\"%s\" atom=\"%d\">\r\n\t\t<f_prim>%s</f_prim>\r\n\t\t<f_bis>%s</f_bis>\r\n\t</anomal>\r\n",
                   name.c_str(), nr, fpText.c_str(), fbText.c_str());
    }
  }
  return s + kTail;
}

bool SaveSources(const std::string& path, const std::vector<RadiationSource>& sources, std::string* error) {
  return WriteFileAtomically(path, FormatSources(sources), error);
}
bool SaveApparatusSets(const std::string& path, const std::vector<ApparatusSet>& sets, std::string* error) {
  return WriteFileAtomically(path, FormatApparatusSets(sets), error);
}
bool SaveIons(const std::string& path, const ElementTable& elements, std::string* error) {
  return WriteFileAtomically(path, FormatIons(elements), error);
}
bool SaveIsotopes(const std::string& path, const ElementTable& elements, std::string* error) {
  return WriteFileAtomically(path, FormatIsotopes(elements), error);
}
bool SaveAnomalTables(const std::string& path, const std::vector<AnomalTable>& tables, std::string* error) {
  return WriteFileAtomically(path, FormatAnomalTables(tables), error);
}

std::string SettingsEntryName(const std::string& name) {
  if (name.empty() || name[0] == '*') return name;
  return "*" + (name[0] == '@' ? name.substr(1) : name);
}

RadiationSource SettingsSourceEntry(const RadiationSource& current) {
  RadiationSource e = current;
  e.name = SettingsEntryName(current.name);
  return e;
}

ApparatusSet SettingsApparatusEntry(const ApparatusSet& current) {
  ApparatusSet e = current;
  e.name = SettingsEntryName(current.name);
  return e;
}

std::string LeftOutMessage(const std::string& path, int leftOut) {
  return cformat(TrText("refdata", "Plik %s zawiera więcej danych, niż mieści tablica; pominięto pozycji: %d.").c_str(), path.c_str(), leftOut);
}

}  // namespace pelmora
