// The built-in text export and the values the save dialog shows.
#include <gtest/gtest.h>

#include "TempDir.h"
#include "diffractogram/PatternExport.h"

using namespace pelmora;

TEST(PatternExport, TextFormatWritesTheDisplayedWindow) {
  PatternGrid grid;
  for (int i = 0; i < kPatternPoints; ++i) grid[i].intensity = i * 0.001;
  // 20-30 degrees: 2000 points from 20.0000 to 29.9950; 30.0000 is not written.
  const PatternWindow w = ExportWindow(20.0, 30.0);
  EXPECT_EQ(std::tie(w.first, w.count), std::tuple(4000, 2000));
  EXPECT_DOUBLE_EQ(WindowMaximum(grid, w), 5.999);
  const std::string text = FormatPatternText(grid.points() + w.first, w.count, 100.0);
  const std::string header =
      ";Dyfraktogram wygenerowany przez program Pelmora\r\n"
      "  2theta        Intensywnosc\r\n";
  ASSERT_EQ(text.rfind(header, 0), 0u);
  EXPECT_EQ(text.substr(header.size(), 20), " 20.0000    400.00\r\n");
  const std::string last = " 29.9950    599.90\r\n";
  ASSERT_GE(text.size(), last.size());
  EXPECT_EQ(text.substr(text.size() - last.size()), last);
  EXPECT_EQ(text.size(), header.size() + 2000u * 20u);

  // A window reaching past 180 degrees stops at the last point.
  const PatternWindow tail = ExportWindow(179.0, 190.0);
  EXPECT_EQ(tail.first + tail.count, kPatternPoints);

  // Written through the atomic file writer, byte for byte.
  pelmora::testing::TempDir dir;
  std::string error;
  ChartFormat text0{kTextFormatLabel, kTextFormatPattern, nullptr, -1};
  ASSERT_TRUE(SavePattern(text0, dir.File("p.txt"), 100.0, grid.points() + w.first, w.count, &error)) << error;
  EXPECT_EQ(pelmora::testing::ReadFile(dir.File("p.txt")), text);
}

TEST(PatternExport, DefaultScaleAndMaximumLabel) {
  // An all-zero window, and one whose 10000 / M would overflow, keep 1.
  EXPECT_EQ(std::tuple(DefaultExportScale(2.5), DefaultExportScale(0.0), DefaultExportScale(1e-320)), std::tuple(4000.0, 1.0, 1.0));
  for (auto [m, label] : {std::pair{2.5, "2.5"}, {1000.0, "1000.0"}, {0.000001, "1.0000000000e-06"}, {250000.0, "2.5000000000e+05"}})
    EXPECT_EQ(FormatMaximumLabel(m), std::string("Wart. maksymalna: ") + label);
}

// d = lambda / (2 sin theta) and Q = 4 pi sin theta / lambda, the values
// worked out with Python's math module for lambda = 1.54056 Å.
TEST(PatternExport, AbscissaInDAndQ) {
  const double lambda = 1.54056;
  const PatternPoint points[] = {{0.0, 1.0}, {20.0, 2.0}, {45.0, 3.0}, {90.0, 4.0}, {150.0, 5.0}};
  const std::string d = FormatPatternText(points, 5, 10.0, XAxisUnit::D, lambda);
  // No d at 2-theta = 0: that point is left out.
  EXPECT_EQ(d,
            ";Dyfraktogram wygenerowany przez program Pelmora\r\n"
            "  d [A] (lambda = 1.54056 A)  Intensywnosc\r\n"
            "   4.43587     20.00\r\n"
            "   2.01284     30.00\r\n"
            "   1.08934     40.00\r\n"
            "   0.79745     50.00\r\n");
  const std::string q = FormatPatternText(points, 5, 10.0, XAxisUnit::Q, lambda);
  EXPECT_EQ(q,
            ";Dyfraktogram wygenerowany przez program Pelmora\r\n"
            "  Q [1/A] (lambda = 1.54056 A)  Intensywnosc\r\n"
            "   0.00000     10.00\r\n"
            "   1.41645     20.00\r\n"
            "   3.12155     30.00\r\n"
            "   5.76788     40.00\r\n"
            "   7.87907     50.00\r\n");
  // 2-theta is the default and writes what it always wrote.
  EXPECT_EQ(FormatPatternText(points, 5, 10.0, XAxisUnit::TwoTheta, lambda), FormatPatternText(points, 5, 10.0));
  EXPECT_DOUBLE_EQ(XAxisValue(XAxisUnit::TwoTheta, 33.3, lambda), 33.3);
}
