#include "diffractogram/chart/EmfPaintEngine.h"

#include <uemf.h>

#include <QCoreApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "engine/Angles.h"

namespace pelmora {

namespace {

struct PenKey {
  bool null = true;
  QRgb color = 0;
  int width = 1;
  uint32_t style = U_PS_SOLID;
  bool operator==(const PenKey&) const = default;
};

struct BrushKey {
  bool null = true;
  QRgb color = 0;
  bool operator==(const BrushKey&) const = default;
};

struct FontKey {
  QString family;
  int height = 0, escapement = 0, weight = 400;
  bool italic = false, underline = false, strikeOut = false;
  bool operator==(const FontKey&) const = default;
};

U_COLORREF Colour(QRgb c) { return colorref3_set(qRed(c), qGreen(c), qBlue(c)); }

std::vector<uint16_t> Utf16(const QString& s) {
  std::vector<uint16_t> out(s.size());
  for (qsizetype i = 0; i < s.size(); ++i) out[i] = s.at(i).unicode();
  return out;
}

}  // namespace

class EmfPaintEngine : public QPaintEngine {
 public:
  explicit EmfPaintEngine(EmfDevice& device) : QPaintEngine(AllFeatures), device_(device) {}
  ~EmfPaintEngine() override { Release(); }

  bool begin(QPaintDevice*) override;
  bool end() override;
  void updateState(const QPaintEngineState& state) override;
  void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override;
  void drawLines(const QLineF* lines, int count) override;
  void drawRects(const QRectF* rects, int count) override;
  void drawPath(const QPainterPath& path) override;
  void drawTextItem(const QPointF& p, const QTextItem& item) override;
  void drawPixmap(const QRectF& r, const QPixmap& pm, const QRectF& sr) override;
  void drawImage(const QRectF& r, const QImage& image, const QRectF& sr, Qt::ImageConversionFlags) override;
  Type type() const override { return QPaintEngine::User; }

  QString error;

 private:
  void Append(char* record);
  void Release();
  U_POINTL Map(const QPointF& p) const;
  static U_RECTL Bounds(const std::vector<U_POINTL>& pts);
  void SelectPen(const PenKey& k);
  void SelectBrush(const BrushKey& k);
  void SelectFont(const FontKey& k);
  void SetTextColour(QRgb c);
  void SetFillMode(uint32_t mode);
  PenKey CurrentPen() const;
  BrushKey CurrentBrush() const;
  void ApplyClip();
  void ResetDcState();
  // Polylines (stroked) or polygons (filled and stroked), points in device units.
  void Polylines(const std::vector<std::vector<U_POINTL>>& lines);
  void Polygons(const std::vector<std::vector<U_POINTL>>& polys, bool stroke, bool fill, uint32_t fillMode);

  EmfDevice& device_;
  EMFTRACK* et_ = nullptr;
  EMFHANDLES* eht_ = nullptr;
  QString tempPath_;
  bool failed_ = false;

  QPen pen_;
  QBrush brush_;
  QFont font_;
  QTransform xf_;
  bool clipSaved_ = false;

  // What the device context has selected now (none: unknown, after a restore).
  std::optional<PenKey> selPen_;
  std::optional<BrushKey> selBrush_;
  std::optional<FontKey> selFont_;
  std::optional<QRgb> textColour_;
  std::optional<uint32_t> fillMode_;
  // The objects created last, kept until replaced.
  uint32_t penObj_ = 0, brushObj_ = 0, fontObj_ = 0;
  PenKey penObjKey_;
  BrushKey brushObjKey_;
  FontKey fontObjKey_;
  // Objects replaced while a saved state may still refer to them: deleted
  // once that state has been restored and stock objects selected.
  std::vector<uint32_t> retired_;
};

// --- device --------------------------------------------------------------------

EmfDevice::EmfDevice(const QString& path, const EmfLayout& layout)
    : path_(path), layout_(layout), engine_(std::make_unique<EmfPaintEngine>(*this)) {}

EmfDevice::~EmfDevice() = default;

QPaintEngine* EmfDevice::paintEngine() const { return engine_.get(); }

QString EmfDevice::error() const { return engine_->error; }

int EmfDevice::metric(PaintDeviceMetric m) const {
  switch (m) {
    case PdmWidth: return layout_.pixels.width();
    case PdmHeight: return layout_.pixels.height();
    case PdmWidthMM: return layout_.frame.width() / 100;
    case PdmHeightMM: return layout_.frame.height() / 100;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY: return layout_.dpi;
    case PdmDepth: return 24;
    case PdmNumColors: return 0xFFFFFF;
    case PdmDevicePixelRatio: return 1;
    case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
    default: return 0;
  }
}

// --- engine ----------------------------------------------------------------------

void EmfPaintEngine::Append(char* record) {
  if (!record) {
    failed_ = true;
    return;
  }
  if (!et_ || emf_append(reinterpret_cast<U_ENHMETARECORD*>(record), et_, 1) != 0) {
    if (!et_) std::free(record);
    failed_ = true;
  }
}

void EmfPaintEngine::Release() {
  if (et_) emf_free(&et_);
  if (eht_) emf_htable_free(&eht_);
  et_ = nullptr;
  eht_ = nullptr;
  if (!tempPath_.isEmpty()) QFile::remove(tempPath_);
  tempPath_.clear();
}

bool EmfPaintEngine::begin(QPaintDevice*) {
  Release();
  error.clear();
  failed_ = false;
  clipSaved_ = false;
  selPen_.reset();
  selBrush_.reset();
  selFont_.reset();
  textColour_.reset();
  fillMode_.reset();
  penObj_ = brushObj_ = fontObj_ = 0;
  retired_.clear();
  xf_ = QTransform();

  const EmfLayout& l = device_.layout();
  // The records go to a file beside the target, which replaces the target
  // only when the picture is complete.
  tempPath_ = device_.path() + QStringLiteral(".part");
  const QByteArray name = QFile::encodeName(tempPath_);
  if (emf_start(name.constData(), 1 << 20, 1 << 18, &et_) != 0 || emf_htable_create(128, 128, &eht_) != 0) {
    error = QCoreApplication::translate("EmfPaintEngine", "Nie można utworzyć pliku %1").arg(device_.path());
    Release();
    return false;
  }
  // Application name, NUL, picture title, NUL, NUL.
  std::vector<uint16_t> description = Utf16(l.application);
  description.push_back(0);
  for (uint16_t c : Utf16(l.title)) description.push_back(c);
  description.push_back(0);
  description.push_back(0);
  const U_RECTL bounds = rectl_set(point32_set(0, 0), point32_set(l.pixels.width() - 1, l.pixels.height() - 1));
  const U_RECTL frame = rectl_set(point32_set(0, 0), point32_set(l.frame.width(), l.frame.height()));
  Append(U_EMRHEADER_set(bounds, frame, nullptr, static_cast<U_CBSTR>(description.size()), description.data(),
                         sizel_set(l.pixels.width(), l.pixels.height()),
                         sizel_set(l.frame.width() / 100, l.frame.height() / 100), 0));
  Append(U_EMRSETMAPMODE_set(U_MM_TEXT));
  ResetDcState();
  setActive(true);
  return !failed_;
}

void EmfPaintEngine::ResetDcState() {
  Append(U_EMRSETBKMODE_set(U_TRANSPARENT));
  Append(U_EMRSETTEXTALIGN_set(U_TA_BASELINE | U_TA_LEFT));
  selPen_.reset();
  selBrush_.reset();
  selFont_.reset();
  textColour_.reset();
  fillMode_.reset();
}

bool EmfPaintEngine::end() {
  setActive(false);
  if (!et_) return false;
  if (clipSaved_) Append(U_EMRRESTOREDC_set(-1));
  clipSaved_ = false;
  // Leave stock objects selected and delete our own.
  Append(selectobject_set(U_NULL_PEN, eht_));
  Append(selectobject_set(U_NULL_BRUSH, eht_));
  Append(selectobject_set(U_DEVICE_DEFAULT_FONT, eht_));
  for (uint32_t* obj : {&penObj_, &brushObj_, &fontObj_})
    if (*obj) Append(deleteobject_set(obj, eht_));
  for (uint32_t obj : retired_) Append(deleteobject_set(&obj, eht_));
  retired_.clear();
  Append(U_EMREOF_set(0, nullptr, et_));
  const bool written = !failed_ && emf_finish(et_, eht_) == 0;
  bool ok = written;
  if (ok) {
    const QByteArray from = QFile::encodeName(tempPath_), to = QFile::encodeName(device_.path());
    ok = std::rename(from.constData(), to.constData()) == 0;
    if (ok) tempPath_.clear();
  }
  if (!ok) error = QCoreApplication::translate("EmfPaintEngine", "Nie można zapisać pliku %1").arg(device_.path());
  Release();
  return ok;
}

U_POINTL EmfPaintEngine::Map(const QPointF& p) const {
  const QPointF d = xf_.map(p);
  return point32_set(static_cast<int32_t>(std::lround(d.x())), static_cast<int32_t>(std::lround(d.y())));
}

U_RECTL EmfPaintEngine::Bounds(const std::vector<U_POINTL>& pts) {
  if (pts.empty()) return rectl_set(point32_set(0, 0), point32_set(0, 0));
  int32_t l = pts[0].x, r = l, t = pts[0].y, b = t;
  for (const U_POINTL& p : pts) {
    l = std::min(l, p.x);
    r = std::max(r, p.x);
    t = std::min(t, p.y);
    b = std::max(b, p.y);
  }
  return rectl_set(point32_set(l, t), point32_set(r, b));
}

void EmfPaintEngine::updateState(const QPaintEngineState& state) {
  const DirtyFlags f = state.state();
  if (f & DirtyPen) pen_ = state.pen();
  if (f & DirtyBrush) brush_ = state.brush();
  if (f & DirtyFont) font_ = state.font();
  if (f & DirtyTransform) xf_ = state.transform();
  if (f & (DirtyClipRegion | DirtyClipPath | DirtyClipEnabled)) ApplyClip();
}

void EmfPaintEngine::ApplyClip() {
  if (!et_) return;
  if (clipSaved_) {
    Append(U_EMRRESTOREDC_set(-1));
    clipSaved_ = false;
    // The restored state may hold objects we have replaced since: select
    // stock objects before deleting those.
    if (!retired_.empty()) {
      Append(selectobject_set(U_NULL_PEN, eht_));
      Append(selectobject_set(U_NULL_BRUSH, eht_));
      Append(selectobject_set(U_DEVICE_DEFAULT_FONT, eht_));
      for (uint32_t obj : retired_) Append(deleteobject_set(&obj, eht_));
      retired_.clear();
    }
    ResetDcState();
  }
  QPainter* p = painter();
  if (p && p->hasClipping()) {
    const QRectF r = p->combinedTransform().mapRect(p->clipBoundingRect());
    Append(U_EMRSAVEDC_set());
    clipSaved_ = true;
    Append(U_EMRINTERSECTCLIPRECT_set(
        rectl_set(point32_set(static_cast<int32_t>(std::floor(r.left())), static_cast<int32_t>(std::floor(r.top()))),
                  point32_set(static_cast<int32_t>(std::ceil(r.right())), static_cast<int32_t>(std::ceil(r.bottom()))))));
  }
}

PenKey EmfPaintEngine::CurrentPen() const {
  PenKey k;
  if (pen_.style() == Qt::NoPen || pen_.brush().style() == Qt::NoBrush) return k;
  k.null = false;
  k.color = pen_.color().rgb();
  double w = pen_.widthF();
  if (!pen_.isCosmetic()) w *= std::sqrt(std::abs(xf_.determinant()));
  k.width = std::max(1, static_cast<int>(std::lround(w)));
  switch (pen_.style()) {
    case Qt::DashLine: k.style = U_PS_DASH; break;
    case Qt::DotLine: k.style = U_PS_DOT; break;
    case Qt::DashDotLine: k.style = U_PS_DASHDOT; break;
    case Qt::DashDotDotLine: k.style = U_PS_DASHDOTDOT; break;
    default: k.style = U_PS_SOLID; break;
  }
  return k;
}

BrushKey EmfPaintEngine::CurrentBrush() const {
  BrushKey k;
  if (brush_.style() == Qt::NoBrush) return k;
  // Gradients and patterns become their base colour: the chart fills with
  // plain colours only.
  k.null = false;
  k.color = brush_.color().rgb();
  return k;
}

void EmfPaintEngine::SelectPen(const PenKey& k) {
  if (selPen_ && *selPen_ == k) return;
  if (k.null) {
    Append(selectobject_set(U_NULL_PEN, eht_));
  } else if (penObj_ && penObjKey_ == k) {
    Append(selectobject_set(penObj_, eht_));
  } else {
    uint32_t ih = 0;
    Append(createpen_set(&ih, eht_, logpen_set(k.style, point32_set(k.width, 0), Colour(k.color))));
    Append(selectobject_set(ih, eht_));
    if (penObj_) {
      if (clipSaved_) retired_.push_back(penObj_);
      else Append(deleteobject_set(&penObj_, eht_));
    }
    penObj_ = ih;
    penObjKey_ = k;
  }
  selPen_ = k;
}

void EmfPaintEngine::SelectBrush(const BrushKey& k) {
  if (selBrush_ && *selBrush_ == k) return;
  if (k.null) {
    Append(selectobject_set(U_NULL_BRUSH, eht_));
  } else if (brushObj_ && brushObjKey_ == k) {
    Append(selectobject_set(brushObj_, eht_));
  } else {
    uint32_t ih = 0;
    Append(createbrushindirect_set(&ih, eht_, logbrush_set(U_BS_SOLID, Colour(k.color), 0)));
    Append(selectobject_set(ih, eht_));
    if (brushObj_) {
      if (clipSaved_) retired_.push_back(brushObj_);
      else Append(deleteobject_set(&brushObj_, eht_));
    }
    brushObj_ = ih;
    brushObjKey_ = k;
  }
  selBrush_ = k;
}

void EmfPaintEngine::SelectFont(const FontKey& k) {
  if (selFont_ && *selFont_ == k) return;
  if (fontObj_ && fontObjKey_ == k) {
    Append(selectobject_set(fontObj_, eht_));
  } else {
    uint16_t face[U_LF_FACESIZE] = {};
    const QString family = k.family.left(U_LF_FACESIZE - 1);
    for (qsizetype i = 0; i < family.size(); ++i) face[i] = family.at(i).unicode();
    // The record holds the larger U_LOGFONT_PANOSE whatever it is given, so
    // hand it a whole, zeroed one: a bare U_LOGFONT let it copy stack bytes.
    U_LOGFONT_PANOSE elfw{};
    elfw.elfLogFont = logfont_set(k.height, 0, k.escapement, k.escapement, k.weight, k.italic, k.underline,
                                  k.strikeOut, U_DEFAULT_CHARSET, U_OUT_DEFAULT_PRECIS, U_CLIP_DEFAULT_PRECIS,
                                  U_ANTIALIASED_QUALITY, U_DEFAULT_PITCH | U_FF_SWISS, face);
    uint32_t ih = 0;
    Append(extcreatefontindirectw_set(&ih, eht_, nullptr, reinterpret_cast<const char*>(&elfw)));
    Append(selectobject_set(ih, eht_));
    if (fontObj_) {
      if (clipSaved_) retired_.push_back(fontObj_);
      else Append(deleteobject_set(&fontObj_, eht_));
    }
    fontObj_ = ih;
    fontObjKey_ = k;
  }
  selFont_ = k;
}

void EmfPaintEngine::SetTextColour(QRgb c) {
  if (textColour_ && *textColour_ == c) return;
  Append(U_EMRSETTEXTCOLOR_set(Colour(c)));
  textColour_ = c;
}

void EmfPaintEngine::SetFillMode(uint32_t mode) {
  if (fillMode_ && *fillMode_ == mode) return;
  Append(U_EMRSETPOLYFILLMODE_set(mode));
  fillMode_ = mode;
}

namespace {

bool Fits16(const std::vector<U_POINTL>& pts) {
  return std::all_of(pts.begin(), pts.end(), [](const U_POINTL& p) {
    return p.x >= INT16_MIN && p.x <= INT16_MAX && p.y >= INT16_MIN && p.y <= INT16_MAX;
  });
}

std::vector<U_POINT16> To16(const std::vector<U_POINTL>& pts) {
  std::vector<U_POINT16> out;
  out.reserve(pts.size());
  for (const U_POINTL& p : pts) out.push_back(point16_set(static_cast<int16_t>(p.x), static_cast<int16_t>(p.y)));
  return out;
}

}  // namespace

void EmfPaintEngine::Polylines(const std::vector<std::vector<U_POINTL>>& lines) {
  std::vector<U_POINTL> all;
  std::vector<uint32_t> counts;
  for (const auto& l : lines)
    if (l.size() >= 2) {
      all.insert(all.end(), l.begin(), l.end());
      counts.push_back(static_cast<uint32_t>(l.size()));
    }
  if (counts.empty()) return;
  SelectPen(CurrentPen());
  const U_RECTL b = Bounds(all);
  const bool small = Fits16(all);
  if (counts.size() == 1) {
    if (small) Append(U_EMRPOLYLINE16_set(b, counts[0], To16(all).data()));
    else Append(U_EMRPOLYLINE_set(b, counts[0], all.data()));
  } else if (small) {
    Append(U_EMRPOLYPOLYLINE16_set(b, static_cast<uint32_t>(counts.size()), counts.data(),
                                   static_cast<uint32_t>(all.size()), To16(all).data()));
  } else {
    Append(U_EMRPOLYPOLYLINE_set(b, static_cast<uint32_t>(counts.size()), counts.data(),
                                 static_cast<uint32_t>(all.size()), all.data()));
  }
}

void EmfPaintEngine::Polygons(const std::vector<std::vector<U_POINTL>>& polys, bool stroke, bool fill,
                              uint32_t fillMode) {
  std::vector<U_POINTL> all;
  std::vector<uint32_t> counts;
  for (const auto& p : polys)
    if (p.size() >= 3) {
      all.insert(all.end(), p.begin(), p.end());
      counts.push_back(static_cast<uint32_t>(p.size()));
    }
  if (counts.empty() || (!stroke && !fill)) return;
  SelectPen(stroke ? CurrentPen() : PenKey{});
  SelectBrush(fill ? CurrentBrush() : BrushKey{});
  SetFillMode(fillMode);
  const U_RECTL b = Bounds(all);
  const bool small = Fits16(all);
  if (counts.size() == 1) {
    if (small) Append(U_EMRPOLYGON16_set(b, counts[0], To16(all).data()));
    else Append(U_EMRPOLYGON_set(b, counts[0], all.data()));
  } else if (small) {
    Append(U_EMRPOLYPOLYGON16_set(b, static_cast<uint32_t>(counts.size()), counts.data(),
                                  static_cast<uint32_t>(all.size()), To16(all).data()));
  } else {
    Append(U_EMRPOLYPOLYGON_set(b, static_cast<uint32_t>(counts.size()), counts.data(),
                                static_cast<uint32_t>(all.size()), all.data()));
  }
}

void EmfPaintEngine::drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) {
  if (!et_ || count < 2) return;
  std::vector<U_POINTL> pts;
  pts.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) pts.push_back(Map(points[i]));
  if (mode == PolylineMode) {
    Polylines({std::move(pts)});
    return;
  }
  Polygons({std::move(pts)}, pen_.style() != Qt::NoPen, brush_.style() != Qt::NoBrush,
           mode == OddEvenMode ? U_ALTERNATE : U_WINDING);
}

void EmfPaintEngine::drawLines(const QLineF* lines, int count) {
  if (!et_) return;
  std::vector<std::vector<U_POINTL>> runs;
  runs.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) runs.push_back({Map(lines[i].p1()), Map(lines[i].p2())});
  Polylines(runs);
}

void EmfPaintEngine::drawRects(const QRectF* rects, int count) {
  if (!et_) return;
  std::vector<std::vector<U_POINTL>> polys;
  for (int i = 0; i < count; ++i) {
    const QRectF& r = rects[i];
    polys.push_back({Map(r.topLeft()), Map(r.topRight()), Map(r.bottomRight()), Map(r.bottomLeft())});
  }
  const bool stroke = pen_.style() != Qt::NoPen, fill = brush_.style() != Qt::NoBrush;
  // Outlines and fills of several rectangles each go as one record.
  if (fill) Polygons(polys, false, true, U_WINDING);
  if (stroke) {
    for (auto& p : polys) p.push_back(p.front());
    Polylines(polys);
  }
}

void EmfPaintEngine::drawPath(const QPainterPath& path) {
  if (!et_) return;
  std::vector<std::vector<U_POINTL>> polys;
  for (const QPolygonF& poly : path.toSubpathPolygons(xf_)) {
    std::vector<U_POINTL> pts;
    pts.reserve(static_cast<size_t>(poly.size()));
    for (const QPointF& p : poly)
      pts.push_back(point32_set(static_cast<int32_t>(std::lround(p.x())), static_cast<int32_t>(std::lround(p.y()))));
    polys.push_back(std::move(pts));
  }
  if (brush_.style() != Qt::NoBrush)
    Polygons(polys, false, true, path.fillRule() == Qt::OddEvenFill ? U_ALTERNATE : U_WINDING);
  if (pen_.style() != Qt::NoPen) Polylines(polys);
}

void EmfPaintEngine::drawTextItem(const QPointF& p, const QTextItem& item) {
  const QString text = item.text();
  if (!et_ || text.isEmpty()) return;
  const QFont font = item.font();
  const QFontMetricsF fm(font, &device_);
  double pixels = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * device_.layout().dpi / 72.0;
  const double vscale = std::hypot(xf_.m21(), xf_.m22());
  const double hscale = std::hypot(xf_.m11(), xf_.m12());
  // Qt turns clockwise for positive angles (y down); the metafile counts
  // tenths of a degree anticlockwise.
  const double angle = RadiansToDegrees(std::atan2(xf_.m12(), xf_.m11()));
  int escapement = static_cast<int>(std::lround(-angle * 10.0)) % 3600;
  if (escapement < 0) escapement += 3600;
  FontKey k;
  k.family = font.family();
  k.height = -std::max(1, static_cast<int>(std::lround(pixels * vscale)));  // negative: the em height
  k.escapement = escapement;
  k.weight = font.weight();
  k.italic = font.italic();
  k.underline = font.underline();
  k.strikeOut = font.strikeOut();
  SelectFont(k);
  SetTextColour(pen_.color().rgb());

  // Advances from Qt's own layout of the string, so that the metafile's
  // text has the width that the drawing code measured.
  std::vector<uint16_t> chars = Utf16(text);
  std::vector<uint32_t> dx(chars.size());
  double previous = 0.0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const double next = std::round(fm.horizontalAdvance(text.left(i + 1)) * hscale);
    dx[static_cast<size_t>(i)] = static_cast<uint32_t>(std::max(0.0, next - previous));
    previous = next;
  }
  const QRectF box = xf_.mapRect(QRectF(p.x(), p.y() - fm.ascent(), fm.horizontalAdvance(text), fm.height()));
  const U_RECTL bounds =
      rectl_set(point32_set(static_cast<int32_t>(std::floor(box.left())), static_cast<int32_t>(std::floor(box.top()))),
                point32_set(static_cast<int32_t>(std::ceil(box.right())), static_cast<int32_t>(std::ceil(box.bottom()))));
  char* rec = emrtext_set(Map(p), static_cast<U_NUM_STR>(chars.size()), 2, chars.data(), U_ETO_NONE,
                          rectl_set(point32_set(0, 0), point32_set(-1, -1)), dx.data());
  if (!rec) {
    failed_ = true;
    return;
  }
  Append(U_EMREXTTEXTOUTW_set(bounds, U_GM_COMPATIBLE, 1.0f, 1.0f, reinterpret_cast<PU_EMRTEXT>(rec)));
  std::free(rec);
}

void EmfPaintEngine::drawPixmap(const QRectF& r, const QPixmap& pm, const QRectF& sr) {
  drawImage(r, pm.toImage(), sr, Qt::AutoColor);
}

void EmfPaintEngine::drawImage(const QRectF& r, const QImage& image, const QRectF& sr, Qt::ImageConversionFlags) {
  if (!et_ || image.isNull()) return;
  // A device-independent bitmap runs bottom-up in blue, green, red order,
  // which is RGB32 turned upside down on a little-endian machine.
  const QImage part = image.copy(sr.toAlignedRect()).convertToFormat(QImage::Format_RGB32).mirrored();
  const int w = part.width(), h = part.height();
  if (w <= 0 || h <= 0) return;
  const uint32_t bytes = static_cast<uint32_t>(part.sizeInBytes());
  PU_BITMAPINFO bmi = bitmapinfo_set(bitmapinfoheader_set(w, h, 1, 32, U_BI_RGB, bytes, 0, 0, 0, 0), nullptr);
  const QRectF d = xf_.mapRect(r);
  const std::vector<U_POINTL> corners = {Map(r.topLeft()), Map(r.bottomRight())};
  Append(U_EMRSTRETCHDIBITS_set(
      Bounds(corners), point32_set(static_cast<int32_t>(std::lround(d.left())), static_cast<int32_t>(std::lround(d.top()))),
      point32_set(static_cast<int32_t>(std::lround(d.width())), static_cast<int32_t>(std::lround(d.height()))),
      point32_set(0, 0), point32_set(w, h), U_DIB_RGB_COLORS, U_SRCCOPY, bmi, bytes,
      const_cast<char*>(reinterpret_cast<const char*>(part.constBits()))));
  std::free(bmi);
}

}  // namespace pelmora
