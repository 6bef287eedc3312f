#include "refdata/AnomalSets.h"

#include "engine/Xraylib.h"

#include <cctype>
#include <cmath>

#include "engine/Komorka.h"
#include "io/NumberFormat.h"
#include "refdata/ReferenceFiles.h"
#include "io/Translate.h"

namespace pelmora {

double PhotonEnergyKeV(double lambda) { return lambda > 0.0 ? kHcEvAngstrom / lambda / 1000.0 : 0.0; }

std::string ComputedSetName(double energyKeV) { return cformat("xraylib %.3f keV", energyKeV); }

AnomalTable ComputeAnomalTable(double energyKeV) {
  AnomalTable t;
  t.name = ComputedSetName(energyKeV);
  for (int z = 1; z <= kXraylibMaxElement; ++z) {
    // An energy outside xraylib's range fails for every element alike.
    const std::optional<double> fi = xraylib::Fi(z, energyKeV), fii = xraylib::Fii(z, energyKeV);
    if (!fi || !fii) continue;
    t.fprim[static_cast<std::size_t>(z)] = *fi;
    t.fbis[static_cast<std::size_t>(z)] = -*fii;
  }
  return t;
}

bool TableNamesSource(const std::string& tableName, const std::string& sourceName) {
  const std::string key = StripNameMarker(sourceName);
  if (key.empty() || tableName.compare(0, key.size(), key) != 0) return false;
  std::string rest = tableName.substr(key.size());
  if (!rest.empty() && rest[0] == '1' && !std::isdigit(static_cast<unsigned char>(key.back()))) rest.erase(0, 1);
  return rest.empty() || rest[0] == ' ';
}

std::optional<SourceAnomalSet> AnomalSetForSource(const ExperimentParams& p, const std::vector<AnomalTable>& tables) {
  if (p.radiation != 0 || !(p.lambda1 > 0.0)) return std::nullopt;
  for (std::size_t i = 0; i < tables.size(); ++i)
    if (TableNamesSource(tables[i].name, p.sourceName)) return SourceAnomalSet{tables[i], static_cast<int>(i), false};
  const double energy = PhotonEnergyKeV(p.lambda1);
  const std::string computed = ComputedSetName(energy);
  for (std::size_t i = 0; i < tables.size(); ++i)
    if (tables[i].name == computed) return SourceAnomalSet{tables[i], static_cast<int>(i), true};
  return SourceAnomalSet{ComputeAnomalTable(energy), -1, true};
}

int ListAnomalSet(std::vector<AnomalTable>& tables, const AnomalTable& set) {
  for (std::size_t i = 0; i < tables.size(); ++i)
    if (tables[i].name == set.name) {
      tables[i] = set;
      return static_cast<int>(i);
    }
  if (tables.size() >= static_cast<std::size_t>(kMaxAnomalTables)) return -1;
  tables.push_back(set);
  return static_cast<int>(tables.size()) - 1;
}

int ApplyAnomalSet(CKomorka& doc, const AnomalTable& set, const std::vector<int>& rows) {
  std::vector<AtomSite>& atoms = doc.crystal.EditableAtoms();
  std::vector<int> all;
  if (rows.empty())
    for (int r = 0; r < static_cast<int>(atoms.size()); ++r) all.push_back(r);
  const std::vector<int>& chosen = rows.empty() ? all : rows;
  int unidentified = 0;
  for (int r : chosen) {
    if (r < 0 || r >= static_cast<int>(atoms.size())) continue;
    AtomSite& at = atoms[static_cast<std::size_t>(r)];
    if (at.nr < 1 || at.nr > AnomalTable::kMaxElement) {
      ++unidentified;
      continue;
    }
    at.fprim = set.fprim[static_cast<std::size_t>(at.nr)];
    at.fbis = set.fbis[static_cast<std::size_t>(at.nr)];
  }
  if (chosen.size() >= atoms.size()) doc.crystal.anomalLambda = doc.experiment.lambda1;
  doc.crystal.ExpandCellAtoms();
  return unidentified;
}

std::string StaleAnomalNote(const CKomorka& doc) {
  if (!AnomalTermsStale(doc)) return {};
  return cformat(TrText("refdata", "Czynniki anomalne f′, f″ atomów są dla λ = %.5f Å, nie dla bieżącego źródła (λ = %.5f Å).").c_str(),
                 doc.crystal.anomalLambda, doc.experiment.lambda1);
}

}  // namespace pelmora
