// libFuzzer target: the importer of the older program's input files.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "documents/TolvoInputFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pelmora;
  CKomorka doc;
  if (ImportTolvoText(doc, std::string_view(reinterpret_cast<const char*>(data), size)) != ImportStatus::kOk)
    return 0;
  if (doc.crystal.structureAtoms.size() > 14 || doc.crystal.cellAtoms.size() >= static_cast<size_t>(Crystal::kMaxAtoms))
    __builtin_trap();
  // What the import gives, the structure file keeps.
  std::vector<DocMessage> messages;
  CKomorka again;
  if (ReadStructureBytes(again, FormatStructureFile(doc), messages) != StructureReadStatus::kOk) __builtin_trap();
  return 0;
}
