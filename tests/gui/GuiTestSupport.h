// Helpers shared by the GUI tests: a run of the application on a private
// settings file, waiting until a chart view has drawn its curve, and
// answering the message boxes and dialogs a step opens.
#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMdiArea>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <vector>

#include "app/ui/Application.h"
#include "app/ui/Commands.h"
#include "app/ui/MainFrame.h"
#include "diffractogram/ui/ChartView.h"
#include "documents/ui/KomorkaDocument.h"
#include "editors/ui/AtomsPage.h"
#include "refdata/ui/PeriodicTableDialog.h"
#include "widgets/NumberEdit.h"

namespace pelmora::testing {

// The test classes of gui_tests: each file registers its own, and they run
// in the order the files are linked.
inline std::vector<QObject* (*)()>& TestClasses() {
  static std::vector<QObject* (*)()> classes;
  return classes;
}
template <class T>
struct TestClass {
  TestClass() { TestClasses().push_back([]() -> QObject* { return new T; }); }
};

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

inline QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Pixels of a picture within `tolerance` of a colour in each component.
inline int CountNear(const QImage& img, const QColor& c, int tolerance) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QColor p = img.pixelColor(x, y);
      n += std::abs(p.red() - c.red()) < tolerance && std::abs(p.green() - c.green()) < tolerance &&
           std::abs(p.blue() - c.blue()) < tolerance;
    }
  return n;
}

// Standard output of a tool (poppler's), empty when it fails.
inline QString RunTool(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(20000) || p.exitCode() != 0) return {};
  return QString::fromUtf8(p.readAllStandardOutput());
}

// One run of the application, its settings in a folder of its own unless a
// file is named; the run ends without questions about open documents.
struct AppRun {
  QTemporaryDir dir;
  ApplicationRun run;
  CMainFrame* f = nullptr;

  // Starts with the command line `args`; shown, the main window is waited for.
  bool Start(const QStringList& args = {}, bool show = true, const QString& ini = {}) {
    const bool started = StartApplication(run, args, (ini.isEmpty() ? dir.path() + "/Pelmora.conf" : ini).toStdString());
    f = run.frame.get();
    if (!started || !show) return started;
    f->show();
    return QTest::qWaitForWindowExposed(f);
  }
  CPelmorApp& app() { return *run.app; }
  void Activate(KomorkaDocument* doc) {
    for (CChildFrame* c : f->frames())
      if (c->document() == doc) f->mdiArea()->setActiveSubWindow(c);
  }
  bool Finish() {
    if (run.frame)
      for (CChildFrame* c : run.frame->frames()) c->document()->setModified(false);
    f = nullptr;
    return FinishApplication(run);
  }
  ~AppRun() { Finish(); }
};


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

// Answers the message boxes that come, one button each in order, and keeps
// their texts. Its polls end with it, so a failed check cannot leave them
// running into the next test.
struct BoxAnswers {
  QStringList texts;
  QList<QMessageBox::StandardButton> pending;
  QObject alive;
  void Arm(QList<QMessageBox::StandardButton> buttons) {
    pending = std::move(buttons);
    Poll(250);
  }
  void Click(QAbstractButton* button, QList<QMessageBox::StandardButton> answers) {
    Arm(answers);
    button->click();
  }
  void Poll(int tries) {
    QTimer::singleShot(20, &alive, [this, tries] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box && box->isVisible() && !pending.isEmpty()) {
        texts << box->text();
        QAbstractButton* b = box->button(pending.takeFirst());
        b ? b->click() : box->reject();
      }
      if (!pending.isEmpty() && tries > 0) Poll(tries - 1);
    });
  }
};

// Runs act, answering the message box it shows with button; returns the
// box's text, "" when none came (after the watcher has given up).
inline QString Answer(const std::function<void()>& act, QMessageBox::StandardButton button = QMessageBox::Ok) {
  BoxWatcher box;
  box.Arm(button);
  act();
  for (int i = 0; !box.seen && i < 250; ++i) QTest::qWait(20);
  return box.text;
}

// The periodic table opened from the atoms page's "...", element z chosen.
inline bool Pick(CMyPropertyPage1* page, int z) {
  ModalWatcher<CAtomTable> watcher;
  watcher.Arm([z](CAtomTable* t) {
    t->SelectElement(z);
    t->accept();
  });
  page->chooseButton()->click();
  return watcher.seen;
}

// Types the coordinates on the atoms page and presses "Dodaj".
inline void AddAt(CMyPropertyPage1* p, const QString& x, const QString& y, const QString& z) {
  const QString xyz[3] = {x, y, z};
  for (int i = 0; i < 3; ++i) p->coordField(i)->setText(xyz[i]);
  p->addButton()->click();
}
inline void AddAt(CMyPropertyPage1* p, double x, double y, double z) {
  AddAt(p, QString::number(x), QString::number(y), QString::number(z));
}

}  // namespace pelmora::testing
