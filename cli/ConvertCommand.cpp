// pelmora-cli convert: an older input file, a CIF, a PDB or mmCIF file (or a
// structure file) saved in the structure file format.
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/Session.h"
#include "documents/CifExport.h"
#include "documents/StructureFile.h"
#include "io/AtomicFile.h"

namespace pelmora::cli {
namespace {

struct ConvertOptions {
  std::string input;
  std::string output;
  SessionOptions session;
};

int RunConvert(const ConvertOptions& o) {
  const std::unique_ptr<Session> session = OpenSession(o.session);
  Workspace& w = session->workspace();
  std::unique_ptr<CKomorka> opened;
  if (const int status = OpenDocument(o.session, w, w.reference, o.input, opened); status != 0) return status;
  const CKomorka& doc = *opened;
  std::string error;
  const bool cif = o.output.size() > 4 && (o.output.compare(o.output.size() - 4, 4, ".cif") == 0 ||
                                           o.output.compare(o.output.size() - 4, 4, ".CIF") == 0);
  if (cif) {
    std::vector<DocMessage> notes;
    const std::string text = FormatCif(doc, w.reference.elements, notes);
    for (const DocMessage& m : notes) std::cerr << m.text << "\n";
    if (!WriteFileAtomically(o.output, text, &error)) {
      std::cerr << "pelmora-cli: " << error << "\n";
      return 4;
    }
    return 0;
  }
  if (!SaveStructureFile(doc, o.output, &error)) {
    std::cerr << "pelmora-cli: " << error << "\n";
    return 4;
  }
  return 0;
}

}  // namespace

Runner AddConvertCommand(CLI::App& app) {
  auto o = std::make_shared<ConvertOptions>();
  CLI::App* cmd = app.add_subcommand("convert", "Save an older input file (Tolvo .dat), a CIF or a PDB/mmCIF file as a structure file, or a structure as a CIF.");
  cmd->footer(
      "The experiment values the older file does not hold come from the settings (or --source and\n"
      "--aparat). Exit status: 0 done, 1 bad arguments, 2 unreadable or unknown file, 4 output not written.");
  cmd->add_option("input", o->input, "Older input file (.dat), CIF (.cif), PDB or mmCIF file (.pdb, .ent, .cif) or structure file")->required();
  cmd->add_option("output", o->output, "Structure file (.xml) or CIF (.cif) to write")->required();
  AddSessionOptions(*cmd, o->session);
  return [o] { return RunConvert(*o); };
}

}  // namespace pelmora::cli
