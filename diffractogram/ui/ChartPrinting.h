// Printing and the picture export of a chart view: one landscape page with
// the header block, the chart and the atom positions (print, print preview,
// print setup), and the chart alone as EMF, SVG, PDF or PNG.
#pragma once

#include <QPrinter>
#include <memory>

#include "diffractogram/chart/ChartPicture.h"

class QWidget;

namespace pelmora {

class CDownView;

// What the view shows now, for drawing elsewhere: its window, ticks,
// descriptions and colours, and a copy of the document's reflections.
ChartContent ViewChartContent(CDownView& view);

// The screen's whole pixels per centimetre where the view is shown.
QSize ScreenPixelsPerCm(const QWidget& w);

// Draws the page into a printer (or a preview's printer). The curve is
// black when `blackCurve` ("printBW").
bool PrintChartPage(QPrinter& printer, CDownView& view, bool blackCurve);

// The printer settings of the session: print setup changes them, every
// print and preview starts from them.
class ChartPrinting {
 public:
  explicit ChartPrinting(QWidget* parent);
  ~ChartPrinting();
  QPrinter& printer() { return *printer_; }

  // Checks the default printer, turns the page to landscape and fixes the
  // range to the one page; false after a message when it cannot print.
  bool Prepare();
  // The print dialog, then the page (or the page directly).
  void Print(CDownView& view, bool blackCurve, bool withDialog);
  void Preview(CDownView& view, bool blackCurve);
  void Setup();

 private:
  QWidget* parent_;
  std::unique_ptr<QPrinter> printer_;
};

// "Postać graficzna": asks for a file name and writes the chart picture.
void ExportChartPicture(QWidget* parent, CDownView& view);

}  // namespace pelmora
