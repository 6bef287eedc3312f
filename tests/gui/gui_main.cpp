// One program runs every GUI test class.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "tests/gui/GuiTestSupport.h"

int main(int argc, char** argv) {
  // Tables the tests save go to a folder of their own, never the user's.
  QTemporaryDir userData;
  qputenv("XDG_DATA_HOME", QFile::encodeName(userData.path()));
  QApplication app(argc, argv);
  int failed = 0;
  for (auto make : pelmora::testing::TestClasses()) {
    std::unique_ptr<QObject> test(make());
    failed += QTest::qExec(test.get(), argc, argv);
  }
  return failed == 0 ? 0 : 1;
}
