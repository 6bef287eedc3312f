#!/usr/bin/python3
"""The Rietveld round robin's PbSO4 (R. J. Hill, J. Appl. Cryst. 25 (1992)
589) refined from anglesite's single-crystal structure (Jacobsen et al.,
Can. Mineral. 36 (1998) 1053): the X-ray pattern (Cu Ka1+Ka2, graphite
monochromator), the neutron one (D1A, lambda about 1.909 A) and both at once.
Each must converge, fit well below what a fit of scales alone reaches, and
give coordinates that agree with each other and with the single crystal.
Usage: refine_pbso4.py PELMORA_CLI FETCH_SCRIPT WORK_DIR (exit 77: no data)"""
import json
import os
import subprocess
import sys

cli, fetch, work = sys.argv[1:4]
data = os.path.join(work, "pbso4")
if subprocess.run([fetch, data]).returncode != 0:
    print("the round robin's data could not be fetched: skipped")
    sys.exit(77)
xray, neutron, cif = (os.path.join(data, f) for f in ("xray.dat", "neutron.dat", "PbSO4-Anglesite.cif"))
failures = []

# Pb S O1 O2 O3 of the single crystal.
SINGLE = [(0.16716, 0.18798, 0.25), (0.18490, 0.43580, 0.75), (0.09460, 0.59150, 0.75), (0.04240, 0.30720, 0.75),
          (0.30900, 0.41890, 0.97260)]
XRAY = ["--measured", xray, "--source", "Cu Ka", "--monochromator", "26.6"]
NEUTRON = ["--measured", neutron, "--radiation", "n", "--wavelength", "1.909"]
EVERYTHING = "scale,zero,background,uvw,xy,cell,positions,biso,asymmetry"


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def refine(tag, *args):
    report = os.path.join(work, "pbso4-%s.json" % tag)
    run = subprocess.run([cli, "fit", cif, *args, "--range", "10", "156", "--background-terms", "10", "--report",
                          report], capture_output=True, text=True)
    with open(report) as f:
        r = json.load(f)
    check(run.returncode == 0 and r["converged"], "%s: converged (exit %d), Rwp %.2f %%, chi2 %.3f" % (
        tag, run.returncode, r["rwp"], r["chi2"]))
    return r


def sites(r):
    return [((s["x"], s.get("x_esd", 0)), (s["y"], s.get("y_esd", 0)), (s["z"], s.get("z_esd", 0)))
            for s in r["phases"][0]["sites"]]


x = refine("xray", *XRAY, "--refine", EVERYTHING + ",displacement")
n = refine("neutron", *NEUTRON, "--refine", EVERYTHING)
both = refine("joint", "--measured", xray, "--measured", neutron, "--source", "Cu Ka", "--radiation", "x",
              "--radiation", "n", "--wavelength", "1.540562,1.544390,0.5", "--wavelength", "1.909", "--monochromator",
              "26.6", "--monochromator", "0", "--refine", EVERYTHING + ",wavelength")
scales = refine("xray-scales", *XRAY, "--refine", "scale,zero,background")
check(x["rwp"] < 0.6 * scales["rwp"], "X-rays: Rwp %.2f %% with the structure refined, %.2f %% without" % (
    x["rwp"], scales["rwp"]))
check(n["rwp"] < 5.0, "neutrons: Rwp %.2f %%" % n["rwp"])
check(len(both["patterns"]) == 2 and both["patterns"][1]["rwp"] < 5.0, "joint: the neutron pattern's Rwp %.2f %%" % (
    both["patterns"][1]["rwp"]))
for i, (sx, sn, sj, sc) in enumerate(zip(sites(x), sites(n), sites(both), SINGLE)):
    for axis in range(3):
        (vx, ex), (vn, en), (vj, ej) = sx[axis], sn[axis], sj[axis]
        if ex == 0:
            continue
        # Neighbouring residuals go together (the profile is not perfect),
        # so each pattern's esds are too small by the factor the report
        # gives (Berar & Lelann); agreement is judged with it.
        # The oxygens beside lead are seen faintly by X-rays: their
        # coordinates have shallow minima 0.005 to 0.01 apart at nearly the
        # same Rwp (O2 y 0.312 to 0.317 within 0.3 % Rwp), so for them 0.012
        # is the bar: a wrong group or origin puts them 0.05 and more away.
        ex, en = ex * x["patterns"][0]["serial_correlation"], en * n["patterns"][0]["serial_correlation"]
        combined = (ex * ex + en * en) ** 0.5
        check(abs(vx - vn) <= (3 * combined if i < 2 else 0.012), "site %d %s: X-rays %.5f(%.5f), neutrons %.5f(%.5f)" % (
            i + 1, "xyz"[axis], vx, ex, vn, en))
        check(abs(vj - sc[axis]) <= 0.003, "site %d %s: joint %.5f(%.5f), single crystal %.5f" % (
            i + 1, "xyz"[axis], vj, ej, sc[axis]))
print("pbso4 checks: %s" % ("all passed" if not failures else "%d failed" % len(failures)))
sys.exit(1 if failures else 0)
