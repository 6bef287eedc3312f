#include "plugins/PluginLists.h"

#include <unistd.h>

#include <cstdio>

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

std::string ModuleFileExt(void* module) {
  auto ext = ModuleLookup<pelmora_GetFileExt_fn>(module, "pelmora_GetFileExt");
  const char* text = ext ? ext() : nullptr;
  return text ? std::string(text) : std::string();
}

bool HasFilterSettings(void* module) { return ModuleSymbol(module, "pelmora_FilterSettings") != nullptr; }

bool CallFilterSettings(void* module) {
  auto settings = ModuleLookup<pelmora_FilterSettings_fn>(module, "pelmora_FilterSettings");
  if (!settings) return false;
  settings();
  return true;
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

std::string CallProfileInfo(const PluginTable& table, std::int32_t id) {
  if (!UsableProfilePlugin(table, id)) return {};
  auto info = table.Lookup<pelmora_ProfileInfo_fn>(static_cast<size_t>(id), "pelmora_ProfileInfo");
  if (!info) return {};
  return CaptureStandardOutput([info] { info(); });
}

std::string CaptureStandardOutput(const std::function<void()>& fn) {
  std::fflush(nullptr);  // earlier output stays where it was going
  FILE* capture = std::tmpfile();
  const int savedOut = capture ? ::dup(STDOUT_FILENO) : -1;
  const int savedErr = capture ? ::dup(STDERR_FILENO) : -1;
  if (!capture || savedOut < 0 || savedErr < 0 || ::dup2(::fileno(capture), STDOUT_FILENO) < 0 ||
      ::dup2(::fileno(capture), STDERR_FILENO) < 0) {
    // Nothing to capture into: the call still happens, its text goes where it always went.
    if (savedOut >= 0) ::dup2(savedOut, STDOUT_FILENO), ::close(savedOut);
    if (savedErr >= 0) ::dup2(savedErr, STDERR_FILENO), ::close(savedErr);
    if (capture) std::fclose(capture);
    fn();
    return {};
  }
  fn();
  std::fflush(nullptr);
  ::dup2(savedOut, STDOUT_FILENO);
  ::dup2(savedErr, STDERR_FILENO);
  ::close(savedOut);
  ::close(savedErr);
  std::string text;
  std::rewind(capture);
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, capture)) > 0;) text.append(buf, n);
  std::fclose(capture);
  return text;
}

void CallProfileInit(const PluginTable& table, std::int32_t id) {
  if (!UsableProfilePlugin(table, id)) return;
  if (auto init = table.Lookup<pelmora_ProfileInit_fn>(static_cast<size_t>(id), "pelmora_ProfileInit")) init();
}

}  // namespace pelmora
