#include "diffractogram/chart/LabelText.h"

#include <QPaintEngine>
#include <QTextLayout>
#include <charconv>
#include <cstdlib>
#include <limits>

namespace pelmora {

LabelText::LabelText(const QPainter& p) {
  static constexpr char16_t kChars[] = u"0123456789 ";
  constexpr int kCount = 11;
  // Devices that write a text's characters (SVG, metafiles, the print
  // preview's record) would get none from bare glyphs: they keep the text.
  const QPaintEngine* engine = p.paintEngine();
  if (!engine || (engine->type() != QPaintEngine::Raster && engine->type() != QPaintEngine::Pdf)) return;
  raw_ = QRawFont::fromFont(p.font());
  if (!raw_.isValid()) return;
  const QList<quint32> glyphs = raw_.glyphIndexesForString(QString::fromUtf16(kChars, kCount));
  if (glyphs.size() != kCount || glyphs.contains(0u)) return;
  const QList<QPointF> advances = raw_.advancesForGlyphIndexes(glyphs);
  QString probe;
  for (int a = 0; a < kCount; ++a)
    for (int b = 0; b < kCount; ++b) probe.append(QChar(kChars[a])).append(QChar(kChars[b]));
  QTextLayout layout(probe, p.font(), p.device());
  layout.beginLayout();
  QTextLine line = layout.createLine();
  line.setLineWidth(std::numeric_limits<int>::max() / 4);
  layout.endLayout();
  const QList<QGlyphRun> runs = layout.glyphRuns();
  if (runs.size() != 1 || runs[0].rawFont() != raw_) return;
  const QList<quint32> laidGlyphs = runs[0].glyphIndexes();
  const QList<QPointF> laidAt = runs[0].positions();
  if (laidGlyphs.size() != probe.size() || laidAt.size() != probe.size()) return;
  for (int i = 0; i < kCount; ++i) {
    glyph_[static_cast<size_t>(i)] = glyphs[i];
    advance_[static_cast<size_t>(i)] = advances[i].x();
  }
  qreal x = laidAt[0].x();
  for (qsizetype i = 0; i < probe.size(); ++i) {
    const size_t c = Slot(probe[i]);
    if (laidGlyphs[i] != glyph_[c] || laidAt[i] != QPointF(x, laidAt[0].y())) return;
    x += advance_[c];
  }
  plain_ = true;
}

void LabelText::Draw(QPainter& p, QPoint baseline, const int (&values)[3]) {
  if (!plain_) {
    p.drawText(baseline,
               QStringLiteral("%1 %2 %3").arg(std::abs(values[0])).arg(std::abs(values[1])).arg(std::abs(values[2])));
    return;
  }
  glyphs_.clear();
  positions_.clear();
  qreal x = 0;
  const auto put = [&](char ch) {
    const size_t c = Slot(QLatin1Char(ch));
    glyphs_.push_back(glyph_[c]);
    positions_.push_back(QPointF(x, 0));
    x += advance_[c];
  };
  for (int i = 0; i < 3; ++i) {
    if (i > 0) put(' ');
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, std::abs(static_cast<long long>(values[i]))).ptr;
    for (const char* d = digits; d != end; ++d) put(*d);
  }
  QGlyphRun run;
  run.setRawFont(raw_);
  run.setGlyphIndexes(glyphs_);
  run.setPositions(positions_);
  p.drawGlyphRun(baseline, run);
}

}  // namespace pelmora
