// "Ustawienia" of the save dialogs: opens the settings of the file format
// chosen in the dialog, when that format's plug-in has any.
#pragma once

#include <QPushButton>
#include <QStringList>
#include <vector>

namespace pelmora {

class CSettingsButton : public QPushButton {
  Q_OBJECT
 public:
  explicit CSettingsButton(QWidget* parent = nullptr);

  // The plug-in of the format now chosen; null for a built-in format.
  void SetModule(void* module);
  void* module() const { return module_; }
  // Whether the chosen format has settings to open.
  bool HasSettings() const;

 private:
  // A click, that is the mouse released over the button (or the key that
  // stands for it): the plug-in's pelmora_FilterSettings, looked up now;
  // nothing for a format without it.
  void Open();

  void* module_ = nullptr;
};

// What a save dialog offers of a list of chart or image formats: their
// labels, file patterns and plug-in modules, in the list's order.
struct FormatChoices {
  QStringList labels, patterns;
  std::vector<void*> modules;
};
template <class Format>
FormatChoices ChoicesOf(const std::vector<Format>& formats) {
  FormatChoices c;
  for (const Format& f : formats) {
    c.labels << QString::fromStdString(f.label);
    c.patterns << QString::fromStdString(f.pattern);
    c.modules.push_back(f.module);
  }
  return c;
}

}  // namespace pelmora
