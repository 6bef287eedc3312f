// The small dialog that asks for a name (of an anomalous table).
#pragma once

#include <QDialog>

class QLineEdit;

namespace pelmora {

// "Podaj nazwę:" under the operation's title; refuses an empty name.
class CPrompt : public QDialog {
  Q_OBJECT
 public:
  CPrompt(const QString& title, const QString& initial, QWidget* parent = nullptr);
  QString name() const;
  QLineEdit* field() const { return field_; }
  void accept() override;

 private:
  QLineEdit* field_;
};

}  // namespace pelmora
