// The numeric export through the menu command: the dialog's defaults and
// the file it writes for the displayed window.
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

#include "diffractogram/ui/PatternSaveDialog.h"
#include "widgets/NumberEdit.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;

class ExportTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

  // Runs the export command and fills its dialog when it appears.
  void ExportWith(CMainFrame& f, const std::function<void(CPatternSaveDialog*)>& fill) {
    testing::ModalWatcher<CPatternSaveDialog> watch;
    watch.Arm(fill);
    f.action(cmd::kExportText)->trigger();
    QVERIFY(watch.seen);
  }

  // Types a file name into the dialog's name field, as a user does.
  static void Type(CPatternSaveDialog* d, const QString& path) {
    d->setDirectory(QFileInfo(path).absolutePath());
    auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    edit->setText(QFileInfo(path).fileName());
  }

  // Before a calculation the displayed window is offered too: its points
  // at zero intensity, with a scale of 1 since 10000 / 0 is none.
  void ZerosBeforeACalculation(CMainFrame& f) {
    QVERIFY(f.action(cmd::kExportText)->isEnabled());
    QVERIFY(!f.activeView()->patternPresent());
    QString emptyScale;
    ExportWith(f, [&](CPatternSaveDialog* d) {
      emptyScale = d->scaleEdit()->text();
      Type(d, dir_.path() + "/zero.txt");
      d->accept();
    });
    QCOMPARE(emptyScale, QStringLiteral("1.0000000000e+00"));
    // NaCl's range 10-150: 28000 points from 10.0000, each of them 0.
    const QByteArray zero = testing::ReadAll(dir_.path() + "/zero.txt");
    QCOMPARE(zero.count('\n'), 28002);
    QCOMPARE(zero.count("      0.00\r\n"), 28000);
    QVERIFY(zero.contains("\n 10.0000      0.00\r\n"));
  }

  // The added extension names an existing file: asked while the dialog is
  // still open, and "No" keeps the file and leaves the dialog to choose again.
  void NoKeepsAnExistingFile(CMainFrame& f, const QString& typed) {
    const QByteArray before = testing::ReadAll(typed + ".txt");
    testing::BoxWatcher box;
    bool stillOpen = false;
    ExportWith(f, [&](CPatternSaveDialog* d) {
      d->scaleEdit()->setText(QStringLiteral("5"));
      Type(d, typed);
      box.Arm(QMessageBox::No);
      d->accept();
      stillOpen = d->isVisible();
      d->reject();
    });
    QVERIFY(box.seen);
    QVERIFY(box.text.contains(QStringLiteral("wzor.txt")));
    QVERIFY(stillOpen);
    QCOMPARE(testing::ReadAll(typed + ".txt"), before);
  }

 private slots:
  void writesTheDisplayedWindow() {
    testing::AppRun t;
    QVERIFY(t.Start({testing::ExampleFile("NaCl.xml")}));
    CMainFrame& f = *t.f;
    CDownView* view = f.activeView();
    ZerosBeforeACalculation(f);
    f.action(cmd::kCalculate)->trigger();
    QVERIFY(f.action(cmd::kExportText)->isEnabled());
    QVERIFY(view->zoom().StretchAngle(20.0, 30.0));

    // A scale that is no number is refused at the field; nothing is written.
    const QString typed = dir_.path() + "/wzor";
    testing::BoxWatcher refused;
    bool stayedOpen = false;
    ExportWith(f, [&](CPatternSaveDialog* d) {
      d->scaleEdit()->setText(QStringLiteral("abc"));
      Type(d, typed);
      refused.Arm();
      d->accept();
      stayedOpen = d->isVisible();
      d->reject();
    });
    QVERIFY(refused.seen);
    QCOMPARE(refused.text, QStringLiteral("Enter a number."));
    QVERIFY(stayedOpen);
    QVERIFY(!QFile::exists(typed + ".txt"));

    // A name typed without an extension gets ".txt"; the scale is 10000 / M;
    // a decimal comma is a decimal separator.
    QString maxText, scaleText, types;
    ExportWith(f, [&](CPatternSaveDialog* d) {
      maxText = d->maximumLabel()->text();
      scaleText = d->scaleEdit()->text();
      types = d->nameFilters().join('|');
      d->scaleEdit()->setText(QStringLiteral("0,5"));
      Type(d, typed);
      d->accept();
    });
    QVERIFY2(maxText.startsWith(QStringLiteral("Wart. maksymalna: ")), qPrintable(maxText));
    QVERIFY(types.startsWith(QStringLiteral("Plik tekstowy (*.txt)")));
    const double m = maxText.mid(18).toDouble();
    QVERIFY(m > 0);
    QVERIFY(std::abs(scaleText.toDouble() - 10000.0 / m) < 1e-6 * (10000.0 / m));

    // Two header lines, 2000 points from 20.0000 to 29.9950.
    const QList<QByteArray> lines = testing::ReadAll(typed + ".txt").split('\n');
    QCOMPARE(lines.size(), 2003);
    QVERIFY(lines[2].startsWith(" 20.0000"));
    // The intensities carry the typed scale.
    const int i = static_cast<int>(std::lround(25.0 / 0.005));
    const double expected = view->grid()[i].intensity * 0.5;
    const QByteArray at25 = lines[2 + 1000];
    QVERIFY(at25.startsWith(" 25.0000"));
    QVERIFY(std::abs(at25.mid(8).trimmed().toDouble() - expected) <= 0.006);

    NoKeepsAnExistingFile(f, typed);
  }
};

static testing::TestClass<ExportTest> registered;

#include "test_export.moc"
