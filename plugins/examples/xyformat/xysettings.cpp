// The plug-in's settings: kept with QSettings in the user's configuration
// folder, and, where the program has windows, the dialog that edits them.
#include "xysettings.h"

#include <QSettings>
#include <algorithm>
#include <QString>

#ifdef XY_SETTINGS_DIALOG
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "pelmora_plugin.h"
#endif

namespace {

struct Separator {
  char c;
  const char* key;    // as stored
  const char* label;  // as the dialog shows it
};
constexpr Separator kSeparators[] = {
    {' ', "space", "spacja"}, {'\t', "tab", "tabulator"}, {',', "comma", "przecinek"}, {';', "semicolon", "średnik"}};

constexpr int kDefaultAngleDecimals = 4;
constexpr int kDefaultIntensityDecimals = 6;

QSettings Store() { return QSettings(QSettings::IniFormat, QSettings::UserScope, "Pelmora", "xyformat"); }

int Decimals(const QSettings& st, const char* key, int missing) {
  bool ok = false;
  const int v = st.value(QLatin1String(key)).toInt(&ok);
  return ok && v >= 0 && v <= XY_MAX_DECIMALS ? v : missing;
}

}  // namespace

extern "C" void xy_LoadSettings(XySettings* s) {
  const QSettings st = Store();
  s->angleDecimals = Decimals(st, "XY/AngleDecimals", kDefaultAngleDecimals);
  s->intensityDecimals = Decimals(st, "XY/IntensityDecimals", kDefaultIntensityDecimals);
  s->separator = ' ';
  const QString key = st.value(QStringLiteral("XY/Separator")).toString();
  for (const Separator& sep : kSeparators)
    if (key == QLatin1String(sep.key)) s->separator = sep.c;
}

#ifdef XY_SETTINGS_DIALOG

namespace {

// Writes the choices; false when the settings file could not be written.
bool StoreSettings(const XySettings& s) {
  QSettings st = Store();
  st.setValue(QStringLiteral("XY/AngleDecimals"), s.angleDecimals);
  st.setValue(QStringLiteral("XY/IntensityDecimals"), s.intensityDecimals);
  for (const Separator& sep : kSeparators)
    if (sep.c == s.separator) st.setValue(QStringLiteral("XY/Separator"), QLatin1String(sep.key));
  st.sync();
  return st.status() == QSettings::NoError;
}

// One line of a file as the choices would write it (QString::number never
// follows the locale: a decimal point always).
QString SampleLine(const XySettings& s) {
  const QString sep = s.separator == '\t' ? QStringLiteral("→") : QString(QLatin1Char(s.separator));
  return QString::number(45.5218, 'f', s.angleDecimals) + sep + QString::number(1234.56789, 'f', s.intensityDecimals);
}

}  // namespace

PELMORA_EXPORT void pelmora_FilterSettings(void) {
  // Only a program with windows can show the dialog.
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  XySettings s;
  xy_LoadSettings(&s);

  QWidget* owner = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : QApplication::activeWindow();
  QDialog dlg(owner);
  dlg.setObjectName(QStringLiteral("xySettings"));
  dlg.setWindowTitle(QStringLiteral("Ustawienia formatu XY"));
  auto* box = new QVBoxLayout(&dlg);
  auto* form = new QFormLayout;
  auto* angle = new QSpinBox(&dlg);
  angle->setObjectName(QStringLiteral("angleDecimals"));
  auto* intensity = new QSpinBox(&dlg);
  intensity->setObjectName(QStringLiteral("intensityDecimals"));
  for (QSpinBox* b : {angle, intensity}) b->setRange(0, XY_MAX_DECIMALS);
  angle->setValue(s.angleDecimals);
  intensity->setValue(s.intensityDecimals);
  auto* separator = new QComboBox(&dlg);
  separator->setObjectName(QStringLiteral("separator"));
  for (const Separator& sep : kSeparators) {
    separator->addItem(QString::fromUtf8(sep.label));
    if (sep.c == s.separator) separator->setCurrentIndex(separator->count() - 1);
  }
  auto* sample = new QLabel(&dlg);
  sample->setObjectName(QStringLiteral("sample"));
  sample->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  form->addRow(QStringLiteral("Miejsca dziesiętne kąta 2θ:"), angle);
  form->addRow(QStringLiteral("Miejsca dziesiętne natężenia:"), intensity);
  form->addRow(QStringLiteral("Separator kolumn:"), separator);
  form->addRow(QStringLiteral("Przykładowy wiersz:"), sample);
  box->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Anuluj"));
  box->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);

  const auto chosen = [&] {
    XySettings c;
    c.angleDecimals = angle->value();
    c.intensityDecimals = intensity->value();
    c.separator = kSeparators[std::max(0, separator->currentIndex())].c;
    return c;
  };
  const auto update = [&] { sample->setText(SampleLine(chosen())); };
  QObject::connect(angle, &QSpinBox::valueChanged, &dlg, update);
  QObject::connect(intensity, &QSpinBox::valueChanged, &dlg, update);
  QObject::connect(separator, &QComboBox::currentIndexChanged, &dlg, update);
  update();

  if (dlg.exec() != QDialog::Accepted) return;
  if (!StoreSettings(chosen()))
    QMessageBox::critical(owner, QStringLiteral("Błąd"),
                          QStringLiteral("Nie zapisano ustawień formatu XY w pliku %1.").arg(Store().fileName()));
}

#endif
