#include "documents/TolvoInputFile.h"

#include <locale.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "io/TextEncoding.h"
#include "io/NumberFormat.h"

namespace pelmora {
namespace {

// The file as the older program's C library read it in text mode, with the
// line-reading and scanf conversions it used. Every read is bounded by the
// buffer sizes of that program and by the end of the text.
class TextStream {
 public:
  explicit TextStream(std::string text) : text_(std::move(text)) {}

  // fgets with a buffer of `size` bytes: at most size - 1 characters, up to
  // and including a line end. False at the end of the text.
  bool Gets(size_t size, std::string& out) {
    out.clear();
    if (AtEnd()) return false;
    while (!AtEnd() && out.size() + 1 < size) {
      const char ch = text_[pos_++];
      out += ch;
      if (ch == '\n') break;
    }
    return true;
  }
  // A skip: one line of the comment buffer's size, discarded.
  void Skip() {
    std::string dummy;
    Gets(50, dummy);
  }
  // fgets, then the last character (the line end) dropped.
  std::string Text(size_t size) {
    std::string s;
    if (Gets(size, s) && !s.empty()) s.pop_back();
    return s;
  }

  // The scanf white-space directive: any run of white space, possibly none.
  void SkipSpace() {
    while (!AtEnd() && IsSpace(text_[pos_])) ++pos_;
  }
  bool Literal(char ch) {
    if (AtEnd() || text_[pos_] != ch) return false;
    ++pos_;
    return true;
  }

  // %g into a float. A number beyond the float range is not taken (the
  // field counts as unmatched) rather than read as infinity.
  bool Float(float& value) {
    SkipSpace();
    std::string tok;
    Sign(tok);
    const size_t intDigits = Digits(tok);
    size_t fracDigits = 0;
    if (Peek() == '.') {
      tok += text_[pos_++];
      fracDigits = Digits(tok);
    }
    if (intDigits + fracDigits == 0) return false;
    if ((Peek() == 'e' || Peek() == 'E')) {
      const size_t mark = pos_;
      std::string exp(1, text_[pos_++]);
      Sign(exp);
      if (Digits(exp) > 0)
        tok += exp;
      else
        pos_ = mark;
    }
    errno = 0;
    const float v = strtof_l(tok.c_str(), nullptr, CLocale());
    if (errno == ERANGE && std::isinf(v)) return false;
    value = v;
    return true;
  }

  // %i: decimal, or octal with a leading 0, or hexadecimal with 0x.
  bool Int(int& value) {
    SkipSpace();
    std::string tok;
    Sign(tok);
    int base = 10;
    if (Peek() == '0' && (PeekAt(1) == 'x' || PeekAt(1) == 'X') &&
        std::isxdigit(static_cast<unsigned char>(PeekAt(2)))) {
      pos_ += 2;
      base = 16;
    } else if (Peek() == '0') {
      base = 8;
    }
    size_t n = 0;
    while (!AtEnd() && IsDigitIn(text_[pos_], base)) {
      tok += text_[pos_++];
      ++n;
    }
    if (n == 0) return false;
    errno = 0;
    const long long v = std::strtoll(tok.c_str(), nullptr, base);
    value = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
    return true;
  }

  // %<width>s: up to `width` characters that are not white space.
  bool Word(size_t width, std::string& out) {
    SkipSpace();
    out.clear();
    while (!AtEnd() && out.size() < width && !IsSpace(text_[pos_])) out += text_[pos_++];
    return !out.empty();
  }

 private:
  static bool IsSpace(char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f'; }
  static bool IsDigitIn(char ch, int base) {
    const auto u = static_cast<unsigned char>(ch);
    if (base == 16) return std::isxdigit(u) != 0;
    if (base == 8) return ch >= '0' && ch <= '7';
    return ch >= '0' && ch <= '9';
  }
  static locale_t CLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
  }
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  char PeekAt(size_t k) const { return pos_ + k < text_.size() ? text_[pos_ + k] : '\0'; }
  void Sign(std::string& tok) {
    if (Peek() == '+' || Peek() == '-') tok += text_[pos_++];
  }
  size_t Digits(std::string& tok) {
    size_t n = 0;
    while (!AtEnd() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      tok += text_[pos_++];
      ++n;
    }
    return n;
  }

  std::string text_;
  size_t pos_ = 0;
};

// Text mode of the older program's platform: CR LF reads as LF.
std::string FromTextMode(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    out += bytes[i];
  }
  return out;
}

// Cell values and coordinates are kept as the older program printed them.
double AsPrinted(float v) { return parseDoubleOr(cformat("%.6f", static_cast<double>(v)), 0.0); }

// Names and the centring name in the file's own encoding: UTF-8 stays, the
// older program's Windows-1250 is converted. A UTF-8 letter cut by the
// name's width limit is dropped whole.
// Control characters cannot stand in an XML file; they become "?" so that
// the imported structure can be saved and read again.
std::string ToUtf8(std::string s, bool fileIsUtf8) {
  for (char& ch : s)
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = '?';
  if (!fileIsUtf8) return cp1250ToUtf8(s);
  while (!s.empty() && !isValidUtf8(s)) s.pop_back();
  return s;
}

// The atom lines: a name, then x y z s c a1 a2 a3 a4 b1 b2 b3 b4 and one
// number the program never used. A line cut short keeps what it gave.
std::vector<AtomSite> ReadAtoms(TextStream& in, int n, bool fileIsUtf8) {
  std::vector<AtomSite> atoms(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    AtomSite& at = atoms[static_cast<size_t>(i)];
    at.siteIndex = i;
    std::string name;
    if (!in.Word(5, name)) continue;
    at.name = ToUtf8(name, fileIsUtf8);
    float v[14] = {};
    int got = 0;
    while (got < 14 && (in.SkipSpace(), in.Float(v[got]))) ++got;
    if (got == 14) in.SkipSpace();
    double* const coords[3] = {&at.x, &at.y, &at.z};
    double* const factors[10] = {&at.s, &at.c, &at.a1, &at.a2, &at.a3, &at.a4, &at.b1, &at.b2, &at.b3, &at.b4};
    for (int k = 0; k < got && k < 3; ++k) *coords[k] = AsPrinted(v[k]);
    for (int k = 3; k < got && k < 13; ++k) *factors[k - 3] = static_cast<double>(v[k]);
  }
  return atoms;
}

constexpr int kKeepLattice = -2;  // the centring name fits no entry of its branch

// The BravaisTable index that the single-precision cell values (compared
// exactly) and the centring name give; -1 when no lattice fits.
int ChooseBravaisIndex(float a, float b, float c, float al, float be, float ga, const std::string& centring) {
  const auto pick = [&](std::initializer_list<std::pair<std::string_view, int>> names) {
    for (const auto& [name, index] : names)
      if (centring == name) return index;
    return kKeepLattice;
  };
  if (al == 90.0f && be == 90.0f && ga == 90.0f) {
    if (a == b && b == c) return pick({{kCentringPrimitive, 0}, {kCentringBody, 1}, {kCentringFace, 2}});
    if (a == b) return pick({{kCentringPrimitive, 3}, {kCentringBody, 4}});
    return pick({{kCentringPrimitive, 5}, {kCentringBody, 6}, {kCentringBase, 7}, {kCentringFace, 8}});
  }
  if (al == 90.0f && ga == 90.0f) return pick({{kCentringPrimitive, 9}, {kCentringBase, 10}});
  if (al != be && be != ga && al != ga) return 11;
  if (al == be && be == ga && a == b && b == c) return 12;  // the angles are not 90 here
  if (al == 90.0f && be == 90.0f && ga == 120.0f && a == b && b != c) return 13;
  return -1;
}

}  // namespace

ImportStatus ImportTolvoText(CKomorka& doc, std::string_view bytes) {
  const bool fileIsUtf8 = isValidUtf8(bytes);
  TextStream in(FromTextMode(bytes));
  std::string line;
  if (!in.Gets(50, line) || line != kTolvoSignature) return ImportStatus::kUnknownFormat;

  in.Text(50);
  in.Skip();
  in.Text(100);
  in.Skip();
  const std::string centring = ToUtf8(in.Text(100), fileIsUtf8);
  in.Skip();
  float al = static_cast<float>(doc.cell.alfa), be = static_cast<float>(doc.cell.beta),
        ga = static_cast<float>(doc.cell.gamma);
  if (in.Float(al) && in.Literal(',') && in.Float(be) && in.Literal(',') && in.Float(ga)) in.SkipSpace();
  in.Skip();
  float a = 0.0f, b = 0.0f, c = 0.0f;
  if (in.Float(a) && in.Literal(',') && in.Float(b) && in.Literal(',') && in.Float(c)) in.SkipSpace();
  in.Skip();
  int kind = 0;
  float ignored = 0.0f;
  if (in.Int(kind) && kind == 2) {
    if (in.Float(ignored)) in.SkipSpace();
  } else {
    in.SkipSpace();
  }
  in.Skip();
  int radiation = doc.experiment.radiation;
  if (in.Int(radiation)) in.SkipSpace();
  in.Skip();
  int flag = 0;
  if (in.Int(flag) && flag != 0) {
    in.SkipSpace();
    if (in.Float(ignored) && (in.SkipSpace(), in.Float(ignored)) && (in.SkipSpace(), in.Float(ignored)))
      in.SkipSpace();
  } else {
    in.SkipSpace();
  }
  in.Skip();
  int n = 0;
  if (in.Int(n)) in.SkipSpace();
  if (n >= Crystal::kMaxAtoms) n = Crystal::kMaxAtoms - 1;
  if (n < 0) n = 0;
  in.Skip();

  doc.crystal.cellAtoms = ReadAtoms(in, n, fileIsUtf8);

  doc.cell.a = AsPrinted(a);
  doc.cell.b = AsPrinted(b);
  doc.cell.c = AsPrinted(c);
  doc.cell.alfa = AsPrinted(al);
  doc.cell.beta = AsPrinted(be);
  doc.cell.gamma = AsPrinted(ga);
  doc.experiment.radiation = radiation;

  const int index = ChooseBravaisIndex(a, b, c, al, be, ga, centring);
  if (index != kKeepLattice) doc.crystal.bravaisIndex = index;
  if (index >= 0) doc.crystal.latticeType = BravaisTable[static_cast<size_t>(index)].type;
  doc.crystal.RebuildStructureFromCell();
  doc.crystal.ExpandCellAtoms();
  return ImportStatus::kOk;
}

}  // namespace pelmora
