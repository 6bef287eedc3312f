#include "measured/MeasuredPattern.h"

#include <bzlib.h>
#include <xylib/xylib.h>
#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <fstream>
#include <limits>
#include <locale.h>
#include <memory>
#include <numeric>
#include <set>
#include <sstream>

#include "io/NumberFormat.h"
#include "io/Translate.h"

namespace pelmora {
namespace {

// xylib converts numbers with the C library, which follows the process
// locale; a Polish one would read "1.5" as 1. The C locale for this thread
// only, while xylib reads.
class CNumericLocale {
 public:
  CNumericLocale() : c_(newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0))) {
    if (c_) old_ = uselocale(c_);
  }
  ~CNumericLocale() {
    if (c_) {
      uselocale(old_);
      freelocale(c_);
    }
  }
  CNumericLocale(const CNumericLocale&) = delete;
  CNumericLocale& operator=(const CNumericLocale&) = delete;

 private:
  locale_t c_;
  locale_t old_ = LC_GLOBAL_LOCALE;
};

// Formats whose abscissa is an energy, a channel or a time, never an angle.
const std::set<std::string>& SpectrumFormats() {
  static const std::set<std::string> names = {"canberra_mca", "canberra_cnf", "specsxy", "vamas",
                                              "winspec_spe",  "xsyg",         "spectra"};
  return names;
}

std::string Lowercase(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// True when the file's own name of the abscissa says 2-theta (or says
// nothing). Spaces, dashes, brackets and the degree sign do not count.
bool NamesTwoTheta(const std::string& name) {
  std::string n;
  for (char c : Lowercase(name))
    if (c != ' ' && c != '-' && c != '_' && c != '(' && c != ')' && c != '[' && c != ']' && c != '\t') n += c;
  if (n.empty()) return true;
  if (n.find("rad") != std::string::npos) return false;  // 2-theta, but in radians
  for (const char* ok : {"2theta", "twotheta", "2th", "2\xce\xb8", "2\xce\x98", "angle"})
    if (n.find(ok) != std::string::npos) return true;
  return n == "x";
}

std::string Num(double v) { return cformat("%g", v); }

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

bool FromDataSet(const xylib::DataSet& ds, MeasuredPattern& out, std::string* error) {
  const std::string formatName = ds.fi ? ds.fi->name : "";
  const std::string formatDesc = ds.fi ? ds.fi->desc : "";
  if (ds.get_block_count() < 1) return Fail(error, TrText("measured", "Plik nie zawiera danych pomiarowych."));
  const xylib::Block* block = ds.get_block(0);
  const int columns = block->get_column_count();
  const int n = block->get_point_count();
  if (columns < 2)
    return Fail(error, cformat(TrText("measured", "Plik nie zawiera kolumny kątów 2θ (tylko %d kolumna danych).").c_str(), columns));
  const std::string axisName = block->get_column(1).get_name();
  if (SpectrumFormats().count(formatName)) {
    const std::string found = axisName.empty() ? TrText("measured", "energia lub numer kanału") : "„" + axisName + "”";
    return Fail(error, cformat(TrText("measured", "Plik w formacie %s zawiera widmo: oś odciętych to %s, a nie kąt 2θ w stopniach.").c_str(),
                               formatDesc.c_str(), found.c_str()));
  }
  if (n < 0) return Fail(error, TrText("measured", "Plik nie określa liczby punktów pomiaru."));
  // Plain columns: x, y and sigma; a fourth column leaves it unclear which
  // is which.
  const bool textColumns = formatName == "text" || formatName == "csv";
  if (textColumns && columns > 3)
    return Fail(error, cformat(TrText("measured", "Plik ma %d kolumn; oczekiwano dwóch (2θ, zliczenia) lub trzech (2θ, zliczenia, σ).").c_str(),
                               columns));
  std::vector<double> x(static_cast<size_t>(n)), y(static_cast<size_t>(n)), s;
  const xylib::Column& cx = block->get_column(1);
  const xylib::Column& cy = block->get_column(2);
  for (int i = 0; i < n; ++i) {
    x[static_cast<size_t>(i)] = cx.get_value(i);
    y[static_cast<size_t>(i)] = cy.get_value(i);
  }
  if (textColumns && columns == 3) {
    const xylib::Column& cs = block->get_column(3);
    s.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) s[static_cast<size_t>(i)] = cs.get_value(i);
  }
  if (!CheckMeasuredColumns(std::move(x), std::move(y), std::move(s), axisName, out, error)) return false;
  out.format = formatDesc;
  out.note.clear();
  if (ds.get_block_count() > 1)
    out.note = cformat(TrText("measured", "Plik zawiera %d skanów; wczytano pierwszy.").c_str(), static_cast<int>(ds.get_block_count()));
  return true;
}

// The numbers of a line split at blanks, tabs, commas and semicolons;
// false when a field is no number (a decimal point only, whatever the locale).
bool NumbersOf(std::string_view line, std::vector<double>& values) {
  values.clear();
  size_t i = 0;
  const auto separator = [](char c) { return c == ' ' || c == '\t' || c == ',' || c == ';'; };
  while (i < line.size()) {
    while (i < line.size() && separator(line[i])) ++i;
    if (i == line.size()) break;
    size_t end = i;
    while (end < line.size() && !separator(line[end])) ++end;
    const char* first = line.data() + i;
    if (*first == '+') ++first;
    double v = 0;
    const auto [ptr, ec] = std::from_chars(first, line.data() + end, v);
    if (ec != std::errc() || ptr != line.data() + end) return false;
    values.push_back(v);
    i = end;
  }
  return true;
}

bool IsComment(std::string_view line) {
  const size_t i = line.find_first_not_of(" \t");
  return i == std::string_view::npos || std::string_view("#;!%").find(line[i]) != std::string_view::npos;
}

// The words of a title line, when there is one per column and none is a number.
std::vector<std::string> ColumnNames(std::string_view line, size_t columns) {
  std::vector<std::string> words;
  std::istringstream in{std::string(line)};
  std::vector<double> probe;
  for (std::string w; in >> w;) {
    if (NumbersOf(w, probe) && !probe.empty()) return {};
    words.push_back(w);
  }
  if (words.size() != columns) return {};
  return words;
}

std::string SkippedNote(const std::vector<int>& lines) {
  if (lines.empty()) return {};
  std::string which;
  for (size_t i = 0; i < lines.size() && i < 5; ++i) which += (i ? ", " : "") + std::to_string(lines[i]);
  if (lines.size() > 5) which += ", …";
  return cformat(TrText("measured", "Pominięto wierszy pliku, których nie można odczytać: %zu (wiersz %s).").c_str(),
                 lines.size(), which.c_str());
}

enum class Packing { kNone, kGzip, kBzip2 };

// By the name's ending, as xylib tells them.
Packing PackingOf(const std::string& name) {
  const std::string n = Lowercase(name);
  const auto ends = [&](std::string_view e) { return n.size() > e.size() && n.compare(n.size() - e.size(), e.size(), e) == 0; };
  if (ends(".gz")) return Packing::kGzip;
  if (ends(".bz2")) return Packing::kBzip2;
  return Packing::kNone;
}

// No scan comes near this; a few kilobytes of bzip2 can unpack to gigabytes.
constexpr size_t kMaxUnpacked = size_t{64} << 20;
constexpr size_t kUnpackChunk = size_t{1} << 16;

// gzip (members one after another, as gzip itself writes and reads them).
// False on damaged or cut data, or (with `out` longer than kMaxUnpacked)
// on too much of it.
bool Gunzip(const std::string& packed, std::string& out) {
  z_stream zs{};
  if (inflateInit2(&zs, 15 + 16) != Z_OK) return false;
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  zs.avail_in = static_cast<uInt>(packed.size());
  int rc = Z_OK;
  while (out.size() <= kMaxUnpacked) {
    const size_t had = out.size();
    out.resize(had + kUnpackChunk);
    zs.next_out = reinterpret_cast<Bytef*>(out.data() + had);
    zs.avail_out = static_cast<uInt>(kUnpackChunk);
    rc = inflate(&zs, Z_NO_FLUSH);
    out.resize(had + kUnpackChunk - zs.avail_out);
    if (rc == Z_STREAM_END) {
      // Another member follows, or the rest is padding gzip would ignore too.
      if (zs.avail_in < 2 || zs.next_in[0] != 0x1f || zs.next_in[1] != 0x8b) break;
      if (inflateReset(&zs) != Z_OK) break;
    } else if (rc != Z_OK) {
      break;  // damaged, or cut off: no input left short of the stream's end
    }
  }
  inflateEnd(&zs);
  return rc == Z_STREAM_END && out.size() <= kMaxUnpacked;
}

// bzip2 (streams one after another, as bzip2 writes them for several files).
bool Bunzip2(const std::string& packed, std::string& out) {
  bz_stream bs{};
  if (BZ2_bzDecompressInit(&bs, 0, 0) != BZ_OK) return false;
  bs.next_in = const_cast<char*>(packed.data());
  bs.avail_in = static_cast<unsigned>(packed.size());
  int rc = BZ_OK;
  while (out.size() <= kMaxUnpacked) {
    const size_t had = out.size();
    const unsigned inputLeft = bs.avail_in;
    out.resize(had + kUnpackChunk);
    bs.next_out = out.data() + had;
    bs.avail_out = static_cast<unsigned>(kUnpackChunk);
    rc = BZ2_bzDecompress(&bs);
    out.resize(had + kUnpackChunk - bs.avail_out);
    if (rc == BZ_STREAM_END) {
      if (bs.avail_in < 3 || std::string_view(bs.next_in, 3) != "BZh") break;
      char* const next = bs.next_in;
      const unsigned left = bs.avail_in;
      BZ2_bzDecompressEnd(&bs);
      bs = bz_stream{};
      if (BZ2_bzDecompressInit(&bs, 0, 0) != BZ_OK) return false;
      bs.next_in = next;
      bs.avail_in = left;
    } else if (rc != BZ_OK || (bs.avail_in == inputLeft && out.size() == had)) {
      break;  // damaged, or cut off: what is left gives nothing more
    }
  }
  BZ2_bzDecompressEnd(&bs);
  return rc == BZ_STREAM_END && out.size() <= kMaxUnpacked;
}

bool Unpack(const std::string& packed, Packing packing, std::string& out) {
  out.clear();
  // zlib and libbzip2 count the input in 32 bits; such a file is no scan.
  if (packed.size() > std::numeric_limits<unsigned>::max()) return false;
  return packing == Packing::kGzip ? Gunzip(packed, out) : Bunzip2(packed, out);
}

// What a load gives: xylib's data set, or for plain columns the text for
// our own reader with xylib's description of the format, or a message when
// the file could not be unpacked.
struct Loaded {
  std::unique_ptr<xylib::DataSet> ds;
  bool plain = false;
  std::string text;
  std::string desc;
  std::string error;
};

// Reads with the format xylib guesses from the name and the first bytes.
// Plain text never goes to xylib's text reader: a line starting with
// "LAMMPS (" before the first row of numbers sends it round one line for
// ever. The data set is ours from its creation: xylib's own loaders drop it
// when a reader throws half-way.
Loaded Load(std::istream& in, const std::string& name) {
  const xylib::FormatInfo* fi = xylib::guess_filetype(name, in, nullptr);
  if (!fi || !fi->ctor) return {};
  in.clear();  // the guess may have read to the end of a short file
  in.seekg(0);
  Loaded out;
  if (std::string_view(fi->name) == "text") {
    std::ostringstream all;
    all << in.rdbuf();
    out.plain = true;
    out.text = all.str();
    out.desc = fi->desc;
    return out;
  }
  out.ds.reset(fi->ctor());
  out.ds->load_data(in, name.c_str());
  return out;
}

// A file packed with gzip or bzip2 is unpacked here, not by xylib, so that
// what it holds is read as the same file unpacked would be.
Loaded LoadBytes(const std::string& bytes, const std::string& name) {
  const Packing packing = PackingOf(name);
  if (packing == Packing::kNone) {
    std::istringstream in(bytes);
    return Load(in, name);
  }
  std::string unpacked;
  if (!Unpack(bytes, packing, unpacked)) {
    Loaded failed;
    failed.error = unpacked.size() > kMaxUnpacked
                       ? cformat(TrText("measured", "Plik po rozpakowaniu przekracza %d MB; nie wygląda na pomiar.").c_str(),
                                 static_cast<int>(kMaxUnpacked >> 20))
                       : TrText("measured", "Nie można rozpakować pliku: dane gzip lub bzip2 są uszkodzone albo ucięte.");
    return failed;
  }
  std::istringstream in(unpacked);
  return Load(in, name.substr(0, name.size() - (packing == Packing::kGzip ? 3 : 4)));
}

bool FromPlainText(const Loaded& loaded, MeasuredPattern& out, std::string* error) {
  PlainColumns c;
  if (!ReadPlainColumns(loaded.text, c, error)) return false;
  if (!CheckMeasuredColumns(std::move(c.x), std::move(c.y), std::move(c.sigma), c.axisName, out, error)) return false;
  out.format = loaded.desc;
  out.skippedLines = static_cast<int>(c.skipped.size());
  out.note = SkippedNote(c.skipped);
  return true;
}

template <class Load>
bool ReadWith(Load load, MeasuredPattern& out, std::string* error) {
  CNumericLocale cLocale;
  try {
    const Loaded loaded = load();
    if (!loaded.error.empty()) return Fail(error, loaded.error);
    if (loaded.plain) return FromPlainText(loaded, out, error);
    if (!loaded.ds) return Fail(error, TrText("measured", "Nie rozpoznano formatu pliku."));
    return FromDataSet(*loaded.ds, out, error);
  } catch (const std::bad_alloc&) {
    return Fail(error, TrText("measured", "Za mało pamięci do odczytu pliku pomiaru."));
  } catch (const std::exception& e) {
    return Fail(error, TrText("measured", "Nie można odczytać pliku pomiaru: ") + e.what());
  } catch (...) {
    return Fail(error, TrText("measured", "Nie można odczytać pliku pomiaru."));
  }
}

}  // namespace

bool CheckMeasuredColumns(std::vector<double> x, std::vector<double> y, std::vector<double> sigma,
                          const std::string& axisName, MeasuredPattern& out, std::string* error) {
  if (!NamesTwoTheta(axisName))
    return Fail(error, cformat(TrText("measured", "Oś odciętych w pliku to „%s”, a nie kąt 2θ w stopniach.").c_str(), axisName.c_str()));
  if (x.size() != y.size() || (!sigma.empty() && sigma.size() != x.size()))
    return Fail(error, TrText("measured", "Kolumny pliku mają różne długości."));
  std::vector<size_t> keep;
  keep.reserve(x.size());
  for (size_t i = 0; i < x.size(); ++i) {
    if (!std::isfinite(x[i]) || !std::isfinite(y[i]) || (!sigma.empty() && !std::isfinite(sigma[i])))
      return Fail(error, cformat(TrText("measured", "Punkt %zu pliku nie jest liczbą.").c_str(), i + 1));
    if (x[i] <= 0.0 || x[i] >= 180.0) continue;
    if (y[i] < 0.0)
      return Fail(error, cformat(TrText("measured", "Ujemna liczba zliczeń (%s) przy 2θ = %s°.").c_str(), Num(y[i]).c_str(), Num(x[i]).c_str()));
    if (!sigma.empty() && sigma[i] <= 0.0)
      return Fail(error, cformat(TrText("measured", "Niedodatnia niepewność σ (%s) przy 2θ = %s°.").c_str(), Num(sigma[i]).c_str(), Num(x[i]).c_str()));
    keep.push_back(i);
  }
  if (keep.empty()) {
    if (x.empty()) return Fail(error, TrText("measured", "Plik nie zawiera punktów pomiaru."));
    return Fail(error, cformat(TrText("measured", "Żaden z %zu punktów pliku nie leży w zakresie 2θ od 0° do 180°; to nie są kąty 2θ w stopniach.").c_str(),
                               x.size()));
  }
  if (keep.size() < 2) return Fail(error, TrText("measured", "Plik zawiera tylko jeden punkt pomiaru w zakresie 2θ od 0° do 180°."));
  // Scans stored from high to low angles, or pieced together, come sorted.
  std::stable_sort(keep.begin(), keep.end(), [&](size_t a, size_t b) { return x[a] < x[b]; });
  if (x[keep.front()] == x[keep.back()]) return Fail(error, TrText("measured", "Wszystkie punkty pliku leżą przy tym samym kącie 2θ."));
  out.twoTheta.resize(keep.size());
  out.counts.resize(keep.size());
  out.sigma.assign(sigma.empty() ? 0 : keep.size(), 0.0);
  for (size_t j = 0; j < keep.size(); ++j) {
    out.twoTheta[j] = x[keep[j]];
    out.counts[j] = y[keep[j]];
    if (!sigma.empty()) out.sigma[j] = sigma[keep[j]];
  }
  return true;
}

bool ReadMeasuredFile(const std::string& path, MeasuredPattern& out, std::string* error) {
  {
    std::ifstream probe(path, std::ios::binary);
    if (!probe) return Fail(error, TrText("measured", "Nie można otworzyć pliku ") + path + ".");
  }
  MeasuredPattern read;
  const bool ok = ReadWith(
      [&]() -> Loaded {
        std::ifstream in(path, std::ios::binary);
        if (PackingOf(path) == Packing::kNone) return Load(in, path);
        std::ostringstream packed;
        packed << in.rdbuf();
        return LoadBytes(packed.str(), path);
      },
      read, error);
  if (!ok) return false;
  read.path = path;
  out = std::move(read);
  return true;
}

bool ReadMeasuredBytes(const std::string& bytes, const std::string& nameHint, MeasuredPattern& out,
                       std::string* error) {
  MeasuredPattern read;
  const bool ok = ReadWith(
      [&] { return LoadBytes(bytes, nameHint); },
      read, error);
  if (!ok) return false;
  read.path = nameHint;
  out = std::move(read);
  return true;
}

bool ReadPlainColumns(std::string_view text, PlainColumns& out, std::string* error) {
  out = PlainColumns{};
  // Files from old Windows programs may end in NUL or Ctrl+Z bytes.
  while (!text.empty() && (text.back() == '\0' || text.back() == '\x1a')) text.remove_suffix(1);
  size_t columns = 0;
  std::string_view title;
  std::vector<double> v;
  int number = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (IsComment(line)) continue;
    const bool numbers = NumbersOf(line, v);
    if (columns == 0) {
      if (!numbers || v.size() < 2) {
        title = line;  // a title before the first row
        continue;
      }
      if (v.size() > 3)
        return Fail(error, cformat(TrText("measured", "Plik ma %d kolumn; oczekiwano dwóch (2θ, zliczenia) lub trzech (2θ, zliczenia, σ).").c_str(),
                                   static_cast<int>(v.size())));
      columns = v.size();
      if (const std::vector<std::string> names = ColumnNames(title, columns); !names.empty()) out.axisName = names[0];
    }
    if (!numbers || v.size() != columns) {
      out.skipped.push_back(number);
      continue;
    }
    out.x.push_back(v[0]);
    out.y.push_back(v[1]);
    if (columns == 3) out.sigma.push_back(v[2]);
  }
  if (columns == 0) return Fail(error, TrText("measured", "Plik nie zawiera punktów pomiaru."));
  return true;
}

std::vector<std::string> MeasuredFileFilters() {
  std::vector<std::string> filters{"Wszystkie pliki (*)"};
  for (int i = 0;; ++i) {
    const xylibFormat* f = xylib_get_format(i);
    if (!f) break;
    std::string patterns;
    std::istringstream exts(f->exts ? f->exts : "");
    for (std::string e; exts >> e;) patterns += (patterns.empty() ? "*." : " *.") + e;
    if (patterns.empty()) patterns = "*";
    filters.push_back(std::string(f->desc) + " (" + patterns + ")");
  }
  return filters;
}

}  // namespace pelmora
