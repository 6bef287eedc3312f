// An enhanced-metafile (EMF) paint device: QPainter calls made on it become
// EMF records, written by libUEMF, so that the chart's own drawing code
// produces a vector picture that office programs read.
#pragma once

#include <QPaintDevice>
#include <QSize>
#include <QString>
#include <memory>

namespace pelmora {

class EmfPaintEngine;

struct EmfLayout {
  QSize pixels{1417, 1003};  // logical units of the drawing, one per device pixel
  int dpi = 150;              // resolution the pixels stand for
  QSize frame{24000, 17000};  // picture frame in 0.01 mm
  // Application name and picture title, written as the file's description.
  QString application = QStringLiteral("Pelmor");
  QString title = QStringLiteral("Dyfraktogram");
};

class EmfDevice : public QPaintDevice {
 public:
  // The file is written when the painter on this device ends.
  EmfDevice(const QString& path, const EmfLayout& layout = {});
  ~EmfDevice() override;

  QPaintEngine* paintEngine() const override;
  const EmfLayout& layout() const { return layout_; }
  const QString& path() const { return path_; }
  // Empty after a successful end of painting; otherwise why it failed.
  QString error() const;

 protected:
  int metric(PaintDeviceMetric m) const override;

 private:
  QString path_;
  EmfLayout layout_;
  std::unique_ptr<EmfPaintEngine> engine_;
};

}  // namespace pelmora
