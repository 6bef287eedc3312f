// The session the command line and the Python module share, and the open
// every front end uses.
#include <gtest/gtest.h>

#include "TempDir.h"
#include "workspace/Session.h"

namespace pelmora {
namespace {

TEST(Session, OpensAndChoosesAsEveryFrontEndDoes) {
  testing::TempDir dir;
  // A stick profile in the settings; no plug-ins in the folder.
  const std::string ini = dir.Write("s.ini", "[Settings]\nSett_ver=17039360\nPeakProfile=brak\n");
  std::vector<std::string> notes;
  Session session({ini, PELMORA_SOURCE_DIR "/Data", dir.path()}, PELMORA_SOURCE_DIR, notes);
  EXPECT_EQ(session.EnsurePlugins(), "");
  Workspace& w = session.workspace();

  // A file that names no source or instrument takes the settings' names; a
  // structure file keeps its own.
  ReferenceData tables = w.reference;
  OpenNotes opened;
  std::unique_ptr<CKomorka> dat = OpenWithDefaults(w, tables, PELMORA_SOURCE_DIR "/tests/data/NaCl.dat", opened);
  ASSERT_TRUE(dat);
  EXPECT_EQ(opened.format, DocumentFormat::kTolvoInput);
  EXPECT_EQ(dat->experiment.sourceName, w.settings.RadName);
  EXPECT_EQ(dat->experiment.aparatName, w.settings.AparatName);
  OpenNotes own;
  std::unique_ptr<CKomorka> xml = OpenWithDefaults(w, tables, PELMORA_EXAMPLES_DIR "/NaCl.xml", own);
  ASSERT_TRUE(xml);
  EXPECT_NE(xml->experiment.sourceName, w.settings.RadName);
  OpenNotes missing;
  EXPECT_FALSE(OpenWithDefaults(w, tables, dir.File("none.xml"), missing));
  EXPECT_FALSE(missing.messages.empty());

  // Profiles by label, the unknown one named with those there are.
  int id = 0;
  SessionError error{};
  EXPECT_TRUE(session.ChooseProfile(std::nullopt, &id, &error));
  EXPECT_EQ(id, kProfileStick);
  EXPECT_FALSE(session.ChooseProfile("Voigt", &id, &error));
  EXPECT_EQ(error.kind, Failure::kBadArgument);
  EXPECT_NE(error.text.find("\"pseudo Voigt\""), std::string::npos) << error.text;
  FitOptions fit;
  EXPECT_FALSE(session.ChooseFormat("nope", &id, &error));
  EXPECT_TRUE(session.ChooseFormat(std::nullopt, &id, &error) && id == 0);

  // The fit's values: the range in either order, an unknown value named.
  ASSERT_TRUE(FitOptionsOf({"scale,cell", 4, std::pair{30.0, 20.0}, 7}, fit, &error));
  EXPECT_EQ(fit.refine, unsigned(kFitScale | kFitCell));
  EXPECT_EQ(fit.rangeMin, 20.0);
  EXPECT_EQ(fit.rangeMax, 30.0);
  EXPECT_EQ(fit.maxIterations, 7);
  FitRequest unknown;
  unknown.refine = "scale,tilt";
  EXPECT_FALSE(FitOptionsOf(unknown, fit, &error));
  EXPECT_NE(error.text.find("\"tilt\""), std::string::npos);

  // Only a plug-in's call takes the lock.
  EXPECT_FALSE(session.LockPlugins(false).owns_lock());
  EXPECT_TRUE(session.LockPlugins(true).owns_lock());
}

}  // namespace
}  // namespace pelmora
