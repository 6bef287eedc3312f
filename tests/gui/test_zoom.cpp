// Zoom and navigation through the zoom bar's actions and the mouse, on a
// shown chart of NaCl (angle range 10 to 150 degrees).
#include <QAction>
#include <QTemporaryDir>
#include <QTest>

#include "app/ui/Application.h"
#include "app/ui/Commands.h"
#include "documents/ui/KomorkaDocument.h"
#include "app/ui/MainFrame.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;

class ZoomTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  ApplicationRun run_;
  CDownView* view_ = nullptr;

  void Do(int id) { run_.frame->action(id)->trigger(); }
  ZoomState& Z() { return view_->zoom(); }
  std::pair<double, double> X() { return {Z().x0, Z().x1}; }
  std::pair<double, double> Y() { return {Z().y0, Z().y1}; }
  void Window(double a, double b) { QVERIFY(Z().StretchAngle(a, b)); }

 private slots:
  void initTestCase() {
    QVERIFY(StartApplication(run_, {testing::ExampleFile("NaCl.xml")}, (dir_.path() + "/P.conf").toStdString()));
    run_.frame->resize(1000, 700);
    run_.frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(run_.frame.get()));
    view_ = run_.frame->activeView();
    QVERIFY(view_);
    Do(cmd::kCalculate);
    QVERIFY(testing::WaitForChart(view_));
  }
  void cleanupTestCase() {
    view_->document()->setModified(false);
    FinishApplication(run_);
  }
  void init() {
    Do(cmd::kZoomReset);
    view_->repaint();
  }

  void zoomInAndOut() {
    QCOMPARE(X(), std::pair(10.0, 150.0));
    Do(cmd::kZoomIn);  // halves around the middle
    QCOMPARE(Z().z, 2.0);
    QCOMPARE(X(), std::pair(45.0, 115.0));
    Do(cmd::kZoomIn);
    QCOMPARE(Z().z, 4.0);
    QCOMPARE(X(), std::pair(62.5, 97.5));
    // Zoom out from 1 does nothing.
    Do(cmd::kZoomReset);
    Do(cmd::kZoomOut);
    QCOMPARE(Z().z, 1.0);
    QCOMPARE(X(), std::pair(10.0, 150.0));
    // From a factor that is no power of two, to the next one.
    Window(50.0, 50.0 + 140.0 / 3.0);
    QVERIFY(std::abs(Z().z - 3.0) < 1e-12);
    Do(cmd::kZoomIn);
    QCOMPARE(Z().z, 4.0);
    Window(50.0, 50.0 + 140.0 / 3.0);
    Do(cmd::kZoomOut);
    QCOMPARE(Z().z, 2.0);
    // Zoom out near the upper bound ends at it.
    Window(110.0, 145.0);  // z = 4
    Do(cmd::kZoomOut);
    QCOMPARE(Z().z, 2.0);
    QCOMPARE(X(), std::pair(80.0, 150.0));
  }

  void shiftsStopAtTheBounds() {
    Window(15.0, 25.0);
    Do(cmd::kShiftLowerRange);
    QCOMPARE(X(), std::pair(10.0, 20.0));
    Do(cmd::kShiftLowerStep);  // already at A: nothing
    QCOMPARE(X(), std::pair(10.0, 20.0));
    Window(135.0, 145.0);
    Do(cmd::kShiftHigherRange);
    QCOMPARE(X(), std::pair(140.0, 150.0));
  }

  void stepIsATenthOfTheWindowAsLastDrawn() {
    view_->repaint();  // full range drawn: step 14
    Do(cmd::kZoomIn);  // [45, 115], not drawn yet
    Do(cmd::kShiftHigherStep);
    QCOMPARE(X(), std::pair(59.0, 129.0));
    view_->repaint();  // now the step is 7
    Do(cmd::kShiftLowerStep);
    QCOMPARE(Z().x0, 52.0);
  }

  void intensityWindowMoves() {
    Do(cmd::kUpHeight);  // at 100 already
    QCOMPARE(Z().y1, 100.0);
    QVERIFY(Z().StretchIntensity(40.0, 20.0));
    QCOMPARE(Z().zi, 5.0);
    Do(cmd::kDownHeight);
    QCOMPARE(Y(), std::pair(0.0, 20.0));
    view_->repaint();  // intensity step 2
    Do(cmd::kUpStep);
    QCOMPARE(Y(), std::pair(2.0, 22.0));
    Do(cmd::kZoomResetY);
    QCOMPARE(Y(), std::pair(0.0, 100.0));
  }

  void modesAreOneForTheApplication() {
    CMainFrame& f = *run_.frame;
    Do(cmd::kModeStretchX);
    QCOMPARE(f.interactionMode(), 1);
    QVERIFY(f.action(cmd::kModeStretchX)->isChecked());
    Do(cmd::kModeStretchX);
    QCOMPARE(f.interactionMode(), 0);
    Do(cmd::kModeArea);
    Do(cmd::kModeStretchY);
    QCOMPARE(f.interactionMode(), 2);
    QVERIFY(!f.action(cmd::kModeArea)->isChecked());
    Do(cmd::kModeStretchY);
    QCOMPARE(f.interactionMode(), 0);
  }

  void stretchingByTwoClicks() {
    Do(cmd::kModeStretchX);
    const ChartRect c = view_->chartRect();
    const int mid = (c.left + c.right) / 2, y = (c.top + c.bottom) / 2;
    const double expected = view_->pixelToAngle(mid);
    // A click left of the chart counts as its left edge.
    QTest::mouseClick(view_, Qt::LeftButton, {}, QPoint(5, y));
    QTest::mouseClick(view_, Qt::LeftButton, {}, QPoint(mid, y));
    QCOMPARE(Z().x0, 10.0);
    QCOMPARE(Z().x1, expected);
    QVERIFY(std::abs(Z().z - 140.0 / (Z().x1 - Z().x0)) < 1e-12);
    // Two clicks on one pixel column would give an infinite zoom: refused.
    const ZoomState before = Z();
    QTest::mouseClick(view_, Qt::LeftButton, {}, QPoint(mid, y));
    QTest::mouseClick(view_, Qt::LeftButton, {}, QPoint(mid, y));
    QCOMPARE(X(), std::pair(before.x0, before.x1));
    Do(cmd::kModeStretchX);
  }

  void zoomingToADraggedArea() {
    view_->repaint();
    Do(cmd::kModeArea);
    const ChartRect c = view_->chartRect();
    const QPoint a(c.left + 100, c.top + 60), b(c.left + 300, c.bottom - 100);
    const double ax = view_->pixelToAngle(a.x()), bx = view_->pixelToAngle(b.x());
    const double ay = view_->pixelToPercent(a.y()), by = view_->pixelToPercent(b.y());
    QTest::mousePress(view_, Qt::LeftButton, {}, a);
    QMouseEvent move(QEvent::MouseMove, QPointF(b), view_->mapToGlobal(QPointF(b)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view_, &move);
    QTest::mouseRelease(view_, Qt::LeftButton, {}, b);
    QCOMPARE(Z().x0, ax);
    QCOMPARE(Z().x1, bx);
    QCOMPARE(Z().y0, by);
    QCOMPARE(Z().y1, ay);
    QCOMPARE(Z().zi, 100.0 / (ay - by));
    Do(cmd::kModeArea);
  }

  void changedParametersResetTheWindow() {
    Do(cmd::kZoomIn);
    CKomorka& doc = view_->document()->doc();
    const double keep = doc.angleMax;
    // The Debye-Waller factor does not count while it is off.
    doc.IsDW = 0;
    doc.dwfactor += 1.0;
    view_->document()->NotifyParametersChanged();
    QCOMPARE(Z().z, 2.0);
    doc.dwfactor -= 1.0;
    doc.angleMax = 100.0;
    view_->document()->NotifyParametersChanged();
    QCOMPARE(Z().z, 1.0);
    QCOMPARE(X(), std::pair(10.0, 100.0));
    doc.angleMax = keep;
    view_->document()->NotifyParametersChanged();
  }
};

QObject* MakeZoomTest() { return new ZoomTest; }

#include "test_zoom.moc"
