#include "diffractogram/PatternExport.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "io/AtomicFile.h"
#include "engine/Rounding.h"
#include "io/NumberFormat.h"
#include "io/Translate.h"

namespace pelmora {

PatternWindow ExportWindow(double x0, double x1) {
  PatternWindow w;
  w.first = PatternIndex(x0);
  const double n = RoundHalfDownValue((x1 - x0) / kPatternStep);
  const double room = kPatternPoints - w.first;
  w.count = (n > 0.0) ? static_cast<int>(std::min(n, room)) : 0;  // also NaN
  return w;
}

double WindowMaximum(const PatternGrid& grid, PatternWindow window) {
  double m = 0.0;
  for (int i = window.first; i < window.first + window.count; ++i) m = std::max(m, grid[i].intensity);
  return m;
}

double DefaultExportScale(double maximum) {
  const double scale = 10000.0 / maximum;
  return (maximum > 0.0 && std::isfinite(scale)) ? scale : 1.0;
}

std::string FormatMaximumLabel(double maximum) {
  if (maximum >= 1e-05 && maximum <= 100000.0) {
    std::string text = cformat("%.10f", maximum);
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text += '0';
    return "Wart. maksymalna: " + text;
  }
  return cformat("Wart. maksymalna: %.10e", maximum);
}

std::string FormatPatternText(const PatternPoint* points, int count, double scale, XAxisUnit unit, double lambda) {
  std::string out = ";Dyfraktogram wygenerowany przez program Pelmora\r\n";
  if (unit == XAxisUnit::TwoTheta) {
    out += "  2theta        Intensywnosc\r\n";
    out.reserve(out.size() + static_cast<size_t>(std::max(count, 0)) * 20);
    for (int i = 0; i < count; ++i)
      out += cformat("%8.4f%10.2f\r\n", points[i].twoTheta, points[i].intensity * scale);
    return out;
  }
  out += unit == XAxisUnit::D ? cformat("  d [A] (lambda = %.5f A)  Intensywnosc\r\n", lambda)
                              : cformat("  Q [1/A] (lambda = %.5f A)  Intensywnosc\r\n", lambda);
  out.reserve(out.size() + static_cast<size_t>(std::max(count, 0)) * 22);
  for (int i = 0; i < count; ++i) {
    const double x = XAxisValue(unit, points[i].twoTheta, lambda);
    if (std::isfinite(x)) out += cformat("%10.5f%10.2f\r\n", x, points[i].intensity * scale);
  }
  return out;
}

namespace {

bool HasExtension(const std::string& name) {
  return std::filesystem::path(name).filename().has_extension();
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::string DefaultChartExtension(const ChartFormat& format) {
  return format.module ? ModuleFileExt(format.module) : std::string("txt");
}

std::string ExportFileName(const std::string& typed, const ChartFormat& format) {
  if (typed.empty() || HasExtension(typed)) return typed;
  const std::string ext = DefaultChartExtension(format);
  return ext.empty() ? typed : typed + "." + ext;
}

bool SavePattern(const ChartFormat& format, const std::string& fileName, double scale, const PatternPoint* points,
                 int count, std::string* error, XAxisUnit unit, double lambda) {
  if (!format.module) return WriteFileAtomically(fileName, FormatPatternText(points, count, scale, unit, lambda), error);
  auto save = ModuleLookup<pelmora_SaveChart_fn>(format.module, "pelmora_SaveChart");
  if (!save) {
    if (error) *error = cformat(TrText("diffractogram", "Wtyczka formatu „%s” nie zapisuje dyfraktogramów (brak pelmora_SaveChart).").c_str(),
                                format.label.c_str());
    return false;
  }
  std::vector<PatternPoint> converted;
  if (unit != XAxisUnit::TwoTheta) {
    converted.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
      const double x = XAxisValue(unit, points[i].twoTheta, lambda);
      if (std::isfinite(x)) converted.push_back({x, points[i].intensity});
    }
    points = converted.data();
    count = static_cast<int>(converted.size());
  }
  // The plug-in writes a temporary file that replaces the old one only when
  // it looks whole: it reports nothing, so an empty file where there were
  // points, or a disk left with no room (where its writes will have
  // failed), is the failure the program can see.
  return WriteFileThrough(
      fileName,
      [&](const std::string& temporary) {
        save(temporary.c_str(), scale, points, count);
        struct statvfs room {};
        if (::statvfs(temporary.c_str(), &room) == 0 && room.f_bavail == 0) {
          if (error) *error = TrText("io", "Nie można zapisać pliku ") + fileName + ": " + TrText("io", "błąd zapisu") + " (" + std::strerror(ENOSPC) + ")";
          return false;
        }
        std::error_code ec;
        if (count > 0 && std::filesystem::file_size(temporary, ec) == 0) {
          if (error) *error = cformat(TrText("diffractogram", "Wtyczka formatu „%s” nie zapisała pliku %s.").c_str(), format.label.c_str(), fileName.c_str());
          return false;
        }
        return true;
      },
      error);
}

int FindChartFormat(const std::vector<ChartFormat>& formats, const std::string& name) {
  const std::string want = Lower(name);
  for (size_t i = 0; i < formats.size(); ++i) {
    const ChartFormat& f = formats[i];
    std::string pattern = Lower(f.pattern);
    std::string ext = pattern.rfind("*.", 0) == 0 ? pattern.substr(2) : pattern;
    if (want == Lower(f.label) || want == pattern || want == ext || want == "." + ext) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace pelmora
