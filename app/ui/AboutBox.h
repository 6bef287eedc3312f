// "O programie...": the icon, the name and version, and "OK".
#pragma once

#include <QDialog>

namespace pelmora {

class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace pelmora
