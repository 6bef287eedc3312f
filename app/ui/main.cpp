// pelmora: the desktop application.
#include <QApplication>
#include <cstdlib>
#include <cstring>

#include "app/ui/Application.h"
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

}  // namespace

int main(int argc, char** argv) {
  PrintWithoutDisplay(argc, argv);
  pelmora::SetDefaultGLFormat();  // before the application object, for the 3D view
  QApplication qapp(argc, argv);
  return pelmora::RunApplication(qapp);
}
