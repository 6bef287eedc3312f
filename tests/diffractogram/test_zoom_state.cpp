// The chart's window arithmetic without a widget: zoom by powers of two about
// the middle, shifts that stop at the document's range, stretches, and the
// pixel mapping of the axes. The range is 10 to 150 degrees, as NaCl's.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "diffractogram/ZoomState.h"

using namespace pelmora;

namespace {

ZoomState Fresh() {
  ZoomState z;
  z.SetBounds(10.0, 150.0);
  return z;
}

std::pair<double, double> X(const ZoomState& z) { return {z.x0, z.x1}; }
std::pair<double, double> Y(const ZoomState& z) { return {z.y0, z.y1}; }

}  // namespace

TEST(ZoomState, ZoomsByPowersOfTwoAboutTheMiddle) {
  ZoomState z = Fresh();
  EXPECT_FALSE(z.ZoomOut());  // not beyond 1
  z.ZoomIn();
  z.ZoomIn();
  EXPECT_EQ(X(z), std::pair(62.5, 97.5));
  // From a factor that is no power of two, to the next one either way.
  ASSERT_TRUE(z.StretchAngle(50.0, 50.0 + 140.0 / 3.0));
  EXPECT_NEAR(z.z, 3.0, 1e-12);
  z.ZoomIn();
  EXPECT_EQ(z.z, 4.0);
  z.StretchAngle(50.0, 50.0 + 140.0 / 3.0);
  z.ZoomOut();
  EXPECT_EQ(z.z, 2.0);
  // Zooming out near a bound ends at it, keeping the width.
  for (auto [from, to, want] : {std::tuple(145.0, 110.0, std::pair(80.0, 150.0)), {12.0, 47.0, {10.0, 80.0}}}) {
    z.StretchAngle(from, to);  // either order; z = 4
    z.ZoomOut();
    EXPECT_EQ(X(z), want) << from;
  }
}

TEST(ZoomState, ShiftsStopAtTheRangeAndReportNoChangeThere) {
  ZoomState z = Fresh();
  z.StretchAngle(15.0, 25.0);
  EXPECT_TRUE(z.ShiftLowerByRange());
  EXPECT_EQ(X(z), std::pair(10.0, 20.0));
  EXPECT_FALSE(z.ShiftLowerByStep());
  z.StretchAngle(135.0, 145.0);
  EXPECT_TRUE(z.ShiftHigherByRange());
  EXPECT_EQ(X(z), std::pair(140.0, 150.0));
  EXPECT_FALSE(z.ShiftHigherByStep());
  // The step is the one of the window as last drawn, not the current one.
  z.Reset();
  z.NoteDrawn();  // 14 degrees
  z.ZoomIn();     // [45, 115], not drawn yet
  z.ShiftHigherByStep();
  EXPECT_EQ(X(z), std::pair(59.0, 129.0));
  z.NoteDrawn();  // now 7
  z.ShiftLowerByStep();
  EXPECT_EQ(z.x0, 52.0);
}

TEST(ZoomState, IntensityWindowMovesBetweenZeroAndHundred) {
  ZoomState z = Fresh();
  EXPECT_FALSE(z.IntensityUpByHeight() || z.IntensityDownByStep());  // at 100 already, and at 0
  ASSERT_TRUE(z.StretchIntensity(30.0, 10.0));
  EXPECT_TRUE(z.IntensityDownByHeight());  // stops at 0
  EXPECT_EQ(Y(z), std::pair(0.0, 20.0));
  z.StretchIntensity(90.0, 70.0);
  z.IntensityUpByHeight();  // stops at 100
  EXPECT_EQ(Y(z), std::pair(80.0, 100.0));
  EXPECT_TRUE(z.ResetIntensity());
  EXPECT_EQ(Y(z), std::pair(0.0, 100.0));
  EXPECT_FALSE(z.ResetIntensity());
}

// A window of no width would make the zoom infinite: refused, old one kept.
TEST(ZoomState, ZeroWidthStretchesAreRefused) {
  ZoomState z = Fresh();
  z.StretchAngle(20.0, 60.0);
  EXPECT_FALSE(z.StretchAngle(33.0, 33.0));
  EXPECT_EQ(X(z), std::pair(20.0, 60.0));
  EXPECT_FALSE(z.StretchIntensity(50.0, 50.0));
  EXPECT_EQ(Y(z), std::pair(0.0, 100.0));
  // New bounds show all of the new range.
  z.SetBounds(5.0, 95.0);
  EXPECT_EQ(X(z), std::pair(5.0, 95.0));
}

// The axis has 100 tick intervals on whole pixels: pixels between two ticks
// are interpolated, exact halves of a tick's pixel position round down.
TEST(ZoomState, PixelMappingFollowsTheTicks) {
  EXPECT_EQ(std::tuple(ChartRound(2.5), ChartRound(2.5000001), ChartRound(-0.5)), std::tuple(2, 3, -1));
  // 250 pixels: tick k sits at pixel round(2.5 k), i.e. 0, 2, 5, 7, 10, ...
  for (auto [pixel, value] : {std::pair(0, 10.0), {2, 11.0}, {4, 11.0 + 2.0 / 3.0}, {250, 110.0}})
    EXPECT_DOUBLE_EQ(PixelToValue(pixel, 250, 10.0, 110.0), value) << pixel;
  EXPECT_EQ(PixelToValue(7, 0, 10.0, 110.0), 10.0);
  for (auto [value, pixel] : {std::pair(11.0, 2) /* 2.5 goes down */, {110.0, 250}, {9.99, -1}})
    EXPECT_EQ(ValueToPixel(value, 250, 10.0, 110.0), pixel) << value;
  EXPECT_EQ(ValueToPixel(50.0, 250, 10.0, 10.0), -1);
}
