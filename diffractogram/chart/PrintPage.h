// The printed page of a diffractogram: a header block with the cell and the
// experiment, the chart, and the table of atom positions, laid out in
// centimetres of the device so that any printer (or PDF) gets the same page.
#pragma once

#include <QSize>
#include <QString>

#include "diffractogram/chart/ChartPicture.h"

class QPainter;

namespace pelmora {

class CKomorka;

struct PrintDevice {
  QSize page;          // printable page in device pixels
  int dpiX = 300, dpiY = 300;
  // Whole pixels per centimetre of the screen the chart was laid out on.
  int screenPpcmX = kDefaultScreenPixelsPerCm, screenPpcmY = kDefaultScreenPixelsPerCm;
};

// The lattice type's name on the page ("Regularna (F)"...).
QString LatticeTypeName(unsigned latticeCode);

// Draws the page. The chart's scale factors are set from the device here;
// its curve colour is the caller's (black for "printBW").
void DrawPrintPage(QPainter& p, const PrintDevice& device, const CKomorka& doc, ChartContent& chart);

}  // namespace pelmora
