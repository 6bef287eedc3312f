// Reading measured patterns through xylib: each format on a small file
// written from its documentation, a real scan, and the refusals.
#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <sstream>

#include "TempDir.h"
#include "measured/MeasuredPattern.h"

namespace pelmora {
namespace {

using testing::TempDir;

MeasuredPattern Read(const std::string& path, std::string* error = nullptr) {
  MeasuredPattern m;
  std::string e;
  ReadMeasuredFile(path, m, &e);
  if (error) *error = e;
  return m;
}

TEST(MeasuredFile, PlainColumnsWithAndWithoutSigmaAreSortedByAngle) {
  TempDir dir;
  // Comment and header lines are skipped; the points come in any order;
  // blanks after the counts (as fityk's samples have them) are no fault.
  const std::string two = dir.Write("two.xy", "# 2theta counts\n30.0 50\t  \n10.5 7\n20.25 0 \n");
  std::string error;
  MeasuredPattern m = Read(two, &error);
  ASSERT_EQ(m.size(), 3) << error;
  EXPECT_EQ(m.twoTheta, (std::vector<double>{10.5, 20.25, 30.0}));
  EXPECT_EQ(m.counts, (std::vector<double>{7, 0, 50}));
  EXPECT_FALSE(m.hasSigma());

  const std::string three = dir.Write("three.dat", "40 100 10\n20 400 20\n30 9 3\n");
  m = Read(three, &error);
  ASSERT_EQ(m.size(), 3) << error;
  EXPECT_EQ(m.counts, (std::vector<double>{400, 9, 100}));
  EXPECT_EQ(m.sigma, (std::vector<double>{20, 3, 10}));

  // A decimal point whatever the process locale says.
  if (std::setlocale(LC_NUMERIC, "pl_PL.UTF-8")) {
    m = Read(dir.Write("point.xy", "10.5 1.25\n11.5 2.5\n"), &error);
    std::setlocale(LC_NUMERIC, "C");
    ASSERT_EQ(m.size(), 2) << error;
    EXPECT_EQ(m.twoTheta[0], 10.5);
    EXPECT_EQ(m.counts[1], 2.5);
  }
}

TEST(MeasuredFile, UnreadableAndCutLinesAreLeftOutAndCounted) {
  TempDir dir;
  std::string error;
  // A title, a comment and a blank line are no fault; a line of text, a row
  // with a field that is no number, one number short and a last line cut
  // off after its angle are, and each is counted with its number.
  const std::string text =
      "Scan of NaCl\r\n2theta counts\r\n# detector 1\r\n10.0 5\r\n\r\n10.5 6\r\ndetector overflow\r\n"
      "11.0 7x\r\n11.5 8\r\n12.0\r\n12.5 9\r\n13.0";
  MeasuredPattern m = Read(dir.Write("cut.xy", text), &error);
  ASSERT_EQ(m.size(), 4) << error;
  EXPECT_EQ(m.twoTheta, (std::vector<double>{10.0, 10.5, 11.5, 12.5}));
  EXPECT_EQ(m.counts, (std::vector<double>{5, 6, 8, 9}));
  EXPECT_EQ(m.skippedLines, 4);
  EXPECT_NE(m.note.find(": 4 (wiersz 7, 8, 10, 12)"), std::string::npos) << m.note;

  // Three columns: a row of two is short of one.
  m = Read(dir.Write("sigma.dat", "20 4 2\n21 9 3\n22 16\n"), &error);
  EXPECT_EQ(std::tie(m.sigma, m.skippedLines), std::tuple(std::vector<double>{2, 3}, 1)) << error;

  // A whole file: nothing skipped, nothing said; the title names the axis.
  m = Read(dir.Write("whole.xy", "30 1\n31 2\n"), &error);
  EXPECT_EQ(std::tie(m.skippedLines, m.note), std::tuple(0, ""));
  EXPECT_TRUE(Read(dir.Write("energy.xy", "energy counts\n30 1\n31 2\n"), &error).empty());
  EXPECT_NE(error.find("energy"), std::string::npos) << error;
}

TEST(MeasuredFile, RefusesWhatIsNoTwoThetaPattern) {
  TempDir dir;
  // Angles in none of (0, 180) are energies, or d in some other unit;
  // bytes that are nothing at all get a message, not a crash.
  const std::pair<std::string, std::string> cases[] = {
      {dir.Write("neg.xy", "10 5\n11 -1\n12 3\n"), "Ujemna liczba zliczeń (-1) przy 2θ = 11°"},
      {dir.Write("one.xy", "10 5\n200 3\n"), "tylko jeden punkt"},
      {dir.Write("kev.xy", "200 5\n250 6\n300 7\n"), "Żaden z 3 punktów"},
      {dir.Write("sigma.xy", "10 5 1\n11 6 0\n"), "σ"},
      {dir.Write("four.xy", "10 5 1 2\n11 6 1 2\n"), "4 kolumn"},
      {dir.File("missing.xy"), "Nie można otworzyć"},
      {dir.Write("junk.raw", std::string("\x00\x01\xff\xfe garbage \x7f\n\x03", 17)), ""},
  };
  for (const auto& [path, says] : cases) {
    std::string error;
    EXPECT_TRUE(Read(path, &error).empty()) << path;
    EXPECT_NE(error.find(says), std::string::npos) << error;
    EXPECT_FALSE(error.empty()) << path;
  }
}

TEST(MeasuredFile, CommaAndSemicolonColumnsAsSpreadsheetsWriteThem) {
  TempDir dir;
  std::string error;
  // A header line, then rows; the points are those of the rows.
  const std::vector<double> angles{10.0, 10.5, 11.0, 11.5}, counts{5, 6, 7, 8};
  for (const char* text : {"2theta,counts\n10.0,5\n10.5,6\n11.0,7\n11.5,8\n",
                           "2Theta;Intensity\r\n10.0;5\r\n10.5;6\r\n11.0;7\r\n11.5;8\r\n",
                           "Angle, Intensity\n10.0, 5\n10.5, 6\n11.0, 7\n11.5, 8\n",
                           "\"2Theta (deg)\",\"Counts\"\n10.0,5\n10.5,6\n11.0,7\n11.5,8\n",
                           // A decimal comma where the columns are split at semicolons.
                           "2Theta;Intensity\n10,0;5\n10,5;6\n11,0;7\n11,5;8\n",
                           "10.0,5\n10.5,6\n11.0,7\n11.5,8\n", "2theta\tcounts\n10.0\t5\n10.5\t6\n11.0\t7\n11.5\t8\n"}) {
    const MeasuredPattern m = Read(dir.Write("scan.csv", text), &error);
    EXPECT_EQ(m.twoTheta, angles) << text << error;
    EXPECT_EQ(m.counts, counts) << text;
    EXPECT_FALSE(m.hasSigma()) << text;
  }
  MeasuredPattern m = Read(dir.Write("sigma.csv", "2theta,counts,esd\n10.0,5,1\n10.5,6,2\n11.0,7,1\n11.5,8,3\n"), &error);
  EXPECT_EQ(m.sigma, (std::vector<double>{1, 2, 1, 3})) << error;
  m = Read(dir.Write("short.csv", "2theta,counts\n10.0,5\n10.5,6\n"), &error);
  EXPECT_EQ(m.counts, (std::vector<double>{5, 6})) << error;
  // The header names the abscissa.
  EXPECT_TRUE(Read(dir.Write("energy.csv", "\"Energy (keV)\",Counts\n10.0,5\n10.5,6\n11.0,7\n11.5,8\n"), &error).empty());
  EXPECT_NE(error.find("„Energy (keV)”"), std::string::npos) << error;
}

// Runs `read` on a thread of its own: a reader caught in a loop ends the
// test program with a failure instead of hanging the suite.
template <class Reading>
auto InTime(const std::string& what, Reading read) {
  auto reading = std::async(std::launch::async, read);
  if (reading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    std::fprintf(stderr, "%s: no end to the reading after 20 s\n", what.c_str());
    std::_Exit(1);
  }
  return reading.get();
}

MeasuredPattern ReadInTime(const std::string& path, std::string* error) {
  return InTime(path, [&] { return Read(path, error); });
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

TEST(MeasuredFile, LammpsLogLinesAndPackedFilesReadToTheEnd) {
  TempDir dir;
  std::string error;
  // A line starting "LAMMPS (" before the first row: a title like any other.
  const std::string text = "LAMMPS (29 Sep 2021)\n2theta counts\n10.0 5\n10.5 6\n11.0 7\n11.5 8\n";
  const std::vector<double> angles{10.0, 10.5, 11.0, 11.5};
  for (const char* name : {"log.xy", "log.txt", "log.csv"}) {
    const MeasuredPattern m = ReadInTime(dir.Write(name, text), &error);
    EXPECT_EQ(m.twoTheta, angles) << name << ": " << error;
    EXPECT_EQ(m.skippedLines, 0) << name;
  }
  // The same text packed by gzip (in two members) and by bzip2 (Python's
  // gzip and bz2 modules).
  const std::string gz(
      "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xf3\x71\xf4\xf5\x0d\x08\x56\xd0\x30\xb2\x54\x08\x4e\x2d"
      "\x50\x30\x32\x30\x32\xd4\xe4\x32\x2a\xc9\x48\x2d\x49\x54\x48\xce\x07\x00\xd9\x48\x23\x57\x1e\x00"
      "\x00\x00\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\x2b\xcd\x2b\x29\xe6\x32\x34\xd0\x33\x50\x30\x05"
      "\x51\xa6\x0a\x66\x5c\x86\x86\x40\x9e\x39\x88\x32\x55\xb0\xe0\x02\x00\x63\x94\xd9\x39\x21\x00\x00"
      "\x00",
      97);
  const std::string bz2(
      "\x42\x5a\x68\x39\x31\x41\x59\x26\x53\x59\x7f\xe6\xd2\x86\x00\x00\x16\x5f\x80\x00\x10\x40\x61\x73"
      "\xe0\x20\x06\x48\x00\x2a\x41\xce\x00\x20\x00\x54\x50\xd0\x00\x00\x68\x06\xa9\xfa\xa6\x9e\x48\x3d"
      "\x47\xa4\xf5\x34\x1a\x16\xcb\x3d\x26\xd1\x66\x99\x2f\x56\x74\x24\xb8\x22\x80\x87\x01\x12\x92\x92"
      "\x83\x72\xc6\x11\xc0\xaa\xfa\x68\x21\xe1\xe0\x1a\x1d\xf7\xc5\xdc\x91\x4e\x14\x24\x1f\xf9\xb4\xa1"
      "\x80",
      97);
  for (const auto& [name, bytes] : {std::pair{"log.xy.gz", gz}, {"LOG.XY.GZ", gz}, {"log.dat.bz2", bz2}}) {
    const MeasuredPattern m = ReadInTime(dir.Write(name, bytes), &error);
    EXPECT_EQ(m.twoTheta, angles) << name << ": " << error;
    EXPECT_EQ(m.counts, (std::vector<double>{5, 6, 7, 8})) << name;
  }
  // Cut short, or no packed data at all: a message.
  for (const auto& [name, bytes] : {std::pair{"cut.xy.gz", gz.substr(0, 80)}, {"cut.xy.bz2", bz2.substr(0, 90)},
                                    {"plain.xy.gz", text}}) {
    EXPECT_TRUE(ReadInTime(dir.Write(name, bytes), &error).empty()) << name;
    EXPECT_NE(error.find("rozpakować"), std::string::npos) << name << ": " << error;
  }

  // The input that once kept the reader going round for ever, as the fuzz
  // target reads it: its first byte picks the name.
  const std::string found =
      FileBytes(PELMORA_SOURCE_DIR "/tests/fuzz/regressions/measured/lammps-line-before-the-first-row");
  ASSERT_GT(found.size(), 1u);
  MeasuredPattern m;
  if (!InTime("the fuzz input", [&] { return ReadMeasuredBytes(found.substr(1), "scan.csv", m, &error); })) {
    EXPECT_FALSE(error.empty());
  }
}

// PANalytical XRDML: the scan's positions name their axis; a 2-theta axis
// is read, an omega scan refused by name. Shorter than the kilobyte xylib
// reads to tell the format.
std::string Xrdml(const std::string& axis) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<xrdMeasurements xmlns=\"http://www.xrdml.com/XRDMeasurement/1.5\">\n"
         " <xrdMeasurement measurementType=\"Scan\" status=\"Completed\">\n"
         "  <scan appendNumber=\"0\" mode=\"Continuous\" scanAxis=\"Gonio\" status=\"Completed\">\n"
         "   <dataPoints>\n"
         "    <positions axis=\"" + axis + "\" unit=\"deg\">\n"
         "     <startPosition>20.00</startPosition>\n"
         "     <endPosition>20.08</endPosition>\n"
         "    </positions>\n"
         "    <intensities unit=\"counts\">10 20 35 20 10</intensities>\n"
         "   </dataPoints>\n"
         "  </scan>\n"
         " </xrdMeasurement>\n"
         "</xrdMeasurements>\n";
}

TEST(MeasuredFile, XrdmlAndUxdScans) {
  TempDir dir;
  std::string error;
  MeasuredPattern m = Read(dir.Write("scan.xrdml", Xrdml("2Theta")), &error);
  ASSERT_EQ(m.size(), 5) << error;
  EXPECT_LT(std::fabs(m.twoTheta[1] - 20.02) + std::fabs(m.twoTheta[4] - 20.08), 1e-12);
  EXPECT_EQ(m.counts[2], 35);
  EXPECT_NE(m.format.find("XRDML"), std::string::npos) << m.format;

  EXPECT_TRUE(Read(dir.Write("omega.xrdml", Xrdml("Omega")), &error).empty());
  EXPECT_NE(error.find("„Omega”"), std::string::npos) << error;

  // Bruker UXD: a header, one range with start, step and counts.
  const std::string uxd =
      "; written for a test\n_FILEVERSION=1\n_WL1=1.540600\n_DRIVE='COUPLED'\n_STEPSIZE=0.500000\n"
      "_START=30.0000\n_COUNTS\n     5 7 9\n    11\n";
  m = Read(dir.Write("scan.uxd", uxd), &error);
  ASSERT_EQ(m.size(), 4) << error;
  EXPECT_EQ(std::tuple(m.twoTheta.front(), m.twoTheta.back(), m.counts.back()), std::tuple(30.0, 31.5, 11.0));
}

}  // namespace
}  // namespace pelmora
