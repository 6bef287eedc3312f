// The scattering tables shipped in Data/, read once for all the import tests.
#pragma once

#include <string>

#include "refdata/ReferenceData.h"

namespace pelmora::test {

inline const ReferenceData& Tables() {
  static ReferenceData* ref = [] {
    auto* r = new ReferenceData;
    r->dataDir = std::string(PELMORA_SOURCE_DIR) + "/Data";
    r->LoadScatteringTables();
    return r;
  }();
  return *ref;
}

}  // namespace pelmora::test
