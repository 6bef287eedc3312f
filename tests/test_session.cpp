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

  // A CIF names no instrument: it takes the one the settings choose for
  // imports (the laboratory set of Data/aparat.xml unless told otherwise),
  // not the ideal one whose spikes no grid resolves.
  OpenNotes cif;
  std::unique_ptr<CKomorka> rutile = OpenWithDefaults(w, tables, PELMORA_SOURCE_DIR "/tests/data/cif/rutile.cif", cif);
  ASSERT_TRUE(rutile);
  EXPECT_EQ(std::tie(rutile->experiment.aparatName, rutile->experiment.w), std::tuple("Lab. Bragg-Brentano", 0.0027725887));
  EXPECT_EQ(OtherCifBlocksNote(cif.cif, "--block"), "");
  w.settings.ImportAparat = "Neutrony D1A";
  rutile = OpenWithDefaults(w, tables, PELMORA_SOURCE_DIR "/tests/data/cif/rutile.cif", cif);
  EXPECT_EQ(rutile->experiment.w, 0.3157305730);
  w.settings.ImportAparat.clear();  // the current set, as for other files
  rutile = OpenWithDefaults(w, tables, PELMORA_SOURCE_DIR "/tests/data/cif/rutile.cif", cif);
  EXPECT_EQ(std::tie(rutile->experiment.aparatName, rutile->experiment.w), std::tie(w.settings.AparatName, w.settings.experiment.w));

  // Several blocks: the one read, the others named with formula and group.
  const std::string two = dir.Write(
      "two.cif",
      "data_a\n_cell_length_a 4\n_cell_length_b 4\n_cell_length_c 4\nloop_\n_atom_site_label\n_atom_site_fract_x\n"
      "_atom_site_fract_y\n_atom_site_fract_z\nFe1 0 0 0\n"
      "data_b\n_chemical_formula_sum 'Cu'\n_symmetry_space_group_name_H-M 'P 1'\n_cell_length_a 3\n"
      "_cell_length_b 3\n_cell_length_c 3\nloop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n"
      "_atom_site_fract_z\nCu1 0 0 0\n");
  OpenNotes blocks;
  ASSERT_TRUE(OpenWithDefaults(w, tables, two, blocks));
  EXPECT_EQ(OtherCifBlocksNote(blocks.cif, "--block NAME"),
            "read data block \"a\"; the file also holds \"b\" (Cu, P 1); choose one with --block NAME");
  blocks = OpenNotes{};
  blocks.cif.wanted = "B";
  ASSERT_TRUE(OpenWithDefaults(w, tables, two, blocks));
  EXPECT_EQ(OtherCifBlocksNote(blocks.cif, "x"), "read data block \"b\"; the file also holds \"a\"; choose one with x");

  // Profiles by label, the unknown one named with those there are.
  int id = 0;
  SessionError error{};
  EXPECT_TRUE(session.ChooseProfile(std::nullopt, &id, &error) && id == kProfileStick);
  EXPECT_FALSE(session.ChooseProfile("Voigt", &id, &error));
  EXPECT_EQ(error.kind, Failure::kBadArgument);
  EXPECT_NE(error.text.find("\"pseudo Voigt\""), std::string::npos) << error.text;
  FitOptions fit;
  EXPECT_FALSE(session.ChooseFormat("nope", &id, &error));
  EXPECT_TRUE(session.ChooseFormat(std::nullopt, &id, &error) && id == 0);

  // The fit's values: the range in either order, an unknown value named.
  ASSERT_TRUE(FitOptionsOf({"scale,cell", 4, std::pair{30.0, 20.0}, 7}, fit, &error));
  EXPECT_EQ(std::tie(fit.refine, fit.rangeMin, fit.rangeMax, fit.maxIterations),
            std::tuple(unsigned(kFitScale | kFitCell), 20.0, 30.0, 7));
  FitRequest unknown;
  unknown.refine = "scale,tilt";
  EXPECT_FALSE(FitOptionsOf(unknown, fit, &error));
  EXPECT_NE(error.text.find("\"tilt\""), std::string::npos);

  // Only a plug-in's call takes the lock.
  EXPECT_TRUE(!session.LockPlugins(false).owns_lock() && session.LockPlugins(true).owns_lock());
}

}  // namespace
}  // namespace pelmora
