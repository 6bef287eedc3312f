#include "settings/Paths.h"

#include <filesystem>
#include <system_error>

namespace pelmora {

std::string ExecutableDir() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
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
