// pelmora: the desktop application.
#include <QApplication>

#include "app/ui/Application.h"
#include "viewer3d/ui/CellView.h"

int main(int argc, char** argv) {
  pelmora::SetDefaultGLFormat();  // before the application object, for the 3D view
  QApplication qapp(argc, argv);
  return pelmora::RunApplication(qapp);
}
