#include "settings/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace pelmora {

std::string ExecutableDir() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

std::string UserDataDir() {
  namespace fs = std::filesystem;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  // A relative XDG_DATA_HOME is invalid and ignored, as the base directory
  // rules say.
  if (xdg && *xdg && fs::path(xdg).is_absolute()) return (fs::path(xdg) / "Pelmora").string();
  const char* home = std::getenv("HOME");
  if (home && *home) return (fs::path(home) / ".local" / "share" / "Pelmora").string();
  return {};
}

std::string ResolveFolder(const std::string& setting, const std::string& exeDir) {
  namespace fs = std::filesystem;
  const fs::path p(setting);
  if (setting.empty() || p.is_absolute()) return setting;
  std::error_code ec;
  if (fs::is_directory(p, ec)) return setting;
  if (!exeDir.empty()) {
    const fs::path beside = fs::path(exeDir) / p;
    if (fs::is_directory(beside, ec)) return beside.string();
  }
  return setting;
}

std::string ResolvePluginsFolder(const std::string& setting, const std::string& exeDir) {
  namespace fs = std::filesystem;
  if (setting.empty() || fs::path(setting).is_absolute()) return setting;
  if (exeDir.empty()) return {};
  return (fs::path(exeDir) / setting).string();
}

}  // namespace pelmora
