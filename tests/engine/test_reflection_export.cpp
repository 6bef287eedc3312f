// The reflection list's text export and its filter.
#include <gtest/gtest.h>

#include "TestUtil.h"
#include "documents/StructureFile.h"
#include "documents/OpenStructure.h"
#include "engine/ReflectionExport.h"

using namespace pelmora;

namespace {
int CountLines(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }
}  // namespace

TEST(ReflectionExport, HeaderLinesAndFilters) {
  CKomorka doc;
  std::vector<DocMessage> messages;
  ASSERT_TRUE(OpenStructureDocument(doc, PELMORA_EXAMPLES_DIR "/alpha-Fe.xml", messages));
  doc.experiment.ApplySource(*doc.sourceRecord);
  const std::string header =
      "L.p.         h    k    l    2 theta    m      Re(F)      Im(F)      F         d[A]\tH\t   Natężenie\t "
      "Natężenie %\r\n";
  EXPECT_EQ(FormatReflectionList(doc, {}), header);  // before any calculation

  NullProgress none;
  ASSERT_EQ(doc.CalculateReflections(none), 0);
  const std::string ka1 = FormatReflectionList(doc, {});
  EXPECT_EQ(ka1.compare(0, header.size(), header), 0);
  // Body-centred iron: (1 1 0) first, at 44.67 degrees, the strongest line.
  const std::string first = ka1.substr(header.size(), ka1.find("\r\n", header.size()) - header.size() + 2);
  EXPECT_EQ(first.substr(0, 40), "  0   Ka1    1    1    0    44.6705   12");
  EXPECT_EQ(first.substr(first.size() - 12), "  100.0000\r\n");
  EXPECT_NE(first.find("   -1.000000   "), std::string::npos);  // no width before a synthesis

  ReflectionFilter none_{false, false, false};
  EXPECT_EQ(FormatReflectionList(doc, none_), header);

  ReflectionFilter both{true, true, false};
  const std::string mixed = FormatReflectionList(doc, both);
  EXPECT_EQ(CountLines(mixed), 2 * CountLines(ka1) - 1);  // each visible Ka1 line has its Ka2 partner
  // Kα2 lines interleave with Kα1 lines in angle order.
  const size_t firstKa2 = mixed.find("Ka2");
  ASSERT_NE(firstKa2, std::string::npos);
  EXPECT_LT(firstKa2, mixed.find("Ka1    2    0    0"));

  // Extinct reflections appear only on request, and are the odd h+k+l ones.
  ReflectionFilter extinct{true, false, true};
  const std::string all = FormatReflectionList(doc, extinct);
  EXPECT_GT(CountLines(all), CountLines(ka1));
  EXPECT_NE(all.find("Ka1    1    0    0"), std::string::npos);
  EXPECT_EQ(ka1.find("Ka1    1    0    0"), std::string::npos);

  // A width of 0 is written with six decimals.
  for (Reflection& r : doc.results.reflectionsAll) r.fwhm = 0.0;
  EXPECT_NE(FormatReflectionList(doc, {}).find("   0.000000   "), std::string::npos);
}
