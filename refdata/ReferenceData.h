// The whole reference data set the application (or the command-line tool)
// holds for its run: elements with ions and isotopes, anomalous tables, and
// the source and instrument tables, read from one data folder.
#pragma once

#include <string>
#include <vector>

#include "engine/Experiment.h"
#include "refdata/ElementTable.h"
#include "refdata/ReferenceFiles.h"

namespace pelmora {

class CKomorka;

class ReferenceData {
 public:
  ElementTable elements;
  std::vector<AnomalTable> anomalTables;
  std::vector<RadiationSource> sources;
  std::vector<ApparatusSet> apparatusSets;
  // Tabulated entries that gave way to a structure file's own record in a
  // full table, last given way at the back. They are still written back to
  // the files, after the tables.
  std::vector<RadiationSource> displacedSources;
  std::vector<ApparatusSet> displacedSets;
  // Set by every edit of an ion or isotope; cleared when they are saved.
  bool referenceModified = false;
  // The same for the other tables, set by their editors.
  bool sourcesModified = false;
  bool apparatusModified = false;
  bool anomalsModified = false;
  // The folder the tables are read from: the shipped one, or one the user
  // named. With userDir set, saves write there instead, and a file found
  // there is read in place of dataDir's file of the same name: the shipped
  // folder of an installed program is shared by every user and not theirs
  // to write, so it is never written.
  std::string dataDir;
  std::string userDir;

  // Points the tables at the folders of a DataDir setting: the default
  // ("Data") is the shipped folder, read under the user's own folder
  // (UserDataDir); any other folder is the user's choice, read and written
  // as it stands. A relative folder is looked for beside exeDir when it is
  // not in the working directory.
  void UseDataDirSetting(const std::string& setting, const std::string& exeDir);
  void UseDataDirSetting(const std::string& setting);

  // The file of that name that is read: the user's when there is one.
  std::string PathOf(const char* fileName) const;
  // The file a save of that table writes.
  std::string SavePathOf(const char* fileName) const;

  // Start-up reading, in two steps as the application runs them (the
  // plug-in scan comes between). Missing or malformed files are skipped
  // silently; each returns the messages about records left out.
  std::vector<std::string> LoadScatteringTables();
  // The ions and isotopes alone (what a CIF import reads).
  std::vector<std::string> LoadIonsAndIsotopes();
  std::vector<std::string> LoadSourceTables(const RadiationSource& currentSource, const ApparatusSet& currentSet);
  std::vector<std::string> LoadAll(const RadiationSource& currentSource, const ApparatusSet& currentSet);

  int anomalCount() const { return static_cast<int>(anomalTables.size()); }
  const AnomalTable* AnomalAt(int index) const;
  const AnomalTable* AnomalByName(const std::string& name) const;

  // Writers of the reference editors; false with *error set on failure.
  bool SaveSourceTable(std::string* error) const;
  bool SaveApparatusTable(std::string* error) const;
  // Isotopes, then ions; referenceModified is cleared unless a write fails.
  bool SaveIonsAndIsotopes(std::string* error);
  bool SaveAnomals(std::string* error) const;

  // Whether an edited table has not been written since.
  bool HasUnsavedTables() const {
    return referenceModified || sourcesModified || apparatusModified || anomalsModified;
  }
  // Writes every edited table and clears its mark; a table whose write fails
  // stays marked, the others are still written. False with *error set (the
  // first failure) when any write failed.
  bool SaveUnsavedTables(std::string* error);

 private:
  // Makes the user's folder before a save writes into it.
  bool MakeSaveFolder(std::string* error) const;
};

// Puts a structure file's own source and instrument set (the document's
// sourceRecord / aparatRecord, named "@...") at the head of the tables; an
// earlier "@" entry, which then stands at index 1, is removed so that the
// tables hold at most one entry taken from a structure file. A table keeps
// its capacity (kMaxSources, kMaxApparatusSets): the last entry gives way and
// moves to the back of `displaced...`, and comes back when room returns.
// Returns how many entries gave way in this call.
int JoinDocumentRecords(const CKomorka& doc, std::vector<RadiationSource>& sources, std::vector<ApparatusSet>& sets,
                        std::vector<RadiationSource>& displacedSources, std::vector<ApparatusSet>& displacedSets);
inline int JoinDocumentRecords(const CKomorka& doc, ReferenceData& ref) {
  return JoinDocumentRecords(doc, ref.sources, ref.apparatusSets, ref.displacedSources, ref.displacedSets);
}
// Tells the user that entries gave way ("" for none).
std::string DisplacedEntriesMessage(int count);

// What binding a document does with the records its file carries: joins them
// to the tables and applies them to the document (wavelengths, radiation
// type, ratio, widths, names), so that a neutron file is calculated and saved
// as neutrons whether or not the experiment page is ever shown. A document
// without its own records keeps its values. Returns how many table entries
// gave way (see JoinDocumentRecords).
int ApplyDocumentRecords(CKomorka& doc, ReferenceData& ref);

}  // namespace pelmora
