// The application's settings record and the per-user store that keeps it
// between runs (an INI file under the user's configuration folder).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/Experiment.h"

namespace pelmora {

// 0x00BBGGRR, as colours are held throughout.
constexpr std::uint32_t RgbColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) | (static_cast<std::uint32_t>(b) << 16);
}

struct CSettings {
  // The layout of the stored values; stored settings of any other layout are
  // ignored as a whole.
  static constexpr std::uint32_t kLayoutVersion = 0x1040001;

  std::string DataDir = "Data";
  std::string PluginsDir = "Plugins";
  std::string PeakProfile = "pseudo Voigt TCH";
  // The experiment values every new document starts with, among them the
  // current source's wavelengths and ratio and the current instrument set's
  // coefficients (stored as "Lambda", "katMin", "U", "Thickness", ...).
  ExperimentValues experiment;
  double dthMF = 10.0;
  double dthMargin = 20.0;
  std::int32_t Radiation = 0;
  std::int32_t GLDetail = 30;
  std::uint32_t ChartColor = RgbColor(255, 0, 0);
  std::uint32_t AxisColor = RgbColor(0, 0, 0);
  std::uint32_t KA1Color = RgbColor(63, 144, 19);
  std::uint32_t KA2Color = RgbColor(234, 73, 2);
  std::int32_t printBW = 1;
  std::int32_t useTHMF = 1;
  std::uint32_t Sett_ver = kLayoutVersion;
  std::string RadName = "Cu";
  std::string AparatName = "brak";
  // The language of the texts: empty follows the system, "pl" or "en".
  std::string Language;
  // The instrument set a structure imported from a CIF, PDB or mmCIF file
  // takes (such files name none); empty: the current one, as other files.
  std::string ImportAparat = "Lab. Bragg-Brentano";

  // The current source and instrument set as records (names unmarked).
  RadiationSource CurrentSource() const;
  ApparatusSet CurrentApparatus() const;
};

// The per-user settings store: sections "Settings" and "GLSettings" of an
// INI file. The default constructor opens the user's own file
// (~/.config/Pelmora/Pelmora.ini); tests pass a path of their own.
class SettingsStore {
 public:
  SettingsStore();
  explicit SettingsStore(const std::string& iniPath);
  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // Integer values; a value that is missing or holds no 32-bit integer
  // reads as `missing`.
  std::int64_t GetInt(const char* section, const char* name, std::int64_t missing) const;
  void SetInt(const char* section, const char* name, std::int64_t value);
  // String values; a value that is not a single string reads as missing.
  std::string GetString(const char* section, const char* name, const std::string& missing) const;
  void SetString(const char* section, const char* name, const std::string& value);
  // Writes pending changes to disk; false when the file cannot be written.
  bool Sync();
  std::string FilePath() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

void LoadSettings(const SettingsStore& store, CSettings& s);
// Each returns false when the store could not be written.
bool SaveSettings(SettingsStore& store, const CSettings& s);
bool SaveRadiationSettings(SettingsStore& store, const CSettings& s);
bool SaveApparatusSettings(SettingsStore& store, const CSettings& s);

}  // namespace pelmora
