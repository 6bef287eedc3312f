// Writes case LARGE (or, given ATOMS and A, the same kind of cell with that
// many atoms and that cell length) as a structure file, for timing
// pelmora-cli end to end.
#include <cstdio>
#include <cstdlib>

#include "../LargeCase.h"
#include "documents/StructureFile.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: make_large_case OUT.xml [ATOMS A]\n");
    return 1;
  }
  pelmora::CKomorka doc;
  if (argc == 4) pelmora::bench::BuildLargeCase(doc, std::atoi(argv[2]), std::strtod(argv[3], nullptr));
  else pelmora::bench::BuildLargeCase(doc);
  doc.sourceName = "Cu Ka1";
  doc.aparatName = "Zero";
  std::string error;
  if (!pelmora::SaveStructureFile(doc, argv[1], &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
