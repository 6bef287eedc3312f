// The structure file: exact text, reader rules, safety of saving.
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>

#include "TestUtil.h"
#include "documents/AtomicFile.h"
#include "documents/StructureFile.h"

using namespace pelmora;
using namespace pelmora::test;

namespace {

std::string FileWith(const std::string& baza, const std::string& param) {
  return "<?xml version=\"1.0\"?>\n<pelmora><baza>" + baza + "</baza><param>" + param + "</param></pelmora>\n";
}

const char* kCubicP = "<lattice>regularna</lattice><lat_type>P</lat_type>";

}  // namespace

TEST(StructureFile, ExamplesRoundTripByteForByte) {
  TempDir dir;
  for (const auto& entry : std::filesystem::directory_iterator(PELMORA_EXAMPLES_DIR)) {
    if (entry.path().extension() != ".xml") continue;
    std::string original;
    ASSERT_TRUE(ReadWholeFile(entry.path().string(), original));
    CKomorka doc;
    std::vector<DocMessage> messages;
    ASSERT_TRUE(OpenStructureDocument(doc, entry.path().string(), messages)) << entry.path();
    doc.ApplySource(*doc.sourceRecord);  // marker "@" must not reach the file
    EXPECT_EQ(FormatStructureFile(doc), original) << entry.path();
  }
}

TEST(StructureFile, ExactTextOfTheWriter) {
  CKomorka doc;
  doc.latticeType = kHexagonal;
  SetCell(doc, 3.25, 3.25, 5.2, 90, 90, 120);
  AtomSite at = MakeAtom("Zn & <O>", 1.0 / 3, 2.0 / 3, 0.5);
  at.nr = 30;
  at.visible = 1;
  at.color = 0xFFFFFF;
  doc.structureAtoms = {at};
  doc.sourceName = "*Cu Ka";
  doc.aparatName = "@lab";
  doc.IsDW = 1;
  doc.dwfactor = 0.5;
  const std::string text = FormatStructureFile(doc);
  EXPECT_TRUE(text.starts_with(
      "<?xml version=\"1.0\"?>\r\n<pelmora>\r\n\t<baza>\r\n\t\t<lattice>heksagonalna</lattice>\r\n"
      "\t\t<lat_type>P</lat_type>\r\n\t\t<atom"));
  EXPECT_NE(text.find("\t\t<atom name=\"Zn &amp; &lt;O&gt;\" nr=\"30\">\r\n\t\t\t<x>0.333333</x><y>0.666667</y>"),
            std::string::npos);
  EXPECT_NE(text.find("\t\t\t<color>16777215</color>\r\n\t\t\t<radius>20</radius>\r\n\t\t\t<visible/>\r\n\t\t</atom>\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\t\t<source name=\"Cu Ka\" type=\"x\">\r\n\t\t\t<lambda1>1.54059000</lambda1>"), std::string::npos);
  EXPECT_NE(text.find("\t\t<aparat name=\"lab\">"), std::string::npos);
  EXPECT_NE(text.find("\t\t<angle>\r\n\t\t\t<max>150.00</max>\r\n\t\t\t<min>20.00</min>\r\n\t\t</angle>\r\n"
                      "\t\t<dwfactor>0.50000000</dwfactor>\r\n\t\t<gsize>1000000.00</gsize>\r\n"
                      "\t\t<absorption>0.0001</absorption>\r\n"),
            std::string::npos);
  EXPECT_TRUE(text.ends_with("\t\t<difradius>200</difradius>\r\n\t</param>\r\n</pelmora>\r\n"));

  // The escaped name reads back as it was: writing again gives the same bytes.
  TempDir dir;
  std::string error;
  ASSERT_TRUE(SaveStructureFile(doc, dir.File("s.xml"), &error)) << error;
  CKomorka back;
  std::vector<DocMessage> messages;
  ASSERT_TRUE(OpenStructureDocument(back, dir.File("s.xml"), messages));
  EXPECT_EQ(back.sourceName, "Cu Ka");
  EXPECT_EQ(back.sourceRecord->name, "@Cu Ka");
  EXPECT_EQ(back.aparatRecord->name, "@lab");
  back.sourceName = doc.sourceName;
  back.aparatName = doc.aparatName;
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
  doc.x = 0.125;
  std::vector<DocMessage> messages;
  ASSERT_TRUE(OpenStructureDocument(doc, dir.File("a.xml"), messages));
  ASSERT_EQ(doc.structureAtoms.size(), 2u);
  const AtomSite& a0 = doc.structureAtoms[0];
  EXPECT_EQ(a0.name, "atom");
  EXPECT_EQ(a0.nr, 0);
  EXPECT_EQ(a0.x, 0.0);
  EXPECT_EQ(a0.y, 0.25);
  EXPECT_EQ(a0.a1, 2.0);
  EXPECT_EQ(a0.color, 0xFF00u);  // empty colour element
  EXPECT_EQ(a0.radius, 20);
  EXPECT_EQ(a0.visible, 1);  // any visible element switches the label on
  EXPECT_EQ(a0.isotopeMass, -1);
  EXPECT_EQ(doc.structureAtoms[1].color, kDefaultAtomColor);  // no colour element
  EXPECT_EQ(doc.structureAtoms[1].siteIndex, 1);
  EXPECT_EQ(doc.a, 4.5);
  EXPECT_EQ(doc.b, 1.0);  // missing: unchanged
  EXPECT_EQ(doc.IsDW, 1);
  EXPECT_EQ(doc.dwfactor, 0.7);
  EXPECT_EQ(doc.lambda1, 1.594);
  EXPECT_EQ(doc.radiation, 0);  // the reader does not switch the document's radiation
  EXPECT_EQ(doc.sourceRecord->radiation, 1);
  EXPECT_EQ(doc.aparatRecord, nullptr);  // an aparat without a name is ignored
  EXPECT_EQ(doc.x, 0.125);

  // Neither dwfactor nor dwfaktor: the document's values stay.
  dir.Write("b.xml", FileWith(kCubicP, "<source name=\"s\"/>"));
  CKomorka plain;
  ASSERT_TRUE(OpenStructureDocument(plain, dir.File("b.xml"), messages));
  EXPECT_EQ(plain.IsDW, 0);
  EXPECT_TRUE(plain.structureAtoms.empty());
}

TEST(StructureFile, ForeignAndBrokenFilesAreReported) {
  TempDir dir;
  std::vector<DocMessage> messages;
  CKomorka doc;
  EXPECT_FALSE(OpenStructureDocument(doc, dir.File("missing.xml"), messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Nie można otworzyć pliku");

  dir.Write("bad.xml", FileWith("<lattice>kubiczna</lattice>", ""));
  messages.clear();
  EXPECT_FALSE(OpenStructureDocument(doc, dir.File("bad.xml"), messages));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].text, "Nieznany typ komórki");
  EXPECT_EQ(messages[1].text, "Nieznany format pliku");

  // More atoms than the expanded cell can hold: refused with its own message.
  std::string atoms;
  for (int i = 0; i < 501; ++i) atoms += "<atom name=\"A\"/>";
  dir.Write("big.xml", FileWith("<lattice>regularna</lattice><lat_type>F</lat_type>" + atoms, ""));
  messages.clear();
  CKomorka big;
  EXPECT_FALSE(OpenStructureDocument(big, dir.File("big.xml"), messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].text.find("2000"), std::string::npos);
  EXPECT_TRUE(big.structureAtoms.empty());
}

TEST(StructureFile, WindowsCodePageFilesStillRead) {
  TempDir dir;
  // "Żelazo" in Windows-1250 is AF 65 6C 61 7A 6F; no encoding declaration.
  dir.Write("cp.xml", FileWith(std::string(kCubicP) + "<atom name=\"\xAF" "elazo\"/>", ""));
  CKomorka doc;
  std::vector<DocMessage> messages;
  ASSERT_TRUE(OpenStructureDocument(doc, dir.File("cp.xml"), messages));
  ASSERT_EQ(doc.structureAtoms.size(), 1u);
  EXPECT_EQ(doc.structureAtoms[0].name, "Żelazo");
}

TEST(StructureFile, NumbersKeepTheirDecimalPointUnderACommaLocale) {
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  if (!std::setlocale(LC_ALL, "pl_PL.UTF-8")) GTEST_SKIP() << "pl_PL.UTF-8 locale not installed";
  ASSERT_EQ(std::string(localeconv()->decimal_point), ",");
  CKomorka doc;
  SetCell(doc, 5.6402, 5.6402, 5.6402, 90, 90, 90);
  const std::string text = FormatStructureFile(doc);
  TempDir dir;
  std::string error;
  ASSERT_TRUE(SaveStructureFile(doc, dir.File("l.xml"), &error));
  CKomorka back;
  std::vector<DocMessage> messages;
  const bool ok = OpenStructureDocument(back, dir.File("l.xml"), messages);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_NE(text.find("<a>5.640200</a>"), std::string::npos);
  EXPECT_NE(text.find("<absorption>0.0001</absorption>"), std::string::npos);
  ASSERT_TRUE(ok);
  EXPECT_EQ(back.a, 5.6402);
  EXPECT_EQ(back.absorption, 0.0001);
}

TEST(StructureFile, AFailedSaveKeepsThePreviousFile) {
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
  std::string kept;
  ASSERT_TRUE(ReadWholeFile(dir.File("taken.xml/inside"), kept));
  EXPECT_EQ(kept, "keep");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

TEST(StructureFile, SavingThroughALinkOrToADeviceKeepsThem) {
  TempDir dir;
  CKomorka doc;
  std::string error;
  const std::string real = dir.Write("real.xml", "old");
  std::filesystem::create_symlink(real, dir.File("link.xml"));
  ASSERT_TRUE(SaveStructureFile(doc, dir.File("link.xml"), &error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.xml")));
  EXPECT_EQ(pelmora::testing::ReadFile(real), FormatStructureFile(doc));
  // /dev/null must stay a device: a rename over it would replace it by a file.
  ASSERT_TRUE(SaveStructureFile(doc, "/dev/null", &error)) << error;
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

TEST(StructureFile, SavingKeepsAPrivateFilePrivateAndNewFilesFollowTheUmask) {
  TempDir dir;
  CKomorka doc;
  std::string error;
  const std::string mine = dir.Write("mine.xml", "old");
  ASSERT_EQ(::chmod(mine.c_str(), 0600), 0);
  ASSERT_TRUE(SaveStructureFile(doc, mine, &error)) << error;
  struct stat st {};
  ASSERT_EQ(::stat(mine.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  const mode_t old = ::umask(077);
  const bool saved = SaveStructureFile(doc, dir.File("new.xml"), &error);
  ::umask(022);
  const bool savedOpen = SaveStructureFile(doc, dir.File("open.xml"), &error);
  ::umask(old);
  ASSERT_TRUE(saved && savedOpen) << error;
  ASSERT_EQ(::stat(dir.File("new.xml").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ASSERT_EQ(::stat(dir.File("open.xml").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}
