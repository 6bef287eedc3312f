// The desktop program's command line: what it understands, files calculated
// once open, and the print request that writes the page and quits, telling
// every failure on standard error without waiting for anyone.
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPrinterInfo>
#include <QRegularExpression>

#include "app/ui/CommandLine.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;
using testing::RunTool;

namespace {

// Dark pixels of the page rendered at 50 dpi inside a rectangle given in
// centimetres from the paper's top-left corner.
int DarkPixels(const QString& pdf, double left, double top, double right, double bottom) {
  const QString base = QFileInfo(pdf).absolutePath() + QStringLiteral("/page");
  QProcess p;
  p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("50"), QStringLiteral("-png"),
                                       QStringLiteral("-singlefile"), pdf, base});
  if (!p.waitForFinished(20000) || p.exitCode() != 0) return -1;
  const QImage img(base + QStringLiteral(".png"));
  if (img.isNull()) return -1;
  const double perCm = 50 / 2.54;
  int n = 0;
  for (int y = int(top * perCm); y < int(bottom * perCm) && y < img.height(); ++y)
    for (int x = int(left * perCm); x < int(right * perCm) && x < img.width(); ++x) n += qGray(img.pixel(x, y)) < 128;
  return n;
}

// CsCl on a diffractometer of radius 0, which the calculation refuses.
QString RefusedStructure(const QString& folder) {
  QByteArray bytes = testing::ReadAll(testing::ExampleFile("CsCl.xml"));
  if (!bytes.contains("<difradius>200</difradius>")) return {};
  bytes.replace("<difradius>200</difradius>", "<difradius>0</difradius>");
  const QString path = folder + QStringLiteral("/radius0.xml");
  return testing::WriteAll(path, bytes) ? path : QString();
}

}  // namespace

class CommandLineTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  std::string Ini() const { return (dir_.path() + "/Pelmora.conf").toStdString(); }

  // A print request run in this process; its lines of standard error.
  int Print(const QStringList& args, QStringList& told) {
    told.clear();
    return PrintFromCommandLine(args, Ini(), [&told](const QString& line) { told << line; });
  }

 private slots:
  void argumentsAreUnderstoodOrRefused() {
    CommandLine c = ParseCommandLine({"a.xml", "--calculate", "b.cif"});
    QCOMPARE(c.files, QStringList({"a.xml", "b.cif"}));
    QVERIFY(c.calculate && !c.print && c.error.isEmpty());

    c = ParseCommandLine({"--print", "--printer", "Biuro 2", "a.xml"});
    QVERIFY(c.print && c.error.isEmpty());
    QCOMPARE(c.printer, QStringLiteral("Biuro 2"));
    QCOMPARE(c.files, QStringList({"a.xml"}));
    // A named printer or an output file is a print request by itself.
    c = ParseCommandLine({"--print-to=out.pdf", "--", "--odd-name.xml"});
    QVERIFY(c.print && c.printToFile() && c.error.isEmpty());
    QCOMPARE(c.printTo, QStringLiteral("out.pdf"));
    QCOMPARE(c.files, QStringList({"--odd-name.xml"}));
    QVERIFY(ParseCommandLine({"--printer", "P", "a.xml"}).print);

    // Nothing half understood is carried out.
    for (const QStringList& bad : {QStringList{"--print"}, QStringList{"--print-to", "o.pdf"},
                                   QStringList{"a.xml", "--print-to"}, QStringList{"--print-to", "o.pdf", "a", "b"},
                                   QStringList{"--printer", "P", "--print-to", "o.pdf", "a"},
                                   QStringList{"--calculate"}, QStringList{"--calculate=yes", "a"},
                                   QStringList{"--colour", "a.xml"}})
      QVERIFY2(!ParseCommandLine(bad).error.isEmpty(), qPrintable(bad.join(' ')));
    QVERIFY(ParseCommandLine({}).error.isEmpty() && ParseCommandLine({}).files.isEmpty());

    // At start-up a refused command line is told and ends the start.
    ApplicationRun run;
    QString said;
    QVERIFY(!StartApplication(run, {"--colour", testing::ExampleFile("NaCl.xml")}, Ini(),
                              [&](const QString&, const QString& text) { said = text; }));
    QVERIFY(said.contains(QStringLiteral("--colour")));
    QCOMPARE(run.frame->frames().size(), 0);
    FinishApplication(run);
  }

  void calculateOpensEveryFileWithItsPattern() {
    {
      testing::AppRun t;
      QVERIFY(t.Start({testing::ExampleFile("Si.xml"), testing::ExampleFile("NaCl.xml")}, false));
      QCOMPARE(t.f->frames().size(), 2);
      for (CChildFrame* f : t.f->frames()) QVERIFY(!f->view()->patternPresent());
    }
    // A file that cannot be calculated says so and stays open; the others
    // get their patterns.
    const QString flat = RefusedStructure(dir_.path());
    QVERIFY(!flat.isEmpty());
    testing::AppRun t;
    testing::BoxWatcher refused;
    refused.Arm();
    QVERIFY(t.Start({"--calculate", testing::ExampleFile("Si.xml"), flat, testing::ExampleFile("NaCl.xml")}, false));
    QVERIFY(refused.seen);
    QCOMPARE(refused.caption, QStringLiteral("Błąd"));
    const QList<CChildFrame*> frames = t.f->frames();
    QCOMPARE(frames.size(), 3);
    QVERIFY(frames[0]->view()->patternPresent() && frames[2]->view()->patternPresent());
    QVERIFY(!frames[1]->view()->patternPresent());
    QVERIFY(frames[2]->view()->patternMaximum() > 0.0);
    // Shown, the last file named is the active document.
    t.f->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.f));
    QCOMPARE(t.f->activeDocument(), frames[2]->document());
  }

  void printToWritesTheCalculatedPage() {
    const QString pdf = dir_.path() + "/NaCl.pdf";
    QStringList told;
    QElapsedTimer t;
    t.start();
    QCOMPARE(Print({"--print-to", pdf, testing::ExampleFile("NaCl.xml")}, told), 0);
    QVERIFY2(told.isEmpty(), qPrintable(told.join('\n')));
    QVERIFY(t.elapsed() < 15000);
    const QString text = RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY2(text.contains(QStringLiteral("Regularna (F)")) && text.contains(QStringLiteral("Pozycje atomów")),
             qPrintable(text));
    // The chart's angle labels at round numbers, in a row under it.
    QVERIFY2(text.contains(QRegularExpression(QStringLiteral("\\b20 +40 +60 +80 +100 +120 +140\\b"))),
             qPrintable(text));
    const QString info = RunTool(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY2(info.contains(QRegularExpression("Pages:\\s+1\\n")), qPrintable(info));
    QVERIFY2(info.contains(QStringLiteral("842 x 595")) || info.contains(QStringLiteral("792 x 612")), qPrintable(info));
    // The chart's upper half: only the calculated peaks reach into it (the
    // strongest NaCl lines stand at 100 % and 66 %).
    const int peaks = DarkPixels(pdf, 3.0, 10.8, 21.0, 14.0);
    QVERIFY2(peaks > 40, qPrintable(QString::number(peaks)));
  }

  void printFailuresAreToldAndEndTheRun() {
    QStringList told;
    // A file that cannot be opened: named with the reason, nothing written.
    const QString pdf = dir_.path() + "/none.pdf";
    const QString missing = dir_.path() + "/missing.xml";
    QCOMPARE(Print({"--print-to", pdf, missing}, told), 2);
    QVERIFY2(!told.isEmpty() && told.first().startsWith(missing + ": "), qPrintable(told.join('\n')));
    QVERIFY(told.first().size() > missing.size() + 3);
    QVERIFY(!QFileInfo::exists(pdf));
    // A structure the calculation refuses prints no empty page.
    const QString bad = RefusedStructure(dir_.path());
    QVERIFY(!bad.isEmpty());
    QCOMPARE(Print({"--print-to", pdf, bad}, told), 3);
    QVERIFY2(told.size() == 1 && told.first().startsWith(bad + ": "), qPrintable(told.join('\n')));
    QVERIFY(!QFileInfo::exists(pdf));
    // An output that cannot be written.
    const QString nowhere = dir_.path() + "/no/such/folder/x.pdf";
    QCOMPARE(Print({"--print-to", nowhere, testing::ExampleFile("NaCl.xml")}, told), 4);
    QVERIFY2(told.size() == 1 && told.first().startsWith(nowhere + ": "), qPrintable(told.join('\n')));
    // A printer that does not exist is named.
    QCOMPARE(Print({"--printer", "Pelmora-no-such-printer", testing::ExampleFile("NaCl.xml")}, told), 4);
    QVERIFY(told.size() == 1 && told.first().contains(QStringLiteral("\"Pelmora-no-such-printer\"")));
    QCOMPARE(Print({"--print"}, told), 1);
    QCOMPARE(told.size(), 1);
  }

  void theProgramAnswersOnStandardErrorWithoutAWindow() {
    // The real program, as a script runs it: the page, then a failure.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path() + "/config");
    auto run = [&](const QStringList& args, QString& err) {
      QProcess p;
      p.setProcessEnvironment(env);
      p.start(QStringLiteral(PELMORA_APP), args);
      if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return -100;
      }
      err = QString::fromLocal8Bit(p.readAllStandardError());
      return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -99;
    };
    QString err;
    const QString pdf = dir_.path() + "/prog.pdf";
    QCOMPARE(run({"--print-to", pdf, testing::ExampleFile("NaCl.xml")}, err), 0);
    QVERIFY2(err.isEmpty(), qPrintable(err));
    QVERIFY(QFileInfo(pdf).size() > 1000);
    const QString missing = dir_.path() + "/gone.xml";
    QCOMPARE(run({"--print", missing}, err), QPrinterInfo::defaultPrinter().isNull() ? 4 : 2);
    QVERIFY2(err.startsWith(QStringLiteral("pelmora: ")) && err.endsWith('\n'), qPrintable(err));
    QCOMPARE(run({"--print-to", pdf}, err), 1);
    QVERIFY(err.contains(QStringLiteral("pelmora --print-to")));
  }
};

static testing::TestClass<CommandLineTest> registered;

#include "test_commandline.moc"
