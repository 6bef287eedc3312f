// The printed page (through QPrinter into a PDF, read back with poppler's
// pdftotext) and the chart pictures: the EMF read back with libUEMF, the SVG
// checked for its title and the curve as one path.
#include <uemf.h>
#include <uemf_safe.h>

#include <algorithm>
#include <cstddef>

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <cmath>
#include <map>
#include <numeric>

#include "diffractogram/chart/ChartPicture.h"
#include "diffractogram/chart/EmfPaintEngine.h"
#include "diffractogram/ui/ChartPrinting.h"
#include "engine/Komorka.h"
#include "tests/gui/GuiTestSupport.h"

using namespace pelmora;
using testing::RunTool;

namespace {

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

// One text record: where it starts, the advance of each character, the
// box it claims.
struct EmfText {
  QString text;
  QPoint at;
  std::vector<int> dx;
  QRect bounds;
  int fontHeight = 0;
};

// One stroked or filled shape: its points, its colour, its bounds.
struct EmfShape {
  std::vector<QPoint> points;
  QRgb colour = 0;
  QRect bounds;
};

// The texts and pens of an EMF, followed through its object handles.
struct EmfReadBack {
  const U_EMRHEADER* header = nullptr;
  int records = 0, lastType = 0;
  std::map<QString, int> textEscapement;  // text -> escapement of its font
  int longestRedLine = 0;                 // points of the longest line drawn in red
  std::vector<EmfText> texts;
  std::vector<EmfShape> lines, fills;     // lines in the pen's colour, fills in the brush's
  int fontsWithStrayBytes = 0;            // font records with anything but zeros past the face name
};

QRect RectOf(const U_RECTL& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right, r.bottom)); }
QRgb RgbOf(const U_COLORREF& c) { return qRgb(c.Red, c.Green, c.Blue); }

// The points of a 16-bit poly record, one run per polygon or line.
std::vector<std::vector<QPoint>> Runs16(const char* rec, uint32_t type) {
  std::vector<std::vector<QPoint>> runs;
  if (type == U_EMR_POLYLINE16 || type == U_EMR_POLYGON16) {
    const auto* r = reinterpret_cast<const U_EMRPOLYLINE16*>(rec);
    std::vector<QPoint>& run = runs.emplace_back();
    for (uint32_t i = 0; i < r->cpts; ++i) run.emplace_back(r->apts[i].x, r->apts[i].y);
  } else {
    const auto* r = reinterpret_cast<const U_EMRPOLYPOLYLINE16*>(rec);
    const auto* pts = reinterpret_cast<const U_POINT16*>(r->aPolyCounts + r->nPolys);
    for (uint32_t k = 0, at = 0; k < r->nPolys; ++k) {
      std::vector<QPoint>& run = runs.emplace_back();
      for (uint32_t i = 0; i < r->aPolyCounts[k]; ++i, ++at) run.emplace_back(pts[at].x, pts[at].y);
    }
  }
  return runs;
}

bool ReadEmf(const QString& path, QByteArray& bytes, EmfReadBack& out) {
  char* contents = nullptr;
  size_t length = 0;
  if (emf_readdata(QFile::encodeName(path).constData(), &contents, &length) != 0) return false;
  bytes = QByteArray(contents, static_cast<qsizetype>(length));
  std::free(contents);
  std::map<uint32_t, U_LOGFONT> fonts;
  std::map<uint32_t, U_LOGPEN> pens;
  std::map<uint32_t, U_LOGBRUSH> brushes;
  U_LOGFONT font{};
  U_LOGPEN pen{};
  U_LOGBRUSH brush{};
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
      const char* tail = rec + offsetof(U_EMREXTCREATEFONTINDIRECTW, elfw) + sizeof(U_LOGFONT);
      out.fontsWithStrayBytes += std::any_of(tail, rec + emr->nSize, [](char c) { return c != 0; });
    } else if (emr->iType == U_EMR_CREATEPEN) {
      pens[static_cast<const U_EMRCREATEPEN*>(r)->ihPen] = static_cast<const U_EMRCREATEPEN*>(r)->lopn;
    } else if (emr->iType == U_EMR_CREATEBRUSHINDIRECT) {
      const auto* b = static_cast<const U_EMRCREATEBRUSHINDIRECT*>(r);
      brushes[b->ihBrush] = b->lb;
    } else if (emr->iType == U_EMR_SELECTOBJECT) {
      const uint32_t ih = static_cast<const U_EMRSELECTOBJECT*>(r)->ihObject;
      if (fonts.count(ih)) font = fonts[ih];
      if (pens.count(ih)) pen = pens[ih];
      if (brushes.count(ih)) brush = brushes[ih];
    } else if (emr->iType == U_EMR_EXTTEXTOUTW) {
      const auto* x = static_cast<const U_EMREXTTEXTOUTW*>(r);
      const U_EMRTEXT& t = x->emrtext;
      EmfText text;
      text.text = QString::fromUtf16(reinterpret_cast<const char16_t*>(rec + t.offString), t.nChars);
      text.at = QPoint(t.ptlReference.x, t.ptlReference.y);
      text.bounds = RectOf(x->rclBounds);
      text.fontHeight = font.lfHeight;
      // The advances' offset follows the optional rectangle.
      const char* after = reinterpret_cast<const char*>(&t) + sizeof(U_EMRTEXT);
      if (!(t.fOptions & U_ETO_NO_RECT)) after += sizeof(U_RECTL);
      const auto* dx = reinterpret_cast<const uint32_t*>(rec + *reinterpret_cast<const uint32_t*>(after));
      text.dx.assign(dx, dx + t.nChars);
      out.textEscapement[text.text] = font.lfEscapement;
      out.texts.push_back(std::move(text));
    } else if (emr->iType == U_EMR_POLYLINE16 || emr->iType == U_EMR_POLYPOLYLINE16) {
      for (std::vector<QPoint>& run : Runs16(rec, emr->iType)) {
        if (pen.lopnColor.Red == 255 && pen.lopnColor.Green == 0 && pen.lopnColor.Blue == 0)
          out.longestRedLine = std::max(out.longestRedLine, static_cast<int>(run.size()));
        out.lines.push_back({std::move(run), RgbOf(pen.lopnColor), RectOf(static_cast<const U_EMRPOLYLINE16*>(r)->rclBounds)});
      }
    } else if (emr->iType == U_EMR_POLYGON16 || emr->iType == U_EMR_POLYPOLYGON16) {
      for (std::vector<QPoint>& run : Runs16(rec, emr->iType))
        out.fills.push_back({std::move(run), RgbOf(brush.lbColor), RectOf(static_cast<const U_EMRPOLYGON16*>(r)->rclBounds)});
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
    testing::AppRun t;
    QVERIFY(t.Start({testing::ExampleFile("NaCl.xml")}));
    CMainFrame& f = *t.f;
    f.action(cmd::kCalculate)->trigger();
    CDownView* view = f.activeView();
    QVERIFY(view && view->patternPresent());
    // Cl moved to a place with three different coordinates, so that each
    // column of the atom table shows its own, and the F centring takes two
    // of its copies past 1.
    std::vector<AtomSite>& sites = view->document()->doc().crystal.structureAtoms;
    QVERIFY(sites.size() == 2 && sites[1].name == "Cl");
    sites[1].x = 0.75, sites[1].y = 0.875, sites[1].z = 0.05;
    view->document()->doc().crystal.ExpandCellAtoms();
    const auto print = [&](const QString& name) {
      ChartPrinting printing(&f);
      printing.printer().setOutputFormat(QPrinter::PdfFormat);
      printing.printer().setOutputFileName(dir_.path() + "/" + name);
      printing.Print(*view, true, false);
      return dir_.path() + "/" + name;
    };
    const QString pdf = print(QStringLiteral("page.pdf"));
    const QString text = RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY2(!text.isEmpty(), "pdftotext (poppler-utils) read nothing");
    for (const char* expected :
         {"Pelmora v1.1.5", "Komórka: Regularna (F)", "α = 90.0°", "a = 5.640 Å", "Promieniowanie X", "= 1.5406 Å",
          "= 1.5444 Å", "Parametry eksperymentu:", "Czynniki aparaturowe:", "Pozycje atomów", "Natężenie [%]", "[st.]"})
      QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
    // The cell after F centring: four sodium and four chlorine atoms, at the
    // positions after adding (½ ½ 0), (½ 0 ½), (0 ½ ½) and reducing into [0, 1).
    QCOMPARE(text.count(QRegularExpression(QStringLiteral("\\bNa\\b"))), 4);
    QCOMPARE(text.count(QRegularExpression(QStringLiteral("\\bCl\\b"))), 4);
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) lines << line.simplified();
    for (const char* row : {"Na 0.000 0.000 0.000", "Na 0.500 0.500 0.000", "Na 0.500 0.000 0.500", "Na 0.000 0.500 0.500",
                            "Cl 0.750 0.875 0.050", "Cl 0.250 0.375 0.050", "Cl 0.250 0.875 0.550", "Cl 0.750 0.375 0.550"})
      // The table stands right of the header block: its row ends a line.
      QVERIFY2(std::any_of(lines.begin(), lines.end(), [row](const QString& l) { return l.endsWith(QLatin1String(row)); }), row);

    // Landscape, and every word inside the page (the intensity title stands
    // left of the chart, further out than the margin reaches).
    const QString info = RunTool(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+)")).match(info);
    QVERIFY(size.hasMatch());
    const double width = size.captured(1).toDouble(), height = size.captured(2).toDouble();
    QVERIFY2(width > height, qPrintable(info));
    const QString boxes = RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
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
    view->document()->doc().experiment.lambda2 = 0.0;
    const QString single = RunTool(QStringLiteral("pdftotext"), {print(QStringLiteral("single.pdf")), QStringLiteral("-")});
    QVERIFY(single.contains(QStringLiteral("= 1.5406 Å")) && !single.contains(QStringLiteral("1.5444")));
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
    // The fonts' full name, style and the rest stay empty: the file is the
    // same whenever the same chart is written.
    QCOMPARE(emf.fontsWithStrayBytes, 0);
    // Application name and title, each ended by NUL, and a closing NUL.
    const auto* desc = reinterpret_cast<const char16_t*>(bytes.constData() + h.offDescription);
    QCOMPARE(QString::fromUtf16(desc, h.nDescription), QString::fromUtf16(u"Pelmor\0Dyfraktogram\0\0", 21));

    // Real text, turned where the chart turns it; the curve as one line.
    QCOMPARE(emf.textEscapement.at(QStringLiteral("Natężenie [%]")), 900);
    QCOMPARE(emf.textEscapement[QStringLiteral("2θ")], 0);
    QVERIFY(emf.textEscapement.count(QStringLiteral("30")));
    QVERIFY2(emf.longestRedLine > 1000, qPrintable(QString::number(emf.longestRedLine)));
  }

  // Shapes and texts land in the metafile where the painter put them: the
  // corners of rectangles, the start of a text and the advance of each of
  // its characters, under a moved and an enlarged painter.
  void emfGeometry() {
    const QString path = dir_.path() + "/shapes.emf";
    EmfLayout layout;
    layout.pixels = QSize(400, 300);
    layout.frame = QSize(6773, 5080);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(40);
    const QString word = QStringLiteral("Wimx 27");
    {
      EmfDevice device(path, layout);
      QPainter p(&device);
      p.translate(5, 7);
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(10, 20, 100, 50));
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::blue);
      p.drawRect(QRectF(0, 0, 30, 40));
      p.setPen(Qt::black);
      p.setFont(font);
      p.drawText(QPointF(50, 100), word);
      p.scale(2, 2);
      p.drawText(QPointF(10, 60), QStringLiteral("Wim"));
      QVERIFY(p.end());
      QVERIFY2(device.error().isEmpty(), qPrintable(device.error()));
    }
    QByteArray bytes;
    EmfReadBack emf;
    QVERIFY(ReadEmf(path, bytes, emf));

    // The outline closed at its first corner, the fill by its four corners.
    const std::vector<QPoint> outline{{15, 27}, {115, 27}, {115, 77}, {15, 77}, {15, 27}};
    QCOMPARE(emf.lines.size(), size_t(1));
    QVERIFY(emf.lines[0].points == outline);
    QCOMPARE(emf.lines[0].bounds, QRect(QPoint(15, 27), QPoint(115, 77)));
    QCOMPARE(emf.lines[0].colour, qRgb(0, 0, 0));
    QCOMPARE(emf.fills.size(), size_t(1));
    QVERIFY((emf.fills[0].points == std::vector<QPoint>{{5, 7}, {35, 7}, {35, 47}, {5, 47}}));
    QCOMPARE(emf.fills[0].colour, qRgb(0, 0, 255));

    // Each character advances by its own width as Qt lays the text out: the
    // running sums are the measured widths of the leading parts, rounded.
    const QFontMetricsF fm(font);
    QCOMPARE(emf.texts.size(), size_t(2));
    const EmfText& t = emf.texts[0];
    QCOMPARE(t.text, word);
    QCOMPARE(t.at, QPoint(55, 107));
    QCOMPARE(t.fontHeight, -40);
    QCOMPARE(t.dx.size(), size_t(word.size()));
    int sum = 0;
    for (qsizetype i = 0; i < word.size(); ++i) {
      sum += t.dx[static_cast<size_t>(i)];
      QCOMPARE(sum, static_cast<int>(std::lround(fm.horizontalAdvance(word.left(i + 1)))));
    }
    QCOMPARE(t.bounds.left(), 55);
    QVERIFY(std::abs(t.bounds.right() - (55 + fm.horizontalAdvance(word))) <= 1.0);
    QVERIFY(std::abs(t.bounds.top() - (107 - fm.ascent())) <= 1.0);
    // Twice the size: twice the font, twice the advances, the start moved
    // by the enlarged offset.
    const EmfText& big = emf.texts[1];
    QCOMPARE(big.at, QPoint(5 + 2 * 10, 7 + 2 * 60));
    QCOMPARE(big.fontHeight, -80);
    QCOMPARE(big.dx[0], static_cast<int>(std::lround(2 * fm.horizontalAdvance(QStringLiteral("W")))));
    QCOMPARE(std::accumulate(big.dx.begin(), big.dx.end(), 0),
             static_cast<int>(std::lround(2 * fm.horizontalAdvance(QStringLiteral("Wim")))));

    // A chart at a size of its own: the white page, and the axes' frame inside the
    // screen margins (left 80, top 10 less the frame's own line, right 30, bottom 65).
    SamplePattern s;
    const QString chart = dir_.path() + "/chart-1000.emf";
    QString error;
    QVERIFY2(WriteChartPicture(chart, PictureFormat::Emf, QSize(1000, 700), s.chart, &error), qPrintable(error));
    EmfReadBack c;
    QVERIFY(ReadEmf(chart, bytes, c));
    QVERIFY(!c.fills.empty());
    QVERIFY((c.fills[0].points == std::vector<QPoint>{{0, 0}, {1000, 0}, {1000, 700}, {0, 700}}));
    QCOMPARE(c.fills[0].colour, qRgb(255, 255, 255));
    const std::vector<QPoint> frame{{80, 9}, {970, 9}, {970, 635}, {80, 635}, {80, 9}};
    QVERIFY(std::any_of(c.lines.begin(), c.lines.end(), [&](const EmfShape& l) { return l.points == frame; }));
  }

  // The physical size of a picture follows from its pixels at 150 dots per
  // inch; the default size is the 240 x 170 mm frame.
  void pictureSizes() {
    SamplePattern s;
    QString error;
    const QSize size(800, 600);
    const double wmm = 800 * 25.4 / 150, hmm = 600 * 25.4 / 150;  // 135.47 x 101.6 mm

    const QString emfPath = dir_.path() + "/sized.emf";
    QVERIFY2(WriteChartPicture(emfPath, PictureFormat::Emf, size, s.chart, &error), qPrintable(error));
    QByteArray bytes;
    EmfReadBack emf;
    QVERIFY(ReadEmf(emfPath, bytes, emf) && emf.header);
    const U_EMRHEADER& h = *emf.header;
    QCOMPARE(RectOf(h.rclFrame), QRect(QPoint(0, 0), QPoint(static_cast<int>(std::lround(wmm * 100)),
                                                             static_cast<int>(std::lround(hmm * 100)))));
    QCOMPARE(RectOf(h.rclBounds), QRect(0, 0, 800, 600));
    QCOMPARE(QSize(h.szlDevice.cx, h.szlDevice.cy), size);
    QCOMPARE(QSize(h.szlMillimeters.cx, h.szlMillimeters.cy), QSize(135, 101));

    // PDF pages in points of 1/72 inch.
    const auto pageOf = [&](QSize pixels) {
      const QString pdf = dir_.path() + QStringLiteral("/sized-%1.pdf").arg(pixels.width());
      if (!WriteChartPicture(pdf, PictureFormat::Pdf, pixels, s.chart, &error)) return QSizeF();
      const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+)"))
                                            .match(RunTool(QStringLiteral("pdfinfo"), {pdf}));
      return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
    };
    const QSizeF page = pageOf(size);
    QVERIFY2(std::abs(page.width() - 800.0 / 150 * 72) < 0.01 && std::abs(page.height() - 600.0 / 150 * 72) < 0.01,
             qPrintable(QStringLiteral("%1 x %2").arg(page.width()).arg(page.height())));
    // Qt writes whole points: 240 x 170 mm within half a point.
    const QSizeF frame = pageOf(kPictureSize);
    QVERIFY2(std::abs(frame.width() - 240 / 25.4 * 72) <= 0.5 && std::abs(frame.height() - 170 / 25.4 * 72) <= 0.5,
             qPrintable(QStringLiteral("%1 x %2").arg(frame.width()).arg(frame.height())));

    // PNG: the pixels asked for, and the resolution.
    const QString png = dir_.path() + "/sized.png";
    QVERIFY(WriteChartPicture(png, PictureFormat::Png, size, s.chart, &error));
    const QImage image(png);
    QCOMPARE(image.size(), size);
    QCOMPARE(image.dotsPerMeterX(), static_cast<int>(std::lround(150 / 0.0254)));
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

static testing::TestClass<PrintingTest> registered;

#include "test_printing.moc"
