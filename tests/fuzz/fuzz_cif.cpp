// libFuzzer target: the CIF import.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "documents/CifImport.h"
#include "refdata/ElementTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pelmora;
  static const ElementTable elements;
  CKomorka doc;
  std::vector<DocMessage> messages;
  if (!ImportCifText(doc, std::string_view(reinterpret_cast<const char*>(data), size), elements, messages)) {
    // A refusal is one message, and the document stays as it was.
    if (messages.size() != 1 || !doc.crystal.structureAtoms.empty()) __builtin_trap();
    return 0;
  }
  if (doc.crystal.cellAtoms.size() > static_cast<size_t>(Crystal::kMaxAtoms)) __builtin_trap();
  if (doc.crystal.cellAtoms.size() !=
      doc.crystal.structureAtoms.size() * static_cast<size_t>(CentringMultiplicity(doc.crystal.latticeType)))
    __builtin_trap();
  for (const AtomSite& a : doc.crystal.cellAtoms)
    if (!(a.x >= 0 && a.x < 1 && a.y >= 0 && a.y < 1 && a.z >= 0 && a.z < 1)) __builtin_trap();
  // What the import gives, the structure file keeps.
  CKomorka again;
  if (ReadStructureBytes(again, FormatStructureFile(doc), messages) != StructureReadStatus::kOk) __builtin_trap();
  if (again.crystal.structureAtoms.size() != doc.crystal.structureAtoms.size()) __builtin_trap();
  return 0;
}
