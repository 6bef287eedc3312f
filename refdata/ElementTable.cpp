#include "refdata/ElementTable.h"

#include <algorithm>
#include <string_view>

#include "io/NumberFormat.h"

namespace pelmora {
namespace {

struct ElementName {
  std::string_view symbol;
  std::string_view name;
};

constexpr ElementName kElements[ElementTable::kElementCount] = {
    {"H", "wodór"},        {"He", "hel"},         {"Li", "lit"},        {"Be", "beryl"},      {"B", "bor"},
    {"C", "węgiel"},       {"N", "azot"},         {"O", "tlen"},        {"F", "fluor"},       {"Ne", "neon"},
    {"Na", "sód"},         {"Mg", "magnez"},      {"Al", "glin"},       {"Si", "krzem"},      {"P", "fosfor"},
    {"S", "siarka"},       {"Cl", "chlor"},       {"Ar", "argon"},      {"K", "potas"},       {"Ca", "wapń"},
    {"Sc", "skand"},       {"Ti", "tytan"},       {"V", "wanad"},       {"Cr", "chrom"},      {"Mn", "mangan"},
    {"Fe", "żelazo"},      {"Co", "kobalt"},      {"Ni", "nikiel"},     {"Cu", "miedź"},      {"Zn", "cynk"},
    {"Ga", "gal"},         {"Ge", "german"},      {"As", "arsen"},      {"Se", "selen"},      {"Br", "brom"},
    {"Kr", "krypton"},     {"Rb", "rubid"},       {"Sr", "stront"},     {"Y", "itr"},         {"Zr", "cyrkon"},
    {"Nb", "niob"},        {"Mo", "molibden"},    {"Tc", "technet"},    {"Ru", "ruten"},      {"Rh", "rod"},
    {"Pd", "pallad"},      {"Ag", "srebro"},      {"Cd", "kadm"},       {"In", "ind"},        {"Sn", "cyna"},
    {"Sb", "antymon"},     {"Te", "tellur"},      {"I", "jod"},         {"Xe", "ksenon"},     {"Cs", "cez"},
    {"Ba", "bar"},         {"La", "lantan"},      {"Ce", "cer"},        {"Pr", "prazeodym"},  {"Nd", "neodym"},
    {"Pm", "promet"},      {"Sm", "samar"},       {"Eu", "europ"},      {"Gd", "gadolin"},    {"Tb", "terb"},
    {"Dy", "dysproz"},     {"Ho", "holm"},        {"Er", "erb"},        {"Tm", "tul"},        {"Yb", "iterb"},
    {"Lu", "lutet"},       {"Hf", "hafn"},        {"Ta", "tantal"},     {"W", "wolfram"},     {"Re", "ren"},
    {"Os", "osm"},         {"Ir", "iryd"},        {"Pt", "platyna"},    {"Au", "złoto"},      {"Hg", "rtęć"},
    {"Tl", "tal"},         {"Pb", "ołów"},        {"Bi", "bizmut"},     {"Po", "polon"},      {"At", "astat"},
    {"Rn", "radon"},       {"Fr", "frans"},       {"Ra", "rad"},        {"Ac", "aktyn"},      {"Th", "tor"},
    {"Pa", "protaktyn"},   {"U", "uran"},         {"Np", "neptun"},     {"Pu", "pluton"},     {"Am", "ameryk"},
    {"Cm", "kiur"},        {"Bk", "bekerel"},     {"Cf", "kaliforn"},   {"Es", "einstein"},   {"Fm", "ferm"},
    {"Md", "mendelew"},    {"No", "nobel"},       {"Lr", "lorens"},     {"Rf", "rutherford"}, {"Db", "dubn"},
    {"Sg", "seaborg"},     {"Bh", "bohr"},        {"Hs", "has"},        {"Mt", "meitner"},    {"Ds", "darms"},
    {"Rg", "roentgen"},    {"Uub", ""},           {"Uut", ""},          {"Uuq", ""},          {"Uup", ""},
    {"Uuh", ""},           {"Uus", ""},           {"Uuo", ""},          {"X", "nieznany"},
};

// The colour of each element's own crystal-structure type, as the legend of
// the periodic table shows it.
struct StructureType {
  std::uint8_t r, g, b;
  std::string_view symbols;  // space-separated; each surrounded by spaces
};

constexpr StructureType kStructureTypes[] = {
    {0, 255, 128, " Mn Po "},
    {255, 20, 20, " Li Na K V Cr Fe Rb Nb Mo Cs Ba Eu Ta W Ra "},
    {100, 197, 255, " He Ne Al Ar Ca Ni Cu Ge Kr Sr Rh Pd Ag Xe Yb Ir Pt Au Pb Ac Th "},
    {255, 255, 155, " In Sn Pa "},
    {0, 255, 0, " S Cl Ga Br I U Np "},
    {255, 255, 0, " O F Se Bi Pu "},
    {20, 20, 225, " P "},
    {255, 176, 232, " B As Sb Te Sm Hg "},
    {255, 172, 0, " H Be C N Mg Sc Ti Co Zn Y Zr Tc Ru Cd La Ce Pr Nd Gd Tb Dy Ho Er Tm Lu Hf Re Os Tl Am Cm Bk Cf "},
    {150, 150, 150, " Si "},
};
constexpr std::uint32_t kUnknownStructure = 0xFFFFFF;  // Pm, At, Rn, Fr, 99-118, X

constexpr std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) | (static_cast<std::uint32_t>(b) << 16);
}

std::uint32_t StructureColorOf(std::string_view symbol) {
  const std::string key = " " + std::string(symbol) + " ";
  for (const StructureType& t : kStructureTypes)
    if (t.symbols.find(key) != std::string_view::npos) return Rgb(t.r, t.g, t.b);
  return kUnknownStructure;
}

// Sorts by key (the order of equal keys is not kept) and finds the record
// that now holds the former default's key, the last of several.
template <typename Record, typename Key>
void SortAndRelink(std::vector<Record>& records, std::int32_t& defaultIndex, Key key) {
  if (records.empty()) return;
  const bool hadDefault = defaultIndex >= 0 && defaultIndex < static_cast<int>(records.size());
  const auto oldKey = hadDefault ? key(records[static_cast<size_t>(defaultIndex)]) : 0;
  std::sort(records.begin(), records.end(), [&](const Record& l, const Record& r) { return key(l) < key(r); });
  if (!hadDefault) return;
  for (int i = 0; i < static_cast<int>(records.size()); ++i)
    if (key(records[static_cast<size_t>(i)]) == oldKey) defaultIndex = i;
}

template <typename Record>
bool RemoveAndKeepDefault(std::vector<Record>& records, std::int32_t& defaultIndex, int index) {
  if (index < 0 || index >= static_cast<int>(records.size())) return false;
  records.erase(records.begin() + index);
  if (index < defaultIndex) --defaultIndex;
  const int last = static_cast<int>(records.size()) - 1;
  if (defaultIndex > last) defaultIndex = last < 0 ? 0 : last;
  return true;
}

}  // namespace

const IonRecord* ElementEntry::IonSlot(int i) const {
  if (i >= 0 && i < ionCount()) return &ions[static_cast<size_t>(i)];
  return i == ionCount() ? &userIon : nullptr;
}

const IsotopeRecord* ElementEntry::IsotopeSlot(int i) const {
  if (i >= 0 && i < isotopeCount()) return &isotopes[static_cast<size_t>(i)];
  return i == isotopeCount() ? &userIsotope : nullptr;
}

ElementTable::ElementTable() {
  for (int i = 0; i < kElementCount; ++i) {
    ElementEntry& e = entries_[static_cast<size_t>(i)];
    e.symbol = kElements[i].symbol;
    e.name = kElements[i].name;
    e.structureColor = StructureColorOf(e.symbol);
  }
}

const ElementEntry* ElementTable::Find(int nr) const {
  return nr >= 1 && nr <= kElementCount ? &entries_[static_cast<size_t>(nr - 1)] : nullptr;
}

ElementEntry* ElementTable::Find(int nr) {
  return nr >= 1 && nr <= kElementCount ? &entries_[static_cast<size_t>(nr - 1)] : nullptr;
}

const ElementEntry& ElementTable::Entry(int nr) const {
  const ElementEntry* e = Find(nr);
  return e ? *e : entries_[kPlaceholder - 1];
}

bool ElementTable::AppendIon(int nr, const IonRecord& ion) {
  ElementEntry* e = nr >= 1 && nr < kPlaceholder ? Find(nr) : nullptr;
  if (!e || e->ionCount() >= kMaxTabulated) return false;
  e->ions.push_back(ion);
  return true;
}

bool ElementTable::AppendIsotope(int nr, const IsotopeRecord& iso) {
  ElementEntry* e = nr >= 1 && nr < kPlaceholder ? Find(nr) : nullptr;
  if (!e || e->isotopeCount() >= kMaxTabulated) return false;
  e->isotopes.push_back(iso);
  return true;
}

bool ElementTable::RemoveIon(int nr, int index) {
  ElementEntry* e = Find(nr);
  return e && RemoveAndKeepDefault(e->ions, e->defaultIon, index);
}

bool ElementTable::RemoveIsotope(int nr, int index) {
  ElementEntry* e = Find(nr);
  return e && RemoveAndKeepDefault(e->isotopes, e->defaultIsotope, index);
}

void ElementTable::ClearIons() {
  for (ElementEntry& e : entries_) {
    e.ions.clear();
    e.defaultIon = 0;
    e.userIon = IonRecord{};
  }
}

void ElementTable::ClearIsotopes() {
  for (ElementEntry& e : entries_) {
    e.isotopes.clear();
    e.defaultIsotope = 0;
    e.userIsotope = IsotopeRecord{};
  }
}

int ElementTable::FindIon(int nr, int charge) const {
  const ElementEntry* e = Find(nr);
  if (!e) return -1;
  for (int i = 0; i < e->ionCount(); ++i)
    if (e->ions[static_cast<size_t>(i)].charge == charge) return i;
  return -1;
}

int ElementTable::FindIsotope(int nr, int mass) const {
  const ElementEntry* e = Find(nr);
  if (!e) return -1;
  for (int i = 0; i < e->isotopeCount(); ++i)
    if (e->isotopes[static_cast<size_t>(i)].mass == mass) return i;
  return -1;
}

void ElementTable::SortIons(int nr) {
  if (ElementEntry* e = Find(nr)) SortAndRelink(e->ions, e->defaultIon, [](const IonRecord& r) { return r.charge; });
}

void ElementTable::SortIsotopes(int nr) {
  if (ElementEntry* e = Find(nr))
    SortAndRelink(e->isotopes, e->defaultIsotope, [](const IsotopeRecord& r) { return r.mass; });
}

std::string ElementTable::AtomNameFor(int nr, int ionIndex, int isotopeIndex) const {
  const ElementEntry& e = Entry(nr);
  std::string name = e.symbol;
  if (const IonRecord* ion = e.IonSlot(ionIndex)) {
    if (ion->charge > 0) name += cformat("+%d", ion->charge);
    if (ion->charge < 0) name += cformat("%d", ion->charge);
  }
  // A mass number below 1 names no isotope (an atom read from a file that
  // gives none carries -1): "(-1)" would only garble the name.
  if (const IsotopeRecord* iso = e.IsotopeSlot(isotopeIndex); iso && isotopeIndex != e.defaultIsotope && iso->mass > 0)
    name += cformat("(%d)", iso->mass);
  return name;
}

int ElementTable::NumberOf(const std::string& symbol) const {
  for (int i = 0; i < kElementCount; ++i)
    if (entries_[static_cast<size_t>(i)].symbol == symbol) return i + 1;
  return 0;
}

}  // namespace pelmora
