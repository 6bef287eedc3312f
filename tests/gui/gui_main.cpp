// One program runs every GUI test class.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

QObject* MakeShellTest();
QObject* MakeZoomTest();
QObject* MakeExportTest();
QObject* MakeChartTest();
QObject* MakeInfoTest();
QObject* MakeStructureTest();
QObject* MakeEditorsTest();
QObject* MakeViewerTest();
QObject* MakePrintingTest();
QObject* MakeRefEditorsTest();
QObject* MakeFormatSettingsTest();
QObject* MakeCommandLineTest();
QObject* MakeMeasuredTest();
QObject* MakeHelpTest();
QObject* MakeUndoTest();
QObject* MakeLanguageTest();

int main(int argc, char** argv) {
  // Tables the tests save go to a folder of their own, never the user's.
  QTemporaryDir userData;
  qputenv("XDG_DATA_HOME", QFile::encodeName(userData.path()));
  QApplication app(argc, argv);
  int failed = 0;
  for (auto make : {MakeShellTest, MakeZoomTest, MakeExportTest, MakeChartTest, MakeInfoTest, MakeStructureTest, MakeEditorsTest, MakeViewerTest, MakePrintingTest, MakeRefEditorsTest,
                    MakeFormatSettingsTest, MakeCommandLineTest, MakeMeasuredTest, MakeHelpTest, MakeUndoTest, MakeLanguageTest}) {
    std::unique_ptr<QObject> test(make());
    failed += QTest::qExec(test.get(), argc, argv);
  }
  return failed == 0 ? 0 : 1;
}
