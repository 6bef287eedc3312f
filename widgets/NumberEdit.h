// The numeric field of every dialog: the user may type a decimal comma or a
// point; text that is no number is refused at the field, never read as 0.
#pragma once

#include <QLineEdit>
#include <optional>

namespace pelmora {

class NumberEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit NumberEdit(QWidget* parent = nullptr);

  // The number the field holds, or nothing when its text is none.
  std::optional<double> value() const;
  // Shows a value with a decimal point in the printf format given.
  void setNumber(double v, const char* format = "%.15g");
  // Reads the number into *out. When the text holds none, the user is told
  // "Enter a number." and the focus goes back to the field with its text
  // selected; *out is left alone and false returned.
  bool TakeNumber(double* out);

 protected:
  // Ctrl+Z and Ctrl+Y reach the program's "Cofnij" and "Ponów" while the
  // field has no typing of its own to take back.
  bool event(QEvent* e) override;
};

// The framework's refusal of a numeric field's text, for fields that are not
// NumberEdits (a table's in-place editor, say).
void RefuseNonNumber(QLineEdit* field);

}  // namespace pelmora
