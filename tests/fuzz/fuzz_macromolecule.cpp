// libFuzzer target: the PDB and mmCIF import (the first byte's lowest bit
// chooses the reader, the rest is the file).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "documents/MacromoleculeImport.h"
#include "refdata/ElementTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pelmora;
  if (size == 0) return 0;
  static const ElementTable elements;
  const bool mmcif = data[0] & 1;
  CKomorka doc;
  std::vector<DocMessage> messages;
  if (!ImportMacromoleculeText(doc, std::string_view(reinterpret_cast<const char*>(data + 1), size - 1), mmcif,
                               elements, messages)) {
    // A refusal is one message, and the document stays as it was.
    if (messages.size() != 1 || !doc.crystal.structureAtoms.empty() || !doc.crystal.spaceGroup.empty())
      __builtin_trap();
    return 0;
  }
  if (doc.crystal.cellAtoms.size() > static_cast<size_t>(Crystal::kMaxAtoms)) __builtin_trap();
  if (doc.crystal.spaceGroup.empty() || doc.crystal.asymmetricUnit.empty()) __builtin_trap();
  for (const AtomSite& a : doc.crystal.asymmetricUnit)
    if (!(a.occupancy > 0 && a.occupancy <= 1) || !a.biso || !(*a.biso >= 0)) __builtin_trap();
  for (const AtomSite& a : doc.crystal.cellAtoms)
    if (!(a.x >= 0 && a.x < 1 && a.y >= 0 && a.y < 1 && a.z >= 0 && a.z < 1)) __builtin_trap();
  return 0;
}
