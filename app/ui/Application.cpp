#include "app/ui/Application.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>

#include "app/ui/MainFrame.h"
#include "app/ui/PelmorApp.h"

static void InitResources() { Q_INIT_RESOURCE(pelmora); }

namespace pelmora {

bool StartApplication(ApplicationRun& run, const QStringList& arguments, const std::string& iniPath,
                      const CPelmorApp::Reporter& report) {
  InitResources();
  QApplication::setApplicationName(QStringLiteral("Pelmora"));
  QApplication::setOrganizationName(QStringLiteral("Pelmora"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/pelmora.svg")));
  run.qtTexts = std::make_unique<QTranslator>();
  if (run.qtTexts->load(QStringLiteral("qtbase_pl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(run.qtTexts.get());
  run.app = std::make_unique<CPelmorApp>(iniPath);
  run.app->Start(report);
  run.frame = std::make_unique<CMainFrame>(*run.app);
  // Only a file name asks for something; a plain start opens no document.
  for (const QString& arg : arguments) {
    if (arg.startsWith(QLatin1Char('-'))) continue;
    if (!run.frame->OpenDocumentFile(arg)) return false;
    break;
  }
  return true;
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
  ApplicationRun run;
  QStringList args = qapp.arguments();
  if (!args.isEmpty()) args.removeFirst();
  // Start-up problems (a plug-in that fails to load, records left out of a
  // reference file) are told in message boxes as they happen.
  const auto report = [](const QString& caption, const QString& text) {
    if (caption == QStringLiteral("Error")) QMessageBox::critical(nullptr, caption, text);
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
