#!/usr/bin/python3
"""pelmora-cli fit as a Rietveld refinement against neutron patterns made
from the formulas alone (tools/synthetic_rietveld.py), from a start away from
the truth: every refinable kind must come back to its truth within four
esds, and what must not pass silently does not.
Usage: refine_synthetic.py PELMORA_CLI TOOLS_DIR WORK_DIR"""
import copy
import json
import os
import subprocess
import sys

cli, tools, work = sys.argv[1:4]
sys.path.insert(0, tools)
import synthetic_rietveld as syn  # noqa: E402

os.makedirs(work, exist_ok=True)
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def refine(tag, structure, data, *args):
    report = os.path.join(work, tag + ".json")
    run = subprocess.run([cli, "fit", structure, "--measured", data, "--radiation", "n", "--wavelength", "1.5",
                          "--range", "10", "150", "--background-terms", "4", "--report", report, *args],
                         capture_output=True, text=True)
    with open(report) as f:
        return run, json.load(f)


def near(tag, got, esd, want):
    ok = esd is not None and esd > 0 and abs(got - want) <= 4 * esd
    check(ok, "%s: %.6g(%s), truth %.6g" % (tag, got, esd, want))


def values(report):
    return {v["name"]: (v["value"], v["esd"]) for v in report["values"]}


# 1. The structure: positions (general and on the mirror), B, one occupancy.
truth = copy.deepcopy(syn.PBSO4)
moved = [(0.004, -0.003, 0), (-0.005, 0.004, 0), (0.006, 0.0, 0), (0.0, -0.006, 0), (0.005, 0.004, -0.006)]
truth["sites"] = [(b, occ, B, tuple(x + d for x, d in zip(xyz, dx)))
                  for (b, occ, B, xyz), dx in zip(syn.PBSO4["sites"], moved)]
truth["sites"][0] = (9.405, 0.93, 1.4, truth["sites"][0][3])
data = syn.write(os.path.join(work, "structure.xy"), truth, 10.0, 150.0, 0.02, 30000.0, 5)
start = syn.write_cif(os.path.join(work, "start.cif"),
                      [(b, 1.0, 1.0, xyz) for b, occ, B, xyz in syn.PBSO4["sites"]])
refined_cif = os.path.join(work, "refined.cif")
run, r = refine("structure", start, data, "--refine", "scale,background,uvw,xy,positions,biso", "--free", "Pb occ",
                "--set", "W=0.05", "--write-structure", refined_cif)
v = values(r)
check(r["converged"] and run.returncode == 0, "structure refinement converged, exit %d" % run.returncode)
check(abs(r["chi2"] - 1) < 0.1, "chi2 %.4f near 1" % r["chi2"])
for label, (b, occ, B, xyz) in zip(["Pb", "S", "O", "O#2", "O#3"], truth["sites"]):
    for axis, x in zip("xyz", xyz):
        if label + " " + axis in v:
            near(label + " " + axis, *v[label + " " + axis], x)
    near(label + " B", *v[label + " B"], B)
near("Pb occ", *v["Pb occ"], 0.93)
# The refined structure as a CIF with esds in parentheses, read back as it was written.
with open(refined_cif) as f:
    rows = {line.split()[0]: line.split() for line in f if line.startswith(("Pb1 ", "O5 "))}
pb = r["phases"][0]["sites"][0]
check("Pb1" in rows and rows["Pb1"][2].endswith(")") and abs(float(rows["Pb1"][2].split("(")[0]) - pb["x"]) < 1e-5 and
      rows["Pb1"][4] == "0.250000" and "(" in rows["O5"][4],
      "the CIF gives refined values with esds, fixed ones plain: %s" % rows.get("Pb1"))
back = subprocess.run([cli, "calc", refined_cif], capture_output=True, text=True)
check(back.returncode == 0 and "Ka1" in back.stdout, "the written CIF reads back")
site = r["phases"][0]["sites"][4]
check(all(k in site for k in ("x_esd", "y_esd", "z_esd", "biso_esd")) and "occupancy_esd" not in site,
      "the report gives esds for the refined values only: %s" % sorted(site))

# One B per element: the three oxygens share one value and its esd.
run, r = refine("belement", start, data, "--refine", "scale,background,biso", "--biso-per-element", "--set", "W=0.04",
                "--set", "U=0.02", "--set", "V=-0.03", "--set", "Y=0.02")
names = [x["name"] for x in r["values"]]
oxygens = [s for s in r["phases"][0]["sites"] if s["element"] == "O"]
check(names.count("B(O)") == 1 and "O B" not in names and len(oxygens) == 3 and
      len({(s["biso"], s["biso_esd"]) for s in oxygens}) == 1, "one B for the oxygens: %s" % [s["biso"] for s in oxygens])

# Le Bail on the same pattern: the cell and zero from line intensities the
# data give, the structure unused.
run, r = refine("lebail", start, data, "--refine", "background,cell,zero", "--le-bail", "1", "--set", "W=0.04",
                "--set", "U=0.02", "--set", "V=-0.03", "--set", "Y=0.02", "--set", "a=6.957", "--set", "c=5.396")
v = values(r)
check(r["converged"] and r["chi2"] < 1.3, "Le Bail converged, chi2 %.4f" % r["chi2"])
for name, want in zip("abc", syn.PBSO4["cell"]):
    near("Le Bail " + name, *v[name], want)
near("Le Bail zero", *v["zero"], 0.0)
check(r["phases"][0]["sites"] == [] and r["phases"][0]["weight_fraction"] is None,
      "a Le Bail phase reports no sites and no weight fraction")

# 2. Sample and geometry: displacement, zero, asymmetry, orientation, strain,
# from an instrument refined on a standard (U V W X Y set and kept).
truth = copy.deepcopy(syn.PBSO4)
truth.update(displacement=0.15, zero=0.03, shl=0.025, r=0.8, strain=0.0008)
data = syn.write(os.path.join(work, "sample.xy"), truth, 10.0, 150.0, 0.02, 30000.0, 6)
exact = syn.write_cif(os.path.join(work, "exact.cif"), syn.PBSO4["sites"])
instrument = ["--set", "U=0.02", "--set", "V=-0.03", "--set", "W=0.04", "--set", "Y=0.02"]
run, r = refine("sample", exact, data, "--refine", "scale,background,zero,displacement,asymmetry,orientation,strain",
                "--orientation", "0,0,1", *instrument)
v = values(r)
check(r["converged"] and abs(r["chi2"] - 1) < 0.1, "sample refinement converged, chi2 %.4f" % r["chi2"])
near("displacement", *v["displacement"], 0.15)
near("zero", *v["zero"], 0.03)
near("SH/L", *v["SH/L"], 0.025)
near("orientation r", *v["orientation r"], 0.8)
near("strain", *v["strain"], 0.0008)
check(r["phases"][0]["orientation"]["axis"] == [0, 0, 1], "the report names the orientation axis")

# Background points in place of the Chebyshev terms: the fit is as good and
# their heights follow the true background (linear interpolation of the
# quadratic truth between points 10 degrees apart is off by 0.03 counts, but
# the heights also take up the far Lorentzian tails, which the truth cuts
# 3 degrees later than the model: a few counts among dense peaks).
knots = list(range(10, 151, 10))
truth_sample = ["--set", "displacement=0.15", "--set", "zero=0.03", "--set", "SH/L=0.025", "--set",
                "orientation r=0.8", "--set", "strain=0.0008"]
run, r = refine("points", exact, data, "--refine", "scale,background", "--orientation", "0,0,1", *instrument,
                *truth_sample, "--background-points", ",".join(map(str, knots)))
v = values(r)
check(r["converged"] and abs(r["chi2"] - 1) < 0.1, "background points: converged, chi2 %.4f" % r["chi2"])
check(r["background_points"] == knots, "the report lists the background points")
off = max(abs(v["bg@%d" % k][0] / (200.0 - 30.0 * u + 20.0 * u * u) - 1) for k in knots for u in [(k - 80.0) / 70.0])
check(off < 0.08, "background heights within %.1f %% of the truth at every point" % (100 * off))

# 3. What must not pass silently: a start whose widths are negative at every
# angle (the U V W a fit once returned), the wrong radiation, no convergence.
run, r = refine("negative", exact, data, "--refine", "scale,background,uvw", "--set", "U=0.818", "--set",
                "V=-1.344", "--set", "W=-0.258")
u, vv, w = r["uvw"]
import math  # noqa: E402
widths = [u * t * t + vv * t + w for t in (math.tan(math.radians(x / 2)) for x in range(10, 151))]
check(min(widths) > 0, "refined U V W give positive widths everywhere (least FWHM^2 %.3g)" % min(widths))
check(any("W starts from" in x for x in r["warnings"]), "the mended start is said")
run = subprocess.run([cli, "fit", exact, "--measured", data, "--radiation", "x", "--wavelength", "1.5", "--range", "10",
                      "150", "--report", os.path.join(work, "xray.json")], capture_output=True, text=True)
with open(os.path.join(work, "xray.json")) as f:
    r = json.load(f)
check(r["chi2"] > 10 and "chi2" in run.stderr and any("chi2" in x for x in r["warnings"]),
      "neutron data fitted as X-rays: chi2 %.1f named on standard error and in the report" % r["chi2"])
run, r = refine("short", start, data, "--refine", "scale,background,uvw,positions", "--iterations", "1",
                "--one-stage")
check(run.returncode == 5 and r["converged"] is False, "one step: exit %d, converged %s, report written" % (
    run.returncode, r["converged"]))
print("refine checks: %s" % ("all passed" if not failures else "%d failed" % len(failures)))
sys.exit(1 if failures else 0)
