// pelmora: the desktop application.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/ui/Application.h"
#include "app/ui/CommandLine.h"
#include "settings/Language.h"
#include "settings/Paths.h"
#include "viewer3d/ui/CellView.h"

namespace {

// A print request shows no window, so a script may run it where there is no
// display at all.
void PrintWithoutDisplay(int argc, char** argv) {
  bool print = false;
  for (int i = 1; i < argc; ++i)
    print = print || std::strcmp(argv[i], "--print") == 0 || std::strncmp(argv[i], "--printer", 9) == 0 ||
            std::strncmp(argv[i], "--print-to", 10) == 0;
  if (print && !std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

// --help and --version need no window either: answered before Qt looks
// for a display (which it needs for the application object).
bool AnswerWithoutWindow(int argc, char** argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  const pelmora::CommandLine cl = pelmora::ParseCommandLine(args);
  if (!cl.help && !cl.version) return false;
  // A core application object needs no display; with it the answer speaks
  // the language chosen.
  int count = argc;
  QCoreApplication core(count, argv);
  pelmora::Translations texts;
  texts.Install(pelmora::UserLanguage(), pelmora::ExecutableDir());
  std::fputs((cl.help ? pelmora::CommandLineUsage() : pelmora::VersionText()).toLocal8Bit().constData(), stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnswerWithoutWindow(argc, argv)) return 0;
  PrintWithoutDisplay(argc, argv);
  pelmora::SetDefaultGLFormat();  // before the application object, for the 3D view
  QApplication qapp(argc, argv);
  return pelmora::RunApplication(qapp);
}
