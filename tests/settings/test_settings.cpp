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
    EXPECT_EQ(s.ChartColor, RgbColor(255, 0, 0)) << ini;
    EXPECT_EQ(s.PeakProfile, "pseudo Voigt TCH");
    EXPECT_DOUBLE_EQ(s.experiment.lambda1, 1.54059);
    EXPECT_EQ(s.DataDir, "Data");
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
    EXPECT_EQ(store.GetInt("Settings", "Lambda", -1), 154056);
    EXPECT_EQ(store.GetInt("Settings", "Sett_ver", -1), 0x1040001);
    EXPECT_EQ(store.GetInt("GLSettings", "GLDetail", -1), 44);
  }
  EXPECT_EQ(ReadFile(ini).find("Y="), std::string::npos);

  SettingsStore store(ini);
  CSettings r;
  LoadSettings(store, r);
  EXPECT_EQ(r.DataDir, "/opt/dane ż");
  EXPECT_EQ(r.PeakProfile, "Gauss");
  EXPECT_DOUBLE_EQ(r.experiment.lambda1, 1.54056);
  EXPECT_DOUBLE_EQ(r.experiment.lambda2, 0.7093);
  EXPECT_DOUBLE_EQ(r.experiment.ratio, 0.457);  // three decimals survive
  EXPECT_DOUBLE_EQ(r.experiment.angleMin, 5.25);
  EXPECT_DOUBLE_EQ(r.experiment.u, 0.123457);
  EXPECT_DOUBLE_EQ(r.experiment.y, 0.0);
  EXPECT_DOUBLE_EQ(r.experiment.difradius, 200.123);
  EXPECT_DOUBLE_EQ(r.experiment.gsize, 1234.5);
  EXPECT_EQ(r.ChartColor, RgbColor(1, 2, 3));
  EXPECT_EQ(r.experiment.IsDW, 1);
  EXPECT_EQ(r.Radiation, 1);
  EXPECT_EQ(r.GLDetail, 44);
  EXPECT_EQ(r.RadName, "*Mo Ka");
  EXPECT_EQ(r.AparatName, "@lab");
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
  EXPECT_EQ(s.DataDir, "Data");  // a list, not a string
  EXPECT_EQ(s.PeakProfile, "pseudo Voigt");
  EXPECT_EQ(s.ChartColor, 0xFF0000u);  // blue
  EXPECT_EQ(s.KA1Color, 1282111u);
  EXPECT_DOUBLE_EQ(s.experiment.lambda1, 1.54056);
  EXPECT_EQ(s.RadName, "*Cu");
  EXPECT_EQ(s.AparatName, "*brak");
  EXPECT_DOUBLE_EQ(s.experiment.difradius, 0.0);  // text without a number
  EXPECT_EQ(s.GLDetail, 30);
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
  EXPECT_DOUBLE_EQ(r.experiment.u, 0.25);
  EXPECT_DOUBLE_EQ(r.experiment.absorption, 0.5);
}

}  // namespace
}  // namespace pelmora
