// Helpers shared by the GUI tests and the screenshot program: a private
// settings file, and waiting until a chart view has drawn its curve.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>

#include "diffractogram/ui/ChartView.h"

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


// Watches for the next modal message box, records its caption and text and
// presses `button` in it. Returns an object to query after the call that
// shows the box.
struct BoxWatcher {
  QString caption, text;
  bool seen = false;
  void Arm(QMessageBox::StandardButton button = QMessageBox::Ok) {
    QTimer::singleShot(20, [this, button] { Poll(button, 200); });
  }

 private:
  void Poll(QMessageBox::StandardButton button, int tries) {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      caption = box->windowTitle();
      text = box->text();
      seen = true;
      if (QAbstractButton* b = box->button(button)) b->click();
      else box->reject();
      return;
    }
    if (tries > 0) QTimer::singleShot(20, [this, button, tries] { Poll(button, tries - 1); });
  }
};


// Calls fn on the next modal dialog of type T as soon as it shows (polling,
// so that it also works for dialogs that take a moment to appear). A dialog
// that never comes leaves `seen` false; one that fn leaves open is closed
// so that a failing test cannot hang.
template <class T>
struct ModalWatcher {
  bool seen = false;
  std::function<void(T*)> fn;
  void Arm(std::function<void(T*)> f) {
    fn = std::move(f);
    QTimer::singleShot(20, [this] { Poll(250); });
  }

 private:
  void Poll(int tries) {
    if (auto* d = qobject_cast<T*>(QApplication::activeModalWidget()); d && d->isVisible()) {
      seen = true;
      fn(d);
      if (QApplication::activeModalWidget() == d) QTimer::singleShot(2000, d, [d] { d->reject(); });
      return;
    }
    if (tries > 0) QTimer::singleShot(20, [this, tries] { Poll(tries - 1); });
  }
};

}  // namespace pelmora::testing
