// The main frame's commands for measured patterns: "Plik" -> "Otwórz
// pomiar…" and "Eksperyment" -> "Dopasuj do pomiaru".
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

#include "app/ui/MainFrame.h"
#include "app/ui/PelmorApp.h"
#include "diffractogram/ui/ChartBar.h"
#include "diffractogram/ui/ChartView.h"
#include "documents/ui/KomorkaDocument.h"
#include "measured/Overlay.h"
#include "measured/ui/FitDialog.h"
#include "measured/ui/MeasuredLayer.h"

namespace pelmora {

bool CMainFrame::OpenMeasurement(const QString& given) {
  CDownView* v = activeView();
  if (!v) return false;
  QString path = given;
  if (path.isEmpty()) {
    QStringList filters;
    for (const std::string& f : MeasuredFileFilters()) filters << QString::fromStdString(f);
    path = QFileDialog::getOpenFileName(this, QStringLiteral("Otwórz pomiar"), QString(), filters.join(QStringLiteral(";;")),
                                        nullptr, QFileDialog::DontUseNativeDialog);
    if (path.isEmpty()) return false;
  }
  if (!AttachMeasurement(v, path)) return false;
  // The structure file remembers the measurement from now on.
  KomorkaDocument* d = v->document();
  const std::string full = QFileInfo(path).absoluteFilePath().toStdString();
  if (d->doc().measuredPath != full) {
    d->doc().measuredPath = full;
    d->setModified(true);
  }
  return true;
}

bool CMainFrame::AttachMeasurement(CDownView* v, const QString& path) {
  auto measured = std::make_shared<MeasuredPattern>();
  std::string error;
  if (!ReadMeasuredFile(path.toStdString(), *measured, &error)) {
    QMessageBox::critical(this, QStringLiteral("Błąd"), QString::fromStdString(error));
    return false;
  }
  if (!measured->note.empty())
    QMessageBox::information(this, QStringLiteral("Info"), QString::fromStdString(measured->note));
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
                         QStringLiteral("Nie znaleziono pomiaru zapisanego razem ze strukturą:\n%1").arg(path));
    return;
  }
  AttachMeasurement(view, path);
}

void CMainFrame::FitMeasurement() {
  CDownView* v = activeView();
  MeasuredLayer* layer = v ? MeasuredLayerOf(*v) : nullptr;
  if (!layer) return;
  const int profile = chartBar()->ProfileId();
  // Plug-ins are called on the user-interface thread only; the fit runs its
  // calculations on a worker.
  if (profile >= 0) {
    QMessageBox::critical(this, QStringLiteral("Błąd"),
                          QStringLiteral("Dopasowanie działa z profilami wbudowanymi: wybierz „Gauss”, "
                                         "„Lorentz” lub „pseudo Voigt”."));
    return;
  }
  SynthesisSetup setup = app_.SetupFor(profile);
  setup.pseudoVoigtInfo = nullptr;  // the Info window's list belongs to the calculations the user starts
  KomorkaDocument* d = v->document();
  // The other open documents may join as further phases of a mixture.
  std::vector<FitDialog::Phase> phases{{&d->doc(), d->title()}};
  std::vector<KomorkaDocument*> documents{d};
  for (CChildFrame* f : frames())
    if (f->document() != d) {
      phases.push_back({&f->document()->doc(), f->document()->title()});
      documents.push_back(f->document());
    }
  FitDialog dlg(phases, layer->measuredShared(), setup, this);
  if (dlg.exec() != QDialog::Accepted) return;
  // "Zastosuj": each phase's cell and grain size into its own document; the
  // values all phases share (U V W, and zero and background, which the
  // chart keeps) into the active one; the model into the chart, and the
  // patterns calculated again with the new values.
  const FitResult& r = dlg.result();
  std::vector<std::string> names;
  for (size_t k = 0; k < dlg.fittedPhases().size(); ++k) {
    KomorkaDocument* target = documents[dlg.fittedPhases()[k]];
    ApplyFitToDocument(r, k, k == 0 ? dlg.refined() : dlg.refined() & ~unsigned(kFitWidths), target->doc());
    names.push_back(target->title().toStdString());
    if (k > 0 && (dlg.refined() & (kFitCell | kFitSize))) {
      target->setModified(true);
      target->NotifyParametersChanged();
    }
  }
  d->setModified(true);
  d->NotifyParametersChanged();
  layer->setModel(OverlayFromFit(r, names));
  v->layerChanged();
  Calculate(v);
  for (size_t k = 1; k < dlg.fittedPhases().size(); ++k)
    for (CChildFrame* f : frames())
      if (f->document() == documents[dlg.fittedPhases()[k]] && f->view()->patternPresent() &&
          (dlg.refined() & (kFitCell | kFitSize)))
        Calculate(f->view());
}

}  // namespace pelmora
