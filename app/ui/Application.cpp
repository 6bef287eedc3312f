#include "app/ui/Application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <cstdio>

#include "app/ui/CommandLine.h"
#include "app/ui/MainFrame.h"
#include "app/ui/PelmorApp.h"
#include "diffractogram/PatternRun.h"
#include "diffractogram/ui/ChartBar.h"
#include "diffractogram/ui/ChartPrinting.h"
#include "diffractogram/ui/ChartView.h"
#include "documents/ui/KomorkaDocument.h"
#include "engine/CalcProgress.h"
#include "io/Translate.h"
#include "settings/Language.h"
#include "settings/Paths.h"

static void InitResources() { Q_INIT_RESOURCE(pelmora); }

namespace pelmora {

namespace {

// Settings, reference data and plug-ins, then the main frame (not shown).
void CreateApplication(ApplicationRun& run, const std::string& iniPath, const CPelmorApp::Reporter& report) {
  InitResources();
  QApplication::setApplicationName(QStringLiteral("Pelmora"));
  QApplication::setOrganizationName(QStringLiteral("Pelmora"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/pelmora.svg")));
  run.qtTexts = std::make_unique<QTranslator>();
  // Qt's own Polish texts unless the program speaks another language.
  if (Translations::Current() == "pl" && run.qtTexts->load(QStringLiteral("qtbase_pl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(run.qtTexts.get());
  run.app = std::make_unique<CPelmorApp>(iniPath);
  run.app->Start(report);
  run.frame = std::make_unique<CMainFrame>(*run.app);
}

CDownView* ViewOf(CMainFrame& frame, KomorkaDocument* doc) {
  for (CChildFrame* f : frame.frames())
    if (f->document() == doc) return f->view();
  return nullptr;
}

// The printer a print request names, or the PDF file it writes; null after
// telling why there is none.
std::unique_ptr<QPrinter> RequestedPrinter(const CommandLine& cl, const std::function<void(const QString&)>& tell) {
  std::unique_ptr<QPrinter> printer;
  if (cl.printToFile()) {
    printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(cl.printTo);
  } else {
    const QPrinterInfo info =
        cl.printer.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(cl.printer);
    if (info.isNull()) {
      const QStringList names = QPrinterInfo::availablePrinterNames();
      const QString known = names.isEmpty() ? QCoreApplication::translate("Application", "system nie zna żadnej drukarki")
                                            : QCoreApplication::translate("Application", "dostępne: %1").arg(names.join(QStringLiteral(", ")));
      tell(cl.printer.isEmpty() ? QCoreApplication::translate("Application", "brak drukarki domyślnej (%1); --print-to PLIK.pdf zapisze stronę do pliku").arg(known)
                                : QCoreApplication::translate("Application", "nie ma drukarki \"%1\" (%2)").arg(cl.printer, known));
      return nullptr;
    }
    printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    if (!printer->isValid()) {
      tell(QCoreApplication::translate("Application", "%1: Nie powiodło się stworzenie kontekstu urządzenia drukarki").arg(info.printerName()));
      return nullptr;
    }
  }
  printer->setPageOrientation(QPageLayout::Landscape);
  printer->setFromTo(1, 1);
  return printer;
}

// Why a PDF could not be written there, in the system's words.
QString WhyNotWritable(const QString& path) {
  const bool existed = QFileInfo::exists(path);
  QFile probe(path);
  if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) return probe.errorString();
  probe.close();
  if (!existed) QFile::remove(path);
  return QCoreApplication::translate("Application", "zapis się nie powiódł");
}

}  // namespace

bool StartApplication(ApplicationRun& run, const QStringList& arguments, const std::string& iniPath,
                      const CPelmorApp::Reporter& report) {
  const CommandLine cl = ParseCommandLine(arguments);
  CreateApplication(run, iniPath, report);
  if (!cl.error.isEmpty()) {
    if (report) report(QCoreApplication::translate("Application", "Błąd"), cl.error);
    return false;
  }
  // Only file names ask for something; a plain start opens no document.
  std::vector<KomorkaDocument*> opened;
  for (const QString& file : cl.files) {
    KomorkaDocument* doc = run.frame->OpenDocumentFile(file);
    if (!doc) return false;
    if (std::find(opened.begin(), opened.end(), doc) == opened.end()) opened.push_back(doc);
  }
  // A refused calculation has told why and leaves its document open.
  if (cl.calculate)
    for (KomorkaDocument* doc : opened)
      if (CDownView* view = ViewOf(*run.frame, doc)) run.frame->Calculate(view);
  return true;
}

int PrintFromCommandLine(const QStringList& arguments, const std::string& iniPath,
                         const std::function<void(const QString& line)>& tell) {
  const CommandLine cl = ParseCommandLine(arguments);
  if (!cl.error.isEmpty() || !cl.print) {
    tell(cl.error.isEmpty() ? QCoreApplication::translate("Application", "brak żądania wydruku") : cl.error);
    return printstatus::kBadArguments;
  }
  // Without a printer nothing could come of the rest: checked first.
  std::unique_ptr<QPrinter> printer = RequestedPrinter(cl, tell);
  if (!printer) return printstatus::kNotPrinted;

  ApplicationRun run;
  CreateApplication(run, iniPath, [&tell](const QString& caption, const QString& text) {
    tell(QStringLiteral("%1: %2").arg(caption, text));
  });
  CMainFrame& frame = *run.frame;
  int status = printstatus::kDone;
  auto fail = [&status](int s) { status = std::max(status, s); };
  for (const QString& file : cl.files) {
    bool told = false;
    frame.setMessageSink([&](const QString&, const QString& text) {
      tell(QStringLiteral("%1: %2").arg(file, text));
      told = true;
    });
    KomorkaDocument* doc = frame.OpenDocumentFile(file);
    CDownView* view = doc ? ViewOf(frame, doc) : nullptr;
    if (!view) {
      if (!told) tell(QCoreApplication::translate("Application", "%1: nie można otworzyć pliku").arg(file));
      fail(printstatus::kUnreadable);
      continue;
    }
    // A page without a pattern is of no use: the calculation comes first,
    // without its progress window.
    NullProgress progress;
    const PatternRunResult r =
        RunPatternCalculation(doc->doc(), progress, run.app->SetupFor(frame.chartBar()->ProfileId()), view->grid());
    if (!r.refusal.empty() || r.outcome != CalcOutcome::Ok) {
      const std::string& why = r.refusal.empty() ? r.failure : r.refusal;
      tell(QStringLiteral("%1: %2").arg(
          file, why.empty() ? QCoreApplication::translate("Application", "obliczenie przerwane") : QString::fromStdString(why)));
      fail(printstatus::kRefused);
      continue;
    }
    view->patternSynthesised();
    if (const std::string note = RefusedPeaksMessage(r.synthesis.refusedPeaks); !note.empty())
      tell(QStringLiteral("%1: %2").arg(file, QString::fromStdString(note)));
    printer->setDocName(QFileInfo(file).fileName());
    if (!PrintChartPage(*printer, *view, run.app->settings().printBW != 0)) {
      tell(cl.printToFile() ? QStringLiteral("%1: %2").arg(cl.printTo, WhyNotWritable(cl.printTo))
                            : QCoreApplication::translate("Application", "%1: drukarka %2 nie przyjęła strony").arg(file, printer->printerName()));
      fail(printstatus::kNotPrinted);
    }
  }
  frame.setMessageSink({});
  FinishApplication(run);
  return status;
}

bool FinishApplication(ApplicationRun& run) {
  run.frame.reset();
  const bool ok = run.app ? run.app->Exit() : true;
  run.app.reset();
  if (run.qtTexts) QCoreApplication::removeTranslator(run.qtTexts.get());
  run.qtTexts.reset();
  return ok;
}

int RunApplication(QApplication& qapp) {
  // The language first: the command line's answers speak it too.
  Translations texts;
  texts.Install(UserLanguage(), ExecutableDir());
  // The core's messages pass through the same translator.
  SetTextTranslator([](const char* context, const char* text) { return QCoreApplication::translate(context, text).toStdString(); });
  QStringList args = qapp.arguments();
  if (!args.isEmpty()) args.removeFirst();
  const CommandLine cl = ParseCommandLine(args);
  if (cl.help || cl.version) {
    std::fputs((cl.help ? CommandLineUsage() : VersionText()).toLocal8Bit().constData(), stdout);
    return 0;
  }
  if (!cl.error.isEmpty()) {
    std::fprintf(stderr, "pelmora: %s\n%s", cl.error.toLocal8Bit().constData(),
                 CommandLineUsage().toLocal8Bit().constData());
    return printstatus::kBadArguments;
  }
  if (cl.print) {
    // Standard error is the request's answer: Qt's remarks about a platform
    // without windows, and a painter that the next line explains, stay out.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
      if (type == QtDebugMsg || type == QtInfoMsg || msg.startsWith(QStringLiteral("This plugin does not support")) ||
          msg.startsWith(QStringLiteral("QPainter::begin")))
        return;
      std::fprintf(stderr, "%s\n", msg.toLocal8Bit().constData());
    });
    return PrintFromCommandLine(args, {}, [](const QString& line) {
      std::fprintf(stderr, "pelmora: %s\n", line.toLocal8Bit().constData());
      std::fflush(stderr);
    });
  }

  ApplicationRun run;
  // Start-up problems (a plug-in that fails to load, records left out of a
  // reference file) are told in message boxes as they happen.
  const auto report = [](const QString& caption, const QString& text) {
    if (caption == QStringLiteral("Error") || caption == QStringLiteral("Błąd"))
      QMessageBox::critical(nullptr, caption, text);
    else QMessageBox::information(nullptr, caption, text);
  };
  if (!StartApplication(run, args, {}, report)) {
    FinishApplication(run);
    return 1;
  }
  run.frame->show();
  const int status = qapp.exec();
  FinishApplication(run);
  return status;
}

}  // namespace pelmora
