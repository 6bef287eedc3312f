// pelmora-cli calc: read a structure, calculate, write the reflection list.
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/Session.h"
#include "cli/TerminalProgress.h"
#include "documents/AtomicFile.h"
#include "documents/StructureFile.h"
#include "editors/ReflectionExport.h"
#include "engine/CalculationRunner.h"

namespace pelmora::cli {
namespace {

struct CalcOptions {
  std::string structure;
  std::string reflections = "-";
  std::string radiation;
  std::vector<double> range;
  ReflectionFilter filter;
  SessionOptions session;
};

bool WriteOutput(const std::string& path, const std::string& text) {
  if (path.empty() || path == "-") {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0;
  }
  std::string error;
  if (!WriteFileAtomically(path, text, &error)) {
    std::cerr << "pelmora-cli: " << error << "\n";
    return false;
  }
  return true;
}

int RunCalc(const CalcOptions& o) {
  Session s;
  OpenSession(o.session, s);
  CKomorka doc(s.settings.ExperimentDefaultsOf());
  if (const int status = OpenDocument(o.session, s, o.structure, doc); status != 0) return status;
  if (o.radiation == "x") doc.radiation = 0;
  if (o.radiation == "n") doc.radiation = 1;
  if (o.range.size() == 2) {
    doc.angleMin = o.range[0];
    doc.angleMax = o.range[1];
  }
  if (const std::string why = doc.ValidateCalculation(); !why.empty()) {
    std::cerr << "pelmora-cli: " << why << "\n";
    return 3;
  }
  {
    TerminalProgress progress;
    CalculationRunner runner;
    runner.Start(doc, progress, nullptr);
    runner.Wait();
  }
  return WriteOutput(o.reflections, FormatReflectionList(doc, o.filter)) ? 0 : 4;
}

}  // namespace

Runner AddCalcCommand(CLI::App& app) {
  auto o = std::make_shared<CalcOptions>();
  CLI::App* cmd = app.add_subcommand("calc", "Calculate the reflections of a structure and write their list.");
  cmd->footer(
      "The list has the format of the reflection table's text export: one line per reflection in the\n"
      "2-theta range. Exit status: 0 done, 1 bad arguments, 2 unreadable or unknown file,\n"
      "3 structure or experiment refused, 4 output not written.");
  cmd->add_option("structure", o->structure, "Structure file (.xml) or older input file (.dat) to calculate")
      ->required();
  AddSessionOptions(*cmd, o->session);
  cmd->add_option("--reflections,-o", o->reflections, "Write the reflection list to FILE ('-': standard output)")
      ->type_name("FILE");
  cmd->add_option("--radiation", o->radiation, "x = X-rays, n = neutrons (default: the file's source)")
      ->check(CLI::IsMember({"x", "n"}));
  cmd->add_option("--range", o->range, "2-theta range in degrees (default: the file's)")
      ->expected(2)
      ->type_name("MIN MAX");
  cmd->add_flag("--ka1,!--no-ka1", o->filter.firstLine, "List reflections of the first line (default on)");
  cmd->add_flag("--ka2,!--no-ka2", o->filter.secondLine, "List reflections of the second line (default off)");
  cmd->add_flag("--extinct", o->filter.extinct, "Also list extinct reflections (F^2 = 0)");
  return [o] { return RunCalc(*o); };
}

}  // namespace pelmora::cli
