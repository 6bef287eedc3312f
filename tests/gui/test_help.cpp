// The manual: F1 opens it at the section of the window in use, a modal
// dialog's help is not blocked by the dialog, and every page, link, anchor
// and picture the program or the pages point to exists in both languages.
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTableView>
#include <QTextBrowser>
#include <string>

#include "app/ui/HelpWindow.h"
#include "app/ui/SettingsDialog.h"
#include "editors/ui/AtomsPage.h"
#include "editors/ui/StructureDialog.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;

namespace {

QString Read(const QString& path) { return QString::fromUtf8(testing::ReadAll(path)); }

QSet<QString> Ids(const QString& html) {
  QSet<QString> ids;
  static const QRegularExpression id(QStringLiteral("\\bid=\"([^\"]+)\""));
  for (auto it = id.globalMatch(html); it.hasNext();) ids.insert(it.next().captured(1));
  return ids;
}

// The visible help window, if any (the main window's or a dialog's).
HelpWindow* ShownHelp() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* h = qobject_cast<HelpWindow*>(w); h && h->isVisible()) return h;
  return nullptr;
}

}  // namespace

class HelpTest : public QObject {
  Q_OBJECT

 private slots:
  void f1OpensTheSectionOfTheWindowInUse() {
    testing::AppRun t;
    QVERIFY(t.Start());
    CMainFrame& f = *t.f;
    // The main window without a document: its own section.
    QTest::keyClick(&f, Qt::Key_F1);
    HelpWindow* help = ShownHelp();
    QVERIFY(help);
    QCOMPARE(help->currentTopic(), QStringLiteral("index.html#main-window"));
    QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("Pelmora")));
    help->hide();

    // The chart of a structure: the chart's section.
    QVERIFY(f.OpenDocumentFile(testing::ExampleFile("NaCl.xml")));
    QTest::keyClick(f.activeView(), Qt::Key_F1);
    QCOMPARE(ShownHelp(), help);
    QCOMPARE(help->currentTopic(), QStringLiteral("first.html#chart"));
    help->hide();

    // The structure window, a coordinate field of its "Atomy" page in focus;
    // the same window's other page when its list is.
    f.action(cmd::kStructurePage)->trigger();
    CTabPage1* page = f.structurePage();
    QVERIFY(QTest::qWaitForWindowExposed(page));
    page->sheet()->setCurrentIndex(0);
    QTest::keyClick(page->atomsPage()->list(), Qt::Key_F1);
    QVERIFY(ShownHelp());
    QCOMPARE(ShownHelp()->currentTopic(), QStringLiteral("structure.html#atoms"));
    QTest::keyClick(page, Qt::Key_F1);
    QCOMPARE(ShownHelp()->currentTopic(), QStringLiteral("structure.html#structure-page"));
    // "Pomoc" -> "Podręcznik" opens the contents.
    f.action(cmd::kManual)->trigger();
    QCOMPARE(ShownHelp()->currentTopic(), QStringLiteral("index.html"));
    help->hide();
    page->hide();

    // A modal dialog: its help is a window of its own that the dialog does
    // not block.
    testing::ModalWatcher<CSettingsDlg> watch;
    QString topic;
    bool ownedByDialog = false;
    watch.Arm([&](CSettingsDlg* d) {
      QTest::keyClick(d, Qt::Key_F1);
      if (HelpWindow* h = ShownHelp()) {
        topic = h->currentTopic();
        // A window of the dialog's own is one that the dialog leaves usable.
        ownedByDialog = h->parentWidget() == d && h->isWindow();
      }
      d->reject();
    });
    f.action(cmd::kSettings)->trigger();
    QVERIFY(watch.seen);
    QCOMPARE(topic, QStringLiteral("settings.html#settings"));
    QVERIFY(ownedByDialog);
  }

  void manualIsWholeInBothLanguages() {
    const QString root = ManualFolder();
    QVERIFY2(!root.isEmpty(), "the manual is not beside the program");
    const QStringList pages = QDir(root + QStringLiteral("/pl")).entryList({QStringLiteral("*.html")}, QDir::Files);
    QVERIFY(pages.size() >= 10);
    QCOMPARE(QDir(root + QStringLiteral("/en")).entryList({QStringLiteral("*.html")}, QDir::Files), pages);
    static const QRegularExpression link(QStringLiteral("\\b(href|src)=\"([^\"]*)\""));
    for (const QString& lang : QStringList{QStringLiteral("pl"), QStringLiteral("en")}) {
      const QString dir = root + QLatin1Char('/') + lang + QLatin1Char('/');
      // Every section the program opens.
      for (const QString& topic : HelpTopics()) {
        const QString page = topic.section(QLatin1Char('#'), 0, 0), anchor = topic.section(QLatin1Char('#'), 1);
        QVERIFY2(QFileInfo::exists(dir + page), qPrintable(lang + ": " + topic));
        if (!anchor.isEmpty()) QVERIFY2(Ids(Read(dir + page)).contains(anchor), qPrintable(lang + ": " + topic));
      }
      for (const QString& page : pages) {
        const QString html = Read(dir + page);
        // The two languages have the same sections, so that F1 and the
        // links work whichever is shown.
        QCOMPARE(Ids(html), Ids(Read(root + (lang == QStringLiteral("pl") ? "/en/" : "/pl/") + page)));
        for (auto it = link.globalMatch(html); it.hasNext();) {
          const QString target = it.next().captured(2);
          QVERIFY2(!target.contains(QStringLiteral("://")), qPrintable(page + ": no network resources: " + target));
          const QString file = target.section(QLatin1Char('#'), 0, 0), anchor = target.section(QLatin1Char('#'), 1);
          const QString path = file.isEmpty() ? dir + page : dir + file;
          QVERIFY2(QFileInfo::exists(path), qPrintable(lang + "/" + page + ": " + target));
          if (!anchor.isEmpty()) QVERIFY2(Ids(Read(path)).contains(anchor), qPrintable(lang + "/" + page + ": " + target));
        }
      }
    }
  }
};

static testing::TestClass<HelpTest> registered;

#include "test_help.moc"
