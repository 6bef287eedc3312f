// "O programie...": the icon, the name and version, and "OK".
#pragma once

#include <QDialog>

namespace pelmora {

class AboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace pelmora
