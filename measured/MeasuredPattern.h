// A measured powder pattern: counts against 2-theta, read with xylib from any
// format it knows (Bruker RAW and UXD, PANalytical XRDML, Rigaku, Philips
// and more) or, for plain columns, line by line by our own reader, which
// counts the lines it cannot read; checked and sorted by angle. A file
// packed with gzip or bzip2 (.gz, .bz2) is unpacked first and read as the
// file it holds.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelmora {

struct MeasuredPattern {
  std::vector<double> twoTheta;  // degrees, ascending
  std::vector<double> counts;    // never negative
  std::vector<double> sigma;     // one per point from the file's third column, or empty
  std::string path;              // the file it came from
  std::string format;            // xylib's description of the file's format
  std::string note;              // what the reader left out (further scans, lines), empty when nothing
  int skippedLines = 0;          // lines among plain columns that held no row of numbers, a cut last one too

  int size() const { return static_cast<int>(twoTheta.size()); }
  bool empty() const { return twoTheta.empty(); }
  bool hasSigma() const { return !sigma.empty(); }
};

// Reads a file; false with *error, a message for the user, when the file
// cannot be read or holds no usable 2-theta pattern.
bool ReadMeasuredFile(const std::string& path, MeasuredPattern& out, std::string* error);

// The same from the bytes of a file; `nameHint` (a file name) helps to tell
// the format by its extension, as for a file, and says whether they are
// packed.
bool ReadMeasuredBytes(const std::string& bytes, const std::string& nameHint, MeasuredPattern& out,
                       std::string* error);

// The checks every reading ends with, on raw columns (x, y and, when not
// empty, sigma), for a reader that has them already: the abscissa must be
// 2-theta in degrees (`axisName`, the file's own name of it, may say
// otherwise), at least two finite points inside (0, 180), no negative count
// or non-positive sigma. Sorts the points by angle.
bool CheckMeasuredColumns(std::vector<double> x, std::vector<double> y, std::vector<double> sigma,
                          const std::string& axisName, MeasuredPattern& out, std::string* error);

// Plain text columns (2-theta, counts and optionally sigma, separated by
// blanks, tabs, commas or semicolons) as the reader takes them: blank lines
// and comments (#, ;, !, %) pass unremarked, as do the title lines before
// the first row of numbers (the last one, if it holds one word per column,
// names the columns); every later line that is no row of as many numbers
// as the first one, a cut last line too, is left out and counted. False
// with *error when no row is found or a row has more than three numbers.
struct PlainColumns {
  std::vector<double> x, y, sigma;
  std::string axisName;
  std::vector<int> skipped;  // the numbers (from 1) of the lines left out
};
bool ReadPlainColumns(std::string_view text, PlainColumns& out, std::string* error);

// The file dialog's type list for measured files: "Wszystkie pliki (*)" and
// one entry per xylib format, as "Description (*.ext1 *.ext2)".
std::vector<std::string> MeasuredFileFilters();

}  // namespace pelmora
