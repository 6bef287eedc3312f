// Start-up and exit of the desktop application, apart from main() so that
// tests can run the same sequence.
#pragma once

#include <QStringList>
#include <QTranslator>
#include <functional>
#include <memory>
#include <string>

#include "app/ui/MainFrame.h"
#include "app/ui/PelmorApp.h"

class QApplication;
class QTranslator;

namespace pelmora {

class CMainFrame;
class CPelmorApp;

// Everything one run owns, built in the order of start-up.
struct ApplicationRun {
  // Qt's own dialogs speak Polish like the rest of the program.
  std::unique_ptr<QTranslator> qtTexts;
  std::unique_ptr<CPelmorApp> app;
  std::unique_ptr<CMainFrame> frame;
};

// Settings, then the main frame, then the command line: every file named
// opens, and with --calculate each is calculated. Returns false when
// start-up fails (arguments that make no sense, a file that cannot be
// opened), after its message.
bool StartApplication(ApplicationRun& run, const QStringList& arguments, const std::string& iniPath = {},
                      const CPelmorApp::Reporter& report = {});
// The command line's print request: each file is opened and calculated
// and its page printed without a dialog or a window shown; every problem
// is told through `tell`, one line each. Returns the exit status.
int PrintFromCommandLine(const QStringList& arguments, const std::string& iniPath,
                         const std::function<void(const QString& line)>& tell);
// Settings written back, everything released. False when the settings could
// not be written.
bool FinishApplication(ApplicationRun& run);
// The whole program: start-up, the event loop, exit.
int RunApplication(QApplication& qapp);

}  // namespace pelmora
