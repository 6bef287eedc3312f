// The cell view's geometry, its mouse and timer rules and the BMP export,
// against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <tuple>

#include "TestUtil.h"
#include "viewer3d/CellScene.h"
#include "viewer3d/ImageExport.h"
#include "viewer3d/Spheres.h"
#include "viewer3d/ViewState.h"

using namespace pelmora;
using namespace pelmora::test;

namespace {

constexpr double kDeg = kPi / 180.0;

void ExpectVec(const Vec3& v, double x, double y, double z, const char* what, double tolerance = 1e-12) {
  EXPECT_NEAR(v.x, x, tolerance) << what;
  EXPECT_NEAR(v.y, y, tolerance) << what;
  EXPECT_NEAR(v.z, z, tolerance) << what;
}

}  // namespace

TEST(CellView, PointAndBasisOfEveryCrystalSystem) {
  EXPECT_TRUE(CPoint3D::InUnitCell(0, 1, 0.5));
  EXPECT_FALSE(CPoint3D::InUnitCell(0, 1.0000001, 0.5));

  // Cubic, tetragonal, orthorhombic: the identity, whatever the angles.
  for (LatticeType t : {kCubic | kFaceCentred, LatticeType(kTetragonal), kOrthorhombic | kBaseCentred}) {
    const CPoint3D b = CellBasis(t, 70, 80, 100);
    ExpectVec({b.ax, b.by, b.cz}, 1, 1, 1, "diagonal");
    ExpectVec({b.ay, b.bx, b.cx}, 0, 0, 0, "off diagonal");
  }
  const CPoint3D hex = CellBasis(kHexagonal, 90, 90, 120);
  ExpectVec({hex.ax, hex.ay, hex.az}, std::sqrt(3.0) / 2, -0.5, 0, "hex a");
  // Monoclinic: exactly orthogonal at beta = 90, tilted just off it.
  EXPECT_EQ(CellBasis(kMonoclinic, 90, 90.0, 90).cx, 0.0);
  EXPECT_LT(CellBasis(kMonoclinic | kBaseCentred, 90, 90.0001, 90).cx, 0.0);
  const CPoint3D mono = CellBasis(kMonoclinic, 90, 103.4, 90);
  ExpectVec({mono.cx, mono.cy, mono.cz}, std::cos(103.4 * kDeg), 0, std::sin(103.4 * kDeg), "mono c");

  // Triclinic and rhombohedral: (a,b) = gamma and (b,c) = alpha, c from the formulas.
  const double al = 81.0 * kDeg, be = 95.5 * kDeg, ga = 107.2 * kDeg;
  for (LatticeType t : {LatticeType(kTriclinic), LatticeType(kRhombohedral)}) {
    const CPoint3D b = CellBasis(t, 81.0, 95.5, 107.2);
    ExpectVec({b.ax, b.ay, b.az}, std::sin(ga), std::cos(ga), 0, "tri a");
    ExpectVec({b.cx, b.cy, b.cz}, std::sin(al) * std::cos(be), std::cos(al), std::sin(al) * std::sin(be), "tri c");
  }
  // No system: everything collapses to the origin.
  ExpectVec(PlaceFractional(CellBasis(kBodyCentred, 90, 90, 90), 5, 5, 5, 0.3, 0.6, 0.9), 0, 0, 0, "none");
}

TEST(CellView, EdgesAndCentringOfTheCell) {
  // A cubic cell a = 5 is ten units wide and centred on the pivot.
  CKomorka cubic;
  SetCell(cubic.cell, 5, 5, 5, 90, 90, 90);
  SceneOptions opt;
  opt.edges.color = 0x0000FF;  // red
  const CellScene s = BuildCellScene(cubic, opt);
  ExpectVec(s.centring, -5, -5, -5, "cubic centring");
  ASSERT_EQ(s.segments.size(), 12u);
  ExpectVec(s.segments[1].p2, 10, 10, 0, "second bottom edge");
  ExpectVec(s.segments[11].p2, 0, 10, 10, "last vertical");
  EXPECT_EQ(s.segments[0].color[0], 1.0f);  // stored blue-green-red

  // Each component of the centre is scaled by its own constant.
  CKomorka mono;
  mono.crystal.latticeType = kMonoclinic;
  SetCell(mono.cell, 6, 4, 8, 90, 120, 90);
  const CellScene m = BuildCellScene(mono, opt);
  const double c120 = std::cos(120 * kDeg), s120 = std::sin(120 * kDeg);
  ExpectVec(m.centring, -6 * (1 + c120), -4, -8 * s120, "mono centring");
  ExpectVec(m.segments[8].p2, 16 * c120, 0, 16 * s120, "c edge");

  // Hexagonal: a prism of three cells, 18 edges, turned about its axis.
  CKomorka hex;
  hex.crystal.latticeType = kHexagonal;
  SetCell(hex.cell, 3, 3, 5, 90, 90, 120);
  const CellScene h = BuildCellScene(hex, opt);
  ExpectVec(h.centring, 0, 0, -5, "hex centring");
  ASSERT_EQ(h.segments.size(), 18u);
  ExpectVec(h.segments[0].p1, 3 * std::sqrt(3.0), -3, 0, "prism corner (1,0)");
  ExpectVec(h.segments[17].p2, 0, -6, 10, "last vertical");
  // A system code 5 with a centring flag draws no cell shape, and turns
  // about the cell's middle, not the prism's axis.
  hex.crystal.latticeType = kHexagonal | kBaseCentred;
  const CellScene hc = BuildCellScene(hex, opt);
  EXPECT_TRUE(hc.segments.empty());
  EXPECT_NE(hc.centring.x, 0.0);

  // Axes only: shaft to 1.2 a, cone to 2 (1.2 a + 1), red, green, blue.
  opt.cellShape = false;
  opt.axes = true;
  const CellScene ax = BuildCellScene(cubic, opt);
  ASSERT_EQ(ax.segments.size(), 6u);
  ExpectVec(ax.segments[0].p2, 12, 0, 0, "a shaft");
  ExpectVec(ax.segments[1].p2, 14, 0, 0, "a tip");
  ExpectVec(ax.segments[5].p2, 0, 0, 14, "c tip");
}

TEST(CellView, AtomsImagesLabelsAndSegmentPose) {
  CKomorka doc;
  SetCell(doc.cell, 4, 4, 4, 90, 90, 90);
  doc.crystal.structureAtoms = {MakeAtom("Na", 0, 0, 0), MakeAtom("Cl", 0.5, 0.5, 0), MakeAtom("Ośr~", 0.5, 0.5, 0.5)};
  doc.crystal.structureAtoms[0].visible = doc.crystal.structureAtoms[2].visible = 1;
  doc.crystal.structureAtoms[1].radius = 40;
  doc.crystal.ExpandCellAtoms();
  SceneOptions opt;
  const CellScene plain = BuildCellScene(doc, opt);
  ASSERT_EQ(plain.balls.size(), 3u);
  EXPECT_EQ(plain.balls[0].label, "Na");
  EXPECT_TRUE(plain.balls[1].label.empty());  // ball without label
  EXPECT_EQ(plain.balls[2].label, "Or");      // no glyphs for Polish letters or '~'
  EXPECT_EQ(plain.balls[1].radius, 40 * static_cast<double>(0.065f));
  ExpectVec(plain.balls[2].pos, 4, 4, 4, "centre");

  // With images: 8 corners, 2 face centres, 1 body centre.
  opt.images = true;
  int corners = 0, faces = 0, centres = 0;
  for (const Ball& b : BuildCellScene(doc, opt).balls) {
    corners += b.label == "Na";
    faces += b.radius > 2.0;
    centres += b.label == "Or";
  }
  EXPECT_EQ(std::tuple(corners, faces, centres), std::tuple(8, 2, 1));

  // The images stop at 255 balls in all: 250 atoms, the first at a corner,
  // leave room for its first five images (x first, then y, then z). A scene
  // built again into the same lists is the same.
  CKomorka many;
  SetCell(many.cell, 4, 4, 4, 90, 90, 90);
  many.crystal.structureAtoms.push_back(MakeAtom("Na", 0, 0, 0));
  for (int i = 1; i < 250; ++i) many.crystal.structureAtoms.push_back(MakeAtom("Cl", 0.1 + 0.003 * i, 0.5, 0.5));
  many.crystal.ExpandCellAtoms();
  CellScene reused = BuildCellScene(doc, opt);
  BuildCellScene(many, opt, reused);
  ASSERT_EQ(reused.balls.size(), 255u);
  const double images[5][3] = {{8, 0, 0}, {0, 8, 0}, {8, 8, 0}, {0, 0, 8}, {8, 0, 8}};
  for (int k = 0; k < 5; ++k) ExpectVec(reused.balls[250 + k].pos, images[k][0], images[k][1], images[k][2], "image");
  EXPECT_EQ(reused.balls[250].label, "");
  BuildCellScene(many, opt, reused);
  EXPECT_EQ(reused.balls.size(), 255u);

  // A label is centred by half its advances times 1.2.
  std::array<double, kGlyphCount> ax{}, ay{};
  ax['N' - 32] = 0.7;
  ax['a' - 32] = 0.5;
  ay['a' - 32] = 0.1;
  ExpectVec(LabelCentring("Na", ax, ay), -0.72, -0.06, 0, "label");

  // Segments: straight up needs no turn, a horizontal one a quarter turn,
  // straight down a half turn about an axis that exists.
  EXPECT_NEAR(PoseOf(Segment{{1, 1, 1}, {1, 1, 3}}).tilt, 0.0, 1e-12);
  const SegmentPose along = PoseOf(Segment{{0, 0, 0}, {3, 0, 0}});
  EXPECT_NEAR(along.tilt, 90.0, 1e-12);
  EXPECT_EQ(along.axisY, 3.0);
  const SegmentPose d = PoseOf(Segment{{0, 0, 2}, {0, 0, 0}});
  EXPECT_NEAR(d.tilt, 180.0, 1e-12);
  EXPECT_NE(d.axisX * d.axisX + d.axisY * d.axisY, 0.0);
}

// The quadric's tessellation rebuilt as a mesh, and which spheres and
// triangles the renderer may leave out.
TEST(CellView, SphereMeshDetailAndCulling) {
  for (int n : {3, 6, 30}) {
    const SphereMesh m = UnitSphere(n, n);
    ASSERT_EQ(m.points.size(), 3u * (2 + (n - 1) * (n + 1))) << n;
    ASSERT_EQ(m.triangles.size(), 3u * (2 * n * (n - 1))) << n;
    // Every triangle wound counter-clockwise seen from outside, or culling
    // would eat the spheres' fronts.
    for (size_t t = 0; t < m.triangles.size(); t += 3) {
      const float* p = &m.points[3 * m.triangles[t]];
      const float* q = &m.points[3 * m.triangles[t + 1]];
      const float* r = &m.points[3 * m.triangles[t + 2]];
      const Vec3 u{q[0] - p[0], q[1] - p[1], q[2] - p[2]}, v{r[0] - p[0], r[1] - p[1], r[2] - p[2]};
      const Vec3 normal{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
      const double outward =
          normal.x * (p[0] + q[0] + r[0]) + normal.y * (p[1] + q[1] + r[1]) + normal.z * (p[2] + q[2] + r[2]);
      ASSERT_GT(outward, 0) << n << " " << t;
      ASSERT_GE(m.planes[4 * (t / 3) + 3], m.inner);
    }
  }
  // As GLU lays it: the north pole first, slice 1 of ring 1 turned from +y
  // towards +x; the inner ball touches the faces of the widest band.
  const SphereMesh m = UnitSphere(30, 30);
  const double s = std::sin(kDeg * 6), a = kDeg * 12;
  EXPECT_EQ(m.points[2], 1.0f);
  ExpectVec({m.points[6], m.points[7], m.points[8]}, s * std::sin(a), s * std::cos(a), std::cos(kDeg * 6), "ring 1",
            1e-7);
  EXPECT_NEAR(m.inner, std::cos(kDeg * 6) * std::cos(kDeg * 3), 1e-5);

  // Facets by size on screen: the full detail for big spheres, fewer but
  // never under six (nor over the detail) for small ones, never fewer for
  // a bigger sphere; the outline stays within half a pixel.
  EXPECT_EQ(std::tuple(SphereDetail(30, 0.2), SphereDetail(4, 0.2), SphereDetail(30, 10.0)), std::tuple(6, 4, 10));
  int previous = 0;
  for (double r = 0.1; r < 300; r *= 1.1) {
    const int n = SphereDetail(30, r);
    EXPECT_GE(n, previous) << r;
    EXPECT_TRUE(n == 30 || r * (1 - std::cos(kPi / n)) <= 0.5 + 1e-12) << r;
    previous = n;
  }
  EXPECT_EQ(previous, 30);

  // The view's pyramid, 45 degrees high, twice as wide as high.
  const ViewFrustum f = ViewFrustum::Perspective(45, 400, 200, 0.1, 100);
  const double t = std::tan(kDeg * 22.5);
  EXPECT_NEAR(f.pixelsPerUnit, 100 / t, 1e-9);
  const double top = 50 * t + std::sqrt(1 + t * t);  // a unit ball just touching the top side
  EXPECT_TRUE(f.Sees({0, top - 1e-9, -50}, 1));
  EXPECT_FALSE(f.Sees({0, top + 1e-6, -50}, 1));
  EXPECT_TRUE(f.Sees({-2 * top + 1, 0, -50}, 1));  // the sides are twice as far apart
  EXPECT_FALSE(f.Sees({0, 0, 1.5}, 1));            // behind the eye
  EXPECT_FALSE(f.Sees({0, 0, -101.5}, 1));         // beyond the far plane
  EXPECT_NEAR(f.PixelRadius({0, 0, -11}, 1), 100 / t / 10, 1e-9);
  EXPECT_TRUE(std::isinf(f.PixelRadius({0, 0, -1}, 1)));

  // A sphere seen from above: its top fan faces the eye, its bottom fan not.
  EXPECT_FALSE(FacesAway(m, 0, {0, 0, 0}, 1, {0, 0, 10}));
  EXPECT_TRUE(FacesAway(m, 30, {0, 0, 0}, 1, {0, 0, 10}));

  // A big ball 20 away in front hides a small one behind it, but not one
  // in front of it, one beside it or one peeping out at its outline.
  CoverageBuffer cover;
  cover.Reset(ViewFrustum::Perspective(45, 100, 100, 0.1, 100), 100, 100);
  cover.Cover({0, 0, -20}, 5 * m.inner);
  EXPECT_TRUE(cover.Hidden({0, 0, -40}, 1));
  EXPECT_FALSE(cover.Hidden({0, 0, -10}, 1));
  EXPECT_TRUE(cover.Hidden({0, 0, -21.5}, 1));
  EXPECT_FALSE(cover.Hidden({0, 0, -20.5}, 1));  // its nearest point before the big ball's middle
  EXPECT_FALSE(cover.PartlyHidden({12, 0, -40}, 1));
  EXPECT_FALSE(cover.Hidden({10, 0, -40}, 1));  // at the outline, 5/20 of the depth off the axis
  EXPECT_TRUE(cover.PartlyHidden({10, 0, -40}, 1));
  EXPECT_FALSE(cover.Hidden({0, 0, -0.5}, 1));  // reaching the near plane: never
  // A triangle's box in window pixels: inside the covered disc or not.
  EXPECT_TRUE(cover.Hidden(48, 52, 48, 52, 30));
  EXPECT_FALSE(cover.Hidden(48, 52, 48, 52, 15) || cover.Hidden(0, 3, 0, 3, 30));
}

TEST(CellView, MouseAndTimerRules) {
  ViewState v;
  v.angleZ = 5;
  v.Press(100, 100);
  // Left drag by -10 in mode 0 wraps angle Z to 359, not -5; angle Y follows dy.
  EXPECT_TRUE(v.Move(90, 103, kMouseLeft, kRotateXY));
  EXPECT_EQ(v.angleZ, 359);
  EXPECT_EQ(v.angleY, 3);
  // Above 359 an angle becomes 0, whatever the overshoot.
  v.angleX = 350;
  EXPECT_TRUE(v.Move(90, 123, kMouseLeft, kRotateXZ));
  EXPECT_EQ(v.angleX, 0);
  EXPECT_TRUE(v.Move(95, 124, kMouseLeft, kRotateYZ));
  EXPECT_EQ(std::tuple(v.angleY, v.angleX), std::tuple(8, 1));
  // An unknown mode changes no angle but still takes the point.
  EXPECT_TRUE(v.Move(200, 200, kMouseLeft, 3));
  EXPECT_EQ(v.angleY, 8);
  // Modifiers or the middle button: nothing changes, not even the last point.
  EXPECT_FALSE(v.Move(210, 250, kMouseLeft | kMouseShift, kRotateXY));
  EXPECT_FALSE(v.Move(210, 250, kMouseRight | kMouseMiddle, kRotateXY));
  EXPECT_EQ(v.lastX, 200);
  // Right drag zooms by dy; both buttons pan, y upwards.
  EXPECT_TRUE(v.Move(200, 230, kMouseRight, kRotateXY));
  EXPECT_TRUE(v.Move(207, 220, kMouseLeft | kMouseRight, kRotateXY));
  EXPECT_DOUBLE_EQ(v.TranslateX(), 0.7);
  EXPECT_EQ(v.panY, 10);
  EXPECT_DOUBLE_EQ(v.TranslateZ(), -24.0);  // zoom 30

  // Timer 8 brings the model 0.4 nearer, timer 9 takes it away again.
  v.Tick(8);
  EXPECT_NEAR(v.TranslateZ(), -23.6, 1e-12);
  v.Tick(9);
  EXPECT_DOUBLE_EQ(v.TranslateZ(), -24.0);
  v.angleZ = 358;
  v.Tick(3);
  EXPECT_EQ(v.angleZ, 0);
  v.Tick(4);
  v.Tick(6);
  EXPECT_EQ(std::tuple(v.panX, v.panY), std::tuple(6, 11));

  for (auto [command, timer] : {std::pair{57430, std::pair{1, true}}, {57431, {1, false}}, {57447, {9, false}}})
    EXPECT_EQ(TimerOfCommand(command), timer) << command;
  EXPECT_EQ(TimerOfCommand(57448).first, 0);
}

TEST(ImageExport, BmpBytesAndFormats) {
  // 640 x 480: 921654 bytes, the headers' fields little-endian.
  std::vector<std::uint8_t> rgb(640 * 480 * 3, 0);
  rgb[0] = 10;  // red of the bottom-left pixel
  rgb[2] = 30;  // its blue
  SwapRedBlue(rgb);
  const std::string bmp = EncodeBmp(640, 480, rgb);
  ASSERT_EQ(bmp.size(), 921654u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  // Size, reserved, data offset, header size, width, height (positive: the
  // first row is the bottom one), planes and bits, then six zeros.
  const std::uint32_t fields[] = {921654, 0, 54, 40, 640, 480, 1u | (24u << 16), 0, 0, 0, 0, 0, 0};
  for (size_t i = 0; i < std::size(fields); ++i) {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(bmp[2 + 4 * i + k]);
    EXPECT_EQ(v, fields[i]) << "field at " << 2 + 4 * i;
  }
  EXPECT_EQ(static_cast<unsigned char>(bmp[54]), 30);
  EXPECT_EQ(static_cast<unsigned char>(bmp[56]), 10);
  // A width whose rows are no multiple of four bytes is padded.
  EXPECT_EQ(EncodeBmp(5, 2, std::vector<std::uint8_t>(30, 1)).size(), 54u + 2 * 16);

  EXPECT_EQ(ImageSizeOf(-1).width, 1024);  // an unknown index from the settings
  const ImageFormat bitmap{kBmpFormatLabel, kBmpFormatPattern, nullptr};
  EXPECT_EQ(ImageFileName("/tmp/x.y/cell", bitmap), "/tmp/x.y/cell.bmp");
  EXPECT_EQ(ImageFileName("/tmp/cell.png", bitmap), "/tmp/cell.png");

  // The plug-in receives the buffer as it is with the exact size.
  PluginTable table;
  ASSERT_EQ(ScanPlugins(PELMORA_TEST_PLUGINS_DIR "/images", table), "");
  const std::vector<ImageFormat> formats = BuildImageFormats(table);
  ASSERT_EQ(formats.size(), 2u);  // the second plug-in lacks a filter and ends the list
  EXPECT_EQ(formats[1].label, "I (*.tst)");
  TempDir dir;
  ASSERT_TRUE(SaveImage(formats[1], dir.path() + "/x.tst", 640, 480, rgb));
  std::ifstream in(dir.path() + "/x.tst");
  int w = 0, h = 0, first = 0;
  in >> w >> h >> first;
  EXPECT_EQ(std::tuple(w, h, first), std::tuple(640, 480, 30));
}
