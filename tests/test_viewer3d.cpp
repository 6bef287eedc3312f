// The cell view's geometry, its mouse and timer rules and the BMP export,
// against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "TestUtil.h"
#include "viewer3d/CellScene.h"
#include "viewer3d/ImageExport.h"
#include "viewer3d/Spheres.h"
#include "viewer3d/ViewState.h"

using namespace pelmora;
using namespace pelmora::test;

namespace {

constexpr double kDeg = kPi / 180.0;

void ExpectVec(const Vec3& v, double x, double y, double z, const char* what) {
  EXPECT_NEAR(v.x, x, 1e-12) << what;
  EXPECT_NEAR(v.y, y, 1e-12) << what;
  EXPECT_NEAR(v.z, z, 1e-12) << what;
}

Vec3 A(const CPoint3D& p) { return {p.ax, p.ay, p.az}; }
Vec3 B(const CPoint3D& p) { return {p.bx, p.by, p.bz}; }
Vec3 C(const CPoint3D& p) { return {p.cx, p.cy, p.cz}; }

double Dot(const Vec3& u, const Vec3& v) { return u.x * v.x + u.y * v.y + u.z * v.z; }

}  // namespace

TEST(CellView, PointAndBasisOfEveryCrystalSystem) {
  // The default point carries the identity basis, a plain point none.
  CPoint3D p(1, 2, 3);
  EXPECT_EQ(p.Transform().x, 0.0);
  CPoint3D q;
  q.x = 2;
  q.y = 3;
  q.z = 4;
  q.SetA(CPoint3D(1, 1, 0));
  const CPoint3D r = q.Transform();
  EXPECT_EQ(r.x, 2.0 + 0.0);
  EXPECT_EQ(r.y, 2.0 + 3.0);
  EXPECT_EQ(r.z, 4.0);
  EXPECT_TRUE(CPoint3D::InUnitCell(0, 1, 0.5));
  EXPECT_FALSE(CPoint3D::InUnitCell(0, 1.0000001, 0.5));

  for (LatticeType t : {kCubic | kFaceCentred, LatticeType(kTetragonal), kOrthorhombic | kBaseCentred}) {
    const CPoint3D b = CellBasis(t, 70, 80, 100);  // angles play no part here
    ExpectVec(A(b), 1, 0, 0, "a");
    ExpectVec(B(b), 0, 1, 0, "b");
    ExpectVec(C(b), 0, 0, 1, "c");
  }
  // Hexagonal: a at 120 degrees to b in the xy plane.
  const CPoint3D hex = CellBasis(kHexagonal, 90, 90, 120);
  ExpectVec(A(hex), std::sqrt(3.0) / 2, -0.5, 0, "hex a");
  EXPECT_NEAR(std::acos(Dot(A(hex), B(hex))) / kDeg, 120.0, 1e-12);

  // Monoclinic: exactly orthogonal at beta = 90, tilted just off it.
  const CPoint3D mono = CellBasis(kMonoclinic, 90, 90.0, 90);
  EXPECT_EQ(mono.cx, 0.0);
  EXPECT_EQ(mono.cz, 1.0);
  const CPoint3D tilted = CellBasis(kMonoclinic | kBaseCentred, 90, 90.0001, 90);
  EXPECT_LT(tilted.cx, 0.0);
  const CPoint3D mono2 = CellBasis(kMonoclinic, 90, 103.4, 90);
  ExpectVec(C(mono2), std::cos(103.4 * kDeg), 0, std::sin(103.4 * kDeg), "mono c");

  // Triclinic and rhombohedral: (a,b) = gamma and (b,c) = alpha, c from the formulas.
  for (LatticeType t : {LatticeType(kTriclinic), LatticeType(kRhombohedral)}) {
    const double al = 81.0, be = 95.5, ga = 107.2;
    const CPoint3D b = CellBasis(t, al, be, ga);
    ExpectVec(A(b), std::sin(ga * kDeg), std::cos(ga * kDeg), 0, "tri a");
    ExpectVec(C(b), std::sin(al * kDeg) * std::cos(be * kDeg), std::cos(al * kDeg),
              std::sin(al * kDeg) * std::sin(be * kDeg), "tri c");
    EXPECT_NEAR(std::acos(Dot(A(b), B(b))) / kDeg, ga, 1e-9);
    EXPECT_NEAR(std::acos(Dot(B(b), C(b))) / kDeg, al, 1e-9);
  }
  // No system: everything collapses to the origin.
  const CPoint3D none = CellBasis(kBodyCentred, 90, 90, 90);
  ExpectVec(PlaceFractional(none, 5, 5, 5, 0.3, 0.6, 0.9), 0, 0, 0, "none");
}

TEST(CellView, EdgesAndCentringOfTheCell) {
  // A cubic cell a = 5 is ten units wide and centred on the pivot.
  CKomorka cubic;
  SetCell(cubic, 5, 5, 5, 90, 90, 90);
  cubic.cellViewScale = 50;
  cubic.cellViewColor = 0x0000FF;  // red
  SceneOptions opt;
  const CellScene s = BuildCellScene(cubic, opt);
  ExpectVec(s.centring, -5, -5, -5, "cubic centring");
  ASSERT_EQ(s.segments.size(), 12u);
  ExpectVec(s.segments[1].p1, 10, 0, 0, "second bottom edge");
  ExpectVec(s.segments[1].p2, 10, 10, 0, "second bottom edge");
  ExpectVec(s.segments[4].p1, 0, 0, 10, "top ring");
  ExpectVec(s.segments[11].p1, 0, 10, 0, "last vertical");
  ExpectVec(s.segments[11].p2, 0, 10, 10, "last vertical");
  EXPECT_EQ(s.segments[0].r1, 0.5);
  EXPECT_TRUE(s.segments[0].ball);
  EXPECT_EQ(s.segments[0].color[0], 1.0f);
  EXPECT_EQ(s.segments[0].color[2], 0.0f);

  // Each component of the centre is scaled by its own constant.
  CKomorka mono;
  mono.latticeType = kMonoclinic;
  SetCell(mono, 6, 4, 8, 90, 120, 90);
  const CellScene m = BuildCellScene(mono, opt);
  ExpectVec(m.centring, -2 * 6 * 0.5 * (1 + std::cos(120 * kDeg)), -2 * 4 * 0.5, -2 * 8 * 0.5 * std::sin(120 * kDeg),
            "mono centring");
  ExpectVec(m.segments[8].p2, 16 * std::cos(120 * kDeg), 0, 16 * std::sin(120 * kDeg), "c edge");

  // Hexagonal: a prism of three cells, 18 edges, turned about its axis.
  CKomorka hex;
  hex.latticeType = kHexagonal;
  SetCell(hex, 3, 3, 5, 90, 90, 120);
  const CellScene h = BuildCellScene(hex, opt);
  ExpectVec(h.centring, 0, 0, -5, "hex centring");
  ASSERT_EQ(h.segments.size(), 18u);
  const double c30 = std::sqrt(3.0) / 2;
  ExpectVec(h.segments[0].p1, 6 * c30, -3, 0, "prism corner (1,0)");
  ExpectVec(h.segments[2].p2, -6 * c30, 3, 0, "prism corner (-1,0)");
  ExpectVec(h.segments[17].p2, 0, -6, 10, "last vertical");
  for (const Segment& e : h.segments) {
    const double rxy = std::hypot(e.p1.x, e.p1.y);
    EXPECT_NEAR(rxy, 6.0, 1e-12);  // a regular hexagon of side 2a
  }
  // A system code 5 with a centring flag draws no cell shape.
  hex.latticeType = kHexagonal | kBaseCentred;
  const CellScene hc = BuildCellScene(hex, opt);
  EXPECT_TRUE(hc.segments.empty());
  EXPECT_NE(hc.centring.x, 0.0);  // turned about the cell's middle, not the prism's axis

  // Axes only: shaft to 1.2 a, cone to 2 (1.2 a + 1), red, green, blue.
  opt.cellShape = false;
  opt.axes = true;
  const CellScene ax = BuildCellScene(cubic, opt);
  ASSERT_EQ(ax.segments.size(), 6u);
  ExpectVec(ax.segments[0].p2, 12, 0, 0, "a shaft");
  ExpectVec(ax.segments[1].p2, 14, 0, 0, "a tip");
  EXPECT_EQ(ax.segments[1].r2, 0.0);
  EXPECT_FALSE(ax.segments[0].ball);
  ExpectVec(ax.segments[5].p2, 0, 0, 14, "c tip");
  EXPECT_EQ(ax.segments[3].color[1], 1.0f);
}

TEST(CellView, AtomsImagesLabelsAndSegmentPose) {
  CKomorka doc;
  SetCell(doc, 4, 4, 4, 90, 90, 90);
  doc.structureAtoms = {MakeAtom("Na", 0, 0, 0), MakeAtom("Cl", 0.5, 0.5, 0), MakeAtom("Ośr~", 0.5, 0.5, 0.5)};
  doc.structureAtoms[0].visible = 1;
  doc.structureAtoms[2].visible = 1;
  doc.structureAtoms[1].radius = 40;
  doc.structureAtoms[1].color = 0xFF0000;  // blue
  doc.ExpandCellAtoms();
  SceneOptions opt;
  const CellScene plain = BuildCellScene(doc, opt);
  ASSERT_EQ(plain.balls.size(), 3u);
  EXPECT_EQ(plain.balls[0].label, "Na");
  EXPECT_TRUE(plain.balls[1].label.empty());  // ball without label
  EXPECT_EQ(plain.balls[2].label, "Or");      // no glyphs for Polish letters or '~'
  EXPECT_EQ(plain.balls[1].radius, 40 * static_cast<double>(0.065f));
  EXPECT_EQ(plain.balls[1].color[2], 1.0f);
  ExpectVec(plain.balls[2].pos, 4, 4, 4, "centre");

  opt.images = true;
  const CellScene withImages = BuildCellScene(doc, opt);
  int corners = 0, faces = 0, centres = 0;
  for (const Ball& b : withImages.balls) {
    corners += b.label == "Na";
    faces += b.radius > 2.0;
    centres += b.label == "Or";
  }
  EXPECT_EQ(corners, 8);
  EXPECT_EQ(faces, 2);
  EXPECT_EQ(centres, 1);

  // A label is centred by half its advances times 1.2.
  std::array<double, kGlyphCount> ax{}, ay{};
  ax['N' - 32] = 0.7;
  ax['a' - 32] = 0.5;
  ay['a' - 32] = 0.1;
  ExpectVec(LabelCentring("Na", ax, ay), -0.72, -0.06, 0, "label");

  // Segments: straight up needs no turn, a horizontal one a quarter turn,
  // straight down a half turn about an axis that exists.
  Segment up{{1, 1, 1}, {1, 1, 3}};
  EXPECT_EQ(PoseOf(up).length, 2.0);
  EXPECT_NEAR(PoseOf(up).tilt, 0.0, 1e-12);
  Segment along{{0, 0, 0}, {3, 0, 0}};
  EXPECT_NEAR(PoseOf(along).tilt, 90.0, 1e-12);
  EXPECT_EQ(PoseOf(along).axisY, 3.0);
  Segment down{{0, 0, 2}, {0, 0, 0}};
  const SegmentPose d = PoseOf(down);
  EXPECT_NEAR(d.tilt, 180.0, 1e-12);
  EXPECT_NE(d.axisX * d.axisX + d.axisY * d.axisY, 0.0);
  EXPECT_EQ(PoseOf(Segment{{1, 2, 3}, {1, 2, 3}}).length, 0.0);
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
      ASSERT_GT(Dot(normal, {p[0] + q[0] + r[0], p[1] + q[1] + r[1], p[2] + q[2] + r[2]}), 0) << n << " " << t;
      ASSERT_GE(m.planes[4 * (t / 3) + 3], m.inner);
    }
  }
  // As GLU lays it: the north pole first, slice 1 of ring 1 turned from +y
  // towards +x; the inner ball touches the faces of the widest band.
  const SphereMesh m = UnitSphere(30, 30);
  const double s = std::sin(kDeg * 6), a = kDeg * 12;
  EXPECT_EQ(m.points[2], 1.0f);
  EXPECT_NEAR(m.points[6], s * std::sin(a), 1e-7);
  EXPECT_NEAR(m.points[7], s * std::cos(a), 1e-7);
  EXPECT_NEAR(m.points[8], std::cos(kDeg * 6), 1e-7);
  EXPECT_NEAR(m.inner, std::cos(kDeg * 6) * std::cos(kDeg * 3), 1e-5);

  // Facets by size on screen: the full detail for big spheres, fewer but
  // never under six (nor over the detail) for small ones, never fewer for
  // a bigger sphere; the outline stays within half a pixel.
  EXPECT_EQ(SphereDetail(30, 200.0), 30);
  EXPECT_EQ(SphereDetail(30, 0.2), 6);
  EXPECT_EQ(SphereDetail(4, 0.2), 4);
  EXPECT_EQ(SphereDetail(30, 10.0), 10);
  int previous = 0;
  for (double r = 0.1; r < 300; r *= 1.1) {
    const int n = SphereDetail(30, r);
    EXPECT_GE(n, previous) << r;
    EXPECT_LE(n, 30);
    if (n < 30) EXPECT_LE(r * (1 - std::cos(3.14159265358979 / n)), 0.5 + 1e-12) << r;
    previous = n;
  }

  // The view's pyramid, 45 degrees high, twice as wide as high.
  const ViewFrustum f = ViewFrustum::Perspective(45, 400, 200, 0.1, 100);
  const double t = std::tan(kDeg * 22.5);
  EXPECT_NEAR(f.tanHalfX, 2 * t, 1e-15);
  EXPECT_NEAR(f.pixelsPerUnit, 100 / t, 1e-9);
  EXPECT_TRUE(f.Sees({0, 0, -50}, 1));
  const double top = 50 * t + std::sqrt(1 + t * t);  // a unit ball just touching the top side
  EXPECT_TRUE(f.Sees({0, top - 1e-9, -50}, 1));
  EXPECT_FALSE(f.Sees({0, top + 1e-6, -50}, 1));
  EXPECT_TRUE(f.Sees({-2 * top + 1, 0, -50}, 1));  // the sides are twice as far apart
  EXPECT_FALSE(f.Sees({0, 0, 1.5}, 1));             // behind the eye
  EXPECT_FALSE(f.Sees({0, 0, -101.5}, 1));          // beyond the far plane
  EXPECT_TRUE(f.Sees({0, 0, -100.5}, 1));
  EXPECT_NEAR(f.PixelRadius({0, 0, -11}, 1), 100 / t / 10, 1e-9);
  EXPECT_TRUE(std::isinf(f.PixelRadius({0, 0, -1}, 1)));

  // A sphere seen from above: its top fan faces the eye, its bottom fan not.
  EXPECT_FALSE(FacesAway(m, 0, {0, 0, 0}, 1, {0, 0, 10}));
  EXPECT_TRUE(FacesAway(m, 30, {0, 0, 0}, 1, {0, 0, 10}));
  EXPECT_FALSE(FacesAway(m, 30, {0, 0, 0}, 1, {0, 0, -10}));

  // A big ball 20 away in front hides a small one behind it, but not one
  // in front of it, one beside it or one peeping out at its outline.
  CoverageBuffer cover;
  const ViewFrustum square = ViewFrustum::Perspective(45, 100, 100, 0.1, 100);
  cover.Reset(square, 100, 100);
  EXPECT_FALSE(cover.PartlyHidden({0, 0, -40}, 1));
  cover.Cover({0, 0, -20}, 5 * m.inner);
  EXPECT_TRUE(cover.Hidden({0, 0, -40}, 1));
  EXPECT_TRUE(cover.Hidden({3, -3, -40}, 1));
  EXPECT_FALSE(cover.Hidden({0, 0, -10}, 1));
  EXPECT_TRUE(cover.Hidden({0, 0, -21.5}, 1));
  EXPECT_FALSE(cover.Hidden({0, 0, -20.5}, 1));  // its nearest point before the big ball's middle
  EXPECT_FALSE(cover.Hidden({12, 0, -40}, 1));
  EXPECT_FALSE(cover.PartlyHidden({12, 0, -40}, 1));
  EXPECT_FALSE(cover.Hidden({10, 0, -40}, 1));  // at the outline, 5/20 of the depth off the axis
  EXPECT_TRUE(cover.PartlyHidden({10, 0, -40}, 1));
  EXPECT_FALSE(cover.Hidden({0, 0, -0.5}, 1));  // reaching the near plane: never
  // A triangle's box in window pixels: inside the covered disc or not.
  EXPECT_TRUE(cover.Hidden(48, 52, 48, 52, 30));
  EXPECT_FALSE(cover.Hidden(48, 52, 48, 52, 15));
  EXPECT_FALSE(cover.Hidden(0, 3, 0, 3, 30));
}

TEST(CellView, MouseAndTimerRules) {
  CViewState v;
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
  EXPECT_EQ(v.angleY, 8);
  EXPECT_EQ(v.angleX, 1);
  // An unknown mode changes no angle but still takes the point.
  EXPECT_TRUE(v.Move(200, 200, kMouseLeft, 3));
  EXPECT_EQ(v.angleY, 8);
  // Modifiers or the middle button: nothing changes, not even the last point.
  EXPECT_FALSE(v.Move(210, 250, kMouseLeft | kMouseShift, kRotateXY));
  EXPECT_FALSE(v.Move(210, 250, kMouseRight | kMouseMiddle, kRotateXY));
  EXPECT_EQ(v.lastX, 200);
  // Right drag zooms by dy; both buttons pan, y upwards.
  EXPECT_TRUE(v.Move(200, 230, kMouseRight, kRotateXY));
  EXPECT_EQ(v.zoom, 30);
  EXPECT_TRUE(v.Move(207, 220, kMouseLeft | kMouseRight, kRotateXY));
  EXPECT_EQ(v.panX, 7);
  EXPECT_EQ(v.panY, 10);
  EXPECT_DOUBLE_EQ(v.TranslateX(), 0.7);
  EXPECT_DOUBLE_EQ(v.TranslateZ(), -24.0);

  // Timer 8 brings the model 0.4 nearer, timer 9 takes it away again.
  const double z = v.TranslateZ();
  v.Tick(8);
  EXPECT_NEAR(v.TranslateZ() - z, 0.4, 1e-12);
  v.Tick(9);
  EXPECT_DOUBLE_EQ(v.TranslateZ(), z);
  v.angleZ = 358;
  v.Tick(3);
  EXPECT_EQ(v.angleZ, 0);
  EXPECT_FALSE(v.Tick(10));
  v.Tick(4);
  v.Tick(6);
  EXPECT_EQ(v.panX, 6);
  EXPECT_EQ(v.panY, 11);

  EXPECT_EQ(TimerOfCommand(57430), std::make_pair(1, true));
  EXPECT_EQ(TimerOfCommand(57431), std::make_pair(1, false));
  EXPECT_EQ(TimerOfCommand(57446), std::make_pair(9, true));
  EXPECT_EQ(TimerOfCommand(57447), std::make_pair(9, false));
  EXPECT_EQ(TimerOfCommand(57448).first, 0);
}

TEST(ImageExport, BmpBytesAndFormats) {
  // 640 x 480: 921654 bytes, the headers' fields little-endian.
  std::vector<std::uint8_t> rgb(640 * 480 * 3, 0);
  rgb[0] = 10;  // red of the bottom-left pixel
  rgb[2] = 30;  // its blue
  SwapRedBlue(rgb);
  EXPECT_EQ(rgb[0], 30);
  const std::string bmp = EncodeBmp(640, 480, rgb);
  ASSERT_EQ(bmp.size(), 921654u);
  const auto u32 = [&](size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bmp[at + 3])) << 24;
  };
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(u32(2), 921654u);
  EXPECT_EQ(u32(6), 0u);
  EXPECT_EQ(u32(10), 54u);
  EXPECT_EQ(u32(14), 40u);
  EXPECT_EQ(u32(18), 640u);
  EXPECT_EQ(u32(22), 480u);  // positive: the first row is the bottom one
  EXPECT_EQ(u32(26), 1u | (24u << 16));
  for (size_t at = 30; at < 54; at += 4) EXPECT_EQ(u32(at), 0u) << at;
  EXPECT_EQ(static_cast<unsigned char>(bmp[54]), 30);
  EXPECT_EQ(static_cast<unsigned char>(bmp[56]), 10);

  // A width whose rows are no multiple of four bytes is padded.
  EXPECT_EQ(EncodeBmp(5, 2, std::vector<std::uint8_t>(30, 1)).size(), 54u + 2 * 16);

  EXPECT_EQ(ImageSizeOf(kDefaultImageSize).width, 640);
  EXPECT_EQ(ImageSizeOf(1).height, 600);
  EXPECT_EQ(ImageSizeOf(0).width, 1024);
  EXPECT_EQ(ImageSizeOf(-1).width, 1024);
  EXPECT_EQ(WithDefaultExtension("/tmp/x.y/cell"), "/tmp/x.y/cell.bmp");
  EXPECT_EQ(WithDefaultExtension("/tmp/cell.png"), "/tmp/cell.png");

  // The plug-in receives the buffer as it is with the exact size.
  PluginTable table;
  ASSERT_EQ(ScanPlugins(PELMORA_TEST_PLUGINS_DIR "/images", table), "");
  const std::vector<ImageFormat> formats = BuildImageFormats(table);
  ASSERT_EQ(formats.size(), 2u);  // the second plug-in lacks a filter and ends the list
  EXPECT_EQ(formats[0].label, "Windows Bitmap (*.bmp)");
  EXPECT_EQ(formats[1].label, "I (*.tst)");
  TempDir dir;
  const std::string path = dir.path() + "/x.tst";
  ASSERT_TRUE(SaveImage(formats[1], path, 640, 480, rgb));
  std::ifstream in(path);
  int w = 0, h = 0, first = 0;
  in >> w >> h >> first;
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_EQ(first, 30);
}
