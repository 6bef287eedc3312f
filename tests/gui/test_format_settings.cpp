// "Ustawienia" of the two save dialogs: which formats offer it, that the
// click reaches the chosen format's plug-in, the extension each format gives
// a bare name, and the XY plug-in's own settings as the file it writes.
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <memory>

#include "diffractogram/PatternExport.h"
#include "diffractogram/ui/PatternSaveDialog.h"
#include "widgets/NumberEdit.h"
#include "plugins/PluginLists.h"
#include "plugins/ui/SettingsButton.h"
#include "tests/gui/GuiTestSupport.h"
#include "viewer3d/ImageExport.h"
#include "viewer3d/ui/ImageSaveDialog.h"

using namespace pelmora;

namespace {

using CallsFn = int (*)();

// Calls `fn` on the modal dialog named `name` once it is the active one;
// the flag tells whether it came.
void PollModal(const QString& name, std::function<void(QDialog*)> fn, std::shared_ptr<bool> seen, int tries) {
  QTimer::singleShot(20, [=] {
    auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (d && d->objectName() == name && d->isVisible()) {
      *seen = true;
      fn(d);
      return;
    }
    if (tries > 0) PollModal(name, fn, seen, tries - 1);
  });
}
std::shared_ptr<bool> WhenModal(const QString& name, std::function<void(QDialog*)> fn) {
  auto seen = std::make_shared<bool>(false);
  PollModal(name, std::move(fn), seen, 250);
  return seen;
}

// The name typed into a file dialog's name field, as a user types it.
void TypeName(QFileDialog* d, const QString& folder, const QString& name) {
  d->setDirectory(folder);
  if (auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) edit->setText(name);
}

}  // namespace

class FormatSettingsTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  void initTestCase() {
    // The XY plug-in keeps its settings in the user's configuration folder:
    // here a private one.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path() + "/config");
  }

  void chartDialog() {
    PluginTable table;
    QCOMPARE(ScanPlugins(PELMORA_TEST_PLUGINS_DIR "/dialogs", table), std::string());
    const std::vector<ChartFormat> formats = BuildChartFormats(table);
    QCOMPARE(formats.size(), size_t(3));  // text, A with settings, B without
    const FormatChoices c = ChoicesOf(formats);
    const auto calls = table.Lookup<CallsFn>(static_cast<size_t>(formats[1].pluginIndex), "test_FilterSettingsCalls");
    QVERIFY(calls);

    CPatternSaveDialog d(nullptr, c.labels, c.patterns, c.modules);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    CSettingsButton* button = d.settingsButton();
    QVERIFY(button->isVisible());
    QVERIFY(!button->isEnabled());  // the text format has no settings

    // The plug-in with settings: called when the mouse is released over the
    // button, not when it is pressed, nor when it leaves before release.
    d.selectNameFilter(d.nameFilters()[1]);
    QCOMPARE(d.typeIndex, 1);
    QVERIFY(button->isEnabled());
    QTest::mousePress(button, Qt::LeftButton);
    QCOMPARE(calls(), 0);
    QTest::mouseRelease(button, Qt::LeftButton);
    QCOMPARE(calls(), 1);
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(button->width() + 20, button->height() / 2));
    QCOMPARE(calls(), 1);

    // A plug-in without the export: nothing to call.
    d.selectNameFilter(d.nameFilters()[2]);
    QVERIFY(!button->isEnabled());
    QVERIFY(!CallFilterSettings(formats[2].module));

    // A bare name gets the chosen plug-in's extension.
    d.selectNameFilter(d.nameFilters()[1]);
    d.scaleEdit()->setText(QStringLiteral("1"));
    TypeName(&d, dir_.path(), QStringLiteral("wykres"));
    d.accept();
    QCOMPARE(d.selectedFiles().value(0), dir_.path() + "/wykres.tst");
  }

  void imageDialog() {
    PluginTable table;
    QCOMPARE(ScanPlugins(PELMORA_TEST_PLUGINS_DIR "/dialogs", table), std::string());
    const std::vector<ImageFormat> formats = BuildImageFormats(table);
    QCOMPARE(formats.size(), size_t(3));  // BMP, C with settings, D without an extension
    const FormatChoices c = ChoicesOf(formats);
    const auto calls = reinterpret_cast<CallsFn>(ModuleSymbol(formats[1].module, "test_FilterSettingsCalls"));
    QVERIFY(calls);

    // Per format: whether "Ustawienia" shows, and the name a bare "obraz"
    // becomes.
    const auto dialogWith = [&](int type, bool settings, const QString& expected) {
      CGLSaveDialog d(nullptr, c.labels, c.patterns, c.modules);
      d.show();
      QVERIFY(QTest::qWaitForWindowExposed(&d));
      d.selectNameFilter(d.nameFilters()[type]);
      QCOMPARE(d.typeIndex, type);
      QCOMPARE(d.settingsButton()->isVisible(), settings);
      if (settings) {
        QTest::mouseClick(d.settingsButton(), Qt::LeftButton);
        // Another format chosen: the button goes.
        d.selectNameFilter(d.nameFilters()[0]);
        QVERIFY(!d.settingsButton()->isVisible());
        d.selectNameFilter(d.nameFilters()[type]);
      }
      TypeName(&d, dir_.path(), QStringLiteral("obraz"));
      d.accept();
      QCOMPARE(QFileInfo(d.selectedFiles().value(0)).fileName(), expected);
    };
    dialogWith(0, false, QStringLiteral("obraz.bmp"));
    dialogWith(1, true, QStringLiteral("obraz.tst"));
    QCOMPARE(calls(), 1);
    dialogWith(2, false, QStringLiteral("obraz"));

    // The name the panel writes to: none added for a plug-in that names none.
    QCOMPARE(ImageFileName("/a.b/pic", formats[1]), "/a.b/pic.tst");
    QCOMPARE(ImageFileName("/a/pic", formats[2]), "/a/pic");
  }

  // The XY plug-in's dialog, opened from the export's save dialog: the
  // choices shape the file and are there again the next time.
  void xyPluginSettings() {
    testing::AppRun t;
    QVERIFY(t.Start({testing::ExampleFile("NaCl.xml")}));
    CMainFrame& f = *t.f;
    f.action(cmd::kCalculate)->trigger();
    CDownView* view = f.activeView();
    QVERIFY(view && view->zoom().StretchAngle(31.5, 32.0));
    const std::vector<ChartFormat>& formats = t.app().chartFormats();
    const int xy = FindChartFormat(formats, "xy");
    QVERIFY(xy > 0);

    // Opens the export, the XY type and its settings; `edit` works the
    // settings dialog and says what it saw; the file is named `name`.
    const auto exportWith = [&](const QString& name, std::function<void(QDialog*)> edit) {
      testing::ModalWatcher<CPatternSaveDialog> watch;
      std::shared_ptr<bool> settingsSeen;
      watch.Arm([&](CPatternSaveDialog* d) {
        d->selectNameFilter(d->nameFilters()[xy]);
        QVERIFY(d->settingsButton()->isEnabled());
        settingsSeen = WhenModal(QStringLiteral("xySettings"), edit);
        QTest::mouseClick(d->settingsButton(), Qt::LeftButton);
        TypeName(d, dir_.path(), name);
        d->accept();
      });
      f.action(cmd::kExportText)->trigger();
      QVERIFY(watch.seen);
      QVERIFY(settingsSeen && *settingsSeen);
    };

    // First run: the defaults; two and three decimals, semicolons.
    int angle0 = -1, intensity0 = -1;
    QString separator0, sample;
    exportWith(QStringLiteral("nacl"), [&](QDialog* s) {
      auto* angle = s->findChild<QSpinBox*>(QStringLiteral("angleDecimals"));
      auto* intensity = s->findChild<QSpinBox*>(QStringLiteral("intensityDecimals"));
      auto* separator = s->findChild<QComboBox*>(QStringLiteral("separator"));
      angle0 = angle->value(), intensity0 = intensity->value(), separator0 = separator->currentText();
      angle->setValue(2);
      intensity->setValue(3);
      separator->setCurrentText(QStringLiteral("średnik"));
      sample = s->findChild<QLabel*>(QStringLiteral("sample"))->text();
      s->accept();
    });
    QCOMPARE(angle0, 4);
    QCOMPARE(intensity0, 6);
    QCOMPARE(separator0, QStringLiteral("spacja"));
    QCOMPARE(sample, QStringLiteral("45.52;1234.568"));
    // The bare name got ".xy"; each line "2theta;intensity" with the
    // decimals chosen, the first one at 31.5 degrees.
    const QByteArray file = testing::ReadAll(dir_.path() + "/nacl.xy");
    const QList<QByteArray> lines = file.trimmed().split('\n');
    QCOMPARE(lines.size(), 100);
    QVERIFY2(QRegularExpression(QStringLiteral("^31\\.50;\\d+\\.\\d{3}$")).match(QString::fromLatin1(lines[0])).hasMatch(),
             lines[0].constData());
    for (const QByteArray& l : lines) QCOMPARE(l.count(';'), 1);

    // The next time the choices are shown again (read from their file);
    // a tab and no decimals for the angle, and a typed extension kept.
    QVERIFY(QFile::exists(dir_.path() + "/config/Pelmora/xyformat.ini"));
    exportWith(QStringLiteral("nacl.dat"), [&](QDialog* s) {
      auto* angle = s->findChild<QSpinBox*>(QStringLiteral("angleDecimals"));
      auto* separator = s->findChild<QComboBox*>(QStringLiteral("separator"));
      angle0 = angle->value();
      intensity0 = s->findChild<QSpinBox*>(QStringLiteral("intensityDecimals"))->value();
      separator0 = separator->currentText();
      angle->setValue(0);
      separator->setCurrentText(QStringLiteral("tabulator"));
      s->accept();
    });
    QCOMPARE(angle0, 2);
    QCOMPARE(intensity0, 3);
    QCOMPARE(separator0, QStringLiteral("średnik"));
    QVERIFY(testing::ReadAll(dir_.path() + "/nacl.dat").startsWith("32\t"));
  }
};

static testing::TestClass<FormatSettingsTest> registered;

#include "test_format_settings.moc"
