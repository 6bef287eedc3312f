// "Ustawienia" of the two save dialogs: which formats offer it, that the
// click reaches the chosen format's plug-in, the extension each format gives
// a bare name, and the XY plug-in's own settings as the file it writes.
#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/ui/Application.h"
#include "app/ui/Commands.h"
#include "diffractogram/PatternExport.h"
#include "diffractogram/ui/PatternSaveDialog.h"
#include "documents/ui/KomorkaDocument.h"
#include "editors/ui/NumberEdit.h"
#include "plugins/PluginLists.h"
#include "plugins/ui/SettingsButton.h"
#include "tests/gui/GuiTestSupport.h"
#include "viewer3d/ImageExport.h"
#include "viewer3d/ui/GLSaveDialog.h"

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

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
    QStringList labels, patterns;
    std::vector<void*> modules;
    for (const ChartFormat& f : formats) {
      labels << QString::fromStdString(f.label);
      patterns << QString::fromStdString(f.pattern);
      modules.push_back(f.module);
    }
    const auto calls = table.Lookup<CallsFn>(static_cast<size_t>(formats[1].pluginIndex), "test_FilterSettingsCalls");
    QVERIFY(calls);

    CPatternSaveDialog d(nullptr, labels, patterns, modules);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    CSettingsButton* button = d.settingsButton();
    QVERIFY(button->isVisible());
    // The text format has no settings: the button does nothing.
    QVERIFY(!button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(d.defaultSuffix(), QStringLiteral("txt"));

    // The plug-in with settings: called when the mouse is released over the
    // button, not when it is pressed, nor when it leaves before release.
    d.selectNameFilter(d.nameFilters()[1]);
    QCOMPARE(d.typeIndex, 1);
    QVERIFY(button->isEnabled());
    QCOMPARE(d.defaultSuffix(), QStringLiteral("tst"));
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
    d.selectNameFilter(d.nameFilters()[0]);
    QVERIFY(!button->isEnabled());
    QCOMPARE(calls(), 1);

    // A bare name gets the chosen plug-in's extension.
    d.selectNameFilter(d.nameFilters()[1]);
    d.scaleEdit()->setText(QStringLiteral("1"));
    TypeName(&d, dir_.path(), QStringLiteral("wykres"));
    d.accept();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.selectedFiles().value(0), dir_.path() + "/wykres.tst");
  }

  void imageDialog() {
    PluginTable table;
    QCOMPARE(ScanPlugins(PELMORA_TEST_PLUGINS_DIR "/dialogs", table), std::string());
    const std::vector<ImageFormat> formats = BuildImageFormats(table);
    QCOMPARE(formats.size(), size_t(3));  // BMP, C with settings, D without an extension
    QStringList labels, patterns;
    std::vector<void*> modules;
    for (const ImageFormat& f : formats) {
      labels << QString::fromStdString(f.label);
      patterns << QString::fromStdString(f.pattern);
      modules.push_back(f.module);
    }
    const auto calls = reinterpret_cast<CallsFn>(ModuleSymbol(formats[1].module, "test_FilterSettingsCalls"));
    QVERIFY(calls);

    const auto dialogWith = [&](int type, const QString& name, auto check) {
      CGLSaveDialog d(nullptr, labels, patterns, modules);
      d.show();
      QVERIFY(QTest::qWaitForWindowExposed(&d));
      d.selectNameFilter(d.nameFilters()[type]);
      QCOMPARE(d.typeIndex, type);
      check(d);
      TypeName(&d, dir_.path(), name);
      d.accept();
      QCOMPARE(d.result(), int(QDialog::Accepted));
    };
    // Shown only for the format whose plug-in exports the settings.
    QString chosen;
    dialogWith(0, QStringLiteral("obraz"), [&](CGLSaveDialog& d) {
      QVERIFY(!d.settingsButton()->isVisible());
      QCOMPARE(d.defaultSuffix(), QStringLiteral("bmp"));
    });
    dialogWith(1, QStringLiteral("obraz"), [&](CGLSaveDialog& d) {
      QVERIFY(d.settingsButton()->isVisible());
      QTest::mouseClick(d.settingsButton(), Qt::LeftButton);
      QCOMPARE(calls(), 1);
      QCOMPARE(d.defaultSuffix(), QStringLiteral("tst"));
      // Back to the bitmap: the button goes.
      d.selectNameFilter(d.nameFilters()[0]);
      QVERIFY(!d.settingsButton()->isVisible());
      d.selectNameFilter(d.nameFilters()[1]);
    });
    dialogWith(2, QStringLiteral("obraz"), [&](CGLSaveDialog& d) {
      QVERIFY(!d.settingsButton()->isVisible());
      QCOMPARE(d.defaultSuffix(), QString());
    });
    QCOMPARE(calls(), 1);

    // The name the panel writes to: the chosen format's extension, none for
    // a plug-in that names none, a typed extension kept.
    QCOMPARE(ImageFileName("/a/pic", formats[0]), "/a/pic.bmp");
    QCOMPARE(ImageFileName("/a/pic", formats[1]), "/a/pic.tst");
    QCOMPARE(ImageFileName("/a/pic", formats[2]), "/a/pic");
    QCOMPARE(ImageFileName("/a.b/pic", formats[1]), "/a.b/pic.tst");
    QCOMPARE(ImageFileName("/a/pic.png", formats[1]), "/a/pic.png");
  }

  // The XY plug-in's dialog, opened from the export's save dialog: the
  // choices shape the file and are there again the next time.
  void xyPluginSettings() {
    ApplicationRun run;
    QVERIFY(StartApplication(run, {testing::ExampleFile("NaCl.xml")}, (dir_.path() + "/P.conf").toStdString()));
    CMainFrame& f = *run.frame;
    f.show();
    f.action(cmd::kCalculate)->trigger();
    CDownView* view = f.activeView();
    QVERIFY(view && view->zoom().StretchAngle(31.5, 32.0));
    const std::vector<ChartFormat>& formats = run.app->chartFormats();
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
    const QByteArray file = ReadAll(dir_.path() + "/nacl.xy");
    const QList<QByteArray> lines = file.trimmed().split('\n');
    QCOMPARE(lines.size(), 100);
    QVERIFY2(QRegularExpression(QStringLiteral("^31\\.50;\\d+\\.\\d{3}$")).match(QString::fromLatin1(lines[0])).hasMatch(),
             lines[0].constData());
    for (const QByteArray& l : lines) QCOMPARE(l.count(';'), 1);

    // The next time (the settings are read again from their file): the
    // choices are shown; a tab and whole numbers, then cancelled, change
    // nothing.
    QVERIFY(QFile::exists(dir_.path() + "/config/Pelmora/xyformat.ini"));
    exportWith(QStringLiteral("nacl2"), [&](QDialog* s) {
      auto* angle = s->findChild<QSpinBox*>(QStringLiteral("angleDecimals"));
      angle0 = angle->value();
      intensity0 = s->findChild<QSpinBox*>(QStringLiteral("intensityDecimals"))->value();
      separator0 = s->findChild<QComboBox*>(QStringLiteral("separator"))->currentText();
      angle->setValue(0);
      s->findChild<QComboBox*>(QStringLiteral("separator"))->setCurrentText(QStringLiteral("tabulator"));
      s->reject();
    });
    QCOMPARE(angle0, 2);
    QCOMPARE(intensity0, 3);
    QCOMPARE(separator0, QStringLiteral("średnik"));
    QCOMPARE(ReadAll(dir_.path() + "/nacl2.xy").left(6), QByteArray("31.50;"));

    // A tab and no decimals for the angle.
    exportWith(QStringLiteral("nacl3.dat"), [&](QDialog* s) {
      s->findChild<QSpinBox*>(QStringLiteral("angleDecimals"))->setValue(0);
      s->findChild<QComboBox*>(QStringLiteral("separator"))->setCurrentText(QStringLiteral("tabulator"));
      s->accept();
    });
    QVERIFY(!QFile::exists(dir_.path() + "/nacl3.dat.xy"));
    QVERIFY(ReadAll(dir_.path() + "/nacl3.dat").startsWith("32\t"));

    view->document()->setModified(false);
    FinishApplication(run);
  }
};

QObject* MakeFormatSettingsTest() { return new FormatSettingsTest; }

#include "test_format_settings.moc"
