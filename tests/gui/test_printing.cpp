// The printed page (through QPrinter into a PDF, read back with poppler's
// pdftotext) and the chart pictures: the EMF read back with libUEMF, the SVG
// checked for its title and the curve as one path.
#include <uemf.h>
#include <uemf_safe.h>

#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <map>

#include "app/ui/Application.h"
#include "app/ui/Commands.h"
#include "diffractogram/chart/ChartPicture.h"
#include "diffractogram/chart/PrintPage.h"
#include "diffractogram/ui/ChartPrinting.h"
#include "documents/ui/KomorkaDocument.h"
#include "engine/Komorka.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;

namespace {

// Standard output of a poppler tool, empty when it fails.
QString Run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(20000) || p.exitCode() != 0) return {};
  return QString::fromUtf8(p.readAllStandardOutput());
}

// One Gaussian peak at 30 degrees on the 0.005 grid, shown from 20 to 40.
struct SamplePattern {
  std::vector<ChartPoint> points;
  ChartContent chart;
  SamplePattern() {
    for (int i = 0; i <= 10000; ++i) {
      const double tt = i * 0.005;
      points.push_back({tt, 50.0 * std::exp(-std::pow((tt - 30.0) / 0.2, 2))});
    }
    chart.series = {points.data(), static_cast<int>(points.size()), 50.0, 0.005};
    chart.ranges = {20.0, 40.0, 0.0, 100.0};
  }
};

// The texts and pens of an EMF, followed through its object handles.
struct EmfReadBack {
  const U_EMRHEADER* header = nullptr;
  int records = 0, lastType = 0;
  std::map<QString, int> textEscapement;  // text -> escapement of its font
  int longestRedLine = 0;                 // points of the longest line drawn in red
};

bool ReadEmf(const QString& path, QByteArray& bytes, EmfReadBack& out) {
  char* contents = nullptr;
  size_t length = 0;
  if (emf_readdata(QFile::encodeName(path).constData(), &contents, &length) != 0) return false;
  bytes = QByteArray(contents, static_cast<qsizetype>(length));
  std::free(contents);
  std::map<uint32_t, U_LOGFONT> fonts;
  std::map<uint32_t, U_LOGPEN> pens;
  U_LOGFONT font{};
  U_LOGPEN pen{};
  for (size_t off = 0; off + sizeof(U_EMR) <= static_cast<size_t>(bytes.size());) {
    const char* rec = bytes.constData() + off;
    const auto* emr = reinterpret_cast<const U_EMR*>(rec);
    if (emr->nSize < sizeof(U_EMR) || off + emr->nSize > static_cast<size_t>(bytes.size())) return false;
    if (!U_emf_record_safe(rec)) return false;
    ++out.records;
    out.lastType = static_cast<int>(emr->iType);
    const auto* r = reinterpret_cast<const void*>(rec);
    if (emr->iType == U_EMR_HEADER) {
      out.header = static_cast<const U_EMRHEADER*>(r);
    } else if (emr->iType == U_EMR_EXTCREATEFONTINDIRECTW) {
      const auto* f = static_cast<const U_EMREXTCREATEFONTINDIRECTW*>(r);
      fonts[f->ihFont] = f->elfw.elfLogFont;
    } else if (emr->iType == U_EMR_CREATEPEN) {
      pens[static_cast<const U_EMRCREATEPEN*>(r)->ihPen] = static_cast<const U_EMRCREATEPEN*>(r)->lopn;
    } else if (emr->iType == U_EMR_SELECTOBJECT) {
      const uint32_t ih = static_cast<const U_EMRSELECTOBJECT*>(r)->ihObject;
      if (fonts.count(ih)) font = fonts[ih];
      if (pens.count(ih)) pen = pens[ih];
    } else if (emr->iType == U_EMR_EXTTEXTOUTW) {
      const U_EMRTEXT& t = static_cast<const U_EMREXTTEXTOUTW*>(r)->emrtext;
      out.textEscapement[QString::fromUtf16(reinterpret_cast<const char16_t*>(rec + t.offString), t.nChars)] =
          font.lfEscapement;
    } else if (emr->iType == U_EMR_POLYLINE16 || emr->iType == U_EMR_POLYPOLYLINE16) {
      const int n = static_cast<int>(emr->iType == U_EMR_POLYLINE16 ? static_cast<const U_EMRPOLYLINE16*>(r)->cpts
                                                                     : static_cast<const U_EMRPOLYPOLYLINE16*>(r)->cpts);
      if (pen.lopnColor.Red == 255 && pen.lopnColor.Green == 0 && pen.lopnColor.Blue == 0)
        out.longestRedLine = std::max(out.longestRedLine, n);
    }
    off += emr->nSize;
  }
  return true;
}

}  // namespace

class PrintingTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  void printedPage() {
    ApplicationRun run;
    QVERIFY(StartApplication(run, {testing::ExampleFile("NaCl.xml")}, (dir_.path() + "/P.conf").toStdString()));
    CMainFrame& f = *run.frame;
    f.show();
    f.action(cmd::kCalculate)->trigger();
    CDownView* view = f.activeView();
    QVERIFY(view && view->patternPresent());
    const auto print = [&](const QString& name) {
      CChartPrinting printing(&f);
      printing.printer().setOutputFormat(QPrinter::PdfFormat);
      printing.printer().setOutputFileName(dir_.path() + "/" + name);
      printing.Print(*view, true, false);
      return dir_.path() + "/" + name;
    };
    const QString pdf = print(QStringLiteral("page.pdf"));
    const QString text = Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY2(!text.isEmpty(), "pdftotext (poppler-utils) read nothing");
    for (const char* expected :
         {"Pelmora v1.1.5", "Komórka: Regularna (F)", "α = 90.0°", "a = 5.640 Å", "Promieniowanie X", "= 1.5406 Å",
          "= 1.5444 Å", "Parametry eksperymentu:", "Czynniki aparaturowe:", "Pozycje atomów", "Natężenie [%]", "[st.]"})
      QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
    // The cell after F centring: four sodium and four chlorine atoms.
    QCOMPARE(text.count(QRegularExpression(QStringLiteral("\\bNa\\b"))), 4);
    QCOMPARE(text.count(QRegularExpression(QStringLiteral("\\bCl\\b"))), 4);

    // Landscape, and every word inside the page (the intensity title stands
    // left of the chart, further out than the margin reaches).
    const QString info = Run(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+)")).match(info);
    QVERIFY(size.hasMatch());
    const double width = size.captured(1).toDouble(), height = size.captured(2).toDouble();
    QVERIFY2(width > height, qPrintable(info));
    const QString boxes = Run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    QRegularExpression word(QStringLiteral("xMin=\"([-0-9.]+)\" yMin=\"([-0-9.]+)\" xMax=\"([-0-9.]+)\" "
                                           "yMax=\"([-0-9.]+)\">([^<]*)<"));
    int words = 0;
    for (auto it = word.globalMatch(boxes); it.hasNext(); ++words) {
      const auto m = it.next();
      QVERIFY2(m.captured(1).toDouble() >= 0.0 && m.captured(3).toDouble() <= width && m.captured(2).toDouble() >= 0.0 &&
                   m.captured(4).toDouble() <= height,
               qPrintable(m.captured(5)));
    }
    QVERIFY(words > 50);

    // Without a second wavelength only the first line of the source is printed.
    view->document()->doc().lambda2 = 0.0;
    const QString single = Run(QStringLiteral("pdftotext"), {print(QStringLiteral("single.pdf")), QStringLiteral("-")});
    QVERIFY(single.contains(QStringLiteral("= 1.5406 Å")) && !single.contains(QStringLiteral("1.5444")));
    view->document()->setModified(false);
    FinishApplication(run);
  }

  void printedAtomTableListsEveryCellPosition() {
    // A face-centred cell of two atoms at positions with three different
    // coordinates: eight rows, each with its own x, y and z.
    CKomorka doc;
    doc.latticeType = 17;
    doc.a = doc.b = doc.c = 4.0;
    AtomSite fe;
    fe.name = "Fe";
    fe.x = 0.1;
    fe.y = 0.2;
    fe.z = 0.3;
    AtomSite o = fe;
    o.name = "O";
    o.x = 0.75;
    o.y = 0.875;
    o.z = 0.05;
    o.siteIndex = 1;
    doc.structureAtoms = {fe, o};
    doc.ExpandCellAtoms();
    const QString pdf = dir_.path() + QStringLiteral("/atoms.pdf");
    {
      QPdfWriter writer(pdf);
      writer.setResolution(300);
      writer.setPageOrientation(QPageLayout::Landscape);
      QPainter p(&writer);
      PrintDevice dev;
      dev.page = QSize(writer.width(), writer.height());
      SamplePattern s;
      DrawPrintPage(p, dev, doc, s.chart);
    }
    const QString text = Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY2(!text.isEmpty(), "pdftotext (poppler-utils) read nothing");
    // The positions after adding (½ ½ 0), (½ 0 ½), (0 ½ ½) and reducing into [0, 1).
    const char* rows[] = {"Fe 0.100 0.200 0.300", "Fe 0.600 0.700 0.300", "Fe 0.600 0.200 0.800",
                          "Fe 0.100 0.700 0.800", "O 0.750 0.875 0.050",  "O 0.250 0.375 0.050",
                          "O 0.250 0.875 0.550",  "O 0.750 0.375 0.550"};
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) lines << line.simplified();
    for (const char* row : rows) {
      // The table stands right of the header block: its row ends a line.
      bool found = false;
      for (const QString& line : lines) found = found || line.endsWith(QLatin1String(row));
      QVERIFY2(found, row);
    }
  }

  void emfPicture() {
    SamplePattern s;
    const QString path = dir_.path() + "/chart.emf";
    QString error;
    QVERIFY2(WriteChartPicture(path, PictureFormat::Emf, kPictureSize, s.chart, &error), qPrintable(error));
    QVERIFY(!QFile::exists(path + ".part"));

    QByteArray bytes;
    EmfReadBack emf;
    QVERIFY(ReadEmf(path, bytes, emf));
    QVERIFY(emf.header);
    // The header's frame and counts agree with the file.
    const U_EMRHEADER& h = *emf.header;
    QCOMPARE(QRect(QPoint(h.rclFrame.left, h.rclFrame.top), QPoint(h.rclFrame.right, h.rclFrame.bottom)),
             QRect(QPoint(0, 0), QPoint(24000, 17000)));
    QCOMPARE(h.nRecords, static_cast<uint32_t>(emf.records));
    QCOMPARE(h.nBytes, static_cast<uint32_t>(bytes.size()));
    QCOMPARE(emf.lastType, U_EMR_EOF);
    // Application name and title, each ended by NUL, and a closing NUL.
    const auto* desc = reinterpret_cast<const char16_t*>(bytes.constData() + h.offDescription);
    QCOMPARE(QString::fromUtf16(desc, h.nDescription), QString::fromUtf16(u"Pelmor\0Dyfraktogram\0\0", 21));

    // Real text, turned where the chart turns it; the curve as one line.
    QCOMPARE(emf.textEscapement.at(QStringLiteral("Natężenie [%]")), 900);
    QCOMPARE(emf.textEscapement[QStringLiteral("2θ")], 0);
    QVERIFY(emf.textEscapement.count(QStringLiteral("30.0")));
    QVERIFY2(emf.longestRedLine > 1000, qPrintable(QString::number(emf.longestRedLine)));
  }

  void svgPicture() {
    SamplePattern s;
    const QString path = dir_.path() + "/chart.svg";
    QString error;
    QVERIFY2(WriteChartPicture(path, PictureFormat::Svg, QSize(800, 600), s.chart, &error), qPrintable(error));
    QVERIFY(QSvgRenderer(path).isValid());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString svg = QString::fromUtf8(file.readAll());
    QVERIFY(svg.contains(QStringLiteral("<title>Dyfraktogram</title>")));
    // The curve as one path in the red group, not as dots or pieces.
    int curvePoints = 0;
    const QRegularExpression red(QStringLiteral("<g [^>]*stroke=\"#ff0000\"[^>]*>(.*?)</g>"),
                                 QRegularExpression::DotMatchesEverythingOption);
    for (auto it = red.globalMatch(svg); it.hasNext();)
      curvePoints = std::max(curvePoints, static_cast<int>(it.next().captured(1).count(QLatin1Char(','))));
    QVERIFY2(curvePoints > 1000, qPrintable(QString::number(curvePoints)));
  }
};

QObject* MakePrintingTest() { return new PrintingTest; }

#include "test_printing.moc"
