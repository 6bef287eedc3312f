// The settings the command-line tool follows: the program's own store (or
// the INI file given with --settings), read only, never written.
#pragma once

#include <string>

#include "app/Settings.h"

namespace pelmora::cli {

inline CSettings LoadCliSettings(const std::string& iniPath) {
  CSettings s;
  if (iniPath.empty()) {
    SettingsStore store;
    LoadSettings(store, s);
  } else {
    SettingsStore store(iniPath);
    LoadSettings(store, s);
  }
  return s;
}

}  // namespace pelmora::cli
