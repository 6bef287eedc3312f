#include "documents/OpenStructure.h"

#include <cctype>
#include <cstdint>

#include "documents/CifImport.h"
#include "documents/MacromoleculeImport.h"
#include "documents/TolvoInputFile.h"
#include "io/AtomicFile.h"

namespace pelmora {
namespace {

// How much of the file the CIF test looks at: a data block opens after at
// most a few comment lines.
constexpr size_t kSniffBytes = 4096;

// A file opening with the older program's signature cannot be XML (an XML
// document starts with '<', white space or a byte order mark): it goes
// straight to its own reader.
bool HasTolvoSignature(std::string_view bytes) { return bytes.starts_with("TolvoInputFile"); }

bool OpenTolvoBytes(CKomorka& doc, const std::string& bytes, std::vector<DocMessage>& messages,
                    DocumentFormat* format) {
  if (ImportTolvoText(doc, bytes) != ImportStatus::kOk) {
    messages.push_back({kErrorCaption, kUnknownFileFormat});
    return false;
  }
  if (format) *format = DocumentFormat::kTolvoInput;
  doc.ExpandCellAtoms();
  return true;
}

// The structure file, else the older input file. A structure file refused
// with a message is not read as anything else; one that is not a structure
// file may have changed the document before the older reader fills it.
bool OpenStructureBytes(CKomorka& doc, const std::string& bytes, std::vector<DocMessage>& messages,
                        DocumentFormat* format) {
  if (format) *format = DocumentFormat::kStructure;
  if (!HasTolvoSignature(bytes) && bytes.size() <= static_cast<size_t>(INT32_MAX)) {
    switch (ReadStructureBytes(doc, bytes, messages)) {
      case StructureReadStatus::kOk:
        doc.ExpandCellAtoms();
        return true;
      case StructureReadStatus::kRefused:
        return false;
      case StructureReadStatus::kNotStructure:
        break;
    }
  }
  return OpenTolvoBytes(doc, bytes, messages, format);
}

// The front door: elements is null when no CIF may be read.
bool OpenFile(CKomorka& doc, const std::string& path, const std::function<const ElementTable&()>* elements,
              std::vector<DocMessage>& messages, DocumentFormat* format) {
  std::string bytes;
  const bool readable = ReadWholeFile(path, bytes);
  const std::string_view head = std::string_view(bytes).substr(0, kSniffBytes);
  const bool cif = elements && LooksLikeCif(path, head);
  const bool pdb = elements && !cif && LooksLikePdb(path, head);
  if (!cif && !pdb && format) *format = DocumentFormat::kStructure;
  if (!readable) {
    messages.push_back({kErrorCaption, kCannotOpenFile});
    return false;
  }
  if (!cif && !pdb) {
    if (!OpenStructureBytes(doc, bytes, messages, format)) return false;
    doc.measuredPath = MeasuredPathFromStore(doc.measuredPath, path);
    return true;
  }
  if (pdb || IsMmcifText(bytes)) {
    if (!ImportMacromoleculeText(doc, bytes, !pdb, (*elements)(), messages)) return false;
    if (format) *format = DocumentFormat::kMacromolecule;
    return true;
  }
  if (!ImportCifText(doc, bytes, (*elements)(), messages)) return false;
  if (format) *format = DocumentFormat::kCif;
  return true;
}

}  // namespace

bool LooksLikeCif(const std::string& path, std::string_view head) {
  if (path.size() >= 4) {
    std::string ext = path.substr(path.size() - 4);
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (ext == ".cif") return true;
  }
  size_t i = 0;
  while (i < head.size()) {
    while (i < head.size() && std::isspace(static_cast<unsigned char>(head[i]))) ++i;
    if (i < head.size() && head[i] == '#') {
      while (i < head.size() && head[i] != '\n') ++i;
      continue;
    }
    std::string word(head.substr(i, 5));
    for (char& ch : word) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return word == "data_";
  }
  return false;
}

bool OpenAnyStructure(CKomorka& doc, const std::string& path, const ElementTable& elements,
                      std::vector<DocMessage>& messages, DocumentFormat* format) {
  return OpenAnyStructure(doc, path, [&]() -> const ElementTable& { return elements; }, messages, format);
}

bool OpenAnyStructure(CKomorka& doc, const std::string& path, const std::function<const ElementTable&()>& elements,
                      std::vector<DocMessage>& messages, DocumentFormat* format) {
  return OpenFile(doc, path, &elements, messages, format);
}

bool OpenStructureDocument(CKomorka& doc, const std::string& path, std::vector<DocMessage>& messages,
                           DocumentFormat* format) {
  return OpenFile(doc, path, nullptr, messages, format);
}

}  // namespace pelmora
