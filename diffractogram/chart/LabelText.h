// The "h k l" texts of the chart's reflection labels.
#pragma once

#include <QGlyphRun>
#include <QList>
#include <QPainter>
#include <QPointF>
#include <QRawFont>
#include <array>

namespace pelmora {

// Laying out a text costs far more than drawing it, and a crowded chart has
// tens of thousands of labels. When the painter's font places digits and
// blanks by their advances alone (no kerning, no substitution, as a probe of
// every pair laid out by Qt shows), and the device draws glyphs, the glyphs
// are placed here the same way instead; otherwise each text is laid out.
class LabelText {
 public:
  explicit LabelText(const QPainter& p);
  // The three numbers without signs, a blank between them, from `baseline`.
  void Draw(QPainter& p, QPoint baseline, const int (&values)[3]);
  bool placesGlyphs() const { return plain_; }

 private:
  static size_t Slot(QChar c) { return c == QLatin1Char(' ') ? 10 : static_cast<size_t>(c.unicode() - u'0'); }

  QRawFont raw_;
  std::array<quint32, 11> glyph_{};
  std::array<qreal, 11> advance_{};
  bool plain_ = false;
  QList<quint32> glyphs_;  // reused from label to label
  QList<QPointF> positions_;
};

}  // namespace pelmora
