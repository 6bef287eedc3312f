// Plug-in scan, the lists built from it, and the plug-ins shipped with the program.
#include <gtest/gtest.h>

#include <cstdio>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <iostream>
#include <filesystem>
#include <fstream>

#include "diffractogram/PatternExport.h"
#include "diffractogram/PatternRun.h"
#include "diffractogram/PatternSynthesis.h"
#include "plugins/PluginLists.h"
#include "TempDir.h"

#include <QSettings>

using namespace pelmora;
namespace fs = std::filesystem;
using pelmora::testing::ReadFile;
using pelmora::testing::TempDir;

namespace {

const std::string kTestDir = PELMORA_TEST_PLUGINS_DIR;

Reflection PeakAt(double tth, double intensity) {
  Reflection r;
  r.theta = ThetaOfTwoTheta(tth);
  r.intensity = intensity;
  r.nonZero = 1;
  r.line = 1;
  return r;
}

// The paths the scan loaded, then its message.
std::vector<std::string> Scan(const std::string& folder) {
  PluginTable table;
  const std::string message = ScanPlugins(folder, table);
  std::vector<std::string> out;
  for (size_t i = 0; i < table.size(); ++i) out.push_back(table[i].path);
  out.push_back(message);
  return out;
}

const std::string kOthers = " skipped: writable by users other than its owner";

}  // namespace

TEST(PluginScan, LibrariesOthersCouldHaveWrittenAreNeverLoaded) {
  TempDir dir;
  const std::string folder = dir.File("Plugins");
  fs::create_directories(folder);
  fs::permissions(folder, fs::perms(0755));
  for (const char* name : {"f1.so", "f3.so"}) fs::copy_file(kTestDir + "/formats/" + name, folder + "/" + name);
  fs::permissions(folder + "/f1.so", fs::perms(0775));  // group-writable
  // The scan goes on past the skipped one.
  EXPECT_EQ(Scan(folder), (std::vector<std::string>{folder + "/f3.so", folder + "/f1.so" + kOthers}));
  // A link to a library in a folder anyone may write is judged by that folder.
  fs::permissions(folder + "/f1.so", fs::perms(0755));
  fs::create_directories(dir.File("open"));
  fs::permissions(dir.File("open"), fs::perms(0777));
  fs::rename(folder + "/f3.so", dir.File("open/f3.so"));
  fs::create_symlink(dir.File("open/f3.so"), folder + "/f3.so");
  EXPECT_EQ(Scan(folder), (std::vector<std::string>{folder + "/f1.so", folder + "/f3.so" + kOthers}));
  // A world-writable folder loads nothing at all.
  fs::permissions(folder, fs::perms(0777));
  EXPECT_EQ(Scan(folder), (std::vector<std::string>{folder + kOthers}));
}

TEST(PluginScan, FailuresEndTheScanWithTheirMessage) {
  EXPECT_EQ(Scan(kTestDir + "/no-such-folder"), std::vector<std::string>{""});
  // 0x102 is accepted; 0x103 is refused, and the library after it is never tried.
  std::vector<std::string> got = Scan(kTestDir + "/version");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], kTestDir + "/version/a_ok.so");
  EXPECT_EQ(got[1].rfind(kTestDir + "/version/b_new.so failed with error 0: ", 0), 0u) << got[1];
  // A library without its type, and something that is not a library at all.
  TempDir dir;
  dir.Write("broken.so", "not a library");
  for (const auto& [folder, says] : {std::pair{kTestDir + "/notype", "a_notype.so failed with error 0: "},
                                     {dir.path(), "broken.so failed with error"}}) {
    got = Scan(folder);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_NE(got[0].find(says), std::string::npos) << got[0];
  }
  EXPECT_NE(Scan(kTestDir + "/notype")[0].find("pelmora_GetType"), std::string::npos);
}

TEST(PluginScan, ProfileListOffersOnlyUsableProfiles) {
  PluginTable table;
  ASSERT_EQ(ScanPlugins(kTestDir + "/profiles", table), "");
  ASSERT_EQ(table.size(), 4u);
  // The old profile is in the table (the plug-ins dialog lists it), flagged.
  EXPECT_EQ(table[0].flags, kPluginFlagOldProfile);

  // Built-ins, then "flat"; the nameless one ends the list, so "flat2" is missing.
  const std::vector<ProfileChoice> list = BuildProfileList(table);
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(std::tuple(list[4].label, SelectProfile(list, "flat")), std::tuple("flat", 1));
  EXPECT_TRUE(ProfileHasInfo(table, kProfilePseudoVoigt) && !ProfileHasInfo(table, 1));

  // Preparing a run calls the selected plug-in's initialisation, never a flagged one's.
  using Count = int (*)();
  SynthesisSetup setup;
  setup.plugins = &table;
  setup.profile = 1;
  PrepareProfile(setup);
  setup.profile = 0;
  PrepareProfile(setup);
  EXPECT_EQ(std::tuple(table.Lookup<Count>(1, "test_ProfileInitCalls")(), table.Lookup<Count>(0, "test_ProfileInitCalls")()),
            std::tuple(1, 0));

  // A profile that reports H = 0.1 gets a window of 10 H.
  CKomorka doc;
  doc.experiment.lambda1 = 1.54056;
  doc.results.reflectionsAll = {PeakAt(50.0, 123.0)};
  PatternGrid grid;
  setup.profile = 1;
  Synthesize(setup, doc, 0.0, 180.0, grid);
  // The value times the plug-in's scale, over 10 H and no further.
  EXPECT_EQ(std::tuple(doc.results.reflectionsAll[0].fwhm, grid[9899].intensity, grid[9900].intensity, grid[10099].intensity,
                       grid[10100].intensity),
            std::tuple(0.1, 0.0, 2.0, 2.0, 0.0));
  // The flagged profile is never called.
  setup.profile = 0;
  Synthesize(setup, doc, 0.0, 180.0, grid);
  EXPECT_EQ(grid.maximum, 0.0);

  // A plug-in's NaN never reaches the grid; the peak is counted as refused.
  PluginTable nan;
  ASSERT_EQ(ScanPlugins(kTestDir + "/nanprofile", nan), "");
  setup.plugins = &nan;
  setup.profile = 0;
  const SynthesisReport rep = Synthesize(setup, doc, 0.0, 180.0, grid);
  EXPECT_EQ(rep.refusedPeaks, 1);
  for (int i = 0; i < kPatternPoints; ++i) ASSERT_TRUE(std::isfinite(grid[i].intensity)) << i;
  EXPECT_EQ(grid.maximum, 2.0);  // the finite half of the peak is kept
}

TEST(PluginScan, FormatListStopsAtAnIncompletePlugin) {
  PluginTable table;
  ASSERT_EQ(ScanPlugins(kTestDir + "/formats", table), "");
  ASSERT_EQ(table.size(), 4u);
  const std::vector<ChartFormat> formats = BuildChartFormats(table);
  ASSERT_EQ(formats.size(), 2u);  // F2 lacks its pattern: F3 after it is left out
  EXPECT_EQ(formats[1].label, "F1 (*.tst)");
  EXPECT_EQ(std::tuple(FindChartFormat(formats, "F1 (*.tst)"), FindChartFormat(formats, ".TXT")), std::tuple(1, 0));
  // A name typed without an extension gets the format's; a dot in a folder is no extension.
  EXPECT_EQ(ExportFileName("/tmp/a.b/out", formats[1]), "/tmp/a.b/out.tst");

  TempDir dir;
  PatternGrid grid;
  const PatternWindow w = ExportWindow(20.0, 30.0);
  std::string error;
  ASSERT_TRUE(SavePattern(formats[1], dir.File("p.tst"), 2.5, grid.points() + w.first, w.count, &error)) << error;
  EXPECT_EQ(ReadFile(dir.File("p.tst")), "2000 2500 29995\n");

  // A format plug-in without pelmora_SaveChart writes nothing and says so.
  PluginTable nosave;
  ASSERT_EQ(ScanPlugins(kTestDir + "/nosave", nosave), "");
  const std::vector<ChartFormat> f2 = BuildChartFormats(nosave);
  ASSERT_EQ(f2.size(), 2u);
  const std::string none = dir.File("none.tst");
  EXPECT_FALSE(SavePattern(f2[1], none, 1.0, grid.points(), 10, &error));
  EXPECT_FALSE(error.empty() || fs::exists(none));
}

TEST(ShippedPlugins, PearsonSevenAndXyWorkFromTheDefaultFolder) {
  PluginTable table;
  ASSERT_EQ(ScanPlugins(PELMORA_PLUGINS_DIR, table), "");
  const std::vector<ProfileChoice> profiles = BuildProfileList(table);
  const std::int32_t pearson = SelectProfile(profiles, "Pearson VII");
  ASSERT_GE(pearson, 0);
  EXPECT_TRUE(ProfileHasInfo(table, pearson));
  // Its information goes to standard error, which the program catches for the user.
  EXPECT_NE(CallProfileInfo(table, pearson).find("Pearson VII, m = "), std::string::npos);
  // Both streams (same text, so the order their buffers reach the file in does not matter).
  const auto both = [] { std::printf("<o>"), std::fprintf(stderr, "<o>"); };
  EXPECT_EQ(CaptureStandardOutput(both), "<o><o>");

  // The Pearson VII peak keeps its area and has the width it reports.
  CKomorka doc;
  doc.experiment.lambda1 = 1.54056;
  doc.results.reflectionsAll = {PeakAt(70.0, 400.0)};
  doc.experiment.w = 0.02;
  doc.experiment.y = 0.03;
  doc.experiment.gsize = 2000.0;
  SynthesisSetup setup;
  setup.plugins = &table;
  setup.profile = pearson;
  setup.options.useTHMF = false;
  setup.options.dthMargin = 180.0;
  PrepareProfile(setup);
  PatternGrid grid;
  Synthesize(setup, doc, 0.0, 180.0, grid);
  double area = 0.0;
  int above = 0;
  for (int i = 0; i < kPatternPoints; ++i) {
    area += grid[i].intensity * kPatternStep;
    above += grid[i].intensity >= 0.5 * grid.maximum;
  }
  EXPECT_NEAR(area, 400.0, 400.0 * 2e-3);
  EXPECT_NEAR(above * kPatternStep, doc.results.reflectionsAll[0].fwhm, 2 * kPatternStep);

  // The .xy format: one "2theta intensity" line per point, scaled.
  const std::vector<ChartFormat> formats = BuildChartFormats(table);
  const int xyFormat = FindChartFormat(formats, "xy");
  ASSERT_GT(xyFormat, 0);
  TempDir dir;
  // The plug-in's own settings (none yet: the defaults) live in the user's
  // configuration folder, here a private one.
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(dir.File("config")));
  const std::string name = ExportFileName(dir.File("pattern"), formats[xyFormat]);
  EXPECT_EQ(fs::path(name).filename(), "pattern.xy");
  const PatternWindow w = ExportWindow(69.0, 71.0);
  const double scale = DefaultExportScale(WindowMaximum(grid, w));
  std::string error;
  // Written with a decimal point under a locale whose separator is a comma.
  const std::string oldLocale = std::setlocale(LC_NUMERIC, nullptr);
  const bool comma = std::setlocale(LC_NUMERIC, "pl_PL.UTF-8") != nullptr;
  const bool saved = SavePattern(formats[xyFormat], name, scale, grid.points() + w.first, w.count, &error);
  std::setlocale(LC_NUMERIC, oldLocale.c_str());
  ASSERT_TRUE(saved) << error;
  if (!comma) std::cerr << "pl_PL.UTF-8 not installed: the .xy file was written under the C locale\n";
  const std::string xy = ReadFile(name);
  EXPECT_EQ(std::count(xy.begin(), xy.end(), '\n'), 400);
  EXPECT_EQ(xy.rfind("69.0000 ", 0), 0u);
  EXPECT_NE(xy.find("\n70.0000 10000.000000\n"), std::string::npos);  // the peak, scaled to 10000

  // Settings stored by the plug-in's dialog in an earlier run shape the
  // file in a program without windows too; a value out of range keeps its
  // default.
  fs::create_directories(dir.File("config/Pelmora"));
  {
    std::ofstream ini(dir.File("config/Pelmora/xyformat.ini"));
    ini << "[XY]\nAngleDecimals=1\nIntensityDecimals=99\nSeparator=comma\n";
  }
  ASSERT_TRUE(SavePattern(formats[xyFormat], name, scale, grid.points() + w.first, w.count, &error)) << error;
  const std::string csv = ReadFile(name);
  EXPECT_EQ(csv.rfind("69.0,", 0), 0u);
  EXPECT_NE(csv.find("\n70.0,10000.000000\n"), std::string::npos);
}
