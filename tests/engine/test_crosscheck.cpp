// Reflections of real structures against cctbx: direct summation over the
// same atoms, form-factor coefficients, f'/f'' and wavelengths, with cctbx's
// own metric and centring. The structures and their reference values live in
// tests/data/xcheck; /usr/bin/python3 tools/crosscheck_cctbx.py --write-ref
// regenerates the .ref files (and checks every reflection, not only these).
// Values agree to the precision of the reflection table's export.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "io/AtomicFile.h"
#include "documents/StructureFile.h"
#include "documents/OpenStructure.h"
#include "engine/CalcProgress.h"
#include "io/NumberFormat.h"

using namespace pelmora;

namespace {

struct RefRow {
  int line, h, k, l, m;
  double twoTheta, d, reF, imF, f2, percent;
};

struct RefFile {
  long count[3] = {0, 0, 0};  // reflections in range, by line
  std::vector<RefRow> rows;
};

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

bool ReadRef(const std::string& path, RefFile& ref) {
  std::string text;
  if (!ReadWholeFile(path, text)) return false;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = std::min(text.find('\n', pos), text.size());
    const std::vector<std::string> w = Words(text.substr(pos, end - pos));
    pos = end + 1;
    if (w.empty() || w[0][0] == '#') continue;
    std::vector<double> v;
    for (size_t i = w[0] == "count" ? 1 : 0; i < w.size(); ++i) {
      const std::optional<double> x = parseDouble(w[i]);
      if (!x) return false;
      v.push_back(*x);
    }
    if (w[0] == "count" && v.size() == 2 && (v[0] == 1 || v[0] == 2)) {
      ref.count[static_cast<int>(v[0])] = static_cast<long>(v[1]);
    } else if (v.size() == 11) {
      ref.rows.push_back({static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
                          static_cast<int>(v[3]), static_cast<int>(v[4]), v[5], v[6], v[7], v[8], v[9], v[10]});
    } else {
      return false;
    }
  }
  return !ref.rows.empty();
}

// Half a unit of the printed last digit, and room for the rounding of large values.
double Tolerance(int decimals, double value) { return 0.5 * std::pow(10.0, -decimals) + 1e-9 * std::fabs(value); }

std::array<int, 3> AbsIndices(int h, int k, int l) {
  std::array<int, 3> a = {std::abs(h), std::abs(k), std::abs(l)};
  std::sort(a.begin(), a.end());
  return a;
}

// The group that holds the reference reflection: by its indices, or else (when
// rounding named the group after another member) by the grouping rule's
// own terms, at the printed precision.
const Reflection* FindGroup(const CKomorka& doc, const RefRow& w, bool& sameMember) {
  for (const Reflection& r : doc.results.reflectionsAll)
    if (r.line == w.line && r.h == w.h && r.k == w.k && r.l == w.l) return sameMember = true, &r;
  sameMember = false;
  for (const Reflection& r : doc.results.reflectionsAll)
    if (r.line == w.line && AbsIndices(r.h, r.k, r.l) == AbsIndices(w.h, w.k, w.l) &&
        std::fabs(TwoThetaDegrees(r) - w.twoTheta) <= Tolerance(4, w.twoTheta) &&
        std::fabs(r.f2 - w.f2) <= Tolerance(3, w.f2))
      return &r;
  return nullptr;
}

void CheckAgainstCctbx(const std::string& name) {
  SCOPED_TRACE(name);
  const std::string base = std::string(PELMORA_SOURCE_DIR) + "/tests/data/xcheck/" + name;
  RefFile ref;
  ASSERT_TRUE(ReadRef(base + ".ref", ref));
  CKomorka doc;
  std::vector<DocMessage> messages;
  ASSERT_TRUE(OpenStructureDocument(doc, base + ".xml", messages));
  ASSERT_TRUE(doc.sourceRecord);
  doc.experiment.ApplySource(*doc.sourceRecord);  // neutrons come with the file's source
  NullProgress none;
  ASSERT_EQ(doc.CalculateReflections(none), 0);

  // Every reflection in range is counted once by the multiplicities.
  long sum[3] = {0, 0, 0};
  for (const Reflection& r : doc.results.reflectionsAll) sum[r.line] += r.multiplicity;
  EXPECT_EQ(sum[1], ref.count[1]);
  EXPECT_EQ(sum[2], ref.count[2]);

  for (const RefRow& w : ref.rows) {
    SCOPED_TRACE(cformat("Ka%d %d %d %d", w.line, w.h, w.k, w.l));
    bool sameMember = false;
    const Reflection* r = FindGroup(doc, w, sameMember);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->multiplicity, w.m);
    EXPECT_NEAR(TwoThetaDegrees(*r), w.twoTheta, Tolerance(4, w.twoTheta));
    EXPECT_NEAR(r->d, w.d, Tolerance(4, w.d));
    EXPECT_NEAR(r->f2, w.f2, Tolerance(3, w.f2));
    if (sameMember) {  // equivalent members differ in phase
      EXPECT_NEAR(r->reF, w.reF, Tolerance(3, w.reF));
      EXPECT_NEAR(r->imF, w.imF, Tolerance(3, w.imF));
    }
    EXPECT_NEAR(r->intensity / doc.results.maxIntensity * 100.0, w.percent, Tolerance(4, w.percent));
    if (w.f2 < 1e-6) {
      EXPECT_EQ(r->nonZero, 0);
    } else if (w.f2 > 1e-3) {
      EXPECT_EQ(r->nonZero, 1);
    }
  }
}

}  // namespace

TEST(CrossCheck, EveryCrystalSystemAndNeutrons) {
  for (const char* name : {"SrTiO3", "YAG-garnet", "spinel-MgAl2O4", "CaF2", "GaAs", "MnO-neutron", "graphite", "Mg",
                           "corundum-rh", "anatase", "forsterite", "Sr2CuO3", "alpha-U", "alpha-S", "ZrO2-baddeleyite",
                           "CuO-tenorite", "kyanite"})
    CheckAgainstCctbx(name);
}
