// Taking the atoms' f' and f'' for the document's radiation source: the
// question after the user changed the source, and the action of the
// structure dialog's anomalous page.
#pragma once

#include <QString>
#include <vector>

class QWidget;

namespace pelmora {

class KomorkaDocument;
class ReferenceData;

// After the user changed the document's source from one of that first
// wavelength and radiation. When the atoms' terms are now those of another
// wavelength, asks ("Pytanie") whether to take them for the new source
// (every atom) from its table or computed with xraylib; "Nie" keeps them.
// Returns what the status bar says of it, empty when nothing is to be said
// (neutrons, an unchanged wavelength, atoms without terms).
QString OfferAnomalForSource(QWidget* parent, KomorkaDocument& doc, ReferenceData& ref, double previousLambda1,
                             int previousRadiation);

// Asks, then gives the structure atoms of the rows (every atom when rows is
// empty) the terms for the document's source. Returns the status text, empty
// when the user said "Nie" or there is no set for the source (neutrons).
QString TakeAnomalForSource(QWidget* parent, KomorkaDocument& doc, ReferenceData& ref, const std::vector<int>& rows);

}  // namespace pelmora
