// The main frame's commands for measured patterns: "Plik" -> "Otwórz
// pomiar…" and "Eksperyment" -> "Dopasuj do pomiaru".
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

#include <algorithm>

#include "app/ui/MainFrame.h"
#include "app/ui/PelmorApp.h"
#include "diffractogram/ui/ChartBar.h"
#include "diffractogram/ui/ChartView.h"
#include "documents/ui/KomorkaDocument.h"
#include "editors/ui/ExperimentPage.h"
#include "measured/Overlay.h"
#include "measured/ui/RefinementDialog.h"
#include "measured/ui/MeasuredLayer.h"

namespace pelmora {

bool CMainFrame::OpenMeasurement(const QString& given) {
  CDownView* v = activeView();
  if (!v) return false;
  QString path = given;
  if (path.isEmpty()) {
    QStringList filters;
    for (const std::string& f : MeasuredFileFilters()) filters << QString::fromStdString(f);
    path = QFileDialog::getOpenFileName(this, tr("Otwórz pomiar"), QString(), filters.join(QStringLiteral(";;")),
                                        nullptr, QFileDialog::DontUseNativeDialog);
    if (path.isEmpty()) return false;
  }
  if (!AttachMeasurement(v, path)) return false;
  // The structure file remembers the measurement from now on.
  KomorkaDocument* d = v->document();
  const std::string full = QFileInfo(path).absoluteFilePath().toStdString();
  if (d->doc().measuredPath != full) {
    d->doc().measuredPath = full;
    d->NotifyMeasuredChanged();
  }
  return true;
}

bool CMainFrame::AttachMeasurement(CDownView* v, const QString& path) {
  auto measured = std::make_shared<MeasuredPattern>();
  std::string error;
  if (!ReadMeasuredFile(path.toStdString(), *measured, &error)) {
    QMessageBox::critical(this, tr("Błąd"), QString::fromStdString(error));
    return false;
  }
  if (!measured->note.empty())
    QMessageBox::information(this, tr("Info"), QString::fromStdString(measured->note));
  v->setLayer(std::make_shared<MeasuredLayer>(measured));
  RefreshCommandState();
  return true;
}

void CMainFrame::ReattachMeasurement(KomorkaDocument* d) {
  const QString path = QString::fromStdString(d->doc().measuredPath);
  if (path.isEmpty()) return;
  CDownView* view = nullptr;
  for (CChildFrame* f : frames())
    if (f->document() == d) view = f->view();
  if (!view) return;
  // A measurement that is gone leaves the path in the structure: it may come
  // back (a disk not mounted), and saving must not drop it silently.
  if (!QFileInfo::exists(path)) {
    QMessageBox::warning(this, QStringLiteral("Pelmora"),
                         tr("Nie znaleziono pomiaru zapisanego razem ze strukturą:\n%1").arg(path));
    return;
  }
  AttachMeasurement(view, path);
}

void CMainFrame::FitMeasurement() {
  CDownView* v = activeView();
  MeasuredLayer* layer = v ? MeasuredLayerOf(*v) : nullptr;
  if (!layer) return;
  KomorkaDocument* d = v->document();
  // The other open documents may join as further phases of a mixture.
  std::vector<RefinementDialog::Phase> phases{{&d->doc(), d->title()}};
  std::vector<KomorkaDocument*> documents{d};
  for (CChildFrame* f : frames())
    if (f->document() != d) {
      phases.push_back({&f->document()->doc(), f->document()->title()});
      documents.push_back(f->document());
    }
  RefinementDialog dlg(phases, layer->measuredShared(), this);
  // "Zapisz do aparatu": a set of that name replaced, else added; the table
  // is written with the others at exit, after asking.
  dlg.saveInstrument = [this](const ApparatusSet& set) {
    ReferenceData& ref = app_.reference();
    auto same = std::find_if(ref.apparatusSets.begin(), ref.apparatusSets.end(),
                             [&](const ApparatusSet& s) { return s.name == set.name; });
    if (same != ref.apparatusSets.end()) *same = set;
    else ref.apparatusSets.push_back(set);
    ref.apparatusModified = true;
    if (experimentPage()) experimentPage()->Bind(experimentPage()->document());
  };
  if (dlg.exec() != QDialog::Accepted) return;
  // "Zastosuj": each phase's cell, sites and grain size into its own
  // document, the instrument's widths (when refined) into the active one;
  // the refinement's curve into the chart, and the patterns calculated again.
  for (size_t k = 0; k < dlg.fittedPhases().size(); ++k) {
    KomorkaDocument* target = documents[dlg.fittedPhases()[k]];
    dlg.refinement().ApplyTo(k, target->doc(), k == 0 && dlg.instrumentRefined());
    target->RecordEdit(QCoreApplication::translate("EditSteps", "dopasowanie do pomiaru"));
    target->NotifyParametersChanged();
    target->NotifyStructureChanged();
  }
  layer->setModel(OverlayFromRefinement(dlg.outcome()));
  v->layerChanged();
  Calculate(v);
  for (size_t k = 1; k < dlg.fittedPhases().size(); ++k)
    for (CChildFrame* f : frames())
      if (f->document() == documents[dlg.fittedPhases()[k]] && f->view()->patternPresent()) Calculate(f->view());
}

}  // namespace pelmora
