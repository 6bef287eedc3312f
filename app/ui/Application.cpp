#include "app/ui/Application.h"

#include <QApplication>
#include <QIcon>

#include "app/ui/MainFrame.h"
#include "app/ui/PelmorApp.h"

static void InitResources() { Q_INIT_RESOURCE(pelmora); }

namespace pelmora {

bool StartApplication(ApplicationRun& run, const QStringList& arguments, const std::string& iniPath) {
  InitResources();
  QApplication::setApplicationName(QStringLiteral("Pelmora"));
  QApplication::setOrganizationName(QStringLiteral("Pelmora"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/pelmora.svg")));
  run.app = std::make_unique<CPelmorApp>(iniPath);
  run.app->Start();
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
  return ok;
}

int RunApplication(QApplication& qapp) {
  ApplicationRun run;
  QStringList args = qapp.arguments();
  if (!args.isEmpty()) args.removeFirst();
  if (!StartApplication(run, args)) {
    FinishApplication(run);
    return 1;
  }
  run.frame->show();
  const int status = qapp.exec();
  FinishApplication(run);
  return status;
}

}  // namespace pelmora
