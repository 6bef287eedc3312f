#include "app/ui/PatternCommands.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMainWindow>
#include <QStatusBar>
#include <QMessageBox>

#include "documents/ui/KomorkaDocument.h"
#include "app/ui/PelmorApp.h"
#include "diffractogram/PatternExport.h"
#include "diffractogram/ui/ChartView.h"
#include "diffractogram/ui/PatternSaveDialog.h"
#include "plugins/ui/SettingsButton.h"

namespace pelmora {

void SynthesiseInto(QWidget* parent, CPelmorApp& app, CDownView& view, int profileId) {
  const SynthesisReport report = view.synthesise(app.SetupFor(profileId));
  if (auto* frame = qobject_cast<QMainWindow*>(parent))
    frame->statusBar()->showMessage(QString::fromStdString(SubGridPeaksMessage(report.subGridPeaks)));
  const std::string message = RefusedPeaksMessage(report.refusedPeaks);
  if (!message.empty()) QMessageBox::warning(parent, QCoreApplication::translate("PatternCommands", "Info"), QString::fromStdString(message));
}

void ExportDisplayedPattern(QWidget* parent, CPelmorApp& app, CDownView& view) {
  const PatternWindow window = ExportWindow(view.zoom().x0, view.zoom().x1);
  const double maximum = WindowMaximum(view.grid(), window);
  const std::vector<ChartFormat>& formats = app.chartFormats();
  FormatChoices choices = ChoicesOf(formats);
  CPatternSaveDialog dlg(parent, choices.labels, choices.patterns, std::move(choices.modules));
  dlg.scale = DefaultExportScale(maximum);
  dlg.maximum = maximum;
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
  const ChartFormat& format = formats.at(std::clamp<int>(dlg.typeIndex, 0, static_cast<int>(formats.size()) - 1));
  const QString chosen = dlg.selectedFiles().first();
  const QString name =
      QString::fromStdString(ExportFileName(QFile::encodeName(chosen).toStdString(), format));
  // The dialog asked about the name as typed; an added extension can name
  // another file that exists, and that one must not go without a question.
  if (name != chosen && QFileInfo::exists(name) &&
      QMessageBox::question(parent, QCoreApplication::translate("PatternCommands", "Pytanie"),
                            QCoreApplication::translate("PatternCommands", "Plik %1 już istnieje.\nCzy zastąpić go?").arg(QFileInfo(name).fileName()),
                            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
    return;
  std::string error;
  // The abscissa the chart shows is the one written.
  const ChartStyle style = view.chartStyle();
  const XAxisUnit unit = style.wavelength > 0.0 ? style.xAxis : XAxisUnit::TwoTheta;
  if (!SavePattern(format, QFile::encodeName(name).toStdString(), dlg.scale, view.grid().points() + window.first,
                   window.count, &error, unit, style.wavelength))
    QMessageBox::critical(parent, QCoreApplication::translate("PatternCommands", "Błąd"), QString::fromStdString(error));
}

}  // namespace pelmora
