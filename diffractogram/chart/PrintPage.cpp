#include "diffractogram/chart/PrintPage.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "engine/Komorka.h"
#include "io/NumberFormat.h"

namespace pelmora {

QString LatticeTypeName(unsigned code) {
  switch (code) {
    case 1: return QCoreApplication::translate("PrintPage", "Regularna (P)");
    case 9: return QCoreApplication::translate("PrintPage", "Regularna (I)");
    case 17: return QCoreApplication::translate("PrintPage", "Regularna (F)");
    case 2: return QCoreApplication::translate("PrintPage", "Tetragonalna (P)");
    case 10: return QCoreApplication::translate("PrintPage", "Tetragonalna (I)");
    case 3: return QCoreApplication::translate("PrintPage", "Rombowa (P)");
    case 11: return QCoreApplication::translate("PrintPage", "Rombowa (I)");
    case 35: return QCoreApplication::translate("PrintPage", "Rombowa (C)");
    case 19: return QCoreApplication::translate("PrintPage", "Rombowa (F)");
    case 6: return QCoreApplication::translate("PrintPage", "Jednoskośna (P)");
    case 38: return QCoreApplication::translate("PrintPage", "Jednoskośna (C)");
    case 7: return QCoreApplication::translate("PrintPage", "Trójskośna");
    case 4: return QCoreApplication::translate("PrintPage", "Romboedryczna");
    case 5: return QCoreApplication::translate("PrintPage", "Heksagonalna");
    default: return QCoreApplication::translate("PrintPage", "Nieznany typ");
  }
}

namespace {

QString F(const char* format, double v) { return QString::fromStdString(cformat(format, v)); }

// Writes texts as runs: each run starts where the last one ended, and a
// line break returns to the left edge, one blank's height (times a factor)
// lower in the current font.
class RunWriter {
 public:
  explicit RunWriter(QPainter& p) : p_(p) {}
  void MoveTo(QPointF origin) {
    left_ = origin.x();
    at_ = origin;
  }
  void SetFont(const QFont& f) { font_ = f; }
  const QFont& font() const { return font_; }
  void Run(const QString& text) {
    at_.rx() += Draw(text, font_, at_.y());
    right_ = std::max(right_, at_.x());
  }
  // The furthest point any run has reached since the last call.
  double TakeRight() { return std::exchange(right_, 0.0); }
  double Blank() const { return QFontMetricsF(font_).horizontalAdvance(QLatin1Char(' ')); }
  // Half the height, lowered by half a line.
  void Subscript(const QString& text) {
    QFont small = font_;
    small.setPixelSize(std::max(1, font_.pixelSize() / 2));
    at_.rx() += Draw(text, small, at_.y() + QFontMetricsF(font_).height() / 2.0);
  }
  void Break(double factor) { at_ = QPointF(left_, at_.y() + QFontMetricsF(font_).height() * factor); }
  // A text with line breaks of a factor 1.
  void Lines(const QString& text) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
      if (i > 0) Break(1.0);
      if (!lines[i].isEmpty()) Run(lines[i]);
    }
  }

 private:
  double Draw(const QString& text, const QFont& f, double top) {
    p_.setFont(f);
    const QFontMetricsF fm(f, p_.device());
    p_.drawText(QPointF(at_.x(), top + fm.ascent()), text);
    return fm.horizontalAdvance(text);
  }
  QPainter& p_;
  QFont font_;
  double left_ = 0.0, right_ = 0.0;
  QPointF at_;
};

const QString kAngstrom = QStringLiteral("Å  ");

void DrawHeader(QPainter& p, const QRect& block, const CKomorka& d, int sy) {
  const QFont title = ChartFont(QStringLiteral("Tahoma"), 40 * sy, 700);
  const QFont body = ChartFont(QStringLiteral("Tahoma"), 18 * sy, 400);
  RunWriter w(p);
  w.MoveTo(block.topLeft());
  w.SetFont(title);
  w.Run(QStringLiteral("Pelmora v1.1.5"));
  w.Break(1.0);
  w.SetFont(body);
  w.Lines(QCoreApplication::translate("PrintPage", "Komórka: ") + LatticeTypeName(d.crystal.latticeType) + QCoreApplication::translate("PrintPage", "\n\nKąty sieci:"));
  // "%3c": each letter right-aligned in three places.
  w.Run(QStringLiteral("  α = ") + F("%.1f", d.cell.alfa) + QStringLiteral("°   β = ") + F("%.1f", d.cell.beta) +
        QStringLiteral("°   γ = ") + F("%.1f", d.cell.gamma) + QStringLiteral("°"));
  w.Break(1.0);
  w.Run(QCoreApplication::translate("PrintPage", "Stałe sieci:"));
  for (auto [letter, value] : {std::pair{'a', d.cell.a}, {'b', d.cell.b}, {'c', d.cell.c}}) {
    w.Run(QStringLiteral("  %1 = ").arg(QLatin1Char(letter)) + F("%.3f ", value));
    w.Run(kAngstrom);
  }
  w.Break(2.0);
  w.Run(QCoreApplication::translate("PrintPage", "Źródło promieniowania:"));
  w.Break(1.2);
  w.Run(d.experiment.radiation == 0 ? QCoreApplication::translate("PrintPage", "  Promieniowanie X") : QCoreApplication::translate("PrintPage", "  Neutrony"));
  w.Break(1.2);
  w.Run(QStringLiteral("  λ"));
  w.Subscript(QStringLiteral(" 1"));
  w.Run(F(" = %.4f ", d.experiment.lambda1));
  w.Run(kAngstrom);
  if (d.experiment.lambda2 > 0.0) {
    w.Run(QStringLiteral("  λ"));
    w.Subscript(QStringLiteral(" 2"));
    w.Run(F(" = %.4f ", d.experiment.lambda2));
    w.Run(kAngstrom);
  }

  // Second column: the experiment's captions and the instrument's coefficients.
  // A font wider than the one the layout was made for moves the columns
  // right rather than letting texts run into each other.
  QPointF column(std::max(block.left() + block.width() * 1.0, w.TakeRight() + 2 * w.Blank()), block.top());
  w.MoveTo(column);
  w.Break(1.0);
  w.Run(QCoreApplication::translate("PrintPage", "Parametry eksperymentu:"));
  w.TakeRight();  // only the captions beside the values count below
  w.Break(2.0);
  w.Run(QCoreApplication::translate("PrintPage", "Czynnik Debya-Wallera"));
  w.Break(1.5);
  w.Run(QCoreApplication::translate("PrintPage", "Rozmiar monokryst."));
  w.Break(1.0);
  w.Run(QCoreApplication::translate("PrintPage", "ziarna próbki"));
  const double captions = w.TakeRight();
  w.Break(3.0);
  w.Run(QCoreApplication::translate("PrintPage", "Czynniki aparaturowe:"));
  w.Break(1.5);
  w.Run(F("  U = %.5f", d.experiment.u));
  w.Run(F("  X = %.5f", d.experiment.x));
  w.Break(1.0);
  w.Run(F("  V = %.5f", d.experiment.v));
  w.Run(F("  Y = %.5f", d.experiment.y));
  w.Break(1.0);
  w.Run(F("  W = %.5f", d.experiment.w));

  // Values beside their captions.
  column.rx() = std::max(column.x() + block.width() / 2.0, captions + w.Blank());
  w.MoveTo(column);
  w.Break(3.0);
  w.Run(F("B = %.4f ", d.experiment.dwfactor));
  w.Break(2.0);
  w.Run(F("D = %.1f ", d.experiment.gsize));
  w.Run(kAngstrom);
  w.Break(1.5);
}

void DrawAtomTable(QPainter& p, const QRect& area, const CKomorka& d, int sx) {
  if (d.crystal.cellAtoms.empty()) return;
  const QFont font = ChartFont(QStringLiteral("SansSerif"), 16 * sx, 400);
  p.setFont(font);
  const int rowHeight = static_cast<int>(QFontMetricsF(font, p.device()).height()) + 6 * sx;
  const int columnWidth = area.width() / 4;
  p.setPen(QPen(Qt::black, std::max(1, sx / 2)));
  p.setBrush(Qt::NoBrush);
  int top = area.top();
  auto cell = [&](int column, int span, const QString& text) {
    const QRect r(area.left() + column * columnWidth, top, span * columnWidth, rowHeight);
    p.drawRect(r);
    p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, text);
  };
  cell(0, 4, QCoreApplication::translate("PrintPage", "Pozycje atomów"));
  top += rowHeight;
  const QString heads[] = {QCoreApplication::translate("PrintPage", "Atom"), QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")};
  for (int c = 0; c < 4; ++c) cell(c, 1, heads[c]);
  top += rowHeight;
  // Rows that would run off the page are left out: the page has no second sheet.
  for (const AtomSite& a : d.crystal.cellAtoms) {
    if (top + rowHeight > area.bottom()) break;
    cell(0, 1, QString::fromStdString(a.name));
    cell(1, 1, F("%.3f", a.x));
    cell(2, 1, F("%.3f", a.y));
    cell(3, 1, F("%.3f", a.z));
    top += rowHeight;
  }
}

}  // namespace

void DrawPrintPage(QPainter& p, const PrintDevice& dev, const CKomorka& doc, ChartContent& chart) {
  const int cx = static_cast<int>(dev.dpiX / 2.54), cy = static_cast<int>(dev.dpiY / 2.54);
  const int mx = static_cast<int>(1.5 * cx), my = static_cast<int>(1.5 * cy);
  const int sx = std::max(1, cx / std::max(1, dev.screenPpcmX));
  const int sy = std::max(1, cy / std::max(1, dev.screenPpcmY));
  const int P = dev.page.height();
  p.save();
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setPen(chart.style.axis);
  DrawHeader(p, QRect(mx, my, 9 * cx, 6 * cy), doc, sy);
  p.restore();

  chart.style.sx = sx;
  chart.style.sy = sy;
  // The intensity title and labels stand up to 90 screen pixels left of the
  // chart; a margin of 1.5 cm is narrower than that at every resolution, so
  // the chart moves right as far as they need.
  const int left = std::max(mx, 92 * sx);
  const ChartRect rect{left, P - my - 10 * cy, mx + 20 * cx, P - my};
  chart.style.counts = chart.overlay != nullptr;
  DrawAxes(p, rect, chart.overlay ? CountRanges(chart.ranges, *chart.overlay) : chart.ranges, chart.ticks,
           chart.style);
  const ChartRect plot = PlotRect(rect, sy);
  DrawCurve(p, plot.width(), plot.height(), QPoint(plot.left, plot.top), chart.series, chart.ranges, chart.style,
            chart.descriptions, &chart.reflections, nullptr, chart.overlay.get());

  p.save();
  DrawAtomTable(p, QRect(QPoint(mx + 21 * cx, my + cy), QPoint(mx + 27 * cx, P - my)), doc, sx);
  p.restore();
}

}  // namespace pelmora
