// Helpers shared by the GUI tests and the screenshot program: a private
// settings file, and waiting until a chart view has drawn its curve.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include "diffractogram/ui/DownView.h"

namespace pelmora::testing {

// Paints and waits until the view shows an up-to-date rendering.
inline bool WaitForChart(CDownView* view, int timeoutMs = 5000) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < timeoutMs) {
    view->repaint();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (view->cachedImage() && !view->renderingPending()) {
      view->repaint();
      QCoreApplication::processEvents();
      if (view->cachedImage() && !view->renderingPending()) return true;
    }
    QTest::qWait(5);
  }
  return false;
}

inline QString SourceDir() { return QStringLiteral(PELMORA_SOURCE_DIR); }
inline QString ExampleFile(const char* name) { return SourceDir() + QStringLiteral("/examples/") + QLatin1String(name); }

}  // namespace pelmora::testing
