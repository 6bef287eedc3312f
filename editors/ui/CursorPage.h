// The info panel's third page.
#pragma once

#include <QWidget>
#include <array>

class QLineEdit;

namespace pelmora {

// "Kursor": angle, intensity and the reflections of both lines under the
// chart's cursor, as the chart view reports them.
class CPropPage3 : public QWidget {
  Q_OBJECT
 public:
  explicit CPropPage3(QWidget* parent = nullptr);
  void Show(const QString& angle, const QString& intensity, const QString& ka1, const QString& ka2);
  QLineEdit* field(int i) const { return fields_[static_cast<std::size_t>(i)]; }

 private:
  std::array<QLineEdit*, 4> fields_{};
};

}  // namespace pelmora
