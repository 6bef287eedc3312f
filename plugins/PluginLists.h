// The lists built from the plug-in table: the diffractogram formats of the
// export and the peak profiles of the chart bar.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "plugins/PluginTable.h"

namespace pelmora {

// One file type of the diffractogram export. Entry 0 is the built-in text
// format (no module); the others are chart-format plug-ins.
struct ChartFormat {
  std::string label;
  std::string pattern;
  void* module = nullptr;
  int pluginIndex = -1;  // index in the plug-in table, -1 for the text format
};

inline constexpr const char* kTextFormatLabel = "Plik tekstowy (*.txt)";
inline constexpr const char* kTextFormatPattern = "*.TXT";

// The text format, then every PELMORA_KIND_CHART_FORMAT plug-in in table order up to the first
// one that lacks pelmora_GetFileFilterLabel or pelmora_GetFileFilterExt.
std::vector<ChartFormat> BuildChartFormats(const PluginTable& table);

// One item of the chart bar's profile list: label and profile identifier
// (-1 ... -4 built in, else the plug-in's index in the table).
struct ProfileChoice {
  std::string label;
  std::int32_t id = 0;
};

// "brak", "Gauss", "Lorentz", "pseudo Voigt", then every unflagged PELMORA_KIND_PROFILE
// plug-in that exports pelmora_GetProfileName and pelmora_ProfileFunction,
// up to the first unflagged one that lacks either. Flagged (too old)
// profile plug-ins are passed over and never offered.
std::vector<ProfileChoice> BuildProfileList(const PluginTable& table);

// The identifier of the first item whose label equals `label` exactly
// (the "PeakProfile" setting); the first item's ("brak") when none does.
std::int32_t SelectProfile(const std::vector<ProfileChoice>& list, const std::string& label);

// Whether the chart bar's "Info" is available: the built-in pseudo-Voigt,
// or a plug-in that exports pelmora_ProfileInfo.
bool ProfileHasInfo(const PluginTable& table, std::int32_t id);

// The chart bar's "Info" for a plug-in profile: its pelmora_ProfileInfo, if
// exported, and what it printed to standard output and standard error (a
// desktop user never sees either). For the pseudo-Voigt the GUI shows the
// PseudoVoigtInfo list.
std::string CallProfileInfo(const PluginTable& table, std::int32_t id);

// Runs fn with the process's standard output and error going to a temporary
// file and returns what was written there (both streams; stdout's buffer
// reaches the file when the call ends).
std::string CaptureStandardOutput(const std::function<void()>& fn);

// A file-format plug-in's default extension: the text of its
// pelmora_GetFileExt, without a dot; empty when the module is null or the
// plug-in does not export the function.
std::string ModuleFileExt(void* module);

// Whether a file-format plug-in has a settings dialog (exports
// pelmora_FilterSettings).
bool HasFilterSettings(void* module);

// The "Ustawienia" button of a save dialog: looks pelmora_FilterSettings up
// now and calls it. False when there was nothing to call (a built-in
// format, or a plug-in without the export).
bool CallFilterSettings(void* module);

// A plug-in profile's pelmora_ProfileInit, called before each calculation
// the user starts with it; nothing for flagged, missing or other entries.
void CallProfileInit(const PluginTable& table, std::int32_t id);

}  // namespace pelmora
