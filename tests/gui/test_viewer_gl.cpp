// The cell view drawn by OpenGL (Mesa's software renderer under Xvfb): the
// pixels of a rendered frame, the saved BMP and the plug-in's picture.
// Skipped where no GL context can be had.
#include <QApplication>
#include <QComboBox>
#include <algorithm>
#include <cmath>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include "plugins/PluginTable.h"
#include "tests/gui/GuiTestSupport.h"
#include "viewer3d/ImageExport.h"
#include "viewer3d/ui/GLSaveDialog.h"
#include "viewer3d/ui/GLWindow.h"
#include "viewer3d/ui/MyWnd.h"

using namespace pelmora;

namespace {

struct Pixel {
  int r, g, b;
};

Pixel At(const std::vector<std::uint8_t>& rgb, int width, int x, int yFromTop, int height) {
  const size_t i = (static_cast<size_t>(height - 1 - yFromTop) * width + x) * 3;  // rows bottom-up
  return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

// A cubic cell a = 5 with one red atom in its middle and green edges.
void OneAtomCell(CKomorka& doc) {
  doc.latticeType = kCubic;
  doc.a = doc.b = doc.c = 5.0;
  AtomSite at;
  at.name = "Fe";
  at.x = at.y = at.z = 0.5;
  at.color = 0x0000FF;
  at.radius = 20;
  doc.structureAtoms = {at};
  doc.ExpandCellAtoms();
  doc.cellViewColor = 0x00FF00;
  doc.cellViewScale = 50;
}

}  // namespace

class ViewerGLTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  void init() {
    if (!OpenGLAvailable()) QSKIP("no OpenGL context on this platform");
  }

  void frameShowsTheAtomAndTheEdges() {
    CKomorka doc;
    OneAtomCell(doc);
    const int w = 640, h = 480;
    const std::vector<std::uint8_t> rgb = RenderCellOffscreen(w, h, &doc, SceneOptions{}, CViewState{}, 30);
    QCOMPARE(rgb.size(), size_t(w * h * 3));
    // The atom in the middle, red with a white highlight.
    const Pixel centre = At(rgb, w, w / 2, h / 2, h);
    QVERIFY2(centre.r > 200 && centre.r > centre.g + 50 && std::abs(centre.g - centre.b) < 8,
             qPrintable(QStringLiteral("%1 %2 %3").arg(centre.r).arg(centre.g).arg(centre.b)));
    // The front right vertical edge (model x = y = 5, 25 units from the eye)
    // lands at 2.414 / (4/3) * 5/25 of the half width right of the middle.
    const int edgeX = static_cast<int>(std::lround((1.0 + 2.41421356 / (4.0 / 3.0) * 5.0 / 25.0) * w / 2));
    const Pixel edge = At(rgb, w, edgeX, h / 2, h);
    QVERIFY2(edge.g > edge.r + 50 && edge.g > edge.b + 50,
             qPrintable(QStringLiteral("%1 %2 %3").arg(edge.r).arg(edge.g).arg(edge.b)));
    // Between the atom and the edge, and in the corner: the white background.
    const Pixel gap = At(rgb, w, (w / 2 + edgeX) / 2 - 20, h / 2, h);
    QVERIFY(gap.r == 255 && gap.g == 255 && gap.b == 255);
    const Pixel corner = At(rgb, w, 2, 2, h);
    QVERIFY(corner.r == 255 && corner.g == 255 && corner.b == 255);

    // No document: only the cleared background.
    const std::vector<std::uint8_t> empty = RenderCellOffscreen(64, 48, nullptr, SceneOptions{}, CViewState{}, 30);
    QCOMPARE(empty.size(), size_t(64 * 48 * 3));
    QVERIFY(std::all_of(empty.begin(), empty.end(), [](std::uint8_t v) { return v == 255; }));
  }

  void panelSavesBmpAndPluginPictures() {
    PluginTable plugins;
    QCOMPARE(ScanPlugins(PELMORA_TEST_PLUGINS_DIR "/images", plugins), std::string());
    const std::int32_t detail = 30;
    CGLWindow panel(detail, BuildImageFormats(plugins));
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QVERIFY(panel.view());
    CKomorka doc;
    OneAtomCell(doc);
    panel.BindDocument(&doc);

    // The default choices: BMP at 640 x 480, a name without extension gets ".bmp".
    testing::ModalWatcher<CGLSaveDialog> watch;
    QStringList filters;
    QString size;
    watch.Arm([&](CGLSaveDialog* d) {
      filters = d->nameFilters();
      size = d->sizeList()->currentText();
      d->setDirectory(dir_.path());
      d->selectFile(QStringLiteral("komorka"));
      d->accept();
    });
    panel.SaveImage();
    QVERIFY(watch.seen);
    QCOMPARE(size, QStringLiteral("640x480"));
    QCOMPARE(filters.first(), QStringLiteral("Windows Bitmap (*.bmp)"));
    QFile bmp(dir_.path() + "/komorka.bmp");
    QVERIFY(bmp.open(QIODevice::ReadOnly));
    const QByteArray bytes = bmp.readAll();
    QCOMPARE(bytes.size(), 921654);
    // The middle pixel, blue-green-red in the file: the red atom.
    const qsizetype mid = 54 + (240 * 640 + 320) * 3;
    QVERIFY(static_cast<unsigned char>(bytes[mid + 2]) > 200);
    QVERIFY(static_cast<unsigned char>(bytes[mid + 1]) < 200);

    // A plug-in format gets the exact size chosen, independent of the panel's.
    const QString other = dir_.path() + "/k.tst";
    QVERIFY(panel.SaveImageTo(other, 1, 1024, 768));
    QFile f(other);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll().split(' ').mid(0, 2), QList<QByteArray>({"1024", "768"}));

    // The shipped PNG plug-in: the picture upright, in its colours.
    PluginTable shipped;
    QCOMPARE(ScanPlugins(PELMORA_PLUGINS_DIR, shipped), std::string());
    CGLWindow pngPanel(detail, BuildImageFormats(shipped));
    pngPanel.BindDocument(&doc);
    int png = -1;
    for (size_t i = 0; i < pngPanel.formats().size(); ++i)
      if (pngPanel.formats()[i].pattern == "*.png") png = static_cast<int>(i);
    QVERIFY(png > 0);
    // Moved 5 units up (pan 50): the atom ends above the middle, 2.414 * 5/30
    // of the half height, and not below it.
    pngPanel.view()->state().panY = 50;
    const QString pngPath = dir_.path() + "/k.png";
    QVERIFY(pngPanel.SaveImageTo(pngPath, png, 1024, 768));
    const QImage image(pngPath);
    QCOMPARE(image.size(), QSize(1024, 768));
    const QColor above = image.pixelColor(512, 230);
    QVERIFY(above.red() > 200 && above.red() > above.green() + 50);
    QCOMPARE(image.pixelColor(512, 538), QColor(Qt::white));

    // A left drag turns the view; the mode decides which angles.
    CMyWnd* view = panel.view();
    const QPoint from(50, 50);
    QTest::mousePress(view, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(60, 47), view->mapToGlobal(QPointF(60, 47)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(60, 47));
    QCOMPARE(view->state().angleZ, 10);
    QCOMPARE(view->state().angleY, 359);
    view->Command(57444);
    QVERIFY(view->timerRunning(8));
    QTRY_VERIFY(view->state().zoom >= 4);
    view->Command(57445);
    QVERIFY(!view->timerRunning(8));
  }
};

int main(int argc, char** argv) {
  SetDefaultGLFormat();
  QApplication app(argc, argv);
  ViewerGLTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_viewer_gl.moc"
