// Where the data and plug-in folders are. A relative data folder is looked
// for in the working directory first and, when it is not there, beside the
// executable, so that the programs work when started from anywhere. A
// relative plug-ins folder is looked for beside the executable only: loading
// code from whatever folder the program was started in would run anybody's
// library that was put there.
#pragma once

#include <string>

namespace pelmora {

// The folder that holds the running executable (empty when unknown).
std::string ExecutableDir();

// Resolves a folder setting ("Data", "Plugins" or any path). An absolute path
// is taken as it is; a relative one is taken from the working directory when
// it names a folder there, else from exeDir when it names one there, else it
// is returned unchanged.
std::string ResolveFolder(const std::string& setting, const std::string& exeDir);
inline std::string ResolveFolder(const std::string& setting) { return ResolveFolder(setting, ExecutableDir()); }

// The per-user folder of reference tables the user edited:
// $XDG_DATA_HOME/Pelmora, or ~/.local/share/Pelmora when XDG_DATA_HOME is
// unset or not absolute; empty when neither variable says where.
std::string UserDataDir();

// Resolves the plug-ins folder setting: an absolute path as it is, a relative
// one against exeDir (empty when exeDir is unknown, so that nothing loads).
std::string ResolvePluginsFolder(const std::string& setting, const std::string& exeDir);
inline std::string ResolvePluginsFolder(const std::string& setting) {
  return ResolvePluginsFolder(setting, ExecutableDir());
}

}  // namespace pelmora
