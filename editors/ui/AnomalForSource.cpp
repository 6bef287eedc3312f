#include "editors/ui/AnomalForSource.h"

#include <QCoreApplication>
#include <QMessageBox>

#include "documents/ui/KomorkaDocument.h"
#include "io/NumberFormat.h"
#include "refdata/AnomalSets.h"
#include "refdata/ReferenceData.h"

namespace pelmora {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString Lambda(double l) { return Q(cformat("%.5f", l)); }

// Where a set's terms come from, as the messages say it.
QString Origin(const SourceAnomalSet& set) {
  const QString name = Q(set.table.name);
  return set.computed ? QCoreApplication::translate("AnomalForSource", "z zestawu „%1” (obliczonego programem xraylib)").arg(name)
                      : QCoreApplication::translate("AnomalForSource", "z tablicy „%1”").arg(name);
}

bool Ask(QWidget* parent, const QString& text) {
  return QMessageBox::question(parent, QCoreApplication::translate("AnomalForSource", "Pytanie"), text, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

QString Apply(QWidget* parent, KomorkaDocument& doc, ReferenceData& ref, const SourceAnomalSet& set,
              const std::vector<int>& rows) {
  // A computed set joins the list, so that the pages name where the terms
  // came from; it is written only when the user saves the tables.
  if (set.index < 0) ListAnomalSet(ref.anomalTables, set.table);
  const int unidentified = ApplyAnomalSet(doc.doc(), set.table, rows);
  if (unidentified > 0)
    QMessageBox::information(parent, QCoreApplication::translate("AnomalForSource", "Info"),
                             QCoreApplication::translate("AnomalForSource", "Nie wszystkie atomy zostały zidentyfikowane. Nie można odnaleźć\n"
                                            "czynników anomalnych dla niezidentyfikowanych atomów"));
  doc.NotifyStructureChanged();
  return QCoreApplication::translate("AnomalForSource", "Czynniki anomalne f′, f″ atomów wzięto dla λ = %1 Å %2.")
      .arg(Lambda(doc.doc().experiment.lambda1), Origin(set));
}

}  // namespace

QString OfferAnomalForSource(QWidget* parent, KomorkaDocument& doc, ReferenceData& ref, double previousLambda1,
                             int previousRadiation) {
  CKomorka& d = doc.doc();
  NoteSourceChange(d.crystal, previousLambda1, previousRadiation);
  const bool newWavelength = d.experiment.lambda1 != previousLambda1 || d.experiment.radiation != previousRadiation;
  if (!newWavelength || !AnomalTermsStale(d)) return {};
  const std::optional<SourceAnomalSet> set = AnomalSetForSource(d.experiment, ref.anomalTables);
  if (!set) return {};
  const QString question =
      QCoreApplication::translate("AnomalForSource", "Zmieniono źródło promieniowania (λ = %1 Å), a czynniki anomalne f′, f″ atomów "
                     "pozostały dla λ = %2 Å.\nCzy wziąć je dla nowego źródła %3?")
          .arg(Lambda(d.experiment.lambda1), Lambda(d.crystal.anomalLambda), Origin(*set));
  if (!Ask(parent, question)) return Q(StaleAnomalNote(d));
  return Apply(parent, doc, ref, *set, {});
}

QString TakeAnomalForSource(QWidget* parent, KomorkaDocument& doc, ReferenceData& ref, const std::vector<int>& rows) {
  const std::optional<SourceAnomalSet> set = AnomalSetForSource(doc.doc().experiment, ref.anomalTables);
  if (!set) return {};
  const QString question =
      QCoreApplication::translate("AnomalForSource", "Czynniki anomalne %1 atomów zostaną zastąpione wartościami dla bieżącego źródła "
                     "(λ = %2 Å) %3.\nCzy kontynuować?")
          .arg(rows.empty() ? QCoreApplication::translate("AnomalForSource", "wszystkich") : QCoreApplication::translate("AnomalForSource", "zaznaczonych"),
               Lambda(doc.doc().experiment.lambda1), Origin(*set));
  if (!Ask(parent, question)) return {};
  return Apply(parent, doc, ref, *set, rows);
}

}  // namespace pelmora
