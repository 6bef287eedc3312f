// The locale-free number formatting that every file relies on, and the
// text rules of the files: XML escaping and the two encodings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "io/TextEncoding.h"
#include "io/XmlUtil.h"
#include "io/CoordinateFormat.h"
#include "io/NumberFormat.h"

using namespace pelmora;

TEST(TextFormat, FastFixedFormattingGivesPrintfsDigits) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> mant(-1.0, 1.0);
  std::uniform_int_distribution<int> expo(-12, 9);
  std::vector<double> values = {0.0, -0.0, 0.5, 1.5, 2.5, 0.125, 0.0625, -0.00005, 1e-300, 123456789.0,
                                 std::numeric_limits<double>::infinity(), std::nan(""), 0.00005, 2.00005,
                                 -1.7976931348623157e308, 3e15,
                                 // Just inside and just past a width of 9, with and without a sign.
                                 99999.9994, 99999.9996, -9999.9994, -9999.9996, 99.9999994, 99.9999996,
                                 -9.9999994, -9.9999996};
  for (int i = 0; i < 20000; ++i) values.push_back(mant(rng) * std::pow(10.0, expo(rng)));
  // Decimal halves and their neighbours: where a product rounded once could
  // round the other way.
  std::uniform_int_distribution<long> whole(0, 99999999);
  for (int i = 0; i < 5000; ++i)
    for (double scale : {1e3, 1e4, 1e6}) {
      const double half = (static_cast<double>(whole(rng)) + 0.5) / scale;
      for (double v : {half, std::nextafter(half, 0.0), std::nextafter(half, 1e300), -half}) values.push_back(v);
    }
  for (double v : values)
    for (int prec : {3, 4, 6}) {
      std::string fast;
      AppendFixed(fast, v, 9, prec);
      ASSERT_EQ(fast, cformat("%9.*f", prec, v)) << v;
      char buf[kMaxNumberChars];
      ASSERT_EQ(std::string(buf, FixedToChars(buf, v, 9, prec)), fast) << v;
      char* const end = prec == 3 ? FixedFieldToChars<9, 3>(buf, v)
                        : prec == 4 ? FixedFieldToChars<9, 4>(buf, v)
                                    : FixedFieldToChars<9, 6>(buf, v);
      ASSERT_EQ(std::string(buf, end), fast) << v;
    }
  // Fields narrower than their numbers grow, as printf's do.
  for (double v : {-1.0, 123.4567891, -98765.4321}) {
    char buf[kMaxNumberChars];
    ASSERT_EQ(std::string(buf, FixedFieldToChars<6, 6>(buf, v)), cformat("%6.6f", v)) << v;
    ASSERT_EQ(std::string(buf, FixedFieldToChars<2, 0>(buf, v)), cformat("%2.0f", v)) << v;
  }
  std::string ints;
  AppendInt(ints, -7, 5);
  AppendInt(ints, 123456, 2);
  EXPECT_EQ(ints, "   -7123456");
  char buf[kMaxNumberChars];
  char* end = IntToChars(buf, -7, 5);
  end = IntToChars(end, 123456, 2);
  EXPECT_EQ(std::string(buf, end), ints);
  end = IntFieldToChars<5>(buf, -7);
  end = IntFieldToChars<2>(end, 123456);
  end = IntFieldToChars<3>(end, 0);
  end = IntFieldToChars<2>(end, std::numeric_limits<long>::min());
  EXPECT_EQ(std::string(buf, end), ints + "  0" + std::to_string(std::numeric_limits<long>::min()));
  end = buf;
  for (long v : {999L, 1000L, -99L, -100L}) end = IntFieldToChars<3>(end, v);
  EXPECT_EQ(std::string(buf, end), "9991000-99-100");
}

// Coordinates as files keep them: the shortest decimals, six at least, that
// read back within 1e-12; what was written, read and written again, is the
// same text.
TEST(TextFormat, CoordinatesAreTheShortestTextWithinATrillionth) {
  const std::pair<double, const char*> cases[] = {
      {1 - 0.2394, "0.760600"},       {-6.666713983522847e-18, "0.000000"}, {-0.0, "0.000000"},
      {-4e-13, "0.000000"},           {5.0 / 24, "0.208333333333"},       {2.0 / 3, "0.666666666667"},
      {-1.0 / 3, "-0.333333333333"},  {0.38671234, "0.38671234"},         {1e-7, "0.0000001"},
      {0.1 + 0.2, "0.300000"},        {1 - 1e-16, "1.000000"},            {-0.25, "-0.250000"},
      {2.4e-12, "0.000000000002"},    {12.5, "12.500000"},                {2.0 / 3 + 3, "3.666666666667"}};
  for (const auto& [v, text] : cases) EXPECT_EQ(FixedNear(v, 6), text) << v;
  EXPECT_EQ(FixedNear(1.0 / 3, 2), "0.333333333333");
  EXPECT_EQ(FixedNear(0.5, 2), "0.50");

  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> unit(-2.0, 2.0);
  std::uniform_int_distribution<int> digits(0, 13);
  for (int i = 0; i < 200000; ++i) {
    // Values of every length, and rounding errors beside them.
    double v = unit(rng);
    const double scale = std::pow(10.0, digits(rng));
    if (i % 2) v = std::round(v * scale) / scale + (i % 4 == 1 ? 0.0 : unit(rng) * 1e-13);
    const std::string text = FixedNear(v, 6);
    const double back = parseDouble(text).value();
    ASSERT_LT(std::fabs(back - v), 1e-12) << v << " " << text;
    ASSERT_EQ(FixedNear(back, 6), text) << v;
    ASSERT_LE(text.size() - text.find('.') - 1, 12u) << v;
    ASSERT_NE(text.rfind("-0.", 0) == 0 && back == 0.0, true) << v;
  }
}

TEST(TextFormat, ParsingIgnoresTrailingTextAndRejectsNonNumbers) {
  EXPECT_EQ(parseDouble("  1.5e3xyz"), 1500.0);
  // Read in place or by strtod, the same value strtod gives.
  for (const char* text : {"0.1", "-2.5e-3", ".5", "1e", "7,5", "-0x1p3", "0X10", "+4", "1e999", "-1e-400",
                           "2.2250738585072011e-308", "123456789012345678901234567890", "-inf", "-"}) {
    char* end = nullptr;
    const double want = std::strtod(text, &end);
    const std::optional<double> got = parseDouble(text);
    ASSERT_EQ(got.has_value(), end != text) << text;
    if (got) {
      EXPECT_EQ(std::memcmp(&*got, &want, sizeof want), 0) << text;
    }
  }
  EXPECT_FALSE(parseDouble("abc") || parseDouble(""));
  EXPECT_EQ(std::tuple(parseDoubleOr("", 7.0), parseLong("42 apples")), std::tuple(7.0, 42));
  EXPECT_EQ(xmlEscape("a&b<c>\"d\""), "a&amp;b&lt;c&gt;&quot;d&quot;");
  EXPECT_TRUE(isValidUtf8("Natężenie"));
  EXPECT_FALSE(isValidUtf8("\xAF" "elazo") || isValidUtf8("\xC0\x80"));  // the second overlong
  // Past the first eight ASCII bytes, at and off their boundaries.
  EXPECT_TRUE(isValidUtf8("abcdefgh") && isValidUtf8("abcdefghijk\xC5\xBC") && isValidUtf8("abcdefgh\xC5\xBCz"));
  EXPECT_FALSE(isValidUtf8("abcdefghijk\xAF") || isValidUtf8("abcdefgh\xAF") || isValidUtf8("abcdefghijklmnop\xC5"));
  EXPECT_EQ(cp1250ToUtf8("\xAF\xB3\xEA"), "Żłę");
}

TEST(TextFormat, TypedNumbersTakeACommaOrAPointAndNothingElse) {
  for (auto [text, value] : {std::pair{"0,5", 0.5}, {" 0.5 ", 0.5}, {"-1,25e2", -125.0}, {"3", 3.0}})
    EXPECT_EQ(ParseUserNumber(text), value) << text;
  for (const char* bad : {"", "  ", "abc", "0,5,1", "1.000,5", "12abc", "1 2", "inf", "nan", "0x10", "1e999", ","})
    EXPECT_FALSE(ParseUserNumber(bad).has_value()) << bad;
}

// The readers' "//a/b" lookups walk the tree themselves; they must select
// what libxml2's XPath selects, in the same order.
TEST(TextFormat, DescendantPathsSelectWhatXPathSelects) {
  const std::string text =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ENTITY e \"<baza><a>in entity</a></baza>\">]>\n"
      "<r><baza><a>1</a><x><baza><a>2</a></baza></x><a>3</a></baza><!-- <baza><a>c</a></baza> -->"
      "<y xmlns=\"urn:n\"><baza><a>ns</a></baza></y><q:baza xmlns:q=\"urn:q\"><a>prefixed</a></q:baza>"
      "<param><source><lambda1>4</lambda1></source></param>&e;<baza><a>5</a><a/></baza><a>top</a></r>";
  XmlDocPtr doc = ParseXmlBytes(text);
  ASSERT_TRUE(doc);
  XPathContextPtr ctx(xmlXPathNewContext(doc.get()));
  for (const char* expr : {"//baza/a", "//a", "//r/baza", "//param/source/lambda1", "//x/baza/a", "//none/a"}) {
    std::vector<xmlNode*> expected;
    XPathObjectPtr obj(xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expr), ctx.get()));
    if (obj && obj->nodesetval)
      for (int i = 0; i < obj->nodesetval->nodeNr; ++i) expected.push_back(obj->nodesetval->nodeTab[i]);
    EXPECT_EQ(XPathElements(ctx.get(), expr), expected) << expr;
    EXPECT_EQ(XPathText(ctx.get(), expr), expected.empty() ? std::nullopt : NodeText(expected.front())) << expr;
  }
  // 1, 2, 3, 5 and the empty one: not the namespaced, commented or entity ones.
  EXPECT_EQ(XPathElements(ctx.get(), "//baza/a").size(), 5u);
  // Streamed, the same elements come, in document order although a nested
  // one closes first, and leave the rest of the tree as it was: text on
  // either side of one stays apart, other elements keep their text.
  const std::string around = std::string(text).replace(text.find("<a>1</a>"), 8, "t1<a>1<baza><a>0</a></baza></a>t2");
  std::vector<std::string> taken;
  const StreamedElements streamed{{"baza", "a"}, [&taken](const xmlNode* n, size_t place) {
                                    if (place >= taken.size()) taken.resize(place + 1);
                                    taken[place] = NodeText(n).value_or("-");
                                  }};
  XmlDocPtr streamedDoc = ParseXmlBytes(around, &streamed);
  ASSERT_TRUE(streamedDoc);
  EXPECT_EQ(taken, (std::vector<std::string>{"1", "0", "2", "3", "5", "-"}));
  XPathContextPtr streamedCtx(xmlXPathNewContext(streamedDoc.get()));
  EXPECT_EQ(XPathText(streamedCtx.get(), "//param/source/lambda1"), "4");
  EXPECT_EQ(XPathElements(streamedCtx.get(), "//baza/a").size(), 5u);
  const xmlNode* first = XPathElements(streamedCtx.get(), "//r/baza").front()->children;
  ASSERT_TRUE(first && first->next && first->next->next);
  EXPECT_STREQ(reinterpret_cast<const char*>(first->content), "t1");
  EXPECT_EQ(first->next->children, nullptr);
  EXPECT_STREQ(reinterpret_cast<const char*>(first->next->next->content), "t2");
  // A reader that fails ends the parse: no document.
  const StreamedElements failing{{"baza", "a"}, [](const xmlNode*, size_t) { throw std::runtime_error("no"); }};
  EXPECT_FALSE(ParseXmlBytes(around, &failing));
  // The layout's blanks go; a value that is all blanks stays.
  XmlDocPtr laid = ParseXmlBytes("<r>\n\t<name> </name>\n\t<v>1</v>\n</r>\n");
  ASSERT_TRUE(laid);
  XPathContextPtr laidCtx(xmlXPathNewContext(laid.get()));
  EXPECT_EQ(XPathText(laidCtx.get(), "//r/name"), " ");
  EXPECT_EQ(XPathText(laidCtx.get(), "//r/v"), "1");
}

namespace {

// A document as text, with its declaration: two reads of it are the same
// tree when these agree.
std::string Dumped(const XmlDocPtr& doc) {
  if (!doc) return "(none)";
  xmlChar* text = nullptr;
  int size = 0;
  xmlDocDumpMemory(doc.get(), &text, &size);
  std::string out(reinterpret_cast<const char*>(text), static_cast<size_t>(size));
  xmlFree(text);
  return out;
}

// The streamed elements' text as the reader gets them, a read in two parts
// joined as a reader joins them; and whether it was read in two parts.
struct Streamed {
  std::vector<std::string> first, second;
  size_t firstCount = 0;
  bool twoParts = false;
  std::vector<std::string> Joined() const {
    if (!twoParts) return first;
    std::vector<std::string> all(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(firstCount));
    all.insert(all.end(), second.begin(), second.end());
    return all;
  }
};

XmlDocPtr ReadStreamed(const std::string& text, Streamed& got, bool twoParts) {
  const auto into = [](std::vector<std::string>& out) {
    return [&out](const xmlNode* n, size_t place) {
      if (place >= out.size()) out.resize(place + 1);
      out[place] = NodeText(n).value_or("-") + AttributeText(n, "n").value_or("");
    };
  };
  StreamedElements streamed{{"baza", "atom"}, into(got.first)};
  if (twoParts) {
    streamed.second = into(got.second);
    streamed.joined = [&got](size_t n) {
      got.firstCount = n;
      got.twoParts = true;
    };
    streamed.twoPartsFrom = 0;
  }
  return ParseXmlBytes(text, &streamed);
}

}  // namespace

// A long file read in two halves at once gives the tree and the elements a
// read of the whole gives; where anything at the cut could make the halves
// read otherwise (a comment or CDATA across it, a DTD, namespaces or
// attributes or text on the open elements, another encoding, other open
// elements), it is read whole, and a broken file stays broken.
TEST(TextFormat, LongDocumentsReadInTwoPartsAsWhole) {
  std::string atoms;
  for (int i = 0; i < 40; ++i)
    atoms += "\n\t\t<atom n=\"" + std::to_string(i) + "\"><x>0." + std::to_string(i) + "</x></atom>";
  const std::string head = "<?xml version=\"1.0\"?>\n<!-- a <note> -->\n<pelmora>\n\t<baza>\n\t\t<lattice>P</lattice>";
  const std::string tail = "\n\t\t<a>4</a>\n\t</baza>\n\t<param><angle> </angle></param>\n</pelmora>\n";
  const std::string plain = head + atoms + tail;
  const size_t middle = plain.find("<atom n=\"20\"");
  const auto with = [&](const std::string& at, const std::string& what) {
    std::string text = plain;
    return text.insert(text.find(at), what);
  };
  struct Case {
    const char* name;
    std::string text;
    bool twoParts;
  };
  const std::vector<Case> cases = {
      {"plain", plain, true},
      {"declared UTF-8 and standalone",
       std::string(plain).replace(0, 21, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"), true},
      {"comment across the cut", std::string(plain).insert(middle - 200, "<!--").insert(middle + 200, "-->"), false},
      {"CDATA across the cut", std::string(plain).insert(middle - 200, "<![CDATA[").insert(middle + 200, "]]>"), false},
      {"entity from the DTD after the cut",
       std::string(plain).insert(22, "<!DOCTYPE pelmora [<!ENTITY e \"E\">]>").replace(plain.find("0.30"), 4, "&e;"),
       false},
      {"default namespace", with("<pelmora>", "").replace(plain.find("<pelmora>"), 9, "<pelmora xmlns=\"urn:p\">"), false},
      {"attribute on an open element", std::string(plain).replace(plain.find("<baza>"), 6, "<baza v=\"1\">"), false},
      {"text first in an open element", std::string(plain).replace(plain.find("<baza>"), 6, "<baza>t"), false},
      {"text later in an open element", with("<atom n=\"3\"", "t"), false},
      {"other open elements",
       std::string(plain).replace(plain.find("<baza>"), 6, "<x><baza>").replace(plain.find("</baza>") + 3, 7,
                                                                                   "</baza></x>"),
       false},
      {"Windows-1250 without a declaration",
       std::string(plain).replace(0, 21, "").replace(plain.find("0.30") - 21, 4, "0.\xB9\xB9"), true},
      {"another encoding",
       std::string(plain).replace(0, 21, "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>").replace(
           plain.find("0.30") + 20, 4, "0.\xB1\xB1"),
       false},
      {"text just after the cut", std::string(plain).insert(plain.find("</atom>", plain.size() / 2) + 7, "M"), false},
      {"the cut just before a closing tag", std::string(plain).insert(plain.find("</atom>", plain.size() / 2) + 7, "\n</baza><baza>"),
       false},
      {"broken after the cut", std::string(plain).replace(plain.find("</atom>", middle + 300), 7, "</mota>"), false},
      {"broken before the cut", std::string(plain).replace(plain.find("</atom>"), 7, "</mota>"), false},
  };
  for (const Case& c : cases) {
    Streamed whole, parts;
    const XmlDocPtr wholeDoc = ReadStreamed(c.text, whole, false);
    const XmlDocPtr partsDoc = ReadStreamed(c.text, parts, true);
    EXPECT_EQ(Dumped(partsDoc), Dumped(wholeDoc)) << c.name;
    EXPECT_EQ(parts.Joined(), whole.Joined()) << c.name;
    EXPECT_EQ(parts.twoParts, c.twoParts) << c.name;
  }
  // The elements come whole in document order, the atoms' own text too.
  Streamed got;
  ASSERT_TRUE(ReadStreamed(plain, got, true));
  ASSERT_EQ(got.Joined().size(), 40u);
  EXPECT_EQ(got.Joined()[0], "-0");
  EXPECT_EQ(got.Joined()[39], "-39");
  EXPECT_GT(got.firstCount, 5u);
  EXPECT_LT(got.firstCount, 35u);
}
