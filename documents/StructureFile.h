// The structure file: a crystal structure and its experiment as XML.
#pragma once

#include <string>
#include <vector>

#include "engine/Komorka.h"
#include "io/Translate.h"

namespace pelmora {

// A message for the user: the text and the caption of its box.
struct DocMessage {
  std::string caption;
  std::string text;
};

enum class StructureReadStatus {
  kOk,
  kNotStructure,  // not a readable structure file: try the older input format
  kRefused,       // read, but refused (message given); no other reader is tried
};

// Reads a structure file's bytes into doc. On kNotStructure the fields read
// so far have been changed (the caller discards or re-imports the document).
StructureReadStatus ReadStructureBytes(CKomorka& doc, const std::string& bytes, std::vector<DocMessage>& messages);

// The file's exact text. A measured pattern's path is written relative to
// the folder of `structurePath` (as it stands when that is empty).
std::string FormatStructureFile(const CKomorka& doc, const std::string& structurePath = {});

// The measured pattern's path as the structure file at `structurePath`
// stores it, and back: a stored relative path is taken from the structure
// file's folder.
std::string MeasuredPathToStore(const std::string& measured, const std::string& structurePath);
std::string MeasuredPathFromStore(const std::string& stored, const std::string& structurePath);

// Writes the file atomically; false with *error set when it cannot be written
// (the previous file then stays as it was).
bool SaveStructureFile(const CKomorka& doc, const std::string& path, std::string* error);

// The formats a document can be read from.
enum class DocumentFormat {
  kStructure,   // the structure file, read and written
  kTolvoInput,  // the older program's input file, only ever read
  kCif,         // a CIF, only ever read
  kMacromolecule,  // a PDB or mmCIF file, only ever read
};

// Whether saving may write a document back in the format it was read from.
// A document read from any other format has no file to save to: it is saved
// under a new name, which ImportedSaveName proposes.
bool IsWritableFormat(DocumentFormat format);
// "DIR/NAME.xml" beside an imported "DIR/NAME.ext".
std::string ImportedSaveName(const std::string& path);

inline constexpr const char* kUnknownCellType = PELMORA_TR_NOOP("documents", "Nieznany typ komórki");
inline constexpr const char* kCannotOpenFile = PELMORA_TR_NOOP("documents", "Nie można otworzyć pliku");
inline constexpr const char* kUnknownFileFormat = PELMORA_TR_NOOP("documents", "Nieznany format pliku");
inline constexpr const char* kErrorCaption = PELMORA_TR_NOOP("documents", "Błąd");
inline constexpr const char* kAppCaption = "Pelmora";

}  // namespace pelmora
