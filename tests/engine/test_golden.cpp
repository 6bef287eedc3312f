// Whole outputs against golden files that tools/make_golden.py computes from
// the formulas alone: the reflection list text and the NaCl pattern of each
// built-in profile. Also the snapshot's fields and the grid's rounding.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include "diffractogram/PatternSynthesis.h"
#include "documents/StructureFile.h"
#include "documents/OpenStructure.h"
#include "engine/ReflectionExport.h"
#include "TestUtil.h"

using namespace pelmora;

namespace {

std::string Golden(const std::string& name) {
  std::ifstream in(PELMORA_SOURCE_DIR "/tests/data/golden/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void OpenAndCalculate(const std::string& example, CKomorka& doc) {
  std::vector<DocMessage> messages;
  ASSERT_TRUE(OpenStructureDocument(doc, PELMORA_EXAMPLES_DIR "/" + example + ".xml", messages));
  test::Calculate(doc);
}

}  // namespace

// Every column, every separator and the absolute intensities of both lines;
// the header alone before a calculation or with neither line chosen.
TEST(Golden, ReflectionListsOfNaClAndZnO) {
  for (const auto& [name, extinct] : {std::pair{"NaCl", false}, std::pair{"wurtzite-ZnO", true}}) {
    SCOPED_TRACE(name);
    CKomorka doc;
    const std::string empty = FormatReflectionList(doc, {});
    OpenAndCalculate(name, doc);
    ReflectionFilter filter;
    filter.secondLine = true;
    filter.extinct = extinct;
    const std::string golden = Golden(std::string(name) + ".refl");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(FormatReflectionList(doc, filter), golden);
    EXPECT_EQ(empty, golden.substr(0, golden.find('\n') + 1));
    EXPECT_EQ(FormatReflectionList(doc, {false, false, false}), empty);
    // A width of 0 (no width is -1) is written with six decimals.
    for (Reflection& r : doc.results.reflectionsAll) r.fwhm = 0.0;
    EXPECT_NE(FormatReflectionList(doc, {}).find("   0.000000   "), std::string::npos);
  }
}

// NaCl with realistic instrument widths and 50 nm grains: every tenth grid
// point and every stick, for each built-in profile.
TEST(Golden, NaClPatternOfEachBuiltInProfile) {
  CKomorka doc;
  OpenAndCalculate("NaCl", doc);
  doc.experiment.gsize = 500.0;
  std::istringstream golden(Golden("NaCl.pattern"));
  std::string header;
  std::getline(golden, header);
  std::vector<int> index;
  std::vector<std::array<double, 4>> want;
  int i;
  std::array<double, 4> v;
  while (golden >> i >> v[0] >> v[1] >> v[2] >> v[3]) index.push_back(i), want.push_back(v);
  ASSERT_GT(index.size(), 2000u);
  const ProfileId ids[4] = {kProfileStick, kProfileGauss, kProfileLorentz, kProfilePseudoVoigt};
  for (int p = 0; p < 4; ++p) {
    SCOPED_TRACE(ids[p]);
    PatternGrid grid;
    SynthesisSetup setup;
    setup.profile = ids[p];
    Synthesize(setup, doc, doc.experiment.angleMin, doc.experiment.angleMax, grid);
    double top = 0.0;
    for (const auto& w : want) top = std::max(top, w[p]);
    for (size_t j = 0; j < index.size(); ++j)
      ASSERT_NEAR(grid[index[j]].intensity, want[j][p], 1e-9 * top) << "point " << index[j];
  }
}

// A change of any one recorded value tells the view to reset its window;
// B counts only while the temperature factor is on.
TEST(Golden, SnapshotRecordsEveryValueItCompares) {
  CKomorka doc;
  PatternGrid grid;
  EXPECT_TRUE(grid.snapshot.DiffersFrom(doc));  // before any synthesis
  SynthesisSetup setup;
  Synthesize(setup, doc, doc.experiment.angleMin, doc.experiment.angleMax, grid);
  doc.experiment.dwfactor = 1.5;
  EXPECT_FALSE(grid.snapshot.DiffersFrom(doc));
  doc.experiment.IsDW = 1;
  EXPECT_TRUE(grid.snapshot.DiffersFrom(doc));
  Synthesize(setup, doc, doc.experiment.angleMin, doc.experiment.angleMax, grid);
  ASSERT_FALSE(grid.snapshot.DiffersFrom(doc));
  ExperimentParams& e = doc.experiment;
  UnitCell& u = doc.cell;
  const std::pair<const char*, double*> fields[] = {
      {"angleMin", &e.angleMin}, {"angleMax", &e.angleMax}, {"a", &u.a},       {"b", &u.b},
      {"c", &u.c},               {"alfa", &u.alfa},         {"beta", &u.beta}, {"gamma", &u.gamma},
      {"dwfactor", &e.dwfactor}, {"gsize", &e.gsize},       {"lambda1", &e.lambda1}};
  for (const auto& [name, field] : fields) {
    const double old = *field;
    *field = old + 0.25;
    EXPECT_TRUE(grid.snapshot.DiffersFrom(doc)) << name;
    *field = old;
  }
  for (std::int32_t* flag : {&e.IsDW, &e.radiation}) {
    *flag = 1 - *flag;
    EXPECT_TRUE(grid.snapshot.DiffersFrom(doc));
    *flag = 1 - *flag;
  }
  // Values outside the snapshot leave the window alone.
  doc.experiment.u = 0.3;
  doc.experiment.lambda2 = 1.6;
  EXPECT_FALSE(grid.snapshot.DiffersFrom(doc));
}

// Grid indices round to the nearest point with exact halves going down.
TEST(Golden, GridIndexRoundsHalvesDown) {
  EXPECT_EQ(std::tuple(PatternIndex(2.5, 1.0), PatternIndex(2.5000001, 1.0), PatternIndex(2.7, 1.0), PatternIndex(2.3, 1.0)),
            std::tuple(2, 3, 3, 2));
  EXPECT_EQ(std::tuple(PatternIndex(-3.0), PatternIndex(std::numeric_limits<double>::quiet_NaN()), PatternIndex(1e9)),
            std::tuple(0, 0, kPatternPoints));
}
