#include "plugins/PluginTable.h"

#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "engine/NumberFormat.h"

namespace pelmora {

namespace fs = std::filesystem;

PluginTable::PluginTable(PluginTable&& other) noexcept : entries_(std::move(other.entries_)) {
  other.entries_.clear();
}

PluginTable& PluginTable::operator=(PluginTable&& other) noexcept {
  if (this != &other) {
    Clear();
    entries_ = std::move(other.entries_);
    other.entries_.clear();
  }
  return *this;
}

PluginTable::~PluginTable() { Clear(); }

void PluginTable::Clear() {
  for (PluginEntry& e : entries_)
    if (e.module) dlclose(e.module);
  entries_.clear();
}

void* ModuleSymbol(void* module, const char* name) {
  if (!module) return nullptr;
  return dlsym(module, name);
}

void* PluginTable::Symbol(size_t i, const char* name) const {
  if (i >= entries_.size()) return nullptr;
  return ModuleSymbol(entries_[i].module, name);
}

namespace {

std::string FailureText(const std::string& path, int error, const std::string& description) {
  return cformat("%s failed with error %d: %s", path.c_str(), error, description.c_str());
}

std::string DlErrorText(const char* fallback) {
  const char* e = dlerror();
  return e ? std::string(e) : std::string(fallback);
}

}  // namespace

std::string ScanPlugins(const std::string& dir, PluginTable& table) {
  std::error_code ec;
  std::vector<std::string> names;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());

  for (const std::string& name : names) {
    const std::string path = dir + "/" + name;
    errno = 0;
    dlerror();
    // RTLD_LOCAL keeps the plug-ins' identical export names apart.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return FailureText(path, errno, DlErrorText("cannot be loaded"));

    auto fail = [&](int error, const std::string& why) {
      dlclose(module);
      return FailureText(path, error, why);
    };
    dlerror();
    auto getVer = ModuleLookup<pelmora_GetVer_fn>(module, "pelmora_GetVer");
    if (!getVer) return fail(0, DlErrorText("pelmora_GetVer not exported"));
    const std::uint32_t version = getVer();
    if (version > PELMORA_PLUGIN_VERSION)
      return fail(0, cformat("plug-in interface version 0x%X is newer than 0x%X", version,
                             static_cast<unsigned>(PELMORA_PLUGIN_VERSION)));
    dlerror();
    auto getType = ModuleLookup<pelmora_GetType_fn>(module, "pelmora_GetType");
    if (!getType) return fail(0, DlErrorText("pelmora_GetType not exported"));

    PluginEntry entry;
    entry.kind = getType();
    entry.module = module;
    entry.path = path;
    entry.version = version;
    if (entry.kind == PELMORA_KIND_PROFILE && version < PELMORA_PLUGIN_VERSION) entry.flags = kPluginFlagOldProfile;
    table.Append(std::move(entry));
  }
  return {};
}

}  // namespace pelmora
