// Writes case LARGE (or, given ATOMS and A, the same kind of cell with that
// many atoms and that cell length; with --hex C a hexagonal cell a, a, C) as
// a structure file, for timing pelmora-cli end to end.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../LargeCase.h"
#include "documents/StructureFile.h"

int main(int argc, char** argv) {
  const bool hex = argc == 6 && std::strcmp(argv[4], "--hex") == 0;
  if (argc != 2 && argc != 4 && !hex) {
    std::fprintf(stderr, "usage: make_large_case OUT.xml [ATOMS A [--hex C]]\n");
    return 1;
  }
  pelmora::CKomorka doc;
  if (argc >= 4)
    pelmora::bench::BuildLargeCase(doc, std::atoi(argv[2]), std::strtod(argv[3], nullptr),
                                   hex ? std::strtod(argv[5], nullptr) : 0.0);
  else pelmora::bench::BuildLargeCase(doc);
  doc.experiment.sourceName = "Cu Ka1";
  doc.experiment.aparatName = "Zero";
  std::string error;
  if (!pelmora::SaveStructureFile(doc, argv[1], &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
