// libFuzzer target: the structure file reader, then the writer and the
// reader again on what was written.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "documents/StructureFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pelmora;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  CKomorka doc;
  std::vector<DocMessage> messages;
  if (ReadStructureBytes(doc, bytes, messages) != StructureReadStatus::kOk) return 0;
  doc.crystal.ExpandCellAtoms();
  // Whatever was read must write a file that reads back.
  CKomorka again;
  if (ReadStructureBytes(again, FormatStructureFile(doc), messages) != StructureReadStatus::kOk) __builtin_trap();
  if (again.crystal.structureAtoms.size() != doc.crystal.structureAtoms.size()) __builtin_trap();
  return 0;
}
