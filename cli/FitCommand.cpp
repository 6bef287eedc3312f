// pelmora-cli fit: the calculated patterns of one or more structures fitted
// to a measured pattern; a table of the refined values on standard output,
// on request a JSON report and the residuals point by point.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <cmath>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/Session.h"
#include "cli/Texts.h"
#include "io/AtomicFile.h"
#include "io/NumberFormat.h"
#include "measured/MeasuredPattern.h"
#include "documents/CifExport.h"
#include "measured/Refinement.h"
#include "plugins/PluginLists.h"

namespace pelmora::cli {
namespace {

struct FitCliOptions {
  std::vector<std::string> structures;
  std::vector<std::string> observed;
  std::string refine = "scale,zero,background";
  int backgroundTerms = 6;
  std::vector<double> range;
  std::string report;
  std::string residuals;
  std::vector<std::string> radiation;
  std::vector<std::string> wavelength;
  std::vector<double> monochromator;
  std::vector<std::string> orientation;
  std::vector<std::string> exclude;
  std::vector<double> backgroundPoints;
  std::vector<int> leBail;
  std::vector<std::string> fix, free, set;
  std::string writeStructure;
  std::string profile;
  std::string pluginsDir;
  int iterations = 100;
  bool oneStage = false;
  int restarts = 0;
  bool bisoPerElement = false;
  SessionOptions session;
};

void Complain(const std::string& text) { std::cerr << "pelmora-cli: " << text << "\n"; }

std::string Esd(double value, double esd) { return WithEsd(value, esd); }

std::string FormatResiduals(const RefinementOutcome& r) {
  std::string s = "# 2theta y_obs y_calc y_obs-y_calc\n";
  s += "# Rwp = " + cformat("%.4f", r.rwp) + " %, Rexp = " + cformat("%.4f", r.rexp) + " %\n";
  for (size_t p = 0; p < r.patterns.size(); ++p) {
    const RefinedPatternFigures& f = r.patterns[p];
    if (r.patterns.size() > 1) s += "# pattern " + std::to_string(p + 1) + ": " + f.name + "\n";
    for (size_t i = 0; i < f.twoTheta.size(); ++i)
      s += cformat("%.5f %.6g %.6g %.6g\n", f.twoTheta[i], f.observed[i], f.calculated[i], f.observed[i] - f.calculated[i]);
  }
  return s;
}

std::string FormatTable(const FitCliOptions& o, const RefinementOutcome& r, double seconds) {
  std::string s;
  s += cformat(Tr(QT_TRANSLATE_NOOP("cli", "Punkty: %d   wartości dopasowane: %d   kroki: %d   czas: %.3f s   %s\n")).c_str(), r.points, r.refined,
               r.iterations, seconds, (r.converged ? Tr(QT_TRANSLATE_NOOP("cli", "zbieżne")) : Tr(QT_TRANSLATE_NOOP("cli", "NIEZBIEŻNE"))).c_str());
  s += cformat("Rp = %.3f %%   Rwp = %.3f %%   Rexp = %.3f %%   chi2 = %.4f\n", r.rp, r.rwp, r.rexp, r.chi2);
  for (size_t p = 0; p < r.patterns.size() && r.patterns.size() > 1; ++p)
    s += cformat("  %s: Rwp = %.3f %%   chi2 = %.4f\n", r.patterns[p].name.c_str(), r.patterns[p].rwp, r.patterns[p].chi2);
  s += Tr(QT_TRANSLATE_NOOP("cli", "Wartości:\n"));
  for (const RefinedValue& v : r.values)
    if (v.refine) s += "  " + v.name + " = " + Esd(v.value, v.esd) + "\n";
  for (size_t f = 0; f < r.phases.size(); ++f) {
    const RefinedPhaseFigures& ph = r.phases[f];
    s += o.structures[f] + ":\n";
    s += Tr(QT_TRANSLATE_NOOP("cli", "  udział wagowy ")) + (std::isfinite(ph.weightFraction) ? Esd(ph.weightFraction, ph.weightFractionEsd) : Tr(QT_TRANSLATE_NOOP("cli", "nieznany")));
    s += Tr(QT_TRANSLATE_NOOP("cli", "   ziarno ")) + (std::isfinite(ph.size) ? Esd(ph.size, ph.sizeEsd) + " Å" : Tr(QT_TRANSLATE_NOOP("cli", "bez poszerzenia"))) + "\n";
    s += cformat("  a b c = %s %s %s Å   α β γ = %s %s %s°\n", Esd(ph.cell[0], ph.cellEsd[0]).c_str(),
                 Esd(ph.cell[1], ph.cellEsd[1]).c_str(), Esd(ph.cell[2], ph.cellEsd[2]).c_str(),
                 Esd(ph.cell[3], ph.cellEsd[3]).c_str(), Esd(ph.cell[4], ph.cellEsd[4]).c_str(),
                 Esd(ph.cell[5], ph.cellEsd[5]).c_str());
    for (const RefinedSiteFigures& site : ph.sites)
      s += cformat("  %-6s %s %s %s  occ %s  B %s\n", site.label.c_str(), Esd(site.xyz[0], site.xyzEsd[0]).c_str(),
                   Esd(site.xyz[1], site.xyzEsd[1]).c_str(), Esd(site.xyz[2], site.xyzEsd[2]).c_str(),
                   Esd(site.occupancy, site.occupancyEsd).c_str(), Esd(site.biso, site.bisoEsd).c_str());
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

// "H,K,L" for the first structure, or "N:H,K,L" for structure N.
bool ParseOrientation(const std::string& text, size_t phases, std::vector<std::optional<std::array<int, 3>>>& out) {
  size_t phase = 0;
  std::string rest = text;
  if (const auto colon = text.find(':'); colon != std::string::npos) {
    const int n = std::atoi(text.substr(0, colon).c_str());
    if (n < 1 || static_cast<size_t>(n) > phases) return false;
    phase = static_cast<size_t>(n - 1);
    rest = text.substr(colon + 1);
  }
  std::array<int, 3> hkl{};
  char c1 = 0, c2 = 0, tail = 0;
  if (std::sscanf(rest.c_str(), "%d%c%d%c%d%c", &hkl[0], &c1, &hkl[1], &c2, &hkl[2], &tail) != 5 || c1 != ',' || c2 != ',')
    return false;
  out[phase] = hkl;
  return true;
}

bool ParseRegion(const std::string& text, std::pair<double, double>& region) {
  const auto colon = text.find(':');
  if (colon == std::string::npos) return false;
  const std::optional<double> a = parseDouble(text.substr(0, colon)), b = parseDouble(text.substr(colon + 1));
  if (!a || !b) return false;
  region = {std::min(*a, *b), std::max(*a, *b)};
  return true;
}

// "L1[,L2[,RATIO]]" into the experiment.
bool ParseWavelength(const std::string& text, ExperimentParams& e) {
  std::vector<double> v;
  std::string item;
  for (std::istringstream in(text); std::getline(in, item, ',');) {
    const std::optional<double> x = parseDouble(item);
    if (!x || !(*x > 0.0)) return false;
    v.push_back(*x);
  }
  if (v.empty() || v.size() > 3) return false;
  e.lambda1 = v[0];
  e.lambda2 = v.size() > 1 ? v[1] : 0.0;
  if (v.size() > 2) e.ratio = v[2];
  return true;
}

// The patterns: each file with the first structure's experiment, its own
// radiation, wavelengths and monochromator when given.
int ReadPatterns(const FitCliOptions& o, const FitOptions& fit, const CKomorka& first, RefinementSetup& setup) {
  for (size_t i = 0; i < o.observed.size(); ++i) {
    MeasuredPattern data;
    std::string error;
    if (!ReadMeasuredFile(o.observed[i], data, &error)) {
      Complain(o.observed[i] + ": " + error);
      return 2;
    }
    if (!data.note.empty()) Complain(o.observed[i] + ": " + data.note);
    RefinementPattern p = PatternOf(fit, first, std::move(data), o.observed[i]);
    auto pick = [&](const auto& list) -> decltype(&list[0]) {
      if (list.empty()) return nullptr;
      return list.size() == 1 ? &list[0] : i < list.size() ? &list[i] : nullptr;
    };
    if (const std::string* rad = pick(o.radiation)) p.experiment.radiation = *rad == "n" ? 1 : 0;
    if (const std::string* wl = pick(o.wavelength); wl && !ParseWavelength(*wl, p.experiment)) {
      Complain("--wavelength takes L1[,L2[,RATIO]] in angstrom, not \"" + *wl + "\"");
      return 1;
    }
    if (const double* m = pick(o.monochromator)) p.monochromator = *m;
    for (const std::string& e : o.exclude) {
      std::pair<double, double> region;
      if (!ParseRegion(e, region)) {
        Complain("--exclude takes MIN:MAX in degrees, not \"" + e + "\"");
        return 1;
      }
      p.excluded.push_back(region);
    }
    if (i == 0) p.backgroundPoints = o.backgroundPoints;
    setup.patterns.push_back(std::move(p));
  }
  return 0;
}

// Each structure's preferred-orientation axis and Le Bail choice.
int ChoosePhaseModels(const FitCliOptions& o, RefinementSetup& setup) {
  std::vector<std::optional<std::array<int, 3>>> axes(setup.phases.size());
  for (const std::string& text : o.orientation)
    if (!ParseOrientation(text, axes.size(), axes)) {
      Complain("--orientation takes H,K,L or N:H,K,L (N a structure's number), not \"" + text + "\"");
      return 1;
    }
  for (int n : o.leBail)
    if (n < 1 || static_cast<size_t>(n) > axes.size()) {
      Complain("--le-bail takes a structure's number, 1 to " + std::to_string(axes.size()));
      return 1;
    }
  for (size_t f = 0; f < axes.size(); ++f) {
    setup.phases[f].orientation = axes[f];
    setup.phases[f].leBail = std::find(o.leBail.begin(), o.leBail.end(), static_cast<int>(f + 1)) != o.leBail.end();
  }
  return 0;
}

// --fix, --free and --set on the values of the refinement.
int AdjustValues(const FitCliOptions& o, Refinement& ref) {
  for (const auto& [names, refine] : {std::pair{&o.fix, false}, std::pair{&o.free, true}})
    for (const std::string& name : *names) {
      RefinedValue* v = ref.Find(name);
      if (!v) {
        std::string known;
        for (const RefinedValue& x : ref.values()) known += (known.empty() ? "" : ", ") + x.name;
        Complain("no value named \"" + name + "\"; the values are: " + known);
        return 1;
      }
      v->refine = refine;
    }
  for (const std::string& item : o.set) {
    const auto eq = item.rfind('=');
    const std::optional<double> value = eq == std::string::npos ? std::nullopt : parseDouble(item.substr(eq + 1));
    RefinedValue* v = eq == std::string::npos ? nullptr : ref.Find(item.substr(0, eq));
    if (!v || !value) {
      Complain("--set takes NAME=VALUE with a value's name as the table gives it, not \"" + item + "\"");
      return 1;
    }
    v->value = *value;
  }
  return 0;
}

// The refined structures as CIFs with esds: OUT itself for one phase, OUT
// with the phase's number before the suffix for several.
bool WriteStructures(const FitCliOptions& o, const Refinement& ref, const RefinementOutcome& r,
                     const std::vector<std::unique_ptr<CKomorka>>& docs, Workspace& w) {
  bool ok = true;
  for (size_t f = 0; f < docs.size(); ++f) {
    ref.ApplyTo(f, *docs[f], false);
    CifEsds esds;
    for (size_t i = 0; i < 6; ++i) esds.cell[i] = r.phases[f].cellEsd[i];
    for (const RefinedSiteFigures& s : r.phases[f].sites)
      esds.sites.push_back({s.xyzEsd[0], s.xyzEsd[1], s.xyzEsd[2], s.occupancyEsd, s.bisoEsd});
    std::vector<DocMessage> notes;
    const std::string text = FormatCif(*docs[f], w.reference.elements, notes, kFindSymmetryTolerance, &esds);
    std::string path = o.writeStructure;
    if (docs.size() > 1) {
      const auto dot = path.find_last_of('.');
      const auto slash = path.find_last_of('/');
      const bool suffix = dot != std::string::npos && (slash == std::string::npos || dot > slash);
      path = suffix ? path.substr(0, dot) + std::to_string(f + 1) + path.substr(dot) : path + std::to_string(f + 1);
    }
    ok = Write(path, text) && ok;
  }
  return ok;
}

int RunFit(const FitCliOptions& o) {
  FitRequest request{o.refine, o.backgroundTerms, std::nullopt, o.iterations};
  if (o.range.size() == 2) request.range = std::pair{o.range[0], o.range[1]};
  FitOptions fit;
  SessionError refused;
  if (!FitOptionsOf(request, fit, &refused)) return Report(refused);
  if (!BackgroundTermsValid(o.backgroundTerms)) {
    Complain("--background-terms must be between 0 and " + std::to_string(kMaxBackgroundTerms));
    return 1;
  }
  if (!o.profile.empty() && o.profile != "pseudo Voigt" && o.profile != "pseudo-Voigt") {
    Complain("the refinement uses the pseudo-Voigt profile of Thompson, Cox and Hastings; --profile \"" + o.profile +
             "\" is not one it can fit");
    return 1;
  }
  const std::unique_ptr<Session> session = OpenSession(o.session, o.pluginsDir);
  Workspace& w = session->workspace();
  std::vector<std::unique_ptr<CKomorka>> docs;
  std::vector<const CKomorka*> phases;
  for (const std::string& path : o.structures) {
    std::unique_ptr<CKomorka> doc;
    if (const int status = OpenDocument(o.session, w, w.reference, path, doc); status != 0) return status;
    phases.push_back(doc.get());
    docs.push_back(std::move(doc));
  }
  RefinementSetup setup = RefinementOf(fit, phases, o.structures);
  setup.staged = !o.oneStage;
  setup.restarts = std::max(o.restarts, 0);
  setup.bisoPerElement = o.bisoPerElement;
  if (const int status = ReadPatterns(o, fit, *docs.front(), setup); status != 0) return status;
  if (const int status = ChoosePhaseModels(o, setup); status != 0) return status;
  std::string error;
  const std::unique_ptr<Refinement> ref = Refinement::Create(setup, &error);
  if (!ref) {
    Complain(error);
    return 3;
  }
  if (const int status = AdjustValues(o, *ref); status != 0) return status;
  const auto start = std::chrono::steady_clock::now();
  const RefinementOutcome r = ref->Run();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!r.error.empty()) {
    Complain(r.error);
    return 3;
  }
  for (const std::string& warning : r.warnings) Complain("warning: " + warning);
  bool ok = Write("-", FormatTable(o, r, seconds));
  if (!o.report.empty()) ok = Write(o.report, RefinementJson(r, o.structures, o.observed)) && ok;
  if (!o.residuals.empty()) ok = Write(o.residuals, FormatResiduals(r)) && ok;
  if (!o.writeStructure.empty()) ok = WriteStructures(o, *ref, r, docs, w) && ok;
  if (!ok) return 4;
  return r.converged ? 0 : 5;
}

}  // namespace

Runner AddFitCommand(CLI::App& app) {
  auto o = std::make_shared<FitCliOptions>();
  CLI::App* cmd = app.add_subcommand("fit", "Fit the calculated patterns of structures to a measured pattern.");
  cmd->footer(
      "A Rietveld refinement: y_calc(t) = b(t) + sum of s m |F|^2 LP P_PO times the pseudo-Voigt of the\n"
      "calculated pattern (with strain and axial-divergence asymmetry), shifted by zero, displacement and\n"
      "transparency; b a Chebyshev background. The weights are 1/sigma^2 from the file's third column, else\n"
      "1/y_obs. The experiment (radiation, instrument, range) is the first structure's unless given per\n"
      "pattern. Warnings (values at a bound, chi2 > 10, correlations |r| >= 0.9) go to standard error and\n"
      "the report. Exit status: 0 converged, 1 bad arguments, 2 unreadable or unknown file, 3 structure,\n"
      "experiment or measurement refused, 4 output not written, 5 not converged or singular (the outputs\n"
      "are still written).");
  cmd->add_option("structure", o->structures, "Structure files (.xml, .dat, .cif, .pdb), one per phase")->required();
  cmd->add_option("--observed,--measured", o->observed,
                  "A measured pattern: 2-theta and counts (and sigma) in any format xylib reads, or a header "
                  "'start step end' followed by counts. Repeat for a joint refinement of several patterns")
      ->required()
      ->type_name("DATA");
  cmd->add_option("--refine", o->refine,
                  "What to refine, comma-separated: scale,zero,background,uvw,xy,cell,size,strain,positions,occupancy,"
                  "biso,orientation,asymmetry,displacement,transparency,wavelength (the wavelengths of all patterns but the first) "
                  "(default: scale,zero,background)")
      ->type_name("LIST");
  cmd->add_option("--background-terms", o->backgroundTerms, "Chebyshev background terms (default 6)")
      ->type_name("N");
  cmd->add_option("--range", o->range, "2-theta range fitted, degrees (default: the first structure's)")
      ->expected(2)
      ->type_name("MIN MAX");
  cmd->add_option("--background-points", o->backgroundPoints,
                  "2-theta of points whose refined heights, interpolated linearly, make the first pattern's "
                  "background instead of the Chebyshev terms")
      ->delimiter(',')
      ->type_name("T1,T2,...");
  cmd->add_option("--exclude", o->exclude, "Leave a 2-theta region out (repeatable)")->type_name("MIN:MAX");
  cmd->add_option("--orientation", o->orientation,
                  "March-Dollase preferred orientation along the plane normal [hkl] of the first structure, or of "
                  "structure N (repeatable)")
      ->type_name("H,K,L|N:H,K,L");
  cmd->add_option("--le-bail", o->leBail, "Refine structure N by Le Bail: free line intensities (repeatable)")
      ->type_name("N");
  cmd->add_option("--fix", o->fix, "Keep the value NAME (as the table names it, e.g. \"Pb occ\") fixed (repeatable)")
      ->type_name("NAME");
  cmd->add_option("--set", o->set, "Start the value NAME from VALUE (repeatable), e.g. --set W=0.01")
      ->type_name("NAME=VALUE");
  cmd->add_option("--free", o->free, "Refine the value NAME besides those of --refine (repeatable)")->type_name("NAME");
  cmd->add_option("--report", o->report, "Write the results as JSON to FILE ('-': standard output)")
      ->type_name("FILE.json");
  cmd->add_option("--residuals", o->residuals, "Write 2theta y_obs y_calc y_obs-y_calc per point to FILE")
      ->type_name("FILE");
  cmd->add_option("--write-structure", o->writeStructure,
                  "Write each refined phase as a CIF with esds (OUT; with several phases OUT numbered before the suffix)")
      ->type_name("OUT");
  cmd->add_option("--iterations", o->iterations, "Most Levenberg-Marquardt steps per stage (default 100)")->type_name("N");
  cmd->add_flag("--one-stage", o->oneStage,
                "Refine everything at once rather than scale and background, then cell and zero, then profile, then "
                "structure");
  cmd->add_flag("--biso-per-element", o->bisoPerElement,
                "One B for all the sites of an element in a structure (named \"B(O)\"), rather than one per site");
  cmd->add_option("--restarts", o->restarts,
                  "Refine again N times from the solution with the structure's positions, B and occupancies moved "
                  "at random, keeping the best (default 0)")
      ->type_name("N");
  cmd->add_option("--radiation", o->radiation,
                  "x = X-rays, n = neutrons (default: the file's source); once for all patterns or once per pattern")
      ->check(CLI::IsMember({"x", "n"}));
  cmd->add_option("--wavelength", o->wavelength,
                  "Wavelengths in angstrom, L1[,L2[,RATIO]]; once for all patterns or once per pattern")
      ->type_name("L1[,L2[,R]]");
  cmd->add_option("--monochromator", o->monochromator,
                  "X-rays: 2-theta of a monochromator crystal whose polarisation the intensities carry (26.6 for "
                  "graphite with Cu); once for all patterns or once per pattern")
      ->type_name("DEG");
  cmd->add_option("--profile", o->profile, "Peak profile: only \"pseudo Voigt\" (Thompson-Cox-Hastings) is refined")
      ->type_name("NAME");
  cmd->add_option("--plugins", o->pluginsDir, "Plug-ins folder (default: the settings' PluginsDir)")->type_name("DIR");
  AddSessionOptions(*cmd, o->session);
  return [o] { return RunFit(*o); };
}

}  // namespace pelmora::cli
