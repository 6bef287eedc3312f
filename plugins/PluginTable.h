// The plug-in table: the libraries of the plug-ins folder, loaded once and
// released with the table. Functions are looked up by name at each use and
// never kept beyond one operation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/Translate.h"
#include "plugins/include/pelmora_plugin.h"

namespace pelmora {

inline constexpr std::uint32_t kPluginFlagOldProfile = 1;  // a PELMORA_KIND_PROFILE older than 0x102: listed, never used

struct PluginEntry {
  std::int32_t kind = 0;
  void* module = nullptr;  // dlopen handle
  std::string path;        // as built during the scan: folder, "/", file name
  std::uint32_t version = 0;
  std::uint32_t flags = 0;
};

class PluginTable {
 public:
  PluginTable() = default;
  PluginTable(const PluginTable&) = delete;
  PluginTable& operator=(const PluginTable&) = delete;
  PluginTable(PluginTable&& other) noexcept;
  PluginTable& operator=(PluginTable&& other) noexcept;
  ~PluginTable();  // unloads every library

  const std::vector<PluginEntry>& entries() const { return entries_; }
  size_t size() const { return entries_.size(); }
  const PluginEntry& operator[](size_t i) const { return entries_[i]; }
  void Append(PluginEntry entry) { entries_.push_back(std::move(entry)); }
  void Clear();

  // The export `name` of entry i, or nullptr (no such entry, no module, not exported).
  void* Symbol(size_t i, const char* name) const;
  template <class Fn>
  Fn Lookup(size_t i, const char* name) const {
    return reinterpret_cast<Fn>(Symbol(i, name));
  }

 private:
  std::vector<PluginEntry> entries_;
};

// The symbol `name` of a loaded module, or nullptr.
void* ModuleSymbol(void* module, const char* name);
template <class Fn>
Fn ModuleLookup(void* module, const char* name) {
  return reinterpret_cast<Fn>(ModuleSymbol(module, name));
}

// Loads the "*.so" files of `dir` in name order into `table`. A library that
// cannot be loaded, lacks pelmora_GetVer or pelmora_GetType, or reports a
// version above 0x102 is released and ends the scan; the returned text then
// tells why ("%s failed with error %d: %s"), for a box titled "Error" or
// standard error. An empty or missing folder gives an empty table and no text.
// A library, or the folder, that users other than its owner and root could
// have written is never loaded: the folder then loads nothing, a library is
// passed over; each is named on a line of its own before any failure text.
std::string ScanPlugins(const std::string& dir, PluginTable& table);



// Kind groups as the plug-ins dialog shows them.
struct PluginKindGroup {
  std::int32_t kind;
  const char* title;
};
inline constexpr PluginKindGroup kPluginKindGroups[] = {
    {PELMORA_KIND_PROFILE, PELMORA_TR_NOOP("plugins", "Profile pików")},
    {PELMORA_KIND_IMAGE_FORMAT, PELMORA_TR_NOOP("plugins", "Formaty plików graficznych")},
    {PELMORA_KIND_CHART_FORMAT, PELMORA_TR_NOOP("plugins", "Formaty dyfraktogramu")},
};

}  // namespace pelmora
