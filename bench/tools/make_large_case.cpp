// Writes case LARGE as a structure file, for timing pelmora-cli end to end.
#include <cstdio>

#include "../LargeCase.h"
#include "documents/StructureFile.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_large_case OUT.xml\n");
    return 1;
  }
  pelmora::CKomorka doc;
  pelmora::bench::BuildLargeCase(doc);
  doc.sourceName = "Cu Ka1";
  doc.aparatName = "Zero";
  std::string error;
  if (!pelmora::SaveStructureFile(doc, argv[1], &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
