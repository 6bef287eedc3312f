#include "plugins/PluginTable.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "io/NumberFormat.h"

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

// Why a file or folder must not be trusted with code, or nothing when it may
// be: anyone but its owner and root could have put or changed what is there,
// which is how a shell judges its start-up files.
std::string UntrustedReason(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return {};  // the load itself reports what is missing
  if (st.st_mode & (S_IWGRP | S_IWOTH)) return "writable by users other than its owner";
  if (st.st_uid != 0 && st.st_uid != geteuid()) return "owned by another user";
  return {};
}

std::string SkippedText(const std::string& path, const std::string& why) {
  return cformat("%s skipped: %s", path.c_str(), why.c_str());
}

void AddLine(std::string& text, const std::string& line) {
  if (!text.empty()) text += "\n";
  text += line;
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
  if (names.empty()) return {};
  if (const std::string why = UntrustedReason(dir); !why.empty()) return SkippedText(dir, why);

  std::string skipped;
  for (const std::string& name : names) {
    const std::string path = dir + "/" + name;
    // A link is judged by what it points to and the folder that holds that.
    std::string why = UntrustedReason(path);
    if (why.empty()) {
      const fs::path target = fs::canonical(path, ec);
      if (!ec) why = UntrustedReason(target.parent_path().string());
    }
    if (!why.empty()) {
      AddLine(skipped, SkippedText(path, why));
      continue;
    }
    errno = 0;
    dlerror();
    // RTLD_LOCAL keeps the plug-ins' identical export names apart.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto ended = [&](const std::string& failure) {
      AddLine(skipped, failure);
      return skipped;
    };
    if (!module) return ended(FailureText(path, errno, DlErrorText("cannot be loaded")));

    auto fail = [&](int error, const std::string& why) {
      dlclose(module);
      return ended(FailureText(path, error, why));
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
  return skipped;
}

}  // namespace pelmora
