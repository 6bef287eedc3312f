// "Ustawienia programu": folders, the 3D model detail, the diffractogram
// settings and the language. OK writes the fields into the settings record (the store is
// written at exit); Cancel changes nothing.
#pragma once

#include <QDialog>

#include "settings/Settings.h"
#include "widgets/ColorBox.h"

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QSpinBox;

namespace pelmora {

class NumberEdit;

class CSettingsDlg : public QDialog {
  Q_OBJECT
 public:
  // `instruments`: the names of the instrument sets an import may take.
  CSettingsDlg(CSettings& settings, QWidget* parent = nullptr, const std::vector<std::string>& instruments = {});

  QLineEdit* pluginsDir() const { return pluginsDir_; }
  QLineEdit* dataDir() const { return dataDir_; }
  QSpinBox* detail() const { return detail_; }
  NumberEdit* margin() const { return margin_; }
  QCheckBox* useMultiple() const { return useMultiple_; }
  NumberEdit* multiple() const { return multiple_; }
  QCheckBox* colourPrint() const { return colourPrint_; }
  CColorBox* chartColour() const { return chart_; }
  CColorBox* axisColour() const { return axis_; }
  CColorBox* ka1Colour() const { return ka1_; }
  CColorBox* ka2Colour() const { return ka2_; }
  QComboBox* language() const { return language_; }
  // The instrument set of imported CIF, PDB and mmCIF structures; its first
  // entry stands for the current one.
  QComboBox* importInstrument() const { return importAparat_; }

 public slots:
  void accept() override;

 private:
  QGroupBox* BuildLanguageBox();

  QGroupBox* ImportsGroup(const std::vector<std::string>& instruments);
  CSettings& s_;
  QLineEdit *pluginsDir_, *dataDir_;
  NumberEdit *margin_, *multiple_;
  QSpinBox* detail_;
  QCheckBox *useMultiple_, *colourPrint_;
  CColorBox *chart_, *axis_, *ka1_, *ka2_;
  QComboBox* language_;
  QComboBox* importAparat_;
};

}  // namespace pelmora
