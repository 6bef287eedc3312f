// Zoom and navigation through the zoom bar's actions and the mouse, on a
// shown chart of NaCl (angle range 10 to 150 degrees); the window arithmetic
// alone is tested in the core suite (test_zoom_state.cpp).
#include <tuple>

#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;

class ZoomTest : public QObject {
  Q_OBJECT
  testing::AppRun run_;
  CDownView* view_ = nullptr;

  void Do(int id) { run_.f->action(id)->trigger(); }
  ZoomState& Z() { return view_->zoom(); }
  std::pair<double, double> X() { return {Z().x0, Z().x1}; }
  std::pair<double, double> Y() { return {Z().y0, Z().y1}; }

 private slots:
  void initTestCase() {
    QVERIFY(run_.Start({testing::ExampleFile("NaCl.xml")}, false));
    run_.f->resize(1000, 700);
    run_.f->show();
    QVERIFY(QTest::qWaitForWindowExposed(run_.f));
    view_ = run_.f->activeView();
    QVERIFY(view_);
    Do(cmd::kCalculate);
    QVERIFY(testing::WaitForChart(view_));
  }
  void cleanupTestCase() { run_.Finish(); }
  void init() {
    Do(cmd::kZoomReset);
    view_->repaint();
  }

  // Each bar command reaches its own step of the window (the arithmetic
  // itself is checked in the core suite). Steps as last drawn: angle 4,
  // intensity 2.
  void barCommandsMoveTheWindow() {
    using Span = std::pair<double, double>;
    const std::tuple<int, Span, Span> steps[] = {
        {cmd::kZoomIn, {45.0, 115.0}, {0.0, 100.0}},         {cmd::kZoomOut, {10.0, 150.0}, {0.0, 100.0}},
        {cmd::kShiftHigherStep, {54.0, 94.0}, {40.0, 60.0}}, {cmd::kShiftHigherRange, {94.0, 134.0}, {40.0, 60.0}},
        {cmd::kShiftLowerStep, {90.0, 130.0}, {40.0, 60.0}}, {cmd::kShiftLowerRange, {50.0, 90.0}, {40.0, 60.0}},
        {cmd::kUpStep, {50.0, 90.0}, {42.0, 62.0}},          {cmd::kUpHeight, {50.0, 90.0}, {62.0, 82.0}},
        {cmd::kDownStep, {50.0, 90.0}, {60.0, 80.0}},        {cmd::kDownHeight, {50.0, 90.0}, {40.0, 60.0}},
        {cmd::kZoomResetY, {50.0, 90.0}, {0.0, 100.0}},      {cmd::kZoomResetX, {10.0, 150.0}, {0.0, 100.0}}};
    for (const auto& [id, x, y] : steps) {
      if (id == cmd::kShiftHigherStep) {
        QVERIFY(Z().StretchAngle(50.0, 90.0) && Z().StretchIntensity(40.0, 60.0));
        view_->repaint();
      }
      Do(id);
      QCOMPARE(X(), x);
      QCOMPARE(Y(), y);
    }
  }

  void modesAreOneForTheApplication() {
    CMainFrame& f = *run_.f;
    // Another mode replaces the checked one; the checked one again turns it off.
    Do(cmd::kModeArea);
    Do(cmd::kModeStretchY);
    QCOMPARE(f.interactionMode(), 2);
    QVERIFY(!f.action(cmd::kModeArea)->isChecked() && f.action(cmd::kModeStretchY)->isChecked());
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
    QCOMPARE(X(), std::pair(10.0, expected));
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
    QCOMPARE(X(), std::pair(ax, bx));
    QCOMPARE(Y(), std::pair(by, ay));
    Do(cmd::kModeArea);
  }

  void changedParametersResetTheWindow() {
    Do(cmd::kZoomIn);
    CKomorka& doc = view_->document()->doc();
    const double keep = doc.experiment.angleMax;
    // The Debye-Waller factor does not count while it is off.
    doc.experiment.IsDW = 0;
    doc.experiment.dwfactor += 1.0;
    view_->document()->NotifyParametersChanged();
    QCOMPARE(Z().z, 2.0);
    doc.experiment.dwfactor -= 1.0;
    // A change resets the angle window only: a stretched intensity axis stays.
    QVERIFY(Z().StretchIntensity(20.0, 60.0));
    doc.experiment.angleMax = 100.0;
    view_->document()->NotifyParametersChanged();
    QCOMPARE(Z().z, 1.0);
    QCOMPARE(X(), std::pair(10.0, 100.0));
    QCOMPARE(Y(), std::pair(20.0, 60.0));
    QCOMPARE(Z().zi, 2.5);
    doc.experiment.angleMax = keep;
    view_->document()->NotifyParametersChanged();
  }
};

static testing::TestClass<ZoomTest> registered;

#include "test_zoom.moc"
