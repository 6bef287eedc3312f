// The structure file: exact text, reader rules, safety of saving.
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <random>

#include <sys/stat.h>

#include "TestUtil.h"
#include "io/AtomicFile.h"
#include "documents/StructureFile.h"
#include "documents/OpenStructure.h"

using namespace pelmora;
using namespace pelmora::test;

namespace {

std::string FileWith(const std::string& baza, const std::string& param) {
  return "<?xml version=\"1.0\"?>\n<pelmora><baza>" + baza + "</baza><param>" + param + "</param></pelmora>\n";
}

const char* kCubicP = "<lattice>regularna</lattice><lat_type>P</lat_type>";

bool Open(CKomorka& doc, const std::string& path) {
  std::vector<DocMessage> messages;
  return OpenStructureDocument(doc, path, messages);
}

// The messages of a file the reader refuses.
std::vector<std::string> Refusal(const std::string& path) {
  CKomorka doc;
  std::vector<DocMessage> messages;
  EXPECT_FALSE(OpenStructureDocument(doc, path, messages)) << path;
  EXPECT_TRUE(doc.crystal.structureAtoms.empty()) << path;  // nothing half-read
  std::vector<std::string> texts;
  for (const DocMessage& m : messages) texts.push_back(m.text);
  return texts;
}

unsigned Mode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : ~0u;
}

}  // namespace

TEST(StructureFile, ExamplesAndTestFilesRoundTripByteForByte) {
  int files = 0;
  for (const std::string folder : {std::string(PELMORA_EXAMPLES_DIR), std::string(PELMORA_SOURCE_DIR) + "/tests/data/cif",
                                   std::string(PELMORA_SOURCE_DIR) + "/tests/data/xcheck"})
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.path().extension() != ".xml") continue;
      std::string original;
      ASSERT_TRUE(ReadWholeFile(entry.path().string(), original));
      CKomorka doc;
      ASSERT_TRUE(Open(doc, entry.path().string())) << entry.path();
      doc.experiment.ApplySource(*doc.sourceRecord);  // marker "@" must not reach the file
      EXPECT_EQ(FormatStructureFile(doc), original) << entry.path();
      ++files;
    }
  EXPECT_GT(files, 20);
}

// The examples' round trip fixes the rest of the text; they hold no escaped
// names, labels shown, marked records, Debye-Waller factor or solvent.
TEST(StructureFile, WriterEscapesNamesAndWritesWhatTheExamplesLack) {
  CKomorka doc;
  AtomSite at = MakeAtom("Zn & <O>", 0.5, 0.5, 0.5);
  at.nr = 30;
  at.visible = 1;
  at.color = 0xFFFFFF;
  doc.crystal.structureAtoms = {at};
  doc.experiment.sourceName = "*Cu \"Ka\" & <1>";
  doc.experiment.aparatName = "@lab & <\"B\">";
  doc.experiment.IsDW = 1;
  doc.experiment.dwfactor = 0.5;
  doc.experiment.solvent = {true, 0.75, 180.5};
  const std::string text = FormatStructureFile(doc);
  for (const char* part : {"\t\t<atom name=\"Zn &amp; &lt;O&gt;\" nr=\"30\">\r\n",
                           "\t\t\t<color>16777215</color>\r\n\t\t\t<radius>20</radius>\r\n\t\t\t<visible/>\r\n\t\t</atom>\r\n",
                           "\t\t<source name=\"Cu &quot;Ka&quot; &amp; &lt;1&gt;\" type=\"x\">\r\n",
                           "\t\t<aparat name=\"lab &amp; &lt;&quot;B&quot;&gt;\">\r\n",
                           "\t\t</angle>\r\n\t\t<dwfactor>0.50000000</dwfactor>\r\n\t\t<gsize>",
                           "\t\t<solvent>\r\n\t\t\t<k>0.75</k>\r\n\t\t\t<b>180.50</b>\r\n\t\t</solvent>\r\n"})
    EXPECT_NE(text.find(part), std::string::npos) << part;

  // The escaped names read back as they were: writing again gives the same bytes.
  TempDir dir;
  std::string error;
  ASSERT_TRUE(SaveStructureFile(doc, dir.File("s.xml"), &error)) << error;
  CKomorka back;
  ASSERT_TRUE(Open(back, dir.File("s.xml")));
  EXPECT_EQ(std::tie(back.experiment.sourceName, back.sourceRecord->name, back.aparatRecord->name),
            std::tuple("Cu \"Ka\" & <1>", "@Cu \"Ka\" & <1>", "@lab & <\"B\">"));
  EXPECT_EQ(back.experiment.solvent, doc.experiment.solvent);
  back.experiment.sourceName = doc.experiment.sourceName;
  back.experiment.aparatName = doc.experiment.aparatName;
  EXPECT_EQ(FormatStructureFile(back), text);
}

TEST(StructureFile, ReaderRulesForMissingAndEmptyElements) {
  TempDir dir;
  const std::string atom =
      "<atom><x></x><y>0.25</y><factors><a1>2</a1><fbis/></factors><color></color><radius/><visible>0</visible></atom>"
      "<atom name=\"B\" nr=\"5\"><x>0.5</x></atom>";
  dir.Write("a.xml",
            FileWith(std::string(kCubicP) + atom + "<a>4.5</a>",
                     "<source name=\"n1\" type=\"neutron\"><lambda1>1.594</lambda1></source>"
                     "<dwfaktor>0.7</dwfaktor><aparat><u>1</u></aparat>"));
  CKomorka doc;
  ASSERT_TRUE(Open(doc, dir.File("a.xml")));
  ASSERT_EQ(doc.crystal.structureAtoms.size(), 2u);
  // An empty colour element is green, any visible element switches the
  // label on, a missing colour is the default; a missing b stays unchanged.
  const AtomSite &a0 = doc.crystal.structureAtoms[0], &a1 = doc.crystal.structureAtoms[1];
  EXPECT_EQ(std::tie(a0.name, a0.x, a0.a1, a0.color, a0.radius, a0.visible), std::tuple("atom", 0.0, 2.0, 0xFF00u, 20, 1));
  EXPECT_EQ(std::tie(a1.color, a1.siteIndex, doc.cell.a, doc.cell.b), std::tuple(kDefaultAtomColor, 1, 4.5, 1.0));
  EXPECT_EQ(std::tie(doc.experiment.IsDW, doc.experiment.dwfactor, doc.experiment.lambda1), std::tuple(1, 0.7, 1.594));
  // The reader does not switch the document's radiation; an aparat without a name is ignored.
  EXPECT_EQ(std::tie(doc.experiment.radiation, doc.sourceRecord->radiation), std::tuple(0, 1));
  EXPECT_EQ(doc.aparatRecord, nullptr);

  // Neither dwfactor nor dwfaktor: the document's values stay. A file without
  // an encoding declaration is read as Windows-1250 ("\xAF" is "Ż").
  dir.Write("b.xml", FileWith(std::string(kCubicP) + "<atom name=\"\xAF" "elazo\"/>", "<source name=\"s\"/>"));
  CKomorka plain;
  ASSERT_TRUE(Open(plain, dir.File("b.xml")));
  ASSERT_EQ(plain.crystal.structureAtoms.size(), 1u);
  EXPECT_EQ(std::tie(plain.experiment.IsDW, plain.crystal.structureAtoms[0].name), std::tuple(0, "Żelazo"));
}

TEST(StructureFile, ForeignAndBrokenFilesAreReported) {
  TempDir dir;
  using Texts = std::vector<std::string>;
  EXPECT_EQ(Refusal(dir.File("missing.xml")), Texts{"Nie można otworzyć pliku"});
  dir.Write("bad.xml", FileWith("<lattice>kubiczna</lattice>", ""));
  EXPECT_EQ(Refusal(dir.File("bad.xml")), (Texts{"Nieznany typ komórki", "Nieznany format pliku"}));
  // More atoms than the expanded cell can hold: refused with its own message.
  std::string atoms;
  for (int i = 0; i < 25001; ++i) atoms += "<atom name=\"A\"/>";
  dir.Write("big.xml", FileWith("<lattice>regularna</lattice><lat_type>F</lat_type>" + atoms, ""));
  const Texts big = Refusal(dir.File("big.xml"));
  ASSERT_EQ(big.size(), 1u);
  EXPECT_NE(big[0].find("100000"), std::string::npos) << big[0];
}

// A cell ten times the old capacity is saved and read back whole.
TEST(StructureFile, TwentyThousandAtomCellRoundTrips) {
  CKomorka doc;
  std::mt19937 rng(26);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int i = 0; i < 20000; ++i) {
    AtomSite at = MakeAtom(i % 2 ? "O" : "Si", u(rng), u(rng), u(rng), i % 2 ? 3.0 : 6.0);
    at.siteIndex = i;
    doc.crystal.structureAtoms.push_back(at);
  }
  doc.crystal.ExpandCellAtoms();
  TempDir dir;
  dir.Write("big.xml", FormatStructureFile(doc));
  CKomorka back;
  ASSERT_TRUE(Open(back, dir.File("big.xml")));
  ASSERT_EQ(back.crystal.cellAtoms.size(), 20000u);
  for (size_t i = 0; i < 20000; ++i) {
    const AtomSite &p = back.crystal.cellAtoms[i], &q = doc.crystal.cellAtoms[i];
    ASSERT_LT(std::fabs(p.x - q.x) + std::fabs(p.y - q.y) + std::fabs(p.z - q.z), 3e-12) << i;
    ASSERT_EQ(std::tie(p.name, p.siteIndex, p.a1), std::tie(q.name, q.siteIndex, q.a1)) << i;
  }
}

TEST(StructureFile, NumbersKeepTheirDecimalPointUnderACommaLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "pl_PL.UTF-8")) GTEST_SKIP() << "pl_PL.UTF-8 locale not installed";
  CKomorka doc;
  SetCell(doc.cell, 5.6402, 5.6402, 5.6402, 90, 90, 90);
  const std::string text = FormatStructureFile(doc);
  TempDir dir;
  std::string error;
  ASSERT_TRUE(SaveStructureFile(doc, dir.File("l.xml"), &error));
  CKomorka back;
  const bool ok = Open(back, dir.File("l.xml"));
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_NE(text.find("<a>5.640200</a>"), std::string::npos);
  EXPECT_NE(text.find("<absorption>0.0001</absorption>"), std::string::npos);
  ASSERT_TRUE(ok);
  EXPECT_EQ(std::tie(back.cell.a, back.experiment.absorption), std::tuple(5.6402, 0.0001));
}

TEST(StructureFile, SavingKeepsThePreviousFileLinksDevicesAndPermissions) {
  TempDir dir;
  CKomorka doc;
  std::string error;
  EXPECT_FALSE(SaveStructureFile(doc, dir.File("no-such-folder/x.xml"), &error));
  EXPECT_NE(error.find("x.xml"), std::string::npos);

  // A target that cannot be replaced (a folder) stays as it was, and no
  // temporary file is left behind.
  std::filesystem::create_directory(dir.File("taken.xml"));
  dir.Write("taken.xml/inside", "keep");
  EXPECT_FALSE(SaveStructureFile(doc, dir.File("taken.xml"), &error));
  EXPECT_EQ(pelmora::testing::ReadFile(dir.File("taken.xml/inside")), "keep");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);

  // A link stays a link to the file it named.
  const std::string real = dir.Write("real.xml", "old");
  std::filesystem::create_symlink(real, dir.File("link.xml"));
  ASSERT_TRUE(SaveStructureFile(doc, dir.File("link.xml"), &error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.xml")));
  EXPECT_EQ(pelmora::testing::ReadFile(real), FormatStructureFile(doc));
  // /dev/null must stay a device: a rename over it would replace it by a file.
  ASSERT_TRUE(SaveStructureFile(doc, "/dev/null", &error)) << error;
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));

  // A file keeps its mode, also one that neither the temporary file (0600)
  // nor the umask would give; new files follow the umask.
  const std::string mine = dir.Write("mine.xml", "old");
  ASSERT_EQ(::chmod(mine.c_str(), 0604), 0);
  ASSERT_TRUE(SaveStructureFile(doc, mine, &error)) << error;
  EXPECT_EQ(Mode(mine), 0604u);
  const mode_t old = ::umask(077);
  const bool saved = SaveStructureFile(doc, dir.File("new.xml"), &error);
  ::umask(022);
  const bool savedOpen = SaveStructureFile(doc, dir.File("open.xml"), &error);
  ::umask(old);
  ASSERT_TRUE(saved && savedOpen) << error;
  EXPECT_EQ(std::tuple(Mode(dir.File("new.xml")), Mode(dir.File("open.xml"))), std::tuple(0600u, 0644u));
}

// The measured pattern's path: written relative to the structure file (so
// that the two move together), read back as an absolute path, and rewritten
// relative to a new place by "Zapisz jako".
TEST(StructureFile, MeasuredPathRelativeToTheFile) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("work/sub"));
  std::filesystem::create_directories(dir.File("data"));
  CKomorka doc;
  doc.measuredPath = dir.File("data/scan & 1.xy");
  std::string error;
  ASSERT_TRUE(SaveStructureFile(doc, dir.File("work/s.xml"), &error)) << error;
  const std::string text = pelmora::testing::ReadFile(dir.File("work/s.xml"));
  EXPECT_NE(text.find("\t\t<difradius>200</difradius>\r\n\t\t<measured>../data/scan &amp; 1.xy</measured>\r\n\t</param>"),
            std::string::npos)
      << text;
  CKomorka back;
  ASSERT_TRUE(Open(back, dir.File("work/s.xml")));
  EXPECT_EQ(back.measuredPath, std::filesystem::path(dir.File("data/scan & 1.xy")).lexically_normal().string());
  ASSERT_TRUE(SaveStructureFile(back, dir.File("work/sub/t.xml"), &error)) << error;
  EXPECT_NE(pelmora::testing::ReadFile(dir.File("work/sub/t.xml")).find("<measured>../../data/scan &amp; 1.xy</measured>"),
            std::string::npos);
  // An absolute path in the file stays as it is; no element, no measurement.
  EXPECT_EQ(MeasuredPathFromStore("/srv/m.xy", dir.File("work/s.xml")), "/srv/m.xy");
  CKomorka none;
  std::vector<DocMessage> messages;
  ASSERT_EQ(ReadStructureBytes(none, FileWith(kCubicP, ""), messages),
            StructureReadStatus::kOk);
  EXPECT_TRUE(none.measuredPath.empty());
  EXPECT_EQ(FormatStructureFile(none).find("<measured>"), std::string::npos);
}
