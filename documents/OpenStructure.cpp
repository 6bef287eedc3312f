#include "documents/OpenStructure.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "documents/CifImport.h"
#include "documents/MacromoleculeImport.h"
#include "documents/TolvoInputFile.h"
#include "io/AtomicFile.h"
#include "io/Translate.h"

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
    messages.push_back({kErrorCaption, TrText("documents", kUnknownFileFormat)});
    return false;
  }
  if (format) *format = DocumentFormat::kTolvoInput;
  doc.crystal.ExpandCellAtoms();
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
        doc.crystal.ExpandCellAtoms();
        return true;
      case StructureReadStatus::kRefused:
        return false;
      case StructureReadStatus::kNotStructure:
        break;
    }
  }
  return OpenTolvoBytes(doc, bytes, messages, format);
}

// More than any structure needs: a larger content is refused rather than
// unpacked into memory.
constexpr size_t kMaxUnpackedBytes = size_t(1) << 30;

// The content of bytes compressed with gzip ("1hpv.pdb.gz", as the PDB's
// archive serves its entries); false for damaged or oversized data.
bool Gunzip(const std::string& packed, std::string& out) {
  z_stream zs{};
  if (inflateInit2(&zs, 16 + MAX_WBITS) != Z_OK) return false;
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  zs.avail_in = static_cast<uInt>(std::min<size_t>(packed.size(), UINT32_MAX));
  char chunk[1 << 16];
  int rc = Z_OK;
  while (rc == Z_OK && out.size() <= kMaxUnpackedBytes) {
    zs.next_out = reinterpret_cast<Bytef*>(chunk);
    zs.avail_out = sizeof chunk;
    rc = inflate(&zs, Z_NO_FLUSH);
    out.append(chunk, sizeof chunk - zs.avail_out);
  }
  inflateEnd(&zs);
  return rc == Z_STREAM_END && out.size() <= kMaxUnpackedBytes;
}

bool IsGzip(std::string_view bytes) { return bytes.size() >= 2 && bytes[0] == '\x1f' && bytes[1] == '\x8b'; }

enum class Content { kRead, kUnreadable, kDamagedGzip };

// The file's bytes, a compressed file's content under its name without ".gz".
Content ReadContent(const std::string& path, std::string& bytes, std::string& name) {
  name = path;
  if (!ReadWholeFile(path, bytes)) return Content::kUnreadable;
  if (IsGzip(bytes)) {
    std::string content;
    if (!Gunzip(bytes, content)) return Content::kDamagedGzip;
    bytes = std::move(content);
    if (name.size() > 3 && (name.ends_with(".gz") || name.ends_with(".GZ"))) name.resize(name.size() - 3);
  }
  return Content::kRead;
}

// The front door: elements is null when no CIF may be read.
bool OpenFile(CKomorka& doc, const std::string& path, const std::function<const ElementTable&()>* elements,
              std::vector<DocMessage>& messages, DocumentFormat* format, CifBlockChoice* cifBlock) {
  std::string bytes, name;
  const Content content = ReadContent(path, bytes, name);
  const bool readable = content != Content::kUnreadable;
  if (content == Content::kDamagedGzip) {
    if (format) *format = DocumentFormat::kStructure;
    messages.push_back({kErrorCaption, TrText("documents", "Plik skompresowany (gzip) jest uszkodzony lub zbyt duży")});
    return false;
  }
  const std::string_view head = std::string_view(bytes).substr(0, kSniffBytes);
  const bool cif = elements && LooksLikeCif(name, head);
  const bool pdb = elements && !cif && LooksLikePdb(name, head);
  if (!cif && !pdb && format) *format = DocumentFormat::kStructure;
  if (!readable) {
    messages.push_back({kErrorCaption, TrText("documents", kCannotOpenFile)});
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
  CifImportReport report;
  const bool ok = ImportCifText(doc, bytes, (*elements)(), messages, &report, cifBlock ? cifBlock->wanted : "");
  if (cifBlock) {
    cifBlock->read = report.blockName;
    cifBlock->blocks = std::move(report.blocks);
  }
  if (!ok) return false;
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
                      std::vector<DocMessage>& messages, DocumentFormat* format, CifBlockChoice* cif) {
  return OpenAnyStructure(doc, path, [&]() -> const ElementTable& { return elements; }, messages, format, cif);
}

bool OpenAnyStructure(CKomorka& doc, const std::string& path, const std::function<const ElementTable&()>& elements,
                      std::vector<DocMessage>& messages, DocumentFormat* format, CifBlockChoice* cif) {
  return OpenFile(doc, path, &elements, messages, format, cif);
}

bool OpenStructureDocument(CKomorka& doc, const std::string& path, std::vector<DocMessage>& messages,
                           DocumentFormat* format) {
  return OpenFile(doc, path, nullptr, messages, format, nullptr);
}

std::vector<CifBlockInfo> CifBlocksOfFile(const std::string& path) {
  std::string bytes, name;
  if (ReadContent(path, bytes, name) != Content::kRead) return {};
  const std::string_view head = std::string_view(bytes).substr(0, kSniffBytes);
  if (!LooksLikeCif(name, head) || IsMmcifText(bytes)) return {};
  return ListCifBlocks(bytes);
}

}  // namespace pelmora
