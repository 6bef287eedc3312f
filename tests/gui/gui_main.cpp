// One program runs every GUI test class.
#include <QApplication>
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
QObject* MakeCommandLineTest();

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int failed = 0;
  for (auto make : {MakeShellTest, MakeZoomTest, MakeExportTest, MakeChartTest, MakeInfoTest, MakeStructureTest, MakeEditorsTest, MakeViewerTest, MakePrintingTest, MakeRefEditorsTest, MakeCommandLineTest}) {
    std::unique_ptr<QObject> test(make());
    failed += QTest::qExec(test.get(), argc, argv);
  }
  return failed == 0 ? 0 : 1;
}
