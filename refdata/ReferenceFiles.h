// The five reference files of the data folder: readers (libxml2, one XPath
// expression each) and writers (the exact text layouts, CR LF line ends).
#pragma once

#include <libxml/tree.h>

#include <string>
#include <vector>

#include "engine/Experiment.h"
#include "refdata/ElementTable.h"

namespace pelmora {

inline constexpr int kMaxSources = 255;
inline constexpr int kMaxApparatusSets = 255;
inline constexpr int kMaxAnomalTables = 255;

inline constexpr const char* kSourceFile = "source.xml";
inline constexpr const char* kApparatusFile = "aparat.xml";
inline constexpr const char* kIonFile = "ions.xml";
inline constexpr const char* kIsotopeFile = "izos.xml";
inline constexpr const char* kAnomalFile = "anomals.xml";

// What a reader did: whether the file could be read and parsed, and how many
// records it held beyond the table's capacity (these are left out).
struct RefFileResult {
  bool read = false;
  int leftOut = 0;
};

// Readers of an already parsed document; each appends to its table.
RefFileResult LoadSourcesXml(xmlDoc* doc, std::vector<RadiationSource>& sources);
RefFileResult LoadApparatusXml(xmlDoc* doc, std::vector<ApparatusSet>& sets);
RefFileResult LoadIonsXml(xmlDoc* doc, ElementTable& elements);
RefFileResult LoadIsotopesXml(xmlDoc* doc, ElementTable& elements);
RefFileResult LoadAnomalsXml(xmlDoc* doc, std::vector<AnomalTable>& tables);

// The same from a file; a missing or malformed file leaves the table as it
// was (read = false).
RefFileResult LoadSources(const std::string& path, std::vector<RadiationSource>& sources);
RefFileResult LoadApparatusSets(const std::string& path, std::vector<ApparatusSet>& sets);
RefFileResult LoadIons(const std::string& path, ElementTable& elements);
RefFileResult LoadIsotopes(const std::string& path, ElementTable& elements);
RefFileResult LoadAnomalTables(const std::string& path, std::vector<AnomalTable>& tables);

// The files' text. Sources and sets from index 1 on, leaving out the "*"
// entry of the settings and the "@" entry of a structure file.
std::string FormatSources(const std::vector<RadiationSource>& sources);
std::string FormatApparatusSets(const std::vector<ApparatusSet>& sets);
std::string FormatIons(const ElementTable& elements);
std::string FormatIsotopes(const ElementTable& elements);
std::string FormatAnomalTables(const std::vector<AnomalTable>& tables);

// Atomic writes; false with *error set when the file cannot be written (the
// previous file then stays whole).
bool SaveSources(const std::string& path, const std::vector<RadiationSource>& sources, std::string* error);
bool SaveApparatusSets(const std::string& path, const std::vector<ApparatusSet>& sets, std::string* error);
bool SaveIons(const std::string& path, const ElementTable& elements, std::string* error);
bool SaveIsotopes(const std::string& path, const ElementTable& elements, std::string* error);
bool SaveAnomalTables(const std::string& path, const std::vector<AnomalTable>& tables, std::string* error);

// Entry 0 of the source and apparatus tables: the settings' current choice,
// its name marked with "*" (a "@" marker replaced; an empty name stays empty).
std::string SettingsEntryName(const std::string& name);
RadiationSource SettingsSourceEntry(const RadiationSource& current);
ApparatusSet SettingsApparatusEntry(const ApparatusSet& current);

// The message that tells the user a file held more than its table holds.
std::string LeftOutMessage(const std::string& path, int leftOut);

}  // namespace pelmora
