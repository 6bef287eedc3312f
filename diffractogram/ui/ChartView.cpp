#include "diffractogram/ui/ChartView.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <memory>

#include "diffractogram/PatternRun.h"
#include "documents/ui/KomorkaDocument.h"
#include "io/NumberFormat.h"

namespace pelmora {

CDownView::CDownView(KomorkaDocument* document, QWidget* parent) : QWidget(parent), document_(document) {
  series_ = {grid_.points(), PatternGrid::size(), 0.0, kPatternStep};
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(300, 200);
  setCursor(Qt::CrossCursor);
  // Until the document has a usable range the axis spans every 2-theta.
  zoom_.SetBounds(0.0, 180.0);
  takeRange();
  connect(document_, &KomorkaDocument::parametersChanged, this, &CDownView::onParametersChanged);
}

bool CDownView::takeRange(bool angleOnly) {
  const CKomorka& d = document_->doc();
  if (!(d.experiment.angleMin < d.experiment.angleMax) || !std::isfinite(d.experiment.angleMin) || !std::isfinite(d.experiment.angleMax)) {
    // An axis from max to min, or of no width, would draw nothing sensible:
    // the last valid window stays until the range is mended.
    rangeText_ = QString::fromStdString(
        cformat(tr("Nieprawidłowy zakres kątowy (min = %g, max = %g st.): wykres zostaje przy %g–%g st.").toStdString().c_str(),
                d.experiment.angleMin, d.experiment.angleMax, zoom_.A, zoom_.B));
    return false;
  }
  rangeText_.clear();
  if (angleOnly) {
    zoom_.A = d.experiment.angleMin;
    zoom_.B = d.experiment.angleMax;
    zoom_.ResetAngle();
  } else {
    zoom_.SetBounds(d.experiment.angleMin, d.experiment.angleMax);
  }
  return true;
}

CDownView::~CDownView() { waitForRendering(); }

void CDownView::waitForRendering() {
  if (!worker_.joinable()) return;
  // Whoever waits is about to change what the worker reads: its picture
  // would be out of date anyway.
  if (pending_) abort_ = true;
  worker_.join();
}

void CDownView::setTicks(const TickFlags& t) {
  ticks_ = t;
  update();
}

void CDownView::setStyle(const ChartStyle& s) {
  style_ = s;
  markStale();
}

ChartStyle CDownView::chartStyle() const {
  ChartStyle s = style_;
  s.xAxis = xAxis_;
  s.wavelength = document_->doc().experiment.lambda1;
  return s;
}

void CDownView::setXAxis(XAxisUnit unit) {
  if (unit == xAxis_) return;
  xAxis_ = unit;
  update();  // only the axis changes: the cached curve stays
}

QString CDownView::abscissaText(double twoTheta) const {
  const double lambda = document_->doc().experiment.lambda1;
  const XAxisUnit unit = lambda > 0.0 ? xAxis_ : XAxisUnit::TwoTheta;
  const double v = XAxisValue(unit, twoTheta, lambda);
  switch (unit) {
    case XAxisUnit::D: return QString::fromStdString(cformat("d: %.5f Å", v));
    case XAxisUnit::Q: return QString::fromStdString(cformat("Q: %.5f Å⁻¹", v));
    default: return QString::fromStdString(cformat(tr("Kąt: %.4f st.").toStdString().c_str(), v));
  }
}

void CDownView::toggleDescriptions() {
  desc_.on = !desc_.on;
  markStale();
}

void CDownView::toggleKa1() {
  desc_.ka1 = !ka1Checked();
  markStale();
}

void CDownView::toggleKa2() {
  desc_.ka2 = !ka2Checked();
  markStale();
}

bool CDownView::ka1Checked() {
  if (document_->doc().experiment.lambda1 == 0.0) desc_.ka1 = false;
  return desc_.ka1;
}

bool CDownView::ka2Checked() {
  if (document_->doc().experiment.lambda2 == 0.0) desc_.ka2 = false;
  return desc_.ka2;
}

void CDownView::markStale() {
  stale_ = true;
  if (pending_) abort_ = true;
  update();
}

SynthesisReport CDownView::synthesise(const SynthesisSetup& setup) {
  // The renderer reads the grid: it must have finished first.
  waitForRendering();
  const SynthesisReport report = FinishRun(setup, document_->doc(), grid_);
  patternSynthesised();
  return report;
}

void CDownView::patternSynthesised() {
  series_.maximum = grid_.maximum;
  patternPresent_ = true;
  if (layer_) {
    layer_->PatternChanged(grid_);
    rebuildOverlay();
  }
  markStale();
}

void CDownView::setLayer(std::shared_ptr<ChartLayer> layer) {
  waitForRendering();
  layer_ = std::move(layer);
  if (layer_) layer_->PatternChanged(grid_);
  rebuildOverlay();
  zoom_.ResetIntensity();
  markStale();
}

void CDownView::layerChanged() {
  waitForRendering();
  rebuildOverlay();
  markStale();
}

void CDownView::rebuildOverlay() {
  if (!layer_) {
    overlay_.reset();
    return;
  }
  overlay_ = layer_->Build(grid_, patternPresent_ ? &document_->doc().results.reflectionsAll : nullptr);
}

void CDownView::onParametersChanged() {
  if (!grid_.snapshot.DiffersFrom(document_->doc())) return;
  // New bounds and the whole angle range; the intensity window stays where
  // the user put it.
  if (!takeRange(/*angleOnly=*/true)) emit statusText(rangeText_);
  markStale();
}

bool CDownView::runZoomCommand(int id) {
  bool changed = false;
  switch (id) {
    case zoomcmd::kReset: changed = zoom_.Reset(); break;
    case zoomcmd::kResetIntensity: changed = zoom_.ResetIntensity(); break;
    case zoomcmd::kResetAngle: changed = zoom_.ResetAngle(); break;
    case zoomcmd::kZoomIn: changed = zoom_.ZoomIn(); break;
    case zoomcmd::kZoomOut: changed = zoom_.ZoomOut(); break;
    case zoomcmd::kShiftLowerRange: changed = zoom_.ShiftLowerByRange(); break;
    case zoomcmd::kShiftLowerStep: changed = zoom_.ShiftLowerByStep(); break;
    case zoomcmd::kShiftHigherStep: changed = zoom_.ShiftHigherByStep(); break;
    case zoomcmd::kShiftHigherRange: changed = zoom_.ShiftHigherByRange(); break;
    case zoomcmd::kUpHeight: changed = zoom_.IntensityUpByHeight(); break;
    case zoomcmd::kUpStep: changed = zoom_.IntensityUpByStep(); break;
    case zoomcmd::kDownStep: changed = zoom_.IntensityDownByStep(); break;
    case zoomcmd::kDownHeight: changed = zoom_.IntensityDownByHeight(); break;
    default: return false;
  }
  if (changed) markStale();
  return changed;
}

void CDownView::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  stale_ = true;
}

void CDownView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int W = width(), H = height();
  p.fillRect(QRect(0, 0, W, kMarginTop), Qt::white);
  p.fillRect(QRect(0, H - kMarginBottom, W, kMarginBottom), Qt::white);
  p.fillRect(QRect(0, 0, kMarginLeft, H), Qt::white);
  p.fillRect(QRect(W - kMarginRight, 0, kMarginRight, H), Qt::white);
  chart_ = {kMarginLeft, kMarginTop, W - kMarginRight, H - kMarginBottom};
  if (chart_.width() < 10 || chart_.height() < 2 * kLabelBand + 10) return;

  const ChartRanges r = ranges();
  {
    ChartStyle axisStyle = chartStyle();
    axisStyle.counts = overlay_ != nullptr;
    DrawAxes(p, chart_, overlay_ ? CountRanges(r, *overlay_) : r, ticks_, axisStyle);
  }
  zoom_.NoteDrawn();
  const ChartRect plot = PlotRect(chart_, style_.sy);
  const QRect plotRect(plot.left, plot.top, plot.width(), plot.height());

  if (!patternPresent_ && !overlay_) {
    p.fillRect(plotRect, Qt::white);
  } else if (cached_ && !stale_ && cached_->image.deviceIndependentSize().toSize() == plotRect.size()) {
    p.drawImage(plotRect.topLeft(), cached_->image);
  } else {
    p.fillRect(plotRect, Qt::white);
    if (cached_) {
      // Stretch the last picture from its own window to the current one
      // until the new rendering arrives.
      const ChartRanges& c = cached_->ranges;
      const double w = plot.width(), h = plot.height();
      auto X = [&](double angle) { return plot.left + (angle - r.x0) * w / (r.x1 - r.x0); };
      auto Y = [&](double pct) { return plot.top + (h - 1) - (pct - r.y0) * h / (r.y1 - r.y0); };
      const QRectF target(QPointF(X(c.x0), Y(c.y1)), QPointF(X(c.x1), Y(c.y0)));
      p.save();
      p.setClipRect(plotRect);
      p.setRenderHint(QPainter::SmoothPixmapTransform, false);
      p.drawImage(target, cached_->image);
      p.restore();
    }
    if (!pending_) startRendering(plot);
  }
  drawGuides(p);
}

void CDownView::startRendering(const ChartRect& plot) {
  waitForRendering();
  pending_ = true;
  abort_ = false;
  stale_ = false;
  std::shared_ptr<std::vector<Reflection>> refl;
  if (desc_.on) {
    ka1Checked();
    ka2Checked();
    refl = std::make_shared<std::vector<Reflection>>(document_->doc().results.reflectionsAll);
  }
  const QSize size(plot.width(), plot.height());
  const ChartRanges r = ranges();
  const ChartStyle style = style_;
  const DescriptionFlags desc = desc_;
  const ChartSeries series = series_;
  const std::shared_ptr<const ChartOverlay> overlay = overlay_;
  // On a high-density screen the picture has as many pixels as the screen.
  const qreal dpr = devicePixelRatioF();
  worker_ = std::thread([this, size, r, style, desc, series, refl, dpr, overlay] {
    QImage image(size * dpr, QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::white);
    {
      QPainter p(&image);
      DrawCurve(p, size.width(), size.height(), QPoint(0, 0), series, r, style, desc, refl.get(), &abort_,
                overlay.get());
    }
    const bool aborted = abort_.load();
    QMetaObject::invokeMethod(
        this,
        [this, image = std::move(image), r, refl, aborted]() mutable {
          installRendering(std::move(image), r, refl, aborted);
        },
        Qt::QueuedConnection);
  });
}

void CDownView::installRendering(QImage image, ChartRanges r, std::shared_ptr<std::vector<Reflection>> refl,
                                 bool aborted) {
  if (worker_.joinable()) worker_.join();  // it has posted this and is ending
  pending_ = false;
  if (aborted) {
    // Half a picture is no picture: the next paint starts a new one.
    stale_ = true;
    update();
    return;
  }
  cached_ = Rendering{std::move(image), r};
  // The label rectangles belong to the document's reflections.
  if (refl) {
    auto& all = document_->doc().results.reflectionsAll;
    if (all.size() == refl->size())
      for (size_t i = 0; i < all.size(); ++i) all[i].labelRect = (*refl)[i].labelRect;
  }
  update();
  emit rendered();
}

// --- guides ----------------------------------------------------------------

void CDownView::drawGuides(QPainter& p) {
  if (!anchor_ && !cursor_) return;
  p.save();
  // Inverting what lies under the guide keeps it visible on any colour.
  p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
  p.setPen(QPen(Qt::black, 1));
  const int band = kLabelBand * style_.sy;
  const int m = mode();
  if (m == kModeArea) {
    if (anchor_ && cursor_) p.drawRect(QRect(*anchor_, *cursor_).normalized());
  } else {
    auto line = [&](const QPoint& pt, int kind) {
      if (kind == 1)
        p.drawLine(pt.x(), chart_.top, pt.x(), chart_.bottom);
      else
        p.drawLine(chart_.left, pt.y(), chart_.right, pt.y());
    };
    const int kind = m == kModeStretchY ? 2 : 1;
    if (anchor_) line(*anchor_, kind);
    if (cursor_ && (!anchor_ || *cursor_ != *anchor_)) line(*cursor_, guideKind_ ? guideKind_ : kind);
  }
  (void)band;
  p.restore();
}

void CDownView::updateGuideArea(std::optional<QPoint> a, std::optional<QPoint> b, int kind) {
  auto area = [&](const QPoint& pt) {
    return kind == 1 ? QRect(pt.x() - 1, chart_.top - 1, 3, chart_.height() + 3)
                     : QRect(chart_.left - 1, pt.y() - 1, chart_.width() + 3, 3);
  };
  if (a) update(area(*a));
  if (b) update(area(*b));
}

void CDownView::clearGuides() {
  if (anchor_ || cursor_) update();
  anchor_.reset();
  cursor_.reset();
  guideKind_ = 0;
}

void CDownView::setActive(bool active) {
  if (!active && cursor_) {
    cursor_.reset();
    update();
  }
  active_ = active;
  // Coming back to a view whose range is still wrong says so again.
  if (active && !rangeText_.isEmpty()) emit statusText(rangeText_);
}

// --- mouse -----------------------------------------------------------------

double CDownView::pixelToAngle(int x) const {
  return PixelToValue(x - chart_.left, chart_.width(), zoom_.x0, zoom_.x1);
}

double CDownView::pixelToPercent(int y) const {
  const int band = kLabelBand * style_.sy;
  const int bottom = chart_.bottom - band;
  return PixelToValue(bottom - y, chart_.height() - 2 * band, zoom_.y0, zoom_.y1);
}

void CDownView::readCursor(QPoint pos) {
  const double a = pixelToAngle(pos.x()), pct = pixelToPercent(pos.y());
  if (!(zoom_.x0 <= a && a <= zoom_.x1 && zoom_.y0 < pct && pct < zoom_.y1)) {
    emit cursorRead({}, {}, {}, {});
    return;
  }
  QString ka1, ka2;
  const CKomorka& d = document_->doc();
  const auto [lo, hi] = d.results.FindReflectionRange(pixelToAngle(pos.x() - 2), pixelToAngle(pos.x() + 3));
  for (int i = lo; i >= 0 && i <= hi; ++i) {
    const Reflection& f = d.results.reflectionsAll[i];
    if (!f.nonZero) continue;
    const QString item = QString::fromStdString(cformat("%d %d %d ; ", f.h, f.k, f.l));
    if (f.line == 1) ka1 += item;
    else if (f.line == 2) ka2 += item;
  }
  cursorText_ = abscissaText(a) +
                (overlay_ ? QString::fromStdString(
                                cformat(tr("    Zliczenia: %.1f").toStdString().c_str(), CountRanges({a, a, pct, pct}, *overlay_).y0))
                          : QString::fromStdString(cformat(tr("    Natężenie: %.4f").toStdString().c_str(), pct)));
  emit statusText(cursorText_);
  emit cursorRead(QString::fromStdString(cformat("%.4f", a)), QString::fromStdString(cformat("%.4f", pct)), ka1,
                  ka2);
}

void CDownView::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (chart_.width() > 0) readCursor(pos);
  const int m = mode();
  const int band = kLabelBand * style_.sy;
  if (!active_) return;
  if (m == kModeStretchX) {
    if (pos.x() > chart_.left && pos.x() < chart_.right) {
      const auto old = cursor_;
      const int oldKind = guideKind_;
      cursor_ = pos;
      guideKind_ = 1;
      if (old) updateGuideArea(old, std::nullopt, oldKind ? oldKind : 1);
      updateGuideArea(cursor_, std::nullopt, 1);
    }
  } else if (m == kModeStretchY) {
    if (pos.y() > chart_.top + band && pos.y() < chart_.bottom - band) {
      const auto old = cursor_;
      const int oldKind = guideKind_;
      cursor_ = pos;
      guideKind_ = 2;
      if (old) updateGuideArea(old, std::nullopt, oldKind ? oldKind : 2);
      updateGuideArea(cursor_, std::nullopt, 2);
    }
  } else if (m == kModeArea && anchor_ && (e->buttons() & Qt::LeftButton)) {
    const QPoint c(std::clamp(pos.x(), chart_.left, chart_.right),
                   std::clamp(pos.y(), chart_.top + band, chart_.bottom - band));
    const QRect old = cursor_ ? QRect(*anchor_, *cursor_).normalized() : QRect();
    cursor_ = c;
    update(old.adjusted(-1, -1, 2, 2));
    update(QRect(*anchor_, c).normalized().adjusted(-1, -1, 2, 2));
  }
}

void CDownView::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const QPoint pos = e->position().toPoint();
  const int band = kLabelBand * style_.sy;
  const int m = mode();
  if (m == kModeStretchX || m == kModeStretchY) {
    const bool horizontal = m == kModeStretchX;
    const QPoint c = horizontal ? QPoint(std::clamp(pos.x(), chart_.left, chart_.right), pos.y())
                                : QPoint(pos.x(), std::clamp(pos.y(), chart_.top + band, chart_.bottom - band));
    if (!anchor_) {
      anchor_ = c;
      updateGuideArea(anchor_, std::nullopt, horizontal ? 1 : 2);
      return;
    }
    const QPoint first = *anchor_;
    anchor_.reset();
    const bool changed = horizontal ? zoom_.StretchAngle(pixelToAngle(first.x()), pixelToAngle(c.x()))
                                    : zoom_.StretchIntensity(pixelToPercent(first.y()), pixelToPercent(c.y()));
    if (changed) markStale();
    else update();
  } else if (m == kModeArea && !anchor_) {
    anchor_ = QPoint(std::clamp(pos.x(), chart_.left, chart_.right),
                     std::clamp(pos.y(), chart_.top + band, chart_.bottom - band));
    cursor_.reset();
  }
}

void CDownView::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || mode() != kModeArea || !anchor_ || !cursor_) return;
  const QPoint a = *anchor_, c = *cursor_;
  anchor_.reset();
  cursor_.reset();
  // A rectangle without width or height would give an infinite zoom.
  if (a.x() != c.x() && a.y() != c.y()) {
    const double ax = pixelToAngle(a.x()), cx = pixelToAngle(c.x());
    const double ay = pixelToPercent(a.y()), cy = pixelToPercent(c.y());
    zoom_.StretchAngle(ax, cx);
    zoom_.StretchIntensity(ay, cy);
  }
  markStale();
}

void CDownView::leaveEvent(QEvent* e) {
  QWidget::leaveEvent(e);
  // A reading of a place the mouse has left would mislead.
  if (!cursorText_.isEmpty()) {
    cursorText_.clear();
    emit statusText({});
    emit cursorRead({}, {}, {}, {});
  }
  if (cursor_ && mode() != kModeArea) {
    updateGuideArea(cursor_, std::nullopt, guideKind_ ? guideKind_ : 1);
    cursor_.reset();
  }
}

}  // namespace pelmora
