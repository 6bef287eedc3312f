#include "diffractogram/ui/ChartPrinting.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinterInfo>

#include "documents/ui/KomorkaDocument.h"
#include "diffractogram/PatternGrid.h"
#include "diffractogram/chart/PrintPage.h"
#include "diffractogram/ui/ChartView.h"

namespace pelmora {

ChartContent ViewChartContent(CDownView& view) {
  ChartContent c;
  c.series = view.series();
  c.ranges = view.ranges();
  c.ticks = view.ticks();
  c.style = view.chartStyle();
  c.descriptions = view.descriptions();
  // A line without a wavelength is not described, as on the screen.
  c.descriptions.ka1 = view.ka1Checked();
  c.descriptions.ka2 = view.ka2Checked();
  if (!view.patternPresent()) c.series.count = 0;
  if (c.descriptions.on) c.reflections = view.document()->doc().results.reflectionsAll;
  c.overlay = view.overlay();
  return c;
}

QSize ScreenPixelsPerCm(const QWidget& w) {
  return {std::max(1, static_cast<int>(w.logicalDpiX() / 2.54)), std::max(1, static_cast<int>(w.logicalDpiY() / 2.54))};
}

bool PrintChartPage(QPrinter& printer, CDownView& view, bool blackCurve) {
  QPainter p;
  if (!p.begin(&printer)) return false;
  PrintDevice dev;
  dev.page = QSize(printer.width(), printer.height());
  dev.dpiX = printer.logicalDpiX();
  dev.dpiY = printer.logicalDpiY();
  const QSize screen = ScreenPixelsPerCm(view);
  dev.screenPpcmX = screen.width();
  dev.screenPpcmY = screen.height();
  ChartContent chart = ViewChartContent(view);
  if (blackCurve) chart.style.curve = Qt::black;
  DrawPrintPage(p, dev, view.document()->doc(), chart);
  return p.end();
}

ChartPrinting::ChartPrinting(QWidget* parent)
    : parent_(parent), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

ChartPrinting::~ChartPrinting() = default;

bool ChartPrinting::Prepare() {
  const QPrinterInfo standard = QPrinterInfo::defaultPrinter();
  if (!standard.isNull()) {
    QPrinter test(standard, QPrinter::HighResolution);
    if (!test.isValid()) {
      QMessageBox::critical(parent_, QCoreApplication::translate("ChartPrinting", "Błąd"),
                            QCoreApplication::translate("ChartPrinting", "Nie powiodło się stworzenie kontekstu urządzenia drukarki"));
      return false;
    }
  }
  printer_->setPageOrientation(QPageLayout::Landscape);
  printer_->setFromTo(1, 1);
  return true;
}

void ChartPrinting::Print(CDownView& view, bool blackCurve, bool withDialog) {
  if (!Prepare()) return;
  if (withDialog) {
    QPrintDialog dlg(printer_.get(), parent_);
    dlg.setMinMax(1, 1);
    if (dlg.exec() != QDialog::Accepted) return;
  }
  if (!PrintChartPage(*printer_, view, blackCurve))
    QMessageBox::critical(parent_, QCoreApplication::translate("ChartPrinting", "Błąd"),
                          QCoreApplication::translate("ChartPrinting", "Nie powiodło się stworzenie kontekstu urządzenia drukarki"));
}

void ChartPrinting::Preview(CDownView& view, bool blackCurve) {
  if (!Prepare()) return;
  QPrintPreviewDialog dlg(printer_.get(), parent_);
  dlg.setWindowTitle(QCoreApplication::translate("ChartPrinting", "Podgląd wydruku"));
  QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg,
                   [&view, blackCurve](QPrinter* printer) { PrintChartPage(*printer, view, blackCurve); });
  dlg.resize(1000, 760);
  dlg.exec();
}

void ChartPrinting::Setup() {
  QPageSetupDialog dlg(printer_.get(), parent_);
  dlg.exec();
}

namespace {

struct PictureType {
  const char* filter;
  const char* suffix;
  PictureFormat format;
};

const PictureType kPictureTypes[] = {
    {"Windows Metafile (*.emf)", "emf", PictureFormat::Emf},
    {"Scalable Vector Graphics (*.svg)", "svg", PictureFormat::Svg},
    {"Portable Document Format (*.pdf)", "pdf", PictureFormat::Pdf},
    {"Portable Network Graphics (*.png)", "png", PictureFormat::Png},
};

}  // namespace

void ExportChartPicture(QWidget* parent, CDownView& view) {
  QFileDialog dlg(parent, QCoreApplication::translate("ChartPrinting", "Zapisz jako"));
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  QStringList filters;
  for (const PictureType& t : kPictureTypes) filters << QString::fromUtf8(t.filter);
  dlg.setNameFilters(filters);
  dlg.setDefaultSuffix(QStringLiteral("emf"));
  QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg, filters](const QString& f) {
    const qsizetype i = filters.indexOf(f);
    if (i >= 0) dlg.setDefaultSuffix(QString::fromUtf8(kPictureTypes[i].suffix));
  });
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
  const QString path = dlg.selectedFiles().first();
  // A name with another extension keeps it, in the type chosen in the list.
  const qsizetype chosen = std::max<qsizetype>(0, filters.indexOf(dlg.selectedNameFilter()));
  const PictureFormat format = PictureFormatOf(path).value_or(kPictureTypes[chosen].format);
  ChartContent chart = ViewChartContent(view);
  const QSize screen = ScreenPixelsPerCm(view);
  chart.style.sx = PictureScale(kPictureDpi, screen.width());
  chart.style.sy = PictureScale(kPictureDpi, screen.height());
  QString error;
  if (!WriteChartPicture(path, format, kPictureSize, chart, &error))
    QMessageBox::critical(parent, QCoreApplication::translate("ChartPrinting", "Błąd"), error);
}

}  // namespace pelmora
