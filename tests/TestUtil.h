// Shared helpers of the core tests.
#pragma once

#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "TempDir.h"
#include "documents/OpenStructure.h"
#include "documents/StructureFile.h"
#include "engine/CalcProgress.h"
#include "engine/Komorka.h"

namespace pelmora::test {

using testing::ReadFile;
using testing::TempDir;

// The messages of a read, one a line, for a failure's output.
inline std::string Texts(const std::vector<DocMessage>& messages) {
  std::string out;
  for (const DocMessage& m : messages) out += m.caption + ": " + m.text + "\n";
  return out;
}

// A structure file opened as the program opens it (its source not applied).
inline std::unique_ptr<CKomorka> OpenDoc(const std::string& path) {
  auto doc = std::make_unique<CKomorka>();
  std::vector<DocMessage> messages;
  EXPECT_TRUE(OpenStructureDocument(*doc, path, messages)) << path << "\n" << Texts(messages);
  return doc;
}

inline void Calculate(CKomorka& doc) {
  NullProgress none;
  ASSERT_EQ(doc.CalculateReflections(none), 0);
}

// Both documents' reflections in order: indices, line, multiplicity and d,
// and |F|^2 and the intensity, the wanted ones scaled by `scale`.
inline void ExpectSameReflections(const CKomorka& got, const CKomorka& want, double tolerance, double scale = 1.0) {
  ASSERT_EQ(got.results.reflectionsAll.size(), want.results.reflectionsAll.size());
  for (size_t i = 0; i < want.results.reflectionsAll.size(); ++i) {
    const Reflection &g = got.results.reflectionsAll[i], &w = want.results.reflectionsAll[i];
    SCOPED_TRACE(::testing::Message() << w.h << " " << w.k << " " << w.l);
    EXPECT_EQ(std::tie(g.h, g.k, g.l, g.line, g.multiplicity), std::tie(w.h, w.k, w.l, w.line, w.multiplicity));
    EXPECT_NEAR(g.d, w.d, 1e-12);
    EXPECT_NEAR(g.f2, scale * w.f2, tolerance * std::max(1.0, w.f2));
    EXPECT_NEAR(g.intensity, scale * w.intensity, tolerance * std::max(1.0, w.intensity));
  }
}

inline AtomSite MakeAtom(const std::string& name, double x, double y, double z, double a1 = 6.0, double b1 = 10.0,
                         double c = 1.0, double s = 5.0) {
  AtomSite at;
  at.name = name;
  at.x = x;
  at.y = y;
  at.z = z;
  at.a1 = a1;
  at.b1 = b1;
  at.a2 = 1.5;
  at.b2 = 0.5;
  at.a3 = 0.7;
  at.b3 = 30.0;
  at.a4 = 0.2;
  at.b4 = 80.0;
  at.c = c;
  at.s = s;
  return at;
}

inline void SetCell(UnitCell& cell, double a, double b, double c, double alfa, double beta, double gamma) {
  cell.a = a;
  cell.b = b;
  cell.c = c;
  cell.alfa = alfa;
  cell.beta = beta;
  cell.gamma = gamma;
}

// d-spacing from the inverse of the direct metric tensor: an independent
// route to the same number.
inline double ReferenceD(double a, double b, double c, double al, double be, double ga, int h, int k, int l) {
  const double r = M_PI / 180.0;
  const double ca = std::cos(al * r), cb = std::cos(be * r), cg = std::cos(ga * r);
  const double G[3][3] = {{a * a, a * b * cg, a * c * cb}, {a * b * cg, b * b, b * c * ca}, {a * c * cb, b * c * ca, c * c}};
  const double det = G[0][0] * (G[1][1] * G[2][2] - G[1][2] * G[2][1]) - G[0][1] * (G[1][0] * G[2][2] - G[1][2] * G[2][0]) +
                     G[0][2] * (G[1][0] * G[2][1] - G[1][1] * G[2][0]);
  double inv[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const int i1 = (j + 1) % 3, i2 = (j + 2) % 3, j1 = (i + 1) % 3, j2 = (i + 2) % 3;
      inv[i][j] = (G[i1][j1] * G[i2][j2] - G[i1][j2] * G[i2][j1]) / det;
    }
  const double v[3] = {double(h), double(k), double(l)};
  double s = 0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) s += v[i] * inv[i][j] * v[j];
  return 1.0 / std::sqrt(s);
}

// Presses "Anuluj" when the calculation announces the given phase, and
// notes whether any phase text arrived while the cancel was pending. The
// run is handed `&cancel`.
class CancelAtPhase final : public CalcProgress {
 public:
  explicit CancelAtPhase(std::string phase) : phase_(std::move(phase)) {}
  void SetRange(int, int) override {}
  void SetPosition(int) override {}
  void SetStatus(const std::string& text) override {
    if (cancel) textWhileCancelled = true;
    statuses.push_back(text);
    if (text == phase_) cancel = true;
  }
  std::atomic<bool> cancel{false};
  std::vector<std::string> statuses;
  bool textWhileCancelled = false;

 private:
  std::string phase_;
};

}  // namespace pelmora::test
