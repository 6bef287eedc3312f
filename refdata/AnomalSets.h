// The anomalous-dispersion terms for a radiation source: the tabulated set
// of its line when the tables hold one, else a set computed with xraylib for
// its photon energy; and the bookkeeping that tells when the atoms' terms
// were taken for another wavelength than the document's source has.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "refdata/ElementTable.h"

namespace pelmora {

class CKomorka;
struct Crystal;
struct ExperimentParams;

// xraylib's tables end at fermium; heavier elements keep 0 in a computed set.
inline constexpr int kXraylibMaxElement = 100;

// Photon energy (keV) of a wavelength in ångström; 0 for none.
double PhotonEnergyKeV(double lambda);

// The name of a computed set: "xraylib 8.048 keV".
std::string ComputedSetName(double energyKeV);

// f' and f'' of the elements 1..kXraylibMaxElement at that photon energy,
// computed with xraylib, f'' with the crystallographic sign (xraylib's Fii
// has the opposite one); named by ComputedSetName. All zero for an energy
// xraylib cannot take.
AnomalTable ComputeAnomalTable(double energyKeV);

// Whether a table is named for a source's line: its name is the source's
// name (without a "*" or "@" marker), which may go on with "1" (the first
// line of a doublet: "Cu Ka" has its terms in "Cu Ka1") and then only with a
// blank and more words ("Cu Ka1 (Sasaki)").
bool TableNamesSource(const std::string& tableName, const std::string& sourceName);

struct SourceAnomalSet {
  AnomalTable table;
  int index = -1;         // its place in the list; -1 for a set not listed
  bool computed = false;  // computed with xraylib, not tabulated
};

// The set of f' and f'' for a document's radiation: the first table named
// for its source, else a listed set of the computed name for its energy,
// else one computed now. Nothing for neutrons or without a wavelength.
std::optional<SourceAnomalSet> AnomalSetForSource(const ExperimentParams& p, const std::vector<AnomalTable>& tables);

// Lists a set so that the editors offer it: returns its index, that of a
// listed set of the same name (replaced by it), or -1 when the list is full.
int ListAnomalSet(std::vector<AnomalTable>& tables, const AnomalTable& set);

// Gives the structure atoms of the rows (all of them when rows is empty) the
// set's f' and f'' for their element, and expands the cell. Atoms without an
// element (0 or "X") keep theirs; their count is returned. When every atom
// was given the set, the terms count as taken for the current wavelength.
int ApplyAnomalSet(CKomorka& doc, const AnomalTable& set, const std::vector<int>& rows);

// Whether any structure atom has a non-zero f' or f''.
bool HasAnomalousTerms(const Crystal& crystal);

// Called after the user changed the source from one of that first
// wavelength and radiation: the terms the atoms had were for the source left
// when nothing had said otherwise.
void NoteSourceChange(Crystal& crystal, double previousLambda1, int previousRadiation);

// True when the atoms carry terms taken for another wavelength than the
// first one of the document's X-ray source.
bool AnomalTermsStale(const CKomorka& doc);

// What the user is told of that; empty when the terms are not stale.
std::string StaleAnomalNote(const CKomorka& doc);

}  // namespace pelmora
