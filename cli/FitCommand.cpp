// pelmora-cli fit: the calculated patterns of one or more structures fitted
// to a measured pattern; a table of the refined values on standard output,
// on request a JSON report and the residuals point by point.
#include <chrono>
#include <cmath>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/Session.h"
#include "io/AtomicFile.h"
#include "io/NumberFormat.h"
#include "measured/MeasuredPattern.h"
#include "measured/PatternFit.h"
#include "plugins/PluginLists.h"

namespace pelmora::cli {
namespace {

struct FitCliOptions {
  std::vector<std::string> structures;
  std::string observed;
  std::string refine = "scale,zero,background";
  int backgroundTerms = 6;
  std::vector<double> range;
  std::string report;
  std::string residuals;
  std::string radiation;
  std::string profile;
  std::string pluginsDir;
  int iterations = 100;
  SessionOptions session;
};

void Complain(const std::string& text) { std::cerr << "pelmora-cli: " << text << "\n"; }

std::string G(double v) { return std::isfinite(v) ? cformat("%.10g", v) : std::string("null"); }

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) {
      out += cformat("\\u%04x", c);
      continue;
    }
    out += c;
  }
  return out + "\"";
}

std::string FormatReport(const FitCliOptions& o, const FitResult& r) {
  std::string j = "{\n";
  j += "  \"observed\": " + JsonString(o.observed) + ",\n";
  j += "  \"points\": " + std::to_string(r.points) + ",\n";
  j += "  \"parameters\": " + std::to_string(r.parameters) + ",\n";
  j += "  \"iterations\": " + std::to_string(r.iterations) + ",\n";
  j += "  \"rp\": " + G(r.rp) + ",\n  \"rwp\": " + G(r.rwp) + ",\n  \"rexp\": " + G(r.rexp) + ",\n";
  j += "  \"chi2\": " + G(r.chi2) + ",\n";
  j += "  \"zero\": " + G(r.zero) + ",\n  \"zero_esd\": " + G(r.zeroEsd) + ",\n";
  j += "  \"background\": [";
  for (size_t k = 0; k < r.background.size(); ++k) j += (k ? ", " : "") + G(r.background[k]);
  j += "],\n  \"background_range\": [" + G(r.rangeMin) + ", " + G(r.rangeMax) + "],\n";
  j += "  \"uvw\": [" + G(r.u) + ", " + G(r.v) + ", " + G(r.w) + "],\n";
  j += "  \"uvw_esd\": [" + G(r.widthEsd[0]) + ", " + G(r.widthEsd[1]) + ", " + G(r.widthEsd[2]) + "],\n";
  j += "  \"phases\": [\n";
  for (size_t p = 0; p < r.phases.size(); ++p) {
    const FitPhase& f = r.phases[p];
    j += "    {\"file\": " + JsonString(o.structures[p]) + ", \"scale\": " + G(f.scale) +
         ", \"scale_esd\": " + G(f.scaleEsd) + ", \"weight_fraction\": " + G(f.weightFraction) +
         ", \"grain_size\": " + G(f.grainSize) + ", \"grain_size_esd\": " + G(f.grainSizeEsd) + ", \"cell\": [";
    for (size_t c = 0; c < 6; ++c) j += (c ? ", " : "") + G(f.cell[c]);
    j += "], \"cell_esd\": [";
    for (size_t c = 0; c < 6; ++c) j += (c ? ", " : "") + G(f.cellEsd[c]);
    j += "]}" + std::string(p + 1 < r.phases.size() ? "," : "") + "\n";
  }
  j += "  ]\n}\n";
  return j;
}

std::string FormatResiduals(const FitResult& r) {
  std::string s = "# 2theta y_obs y_calc y_obs-y_calc\n";
  s += "# Rwp = " + cformat("%.4f", r.rwp) + " %, Rexp = " + cformat("%.4f", r.rexp) + " %\n";
  for (size_t i = 0; i < r.twoTheta.size(); ++i)
    s += cformat("%.5f %.6g %.6g %.6g\n", r.twoTheta[i], r.observed[i], r.calculated[i],
                 r.observed[i] - r.calculated[i]);
  return s;
}

std::string FormatTable(const FitCliOptions& o, const FitResult& r, double seconds) {
  std::string s;
  s += cformat("Punkty: %d   wartości dopasowane: %d   kroki: %d   czas: %.3f s\n", r.points, r.parameters,
               r.iterations, seconds);
  s += cformat("Rp = %.3f %%   Rwp = %.3f %%   Rexp = %.3f %%   chi2 = %.4f\n", r.rp, r.rwp, r.rexp, r.chi2);
  s += cformat("Przesunięcie zera: %.5f(%.5f)°\n", r.zero, r.zeroEsd);
  s += cformat("U V W: %.6g %.6g %.6g\n", r.u, r.v, r.w);
  s += "Tło (Czebyszew):";
  for (double b : r.background) s += cformat(" %.6g", b);
  s += "\n";
  for (size_t p = 0; p < r.phases.size(); ++p) {
    const FitPhase& f = r.phases[p];
    s += o.structures[p] + ":\n";
    s += cformat("  skala %.6g(%.2g)   udział wagowy %s   ziarno %.1f Å\n", f.scale, f.scaleEsd,
                 std::isfinite(f.weightFraction) ? cformat("%.4f", f.weightFraction).c_str() : "nieznany",
                 f.grainSize);
    s += cformat("  a b c = %.5f %.5f %.5f Å   α β γ = %.3f %.3f %.3f°\n", f.cell[0], f.cell[1], f.cell[2],
                 f.cell[3], f.cell[4], f.cell[5]);
  }
  return s;
}

bool Write(const std::string& path, const std::string& text) {
  if (path == "-") {
    std::cout << text << std::flush;
    return static_cast<bool>(std::cout);
  }
  std::string error;
  if (!WriteFileAtomically(path, std::vector<std::string_view>{text}, &error, FileDurability::kUnsynced)) {
    Complain(error);
    return false;
  }
  return true;
}

int RunFit(const FitCliOptions& o) {
  FitOptions fit;
  std::string bad;
  if (!ParseFitWhat(o.refine, fit.refine, &bad)) {
    Complain("unknown value to refine \"" + bad + "\"; known: scale, zero, background, uvw, cell, size");
    return 1;
  }
  if (o.backgroundTerms < 0 || o.backgroundTerms > 30) {
    Complain("--background-terms must be between 0 and 30");
    return 1;
  }
  fit.backgroundTerms = o.backgroundTerms;
  fit.maxIterations = o.iterations;
  if (o.range.size() == 2) {
    fit.rangeMin = std::min(o.range[0], o.range[1]);
    fit.rangeMax = std::max(o.range[0], o.range[1]);
  }
  Workspace w(o.session.settingsFile);
  OpenSession(o.session, w);
  if (const std::string error = w.ScanPlugins(o.pluginsDir); !error.empty()) Complain("Error: " + error);
  fit.setup = w.SetupFor(kProfileStick, nullptr);
  if (!ChooseProfile(o.profile, w, fit.setup)) return 1;
  // A stick pattern cannot be fitted: without a named profile the settings'
  // one serves when it has a width, else the pseudo-Voigt.
  if (o.profile.empty() && fit.setup.profile == kProfileStick) fit.setup.profile = kProfilePseudoVoigt;

  MeasuredPattern measured;
  std::string error;
  if (!ReadMeasuredFile(o.observed, measured, &error)) {
    Complain(o.observed + ": " + error);
    return 2;
  }
  if (!measured.note.empty()) Complain(o.observed + ": " + measured.note);

  std::vector<std::unique_ptr<CKomorka>> docs;
  std::vector<const CKomorka*> phases;
  for (const std::string& path : o.structures) {
    auto doc = std::make_unique<CKomorka>(w.settings.experiment);
    if (const int status = OpenDocument(o.session, w, w.reference, path, *doc); status != 0) return status;
    if (o.radiation == "x") doc->experiment.radiation = 0;
    if (o.radiation == "n") doc->experiment.radiation = 1;
    phases.push_back(doc.get());
    docs.push_back(std::move(doc));
  }
  const auto start = std::chrono::steady_clock::now();
  const FitResult r = FitPattern(phases, measured, fit);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!r.error.empty()) {
    Complain(r.error);
    return 3;
  }
  bool ok = Write("-", FormatTable(o, r, seconds));
  if (!o.report.empty()) ok = Write(o.report, FormatReport(o, r)) && ok;
  if (!o.residuals.empty()) ok = Write(o.residuals, FormatResiduals(r)) && ok;
  return ok ? 0 : 4;
}

}  // namespace

Runner AddFitCommand(CLI::App& app) {
  auto o = std::make_shared<FitCliOptions>();
  CLI::App* cmd = app.add_subcommand("fit", "Fit the calculated patterns of structures to a measured pattern.");
  cmd->footer(
      "The model is y_calc(t) = sum_p s_p I_p(t - z) + b(t): I_p the pattern of structure p as the text export\n"
      "writes it at scale 1, z the zero shift, b a Chebyshev background. The weights are 1/sigma^2 from\n"
      "the file's third column, else 1/y_obs. The experiment (radiation, instrument, range) is the first\n"
      "structure's. Exit status: 0 done, 1 bad arguments, 2 unreadable or unknown file, 3 structure,\n"
      "experiment or measurement refused, 4 output not written.");
  cmd->add_option("structure", o->structures, "Structure files (.xml, .dat, .cif, .pdb), one per phase")->required();
  cmd->add_option("--observed,--measured", o->observed,
                  "The measured pattern: 2-theta and counts (and sigma) in any format xylib reads")
      ->required()
      ->type_name("DATA");
  cmd->add_option("--refine", o->refine,
                  "What to refine, comma-separated: scale,zero,background,uvw,cell,size (default: "
                  "scale,zero,background)")
      ->type_name("LIST");
  cmd->add_option("--background-terms", o->backgroundTerms, "Chebyshev background terms (default 6)")
      ->type_name("N");
  cmd->add_option("--range", o->range, "2-theta range fitted, degrees (default: the first structure's)")
      ->expected(2)
      ->type_name("MIN MAX");
  cmd->add_option("--report", o->report, "Write the results as JSON to FILE ('-': standard output)")
      ->type_name("FILE.json");
  cmd->add_option("--residuals", o->residuals, "Write 2theta y_obs y_calc y_obs-y_calc per point to FILE")
      ->type_name("FILE");
  cmd->add_option("--iterations", o->iterations, "Most Levenberg-Marquardt steps (default 100)")->type_name("N");
  cmd->add_option("--radiation", o->radiation, "x = X-rays, n = neutrons (default: the file's source)")
      ->check(CLI::IsMember({"x", "n"}));
  cmd->add_option("--profile", o->profile,
                  "Peak profile (default: the settings' PeakProfile; \"pseudo Voigt\" instead of \"brak\")")
      ->type_name("NAME");
  cmd->add_option("--plugins", o->pluginsDir, "Plug-ins folder (default: the settings' PluginsDir)")->type_name("DIR");
  AddSessionOptions(*cmd, o->session);
  return [o] { return RunFit(*o); };
}

}  // namespace pelmora::cli
