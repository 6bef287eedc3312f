// The numeric export: its dialog's texts and the file it writes.
#include <QTest>

#include "diffractogram/ui/PatternSaveDialog.h"

using namespace pelmora;

class ExportTest : public QObject {
  Q_OBJECT
 private slots:
  void dialogTexts() {
    QCOMPARE(MaximumLabelText(2.5), QStringLiteral("Wart. maksymalna: 2.5"));
    QCOMPARE(MaximumLabelText(1000.0), QStringLiteral("Wart. maksymalna: 1000.0"));
    QCOMPARE(MaximumLabelText(0.000001), QStringLiteral("Wart. maksymalna: 1.0000000000e-06"));
    QCOMPARE(DefaultScale(2.5), 4000.0);
    QCOMPARE(DefaultScale(0.0), 1.0);
    QCOMPARE(ScaleText(4000.0), QStringLiteral("4.0000000000e+03"));
    QCOMPARE(ScaleFromText(QStringLiteral("2.5e3xyz")), 2500.0);
    QCOMPARE(ScaleFromText(QStringLiteral("abc")), 0.0);
    QCOMPARE(NameWithExtension(QStringLiteral("/tmp/wynik"), QStringLiteral("txt")), QStringLiteral("/tmp/wynik.txt"));
    QCOMPARE(NameWithExtension(QStringLiteral("/tmp/wynik.dat"), QStringLiteral("txt")), QStringLiteral("/tmp/wynik.dat"));
    QCOMPARE(NameWithExtension(QStringLiteral("/tmp/wynik"), QString()), QStringLiteral("/tmp/wynik"));
  }
};

QObject* MakeExportTest() { return new ExportTest; }

#include "test_export.moc"
