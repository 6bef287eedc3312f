#include <gtest/gtest.h>

#include <clocale>

#include "settings/Settings.h"
#include "TempDir.h"

namespace pelmora {
namespace {

using testing::ReadFile;
using testing::TempDir;


// With no store, or one of another layout, nothing is read at all.
TEST(Settings, NoStoreOrAForeignLayoutKeepsTheConstructorDefaults) {
  TempDir dir;
  for (const std::string& ini :
       {dir.File("none.ini"), dir.Write("f.ini", "[Settings]\nSett_ver=17039360\nChartColor=5\nDataDir=x\nPeakProfile=Gauss\n")}) {
    SettingsStore store(ini);
    CSettings s;
    LoadSettings(store, s);
    EXPECT_EQ(std::tie(s.ChartColor, s.PeakProfile, s.experiment.lambda1, s.DataDir),
              std::tuple(RgbColor(255, 0, 0), "pseudo Voigt TCH", 1.54059, "Data")) << ini;
  }
}

TEST(Settings, RoundTripKeepsWhatTheStoredFormAllows) {
  TempDir dir;
  const std::string ini = dir.File("p.ini");
  CSettings s;
  s.DataDir = "/opt/dane ż";
  s.PeakProfile = "Gauss";
  s.experiment.lambda1 = 1.540565;
  s.experiment.lambda2 = 0.70930;
  s.experiment.ratio = 0.4567;
  s.experiment.angleMin = 5.25;
  s.experiment.angleMax = 120.0;
  s.experiment.u = 0.12345678;
  s.experiment.y = 0.75;
  s.experiment.difradius = 200.1234567;
  s.experiment.gsize = 1234.5;
  s.ChartColor = RgbColor(1, 2, 3);
  s.experiment.IsDW = 1;
  s.Radiation = 1;
  s.GLDetail = 44;
  s.RadName = "*Mo Ka";
  s.AparatName = "@lab";
  {
    SettingsStore store(ini);
    ASSERT_TRUE(SaveSettings(store, s));
    EXPECT_EQ(std::tuple(store.GetInt("Settings", "Lambda", -1), store.GetInt("Settings", "Sett_ver", -1),
                         store.GetInt("GLSettings", "GLDetail", -1)),
              std::tuple(154056, 0x1040001, 44));
  }
  EXPECT_EQ(ReadFile(ini).find("Y="), std::string::npos);

  SettingsStore store(ini);
  CSettings r;
  LoadSettings(store, r);
  EXPECT_EQ(std::tie(r.DataDir, r.PeakProfile, r.ChartColor, r.experiment.IsDW, r.Radiation, r.GLDetail, r.RadName, r.AparatName),
            std::tuple("/opt/dane ż", "Gauss", RgbColor(1, 2, 3), 1, 1, 44, "*Mo Ka", "@lab"));
  // The stored decimals: the ratio keeps three, Y is not stored at all.
  const auto& e = r.experiment;
  const double got[] = {e.lambda1, e.lambda2, e.ratio, e.angleMin, e.u, e.y, e.difradius, e.gsize};
  const double want[] = {1.54056, 0.7093, 0.457, 5.25, 0.123457, 0.0, 200.123, 1234.5};
  for (size_t i = 0; i < std::size(want); ++i) EXPECT_DOUBLE_EQ(got[i], want[i]) << i;
}

TEST(Settings, MissingAndWrongTypedValuesReadAsTheirMissingDefaults) {
  TempDir dir;
  const std::string ini = dir.Write("m.ini",
                                    "[Settings]\n"
                                    "Sett_ver=17039361\n"
                                    "KA1Color=green\n"
                                    "Lambda=1.5\n"
                                    "DataDir=a, b\n"
                                    "Difradius=abc\n"
                                    "GLDetail=99\n");  // in the wrong section
  SettingsStore store(ini);
  CSettings s;
  s.PeakProfile = s.RadName = s.AparatName = "changed";
  LoadSettings(store, s);
  // DataDir is a list, not a string; the colours' defaults are blue and
  // 1282111; Difradius is text without a number.
  EXPECT_EQ(std::tie(s.DataDir, s.PeakProfile, s.ChartColor, s.KA1Color, s.RadName, s.AparatName, s.GLDetail),
            std::tuple("Data", "pseudo Voigt", 0xFF0000u, 1282111u, "*Cu", "*brak", 30));
  EXPECT_EQ(std::tie(s.experiment.lambda1, s.experiment.difradius), std::tuple(1.54056, 0.0));
}

TEST(Settings, DecimalsUseAPointUnderACommaLocale) {
  const std::string old = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "pl_PL.UTF-8")) GTEST_SKIP() << "no Polish locale";
  TempDir dir;
  const std::string ini = dir.File("l.ini");
  CSettings s;
  s.experiment.u = 0.25;
  s.experiment.absorption = 0.5;
  {
    SettingsStore store(ini);
    SaveSettings(store, s);
  }
  SettingsStore store(ini);
  CSettings r;
  LoadSettings(store, r);
  std::setlocale(LC_ALL, old.c_str());
  EXPECT_NE(ReadFile(ini).find("U=0.250000"), std::string::npos);
  EXPECT_EQ(std::tie(r.experiment.u, r.experiment.absorption), std::tuple(0.25, 0.5));
}

}  // namespace
}  // namespace pelmora
