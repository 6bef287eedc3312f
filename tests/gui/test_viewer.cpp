// The "Monitor" panel without OpenGL (the offscreen platform): the binding to
// the active document, and the atom list and thickness controls writing into it.
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <algorithm>
#include <utility>

#include "widgets/NumberEdit.h"
#include "tests/gui/GuiTestSupport.h"
#include "viewer3d/ui/MonitorPanel.h"
#include "viewer3d/ui/CellView.h"
#include "viewer3d/ui/TimerButton.h"
#include "widgets/ColorBox.h"

using namespace pelmora;

class ViewerTest : public QObject {
  Q_OBJECT

 private slots:
  void panelFollowsTheActiveDocument() {
    testing::AppRun t;
    QVERIFY(t.Start());
    CMainFrame& f = *t.f;
    CGLWindow* panel = f.glWindow();
    // No GL here: no view, and no crash.
    QVERIFY(!OpenGLAvailable() && !panel->view());
    f.action(cmd::kViewMonitor)->trigger();
    QVERIFY(panel->isVisible());

    KomorkaDocument* doc = f.OpenDocumentFile(testing::ExampleFile("rutile-TiO2.xml"));
    QVERIFY(doc);
    QCOMPARE(panel->document(), &doc->doc());
    QCOMPARE(panel->atomList()->rowCount(), static_cast<int>(doc->doc().crystal.structureAtoms.size()));
    QCOMPARE(panel->thicknessSlider()->value(), CellEdges{}.scale);

    // The thickness field moves the slider and is the document's, which is
    // marked modified.
    panel->thicknessField()->selectAll();
    QTest::keyClicks(panel->thicknessField(), QStringLiteral("73"));
    QCOMPARE(panel->thicknessSlider()->value(), 73);
    QCOMPARE(panel->options().edges.scale, 73);
    QVERIFY(doc->isModified());
    // Another document shows edges of its own, the first keeps its own.
    KomorkaDocument* other = f.OpenDocumentFile(testing::ExampleFile("NaCl.xml"));
    QVERIFY(other);
    QCOMPARE(panel->document(), &other->doc());
    QCOMPARE(panel->options().edges.scale, CellEdges{}.scale);

    // "Opis" of an atom whose label is off turns it on for every copy of the site.
    CKomorka& k = doc->doc();
    k.crystal.structureAtoms[0].visible = 0;
    k.crystal.ExpandCellAtoms();
    panel->BindDocument(&k, true);
    QCOMPARE(panel->thicknessSlider()->value(), 73);
    panel->ToggleLabel(0);
    int copies = 0;
    for (const AtomSite& at : k.crystal.cellAtoms)
      if (at.siteIndex == k.crystal.structureAtoms[0].siteIndex) {
        QCOMPARE(at.visible, 1);
        ++copies;
      }
    QVERIFY(copies > 0);
    QCOMPARE(panel->atomList()->model()->index(0, 2).data(Qt::UserRole), QVariant(true));

    // "Promień": "150" is refused at its third keystroke, "100" taken.
    panel->atomList()->OpenRadiusField(0, k.crystal.structureAtoms[0].radius);
    QSpinBox* field = panel->atomList()->radiusField();
    QVERIFY(field);
    for (auto [typed, taken] : {std::pair{"150", 15}, {"100", 100}}) {
      field->findChild<QLineEdit*>()->selectAll();
      QTest::keyClicks(field, QString::fromLatin1(typed));
      QCOMPARE(k.crystal.structureAtoms[0].radius, taken);
    }
    QCOMPARE(panel->atomList()->model()->index(0, 3).data().toString(), QStringLiteral("100"));

    // The last document closed: the panel lets it go.
    doc->setModified(false);
    other->setModified(false);
    f.action(cmd::kClose)->trigger();
    f.action(cmd::kClose)->trigger();
    QTRY_VERIFY(panel->document() == nullptr);
    QCOMPARE(panel->atomList()->rowCount(), 0);
  }

  // Every button of the panel shows a picture of its own, drawn, with its
  // word as the tooltip.
  void panelButtonsShowPictures() {
    const std::int32_t detail = 10;
    CGLWindow panel(detail, {});
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    const QList<QToolButton*> buttons = panel.findChildren<QToolButton*>();
    const auto isHold = [](QToolButton* b) { return qobject_cast<CTimerButton*>(b) != nullptr; };
    QCOMPARE(std::count_if(buttons.begin(), buttons.end(), isHold), qsizetype(9));
    QList<QImage> pictures;
    for (QToolButton* b : buttons) {
      if (qobject_cast<CColorBox*>(b)) continue;
      QVERIFY2(!b->toolTip().isEmpty(), qPrintable(b->objectName()));
      QCOMPARE(b->toolButtonStyle(), Qt::ToolButtonIconOnly);
      const QImage image = b->icon().pixmap(24, 24).toImage();
      QVERIFY2(!image.isNull(), qPrintable(b->toolTip()));
      int drawn = 0;
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) drawn += qAlpha(image.pixel(x, y)) > 128;
      QVERIFY2(drawn > 20, qPrintable(b->toolTip()));
      for (const QImage& other : pictures) QVERIFY2(other != image, qPrintable(b->toolTip()));
      pictures << image;
    }
    QCOMPARE(pictures.size(), 16);
  }
};

static testing::TestClass<ViewerTest> registered;

#include "test_viewer.moc"
