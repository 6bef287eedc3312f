#include "plugins/PluginLists.h"

namespace pelmora {

std::vector<ChartFormat> BuildChartFormats(const PluginTable& table) {
  std::vector<ChartFormat> formats;
  size_t count = 0;
  for (const PluginEntry& e : table.entries()) count += e.kind == PELMORA_KIND_CHART_FORMAT;
  formats.reserve(count + 1);
  formats.push_back({kTextFormatLabel, kTextFormatPattern, nullptr, -1});
  for (size_t i = 0; i < table.size(); ++i) {
    const PluginEntry& e = table[i];
    if (e.kind != PELMORA_KIND_CHART_FORMAT) continue;
    auto label = table.Lookup<pelmora_GetFileFilterLabel_fn>(i, "pelmora_GetFileFilterLabel");
    auto ext = table.Lookup<pelmora_GetFileFilterExt_fn>(i, "pelmora_GetFileFilterExt");
    if (!e.module || !label || !ext) break;  // later formats are left out
    const char* l = label();
    const char* x = ext();
    formats.push_back({l ? l : "", x ? x : "", e.module, static_cast<int>(i)});
  }
  return formats;
}

std::vector<ProfileChoice> BuildProfileList(const PluginTable& table) {
  std::vector<ProfileChoice> list = {{"brak", -1}, {"Gauss", -2}, {"Lorentz", -3}, {"pseudo Voigt", -4}};
  for (size_t i = 0; i < table.size(); ++i) {
    const PluginEntry& e = table[i];
    if (e.kind != PELMORA_KIND_PROFILE || (e.flags & kPluginFlagOldProfile)) continue;
    auto name = table.Lookup<pelmora_GetProfileName_fn>(i, "pelmora_GetProfileName");
    auto function = table.Lookup<pelmora_ProfileFunction_fn>(i, "pelmora_ProfileFunction");
    if (!name || !function) break;
    const char* label = name();
    list.push_back({label ? label : "", static_cast<std::int32_t>(i)});
  }
  return list;
}

std::int32_t SelectProfile(const std::vector<ProfileChoice>& list, const std::string& label) {
  for (const ProfileChoice& c : list)
    if (c.label == label) return c.id;
  return list.empty() ? -1 : list.front().id;
}

namespace {

bool UsableProfilePlugin(const PluginTable& table, std::int32_t id) {
  if (id < 0 || static_cast<size_t>(id) >= table.size()) return false;
  const PluginEntry& e = table[static_cast<size_t>(id)];
  return e.kind == PELMORA_KIND_PROFILE && !(e.flags & kPluginFlagOldProfile);
}

}  // namespace

bool ProfileHasInfo(const PluginTable& table, std::int32_t id) {
  if (id == -4) return true;
  return UsableProfilePlugin(table, id) && table.Symbol(static_cast<size_t>(id), "pelmora_ProfileInfo");
}

void CallProfileInfo(const PluginTable& table, std::int32_t id) {
  if (!UsableProfilePlugin(table, id)) return;
  if (auto info = table.Lookup<pelmora_ProfileInfo_fn>(static_cast<size_t>(id), "pelmora_ProfileInfo")) info();
}

void CallProfileInit(const PluginTable& table, std::int32_t id) {
  if (!UsableProfilePlugin(table, id)) return;
  if (auto init = table.Lookup<pelmora_ProfileInit_fn>(static_cast<size_t>(id), "pelmora_ProfileInit")) init();
}

}  // namespace pelmora
