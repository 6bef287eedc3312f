// The chart view of one document: the diffractogram with its axes, the
// window of Zoom and navigation, the mouse modes and the cursor read-out.
// The curve is drawn by a worker into an off-screen image; the user-interface
// thread only copies images (or stretches the last one while a new one is
// being drawn).
#pragma once

#include <QImage>
#include <QWidget>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "diffractogram/PatternGrid.h"
#include "diffractogram/PatternSynthesis.h"
#include "diffractogram/chart/ChartPainter.h"
#include "diffractogram/ZoomState.h"
#include "diffractogram/ui/ChartLayer.h"

namespace pelmora {

class KomorkaDocument;

class CDownView : public QWidget {
  Q_OBJECT
 public:
  // Interaction modes, one for the whole application.
  enum Mode { kModeNone = 0, kModeStretchX = 1, kModeStretchY = 2, kModeArea = 3 };

  explicit CDownView(KomorkaDocument* document, QWidget* parent = nullptr);
  ~CDownView() override;

  KomorkaDocument* document() const { return document_; }

  // The synthesised pattern, owned for the view's life.
  PatternGrid& grid() { return grid_; }
  const ChartSeries& series() const { return series_; }
  double patternMaximum() const { return series_.maximum; }
  bool patternPresent() const { return patternPresent_; }

  ZoomState& zoom() { return zoom_; }
  const ZoomState& zoom() const { return zoom_; }
  ChartRanges ranges() const { return {zoom_.x0, zoom_.x1, zoom_.y0, zoom_.y1}; }
  ChartRect chartRect() const { return chart_; }

  TickFlags ticks() const { return ticks_; }
  void setTicks(const TickFlags& t);
  DescriptionFlags descriptions() const { return desc_; }
  // The three description toggles (32819, 32824, 32825).
  void toggleDescriptions();
  void toggleKa1();
  void toggleKa2();
  // Command state of the line toggles: a line without a wavelength shows off.
  bool ka1Checked();
  bool ka2Checked();

  void setStyle(const ChartStyle& s);
  // The style with the abscissa chosen for this view and the document's
  // first wavelength: what every drawing of the chart uses.
  ChartStyle chartStyle() const;
  // The angle axis labelled in 2-theta, d or Q; the curve stays as it is.
  void setXAxis(XAxisUnit unit);
  XAxisUnit xAxis() const { return xAxis_; }
  // The cursor's abscissa in the chosen unit: "Kąt: 12.3456 st.",
  // "d: 1.23456 Å" or "Q: 1.23456 Å⁻¹".
  QString abscissaText(double twoTheta) const;
  void setModeSource(std::function<int()> source) { modeSource_ = std::move(source); }
  // Called by the frame when the mode goes to 0: guides disappear.
  void clearGuides();

  // Runs a zoom-bar command by its number; true when the window changed.
  bool runZoomCommand(int id);

  // Rewrites the grid from the document's reflections over its range (once
  // no rendering reads it) and redraws.
  SynthesisReport synthesise(const SynthesisSetup& setup);
  // Called after the grid has been rewritten by a synthesis run elsewhere.
  void patternSynthesised();

  // A drawing over the pattern that the application wires in (a measured
  // pattern with its model); the intensity axis then runs in counts. Null
  // takes it away.
  void setLayer(std::shared_ptr<ChartLayer> layer);
  ChartLayer* layer() const { return layer_.get(); }
  // Draws the layer again after its own values changed.
  void layerChanged();
  // What the chart draws over the pattern; null without a layer.
  std::shared_ptr<const ChartOverlay> overlay() const { return overlay_; }
  // Blocks until no rendering worker reads the grid or the reflections.
  void waitForRendering();
  bool renderingPending() const { return pending_; }
  // The cached rendering, if any (for tests and export of the screen).
  const QImage* cachedImage() const { return cached_ ? &cached_->image : nullptr; }

  void setActive(bool active);
  // The status text of the last read-out.
  QString cursorText() const { return cursorText_; }
  // Why the window does not follow the document's angle range; empty while
  // it does.
  QString rangeText() const { return rangeText_; }
  // Reads the cursor at a window position, as a mouse move does.
  void readCursor(QPoint pos);

  // Pixel <-> value over the last drawn chart.
  double pixelToAngle(int x) const;
  double pixelToPercent(int y) const;

 signals:
  void statusText(const QString& text);
  void cursorRead(const QString& angle, const QString& intensity, const QString& ka1, const QString& ka2);
  // A rendering was installed into the cache (tests wait for it).
  void rendered();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent* e) override;

 private:
  struct Rendering {
    QImage image;
    ChartRanges ranges;
  };
  void markStale();
  void startRendering(const ChartRect& plot);
  void installRendering(QImage image, ChartRanges ranges, std::shared_ptr<std::vector<Reflection>> refl,
                        bool aborted);
  void drawGuides(QPainter& p);
  void updateGuideArea(std::optional<QPoint> a, std::optional<QPoint> b, int kind);
  int mode() const { return modeSource_ ? modeSource_() : 0; }
  void onParametersChanged();
  // Takes the document's angle range as the bounds of the window, unless it
  // is no range (min not below max): then false, with rangeText_ set.
  bool takeRange(bool angleOnly = false);
  void rebuildOverlay();

  KomorkaDocument* document_;
  PatternGrid grid_;
  ChartSeries series_;
  bool patternPresent_ = false;

  ZoomState zoom_;
  TickFlags ticks_ = kDefaultTicks;
  DescriptionFlags desc_;
  ChartStyle style_;
  XAxisUnit xAxis_ = XAxisUnit::TwoTheta;
  ChartRect chart_;
  std::function<int()> modeSource_;

  std::optional<Rendering> cached_;
  bool stale_ = false;
  std::atomic<bool> pending_{false};
  // Set when the picture being drawn is no longer wanted: the worker stops.
  std::atomic<bool> abort_{false};
  std::thread worker_;

  std::optional<QPoint> anchor_, cursor_;
  int guideKind_ = 0;
  bool active_ = false;
  QString cursorText_;
  QString rangeText_;

  std::shared_ptr<ChartLayer> layer_;
  std::shared_ptr<const ChartOverlay> overlay_;
};

}  // namespace pelmora
