#include "cli/PlainCheckReport.h"

#include <cstdio>
#include <iostream>

#include "cli/TerminalProgress.h"
#include "engine/PlainReference.h"
#include "io/NumberFormat.h"

namespace pelmora::cli {
namespace {

std::string LineName(const CheckedLine& at) {
  if (at.line == 0) return "-";
  return cformat("%d %d %d Ka%d", at.h, at.k, at.l, at.line);
}

std::string Report(const PlainCheck& check, size_t atoms) {
  std::string out = cformat("checked %ld lines against %ld reflections of the plain index box (|h| <= %d, |k| <= %d, "
                            "|l| <= %d), %zu atoms\n",
                            check.lines, check.plainReflections, check.limits[0], check.limits[1], check.limits[2],
                            atoms);
  out += cformat("%-12s %-11s %-18s %-11s %-18s %s\n", "quantity", "max |diff|", "at", "max rel", "at", "print apart");
  for (const QuantityCheck& q : check.quantities)
    out += cformat("%-12s %-11.3g %-18s %-11.3g %-18s %ld\n", q.name.c_str(), q.maxAbs, LineName(q.atAbs).c_str(),
                   q.maxRel, LineName(q.atRel).c_str(), q.differing);
  for (const QuantityCheck& q : check.quantities)
    if (q.differing > 0) {
      const int w = q.width, p = q.precision;
      out += cformat("%s prints apart first at %s: %*.*f listed, %*.*f plain\n", q.name.c_str(),
                     LineName(q.firstDiffering).c_str(), w, p, q.firstDiffering.fast, w, p, q.firstDiffering.plain);
    }
  for (const std::string& p : check.problems) out += p + "\n";
  if (check.problemCount > static_cast<long>(check.problems.size()))
    out += cformat("... %ld more of these\n", check.problemCount - static_cast<long>(check.problems.size()));
  out += check.Agrees() ? "agree: every line to the digits the list prints\n" : "DIFFER\n";
  return out;
}

}  // namespace

const char* PlainCheckConflict(bool batch, const std::string& reflections, const std::string& pattern) {
  if (batch) return "--check reports on one structure; leave out --out-dir";
  if (reflections == "-" || pattern == "-")
    return "--check writes its report to standard output; give --reflections and --pattern file names";
  return nullptr;
}

int RefusePlainCheck(const CKomorka& doc) {
  const std::string refusal = PlainCheckRefusal(doc);
  if (refusal.empty()) return 0;
  std::cerr << "pelmora-cli: not checked: " << refusal << "\n";
  return 3;
}

int RunPlainCheck(const CKomorka& doc) {
  PlainCheck check;
  {
    TerminalProgress progress;
    progress.SetStatus("plain reference check");
    check = CheckAgainstPlainReference(doc, doc.results.reflectionsAll, doc.results.maxIntensity, progress);
  }
  if (!check.refusal.empty()) {
    std::cerr << "pelmora-cli: not checked: " << check.refusal << "\n";
    return 3;
  }
  const std::string text = Report(check, doc.crystal.cellAtoms.size());
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  if (check.Agrees()) return 0;
  std::cerr << "pelmora-cli: the check failed: the list and the plain reference differ (see the report)\n";
  return 3;
}

}  // namespace pelmora::cli
