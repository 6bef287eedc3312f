#include "settings/Settings.h"

#include "engine/Rounding.h"

#include <QSettings>
#include <QString>
#include <QVariant>

#include <cmath>
#include <cstdint>
#include <limits>

#include "io/NumberFormat.h"

namespace pelmora {
namespace {

constexpr const char* kMain = "Settings";
constexpr const char* kGL = "GLSettings";

QString KeyOf(const char* section, const char* name) {
  return QString::fromLatin1(section) + QLatin1Char('/') + QString::fromLatin1(name);
}

// Integers are kept as 32-bit words; anything wider is cut at the ends so
// that a wild value cannot wrap round into a plausible one.
std::int64_t Clamp32(std::int64_t v) {
  constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t hi = std::numeric_limits<std::uint32_t>::max();
  return v < lo ? lo : v > hi ? hi : v;
}

std::int64_t Scaled(double value, double factor) {
  const double r = RoundHalfDownValue(value * factor);
  if (!(r > -2147483648.0)) return std::numeric_limits<std::int32_t>::min();
  if (!(r < 4294967295.0)) return std::numeric_limits<std::uint32_t>::max();
  return static_cast<std::int64_t>(r);
}

// The stored integer is taken as unsigned when scaled back.
double Unscaled(const SettingsStore& st, const char* name, std::int64_t missing, double factor) {
  return static_cast<std::uint32_t>(st.GetInt(kMain, name, missing)) / factor;
}

// Decimal text: a value of the wrong type reads as `missing`, text that holds
// no number as 0.
double Decimal(const SettingsStore& st, const char* name, const char* missing) {
  return parseDouble(st.GetString(kMain, name, missing)).value_or(0.0);
}

void WriteRadiation(SettingsStore& st, const CSettings& s) {
  st.SetInt(kMain, "Lambda", Scaled(s.experiment.lambda1, 100000.0));
  st.SetInt(kMain, "Lambda2", Scaled(s.experiment.lambda2, 100000.0));
  st.SetInt(kMain, "Radiation", s.Radiation);
  st.SetInt(kMain, "Ratio", Scaled(s.experiment.ratio, 1000.0));
  st.SetString(kMain, "RadName", s.RadName);
}

void WriteApparatus(SettingsStore& st, const CSettings& s) {
  st.SetString(kMain, "U", cformat("%f", s.experiment.u));
  st.SetString(kMain, "V", cformat("%f", s.experiment.v));
  st.SetString(kMain, "W", cformat("%f", s.experiment.w));
  st.SetString(kMain, "X", cformat("%f", s.experiment.x));
  st.SetString(kMain, "AparatName", s.AparatName);
}

}  // namespace

RadiationSource CSettings::CurrentSource() const {
  return RadiationSource{experiment.lambda1, experiment.lambda2, experiment.ratio, RadName, Radiation};
}

ApparatusSet CSettings::CurrentApparatus() const {
  const ExperimentValues& e = experiment;
  return ApparatusSet{e, AparatName};
}

struct SettingsStore::Impl {
  QSettings settings;
  Impl() : settings(QSettings::IniFormat, QSettings::UserScope, "Pelmora", "Pelmora") {}
  explicit Impl(const std::string& path) : settings(QString::fromStdString(path), QSettings::IniFormat) {}
};

SettingsStore::SettingsStore() : impl_(std::make_unique<Impl>()) {}
SettingsStore::SettingsStore(const std::string& iniPath) : impl_(std::make_unique<Impl>(iniPath)) {}
SettingsStore::~SettingsStore() = default;

std::int64_t SettingsStore::GetInt(const char* section, const char* name, std::int64_t missing) const {
  const QVariant v = impl_->settings.value(KeyOf(section, name));
  bool ok = false;
  std::int64_t n = 0;
  switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      n = v.toLongLong(&ok);
      break;
    case QMetaType::QString:
      n = v.toString().trimmed().toLongLong(&ok, 10);
      break;
    default:
      break;
  }
  if (!ok || n != Clamp32(n)) return missing;
  return n;
}

void SettingsStore::SetInt(const char* section, const char* name, std::int64_t value) {
  impl_->settings.setValue(KeyOf(section, name), static_cast<qlonglong>(Clamp32(value)));
}

std::string SettingsStore::GetString(const char* section, const char* name, const std::string& missing) const {
  const QVariant v = impl_->settings.value(KeyOf(section, name));
  if (v.typeId() != QMetaType::QString) return missing;
  return v.toString().toStdString();
}

void SettingsStore::SetString(const char* section, const char* name, const std::string& value) {
  impl_->settings.setValue(KeyOf(section, name), QString::fromStdString(value));
}

bool SettingsStore::Sync() {
  impl_->settings.sync();
  return impl_->settings.status() == QSettings::NoError;
}

std::string SettingsStore::FilePath() const { return impl_->settings.fileName().toStdString(); }

void LoadSettings(const SettingsStore& st, CSettings& s) {
  s.Sett_ver = static_cast<std::uint32_t>(st.GetInt(kMain, "Sett_ver", 0));
  if (s.Sett_ver != CSettings::kLayoutVersion) return;
  s.DataDir = st.GetString(kMain, "DataDir", "Data");
  s.PluginsDir = st.GetString(kMain, "PluginsDir", "Plugins");
  s.PeakProfile = st.GetString(kMain, "PeakProfile", "pseudo Voigt");
  s.AxisColor = static_cast<std::uint32_t>(st.GetInt(kMain, "AxisColor", 0));
  s.ChartColor = static_cast<std::uint32_t>(st.GetInt(kMain, "ChartColor", 0xFF0000));
  s.printBW = static_cast<std::int32_t>(st.GetInt(kMain, "printBW", 1));
  s.useTHMF = static_cast<std::int32_t>(st.GetInt(kMain, "useTHMF", 1));
  s.dthMargin = Unscaled(st, "dthMargin", 20000, 1000.0);
  s.dthMF = Unscaled(st, "dthMF", 10000, 1000.0);
  s.KA1Color = static_cast<std::uint32_t>(st.GetInt(kMain, "KA1Color", 1282111));
  s.KA2Color = static_cast<std::uint32_t>(st.GetInt(kMain, "KA2Color", 149994));
  s.experiment.angleMin = Unscaled(st, "katMin", 20000, 1000.0);
  s.experiment.angleMax = Unscaled(st, "katMax", 150000, 1000.0);
  s.experiment.lambda1 = Unscaled(st, "Lambda", 154056, 100000.0);
  s.experiment.lambda2 = Unscaled(st, "Lambda2", 154439, 100000.0);
  s.experiment.ratio = Unscaled(st, "Ratio", 500, 1000.0);
  s.Radiation = static_cast<std::int32_t>(st.GetInt(kMain, "Radiation", 0));
  s.RadName = st.GetString(kMain, "RadName", "*Cu");
  s.experiment.u = Decimal(st, "U", "0.0");
  s.experiment.v = Decimal(st, "V", "0.0");
  s.experiment.w = Decimal(st, "W", "0.0");
  s.experiment.x = Decimal(st, "X", "0.0");
  s.AparatName = st.GetString(kMain, "AparatName", "*brak");
  s.ImportAparat = st.GetString(kMain, "ImportAparat", "Lab. Bragg-Brentano");
  s.experiment.gsize = Decimal(st, "Thickness", "1000000.0");
  s.experiment.difradius = Decimal(st, "Difradius", "200");
  s.experiment.absorption = Decimal(st, "Absorption", "0.0001");
  s.experiment.detslit = Decimal(st, "DetSlit", "10");
  s.experiment.beamarea = Decimal(st, "BeamArea", "10");
  s.experiment.measurespeed = Decimal(st, "MeasureSpeed", "1");
  s.experiment.dwfactor = Decimal(st, "DWFactor", "0.0");
  s.experiment.IsDW = static_cast<std::int32_t>(st.GetInt(kMain, "IsDW", 0));
  s.GLDetail = static_cast<std::int32_t>(st.GetInt(kGL, "GLDetail", 30));
  s.Language = st.GetString(kMain, "Language", "");
}

bool SaveSettings(SettingsStore& st, const CSettings& s) {
  st.SetInt(kMain, "Sett_ver", CSettings::kLayoutVersion);
  st.SetString(kMain, "DataDir", s.DataDir);
  st.SetString(kMain, "PluginsDir", s.PluginsDir);
  st.SetString(kMain, "PeakProfile", s.PeakProfile);
  st.SetInt(kMain, "AxisColor", s.AxisColor);
  st.SetInt(kMain, "ChartColor", s.ChartColor);
  st.SetInt(kMain, "printBW", s.printBW);
  st.SetInt(kMain, "KA1Color", s.KA1Color);
  st.SetInt(kMain, "KA2Color", s.KA2Color);
  st.SetInt(kMain, "useTHMF", s.useTHMF);
  st.SetInt(kMain, "dthMargin", Scaled(s.dthMargin, 1000.0));
  st.SetInt(kMain, "dthMF", Scaled(s.dthMF, 1000.0));
  st.SetInt(kMain, "katMin", Scaled(s.experiment.angleMin, 1000.0));
  st.SetInt(kMain, "katMax", Scaled(s.experiment.angleMax, 1000.0));
  WriteRadiation(st, s);
  WriteApparatus(st, s);
  st.SetString(kMain, "ImportAparat", s.ImportAparat);
  st.SetString(kMain, "Thickness", cformat("%g", s.experiment.gsize));
  st.SetString(kMain, "Difradius", cformat("%g", s.experiment.difradius));
  st.SetString(kMain, "Absorption", cformat("%g", s.experiment.absorption));
  st.SetString(kMain, "DetSlit", cformat("%g", s.experiment.detslit));
  st.SetString(kMain, "BeamArea", cformat("%g", s.experiment.beamarea));
  st.SetString(kMain, "MeasureSpeed", cformat("%g", s.experiment.measurespeed));
  st.SetString(kMain, "DWFactor", cformat("%g", s.experiment.dwfactor));
  st.SetInt(kMain, "IsDW", s.experiment.IsDW);
  st.SetInt(kGL, "GLDetail", s.GLDetail);
  st.SetString(kMain, "Language", s.Language);
  return st.Sync();
}

bool SaveRadiationSettings(SettingsStore& st, const CSettings& s) {
  WriteRadiation(st, s);
  return st.Sync();
}

bool SaveApparatusSettings(SettingsStore& st, const CSettings& s) {
  WriteApparatus(st, s);
  return st.Sync();
}

}  // namespace pelmora
