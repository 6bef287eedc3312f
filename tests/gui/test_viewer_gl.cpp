// The cell view drawn by OpenGL (Mesa's software renderer under Xvfb): the
// pixels of a rendered frame, the saved BMP and the plug-in's picture.
// Skipped where no GL context can be had.
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLineEdit>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <array>
#include <random>

#include "plugins/PluginTable.h"
#include "tests/gui/GuiTestSupport.h"
#include "viewer3d/ImageExport.h"
#include "viewer3d/ui/CellRenderer.h"
#include "viewer3d/ui/ImageSaveDialog.h"
#include "viewer3d/ui/MonitorPanel.h"
#include "viewer3d/ui/CellView.h"

#include <GL/gl.h>
#include <GL/glu.h>

using namespace pelmora;

namespace {

// The pixel at x, y from the top of a bottom-up RGB buffer.
QColor At(const std::vector<std::uint8_t>& rgb, int w, int h, int x, int y) {
  const size_t i = (static_cast<size_t>(h - 1 - y) * w + x) * 3;
  return QColor(rgb[i], rgb[i + 1], rgb[i + 2]);
}

// A cubic cell a = 5 with one red atom in its middle.
void OneAtomCell(CKomorka& doc) {
  doc.crystal.latticeType = kCubic;
  doc.cell.a = doc.cell.b = doc.cell.c = 5.0;
  AtomSite at;
  at.name = "Fe";
  at.x = at.y = at.z = 0.5;
  at.color = 0x0000FF;
  at.radius = 20;
  doc.crystal.structureAtoms = {at};
  doc.crystal.ExpandCellAtoms();
}

// Green edges of the default thickness.
SceneOptions GreenEdges() {
  SceneOptions o;
  o.edges.color = 0x00FF00;
  return o;
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
    const std::vector<std::uint8_t> rgb = RenderCellOffscreen(w, h, &doc, GreenEdges(), ViewState{}, 30);
    QCOMPARE(rgb.size(), size_t(w * h * 3));
    // The atom in the middle, red with a white highlight.
    const QColor c = At(rgb, w, h, w / 2, h / 2);
    QVERIFY2(c.red() > 200 && c.red() > c.green() + 50 && std::abs(c.green() - c.blue()) < 8, qPrintable(c.name()));
    // The front right vertical edge (model x = y = 5, 25 units from the eye)
    // lands at 2.414 / (4/3) * 5/25 of the half width right of the middle.
    const int edgeX = static_cast<int>(std::lround((1.0 + 2.41421356 / (4.0 / 3.0) * 5.0 / 25.0) * w / 2));
    const QColor e = At(rgb, w, h, edgeX, h / 2);
    QVERIFY2(e.green() > e.red() + 50 && e.green() > e.blue() + 50, qPrintable(e.name()));
    // Between the atom and the edge, and in the corner: the white background.
    QCOMPARE(At(rgb, w, h, (w / 2 + edgeX) / 2 - 20, h / 2), QColor(Qt::white));
    QCOMPARE(At(rgb, w, h, 2, 2), QColor(Qt::white));
    // No document: only the cleared background.
    const std::vector<std::uint8_t> empty = RenderCellOffscreen(64, 48, nullptr, SceneOptions{}, ViewState{}, 30);
    QVERIFY(std::all_of(empty.begin(), empty.end(), [](std::uint8_t v) { return v == 255; }));
  }

  // The renderer leaves out spheres and triangles that cannot show (out of
  // sight, turned away, behind nearer spheres): the picture must be that of
  // every sphere drawn by the quadric. Overlapping atoms, big enough on
  // screen for the full detail 10, many of them hidden wholly or in part.
  void leftOutPartsNeverShow() {
    CKomorka doc;
    doc.crystal.latticeType = kCubic;
    doc.cell.a = doc.cell.b = doc.cell.c = 10.0;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int i = 0; i < 60; ++i) {
      AtomSite& at = doc.crystal.structureAtoms.emplace_back();
      at.x = u(rng), at.y = u(rng), at.z = u(rng);
      at.radius = 50;
      at.color = std::array{0x0000FF, 0x00C000, 0xFF0000}[i % 3];
    }
    doc.crystal.ExpandCellAtoms();
    SceneOptions options;
    options.cellShape = false;
    ViewState view;
    view.angleZ = 30;
    view.angleY = 20;
    view.zoom = 10;

    const int w = 320, h = 240, detail = 10;
    QOffscreenSurface surface;  // both take the default format set in main()
    surface.create();
    QOpenGLContext context;
    QVERIFY(context.create() && context.makeCurrent(&surface));
    QOpenGLFramebufferObject fbo(w, h, QOpenGLFramebufferObject::Depth);
    QVERIFY(fbo.bind());
    CellRenderer renderer;
    renderer.Setup(w, h);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    const auto read = [&] {
      std::vector<std::uint8_t> rgb(static_cast<size_t>(w) * h * 3);
      glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
      return rgb;
    };
    renderer.Frame(&doc, options, view, detail);
    const std::vector<std::uint8_t> drawn = read();

    // The same view, every sphere by the quadric.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0, 0, static_cast<GLfloat>(view.TranslateZ()));
    glRotatef(-90, 1, 0, 0);
    glRotatef(-90, 0, 0, 1);
    glRotatef(30, 0, 0, 1);
    glRotatef(20, 0, 1, 0);
    const CellScene scene = BuildCellScene(doc, options);
    glTranslated(scene.centring.x, scene.centring.y, scene.centring.z);
    GLUquadric* quadric = gluNewQuadric();
    for (const Ball& b : scene.balls) {
      glColor3f(b.color[0], b.color[1], b.color[2]);
      glPushMatrix();
      glTranslated(b.pos.x, b.pos.y, b.pos.z);
      gluSphere(quadric, b.radius, detail, detail);
      glPopMatrix();
    }
    gluDeleteQuadric(quadric);
    const std::vector<std::uint8_t> reference = read();
    renderer.Release();

    // Rounding may shift a pixel on an outline; a sphere missing or
    // showing through would change thousands.
    int off = 0, white = 0;
    for (size_t i = 0; i < drawn.size(); i += 3) {
      off += std::abs(drawn[i] - reference[i]) > 24 || std::abs(drawn[i + 1] - reference[i + 1]) > 24 ||
             std::abs(drawn[i + 2] - reference[i + 2]) > 24;
      white += reference[i] == 255 && reference[i + 1] == 255 && reference[i + 2] == 255;
    }
    QVERIFY2(off <= w * h / 1000, qPrintable(QString::number(off)));
    QVERIFY(white < w * h * 3 / 4);  // the atoms fill much of the view

    // Labels on 400 smaller atoms: those left out (outside the view or
    // behind spheres) change no pixel against drawing them all.
    CKomorka many;
    many.crystal.latticeType = kCubic;
    many.cell.a = many.cell.b = many.cell.c = 10.0;
    for (int i = 0; i < 400; ++i) {
      AtomSite& at = many.crystal.structureAtoms.emplace_back();
      at.x = u(rng), at.y = u(rng), at.z = u(rng);
      at.radius = 25;
      at.name = "Na";
      at.visible = 1;
    }
    many.crystal.ExpandCellAtoms();
    CellRenderer labelled;
    labelled.Setup(w, h);
    std::vector<std::uint8_t> frames[2];
    for (bool cull : {true, false}) {
      labelled.SetLabelCulling(cull);
      labelled.Frame(&many, options, view, detail);
      frames[cull ? 0 : 1] = read();
    }
    labelled.Release();
    int differ = 0, black = 0;
    for (size_t i = 0; i < frames[0].size(); i += 3) {
      differ += frames[0][i] != frames[1][i] || frames[0][i + 1] != frames[1][i + 1] ||
                frames[0][i + 2] != frames[1][i + 2];
      black += frames[1][i] < 40 && frames[1][i + 1] < 40 && frames[1][i + 2] < 40;
    }
    QCOMPARE(differ, 0);
    QVERIFY2(black > 200, qPrintable(QString::number(black)));  // labels do show
  }

  void panelSavesBmpAndPluginPictures() {
    PluginTable plugins;
    QCOMPARE(ScanPlugins(PELMORA_PLUGINS_DIR, plugins), std::string());
    const std::int32_t detail = 30;  // the panel keeps a reference to it
    CGLWindow panel(detail, BuildImageFormats(plugins));
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QVERIFY(panel.view());
    CKomorka doc;
    OneAtomCell(doc);
    panel.BindDocument(&doc);

    // The dialog's default choices: BMP at 640 x 480, ".bmp" added to the name.
    testing::ModalWatcher<CGLSaveDialog> watch;
    watch.Arm([&](CGLSaveDialog* d) {
      d->setDirectory(dir_.path());
      d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("komorka"));
      d->accept();
    });
    panel.SaveImage();
    QVERIFY(watch.seen);
    QFile bmp(dir_.path() + "/komorka.bmp");
    QVERIFY(bmp.open(QIODevice::ReadOnly));
    const QByteArray bytes = bmp.readAll();
    QCOMPARE(bytes.size(), 921654);
    // The middle pixel, blue-green-red in the file: the red atom.
    const qsizetype mid = 54 + (240 * 640 + 320) * 3;
    QVERIFY(static_cast<unsigned char>(bytes[mid + 2]) > 200 && static_cast<unsigned char>(bytes[mid + 1]) < 200);

    // The shipped PNG plug-in gets the exact size chosen, independent of the
    // panel's, and the picture upright in its colours: moved 5 units up
    // (pan 50), the atom ends 2.414 * 5/30 of the half height above the
    // middle, and not below it.
    int png = -1;
    for (size_t i = 0; i < panel.formats().size(); ++i)
      if (panel.formats()[i].pattern == "*.png") png = static_cast<int>(i);
    QVERIFY(png > 0);
    // Chosen in the dialog for a bare name: the PNG plug-in's extension,
    // and PNG data in the file.
    testing::ModalWatcher<CGLSaveDialog> pngWatch;
    pngWatch.Arm([&](CGLSaveDialog* d) {
      d->setDirectory(dir_.path());
      d->selectNameFilter(d->nameFilters()[png]);
      auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      QVERIFY(name);
      name->setText(QStringLiteral("pic"));
      d->accept();
      QVERIFY(!d->isVisible());
    });
    panel.SaveImage();
    QVERIFY(pngWatch.seen);
    QVERIFY(!QFile::exists(dir_.path() + "/pic.bmp"));
    QImageReader reader(dir_.path() + "/pic.png");
    QCOMPARE(reader.format(), QByteArray("png"));
    QCOMPARE(reader.size(), QSize(640, 480));
    panel.view()->state().panY = 50;
    QVERIFY(panel.SaveImageTo(dir_.path() + "/k.png", png, 1024, 768));
    const QImage image(dir_.path() + "/k.png");
    QCOMPARE(image.size(), QSize(1024, 768));
    const QColor above = image.pixelColor(512, 230);
    QVERIFY(above.red() > 200 && above.red() > above.green() + 50);
    QCOMPARE(image.pixelColor(512, 538), QColor(Qt::white));

    // A left drag turns the view (y upwards).
    CMyWnd* view = panel.view();
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(50, 50));
    QMouseEvent move(QEvent::MouseMove, QPointF(60, 47), view->mapToGlobal(QPointF(60, 47)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(60, 47));
    QCOMPARE(view->state().angleZ, 10);
    QCOMPARE(view->state().angleY, 359);
  }
};

int main(int argc, char** argv) {
  SetDefaultGLFormat();
  QApplication app(argc, argv);
  ViewerGLTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_viewer_gl.moc"
