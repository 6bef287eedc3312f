// pelmora: the desktop application.
#include <QApplication>

#include "app/ui/Application.h"

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  return pelmora::RunApplication(qapp);
}
