#!/usr/bin/python3
"""pelmora-cli fit against measurements made here: the calculated patterns
as the text export writes them at scale 1, combined with known scales, zero
shift and background, with Poisson noise of a fixed seed. The fit must give
the known values back, and its report must agree with its residual file.
Usage: fit_synthetic.py PELMORA_CLI EXAMPLES_DIR WORK_DIR [--timing]"""
import json
import os
import subprocess
import sys
import time

import numpy as np

cli, examples, work = sys.argv[1:4]
timing = "--timing" in sys.argv
os.makedirs(work, exist_ok=True)
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def pattern(structure, lo, hi):
    """The text export at scale 1: (2theta, intensity) on the 0.005 grid."""
    out = subprocess.run([cli, "calc", structure, "--pattern", "-", "--profile", "pseudo Voigt", "--scale", "1",
                          "--range", str(lo), str(hi)], check=True, capture_output=True).stdout.decode("cp1250")
    rows = [line.split() for line in out.splitlines()[2:]]
    return np.array([[float(a), float(b)] for a, b in rows])


def synthesise(name, structures, scales, zero, background, lo, hi, step, seed):
    t = lo + step * np.arange(int(round((hi - lo) / step)) + 1)
    y = np.zeros_like(t)
    for s, p in zip(scales, (pattern(f, lo - 2, hi + 2) for f in structures)):
        y += s * np.interp(t - zero, p[:, 0], p[:, 1])
    u = (t - 0.5 * (lo + hi)) / (0.5 * (hi - lo))
    y += sum(c * u ** k for k, c in enumerate(background))
    counts = np.random.default_rng(seed).poisson(y)
    path = os.path.join(work, name)
    np.savetxt(path, np.column_stack([t, counts]), fmt="%.4f %d", header="2theta counts")
    return path


def fit(structures, observed, refine, tag):
    report, residuals = os.path.join(work, tag + ".json"), os.path.join(work, tag + ".res")
    start = time.perf_counter()
    subprocess.run([cli, "fit", *structures, "--observed", observed, "--refine", refine, "--report", report,
                    "--residuals", residuals], check=True, stdout=subprocess.DEVNULL)
    seconds = time.perf_counter() - start
    with open(report) as f:
        r = json.load(f)
    data = np.loadtxt(residuals, comments="#")
    return r, data, seconds


nacl, si = os.path.join(examples, "NaCl.xml"), os.path.join(examples, "Si.xml")
peak = pattern(nacl, 20, 120)[:, 1].max()

# One phase, 5001 points: scale, zero shift and a quadratic background.
scale, zero = 20000.0 / peak, -0.042
obs = synthesise("nacl.xy", [nacl], [scale], zero, [180.0, -60.0, 30.0], 20.0, 120.0, 0.02, 11)
r, data, seconds = fit([nacl], obs, "scale,zero,background", "one")
p = r["phases"][0]
check(r["points"] == 5001, "5001 points fitted (%d)" % r["points"])
check(abs(r["zero"] - zero) < 3 * r["zero_esd"], "zero %.5f(%.5f), made with %.5f" % (r["zero"], r["zero_esd"], zero))
# The text export cuts each peak at the settings' window (a multiple of its
# FWHM), losing part of the Lorentzian tails that the refinement's profile
# keeps: the scale may differ by that share, under 1 %.
check(abs(p["scale"] - scale) < max(3 * p["scale_esd"], 0.01 * scale), "scale %.6g(%.2g), made with %.6g" % (
    p["scale"], p["scale_esd"], scale))
check(abs(r["chi2"] - 1) < 0.1, "chi2 %.4f near 1" % r["chi2"])
check(abs(p["weight_fraction"] - 1) < 1e-12, "one phase: weight fraction 1")
# Rwp from the residual file, with the weights 1/y_obs (1 where y_obs <= 0).
yo, yc, diff = data[:, 1], data[:, 2], data[:, 3]
w = np.where(yo > 0, 1 / np.where(yo > 0, yo, 1), 1.0)
rwp = 100 * np.sqrt((w * diff ** 2).sum() / (w * yo ** 2).sum())
check(abs(rwp - r["rwp"]) < 1e-4 * r["rwp"], "Rwp of the residual file %.6f = the report's %.6f" % (rwp, r["rwp"]))
check(np.allclose(diff, yo - yc, atol=1e-3 * max(1, yo.max())), "residual column is y_obs - y_calc")
times = {"one phase, 5001 points, scale zero background(6)": seconds}
r, data, seconds = fit([nacl], obs, "scale,zero,background,uvw,size,cell", "one-all")
check(abs(r["phases"][0]["cell"][0] - 5.6402) < 3 * r["phases"][0]["cell_esd"][0] + 1e-5, "cell a %.5f(%.5f)" % (
    r["phases"][0]["cell"][0], r["phases"][0]["cell_esd"][0]))
times["one phase, 5001 points, + uvw size cell"] = seconds

# Two phases, 4001 points: NaCl 40 % and Si 60 % by weight. The intensities
# carry 1/V^2, so s is proportional to W V / ZM (ZM: 4 x NaCl, 8 x Si).
zm = np.array([4 * (22.98977 + 35.453), 8 * 28.0855])
vol = np.array([5.6402 ** 3, 5.4309 ** 3])
fractions = np.array([0.4, 0.6])
scales = fractions * vol / zm
scales *= 0.6 * scale / scales[0]
obs2 = synthesise("mix.xy", [nacl, si], scales, 0.02, [150.0, 20.0], 20.0, 100.0, 0.02, 12)
r, data, seconds = fit([nacl, si], obs2, "scale,zero,background,uvw,size,cell", "two")
wf = [q["weight_fraction"] for q in r["phases"]]
check(abs(wf[0] - 0.4) < 0.01 and abs(wf[1] - 0.6) < 0.01, "weight fractions %.4f %.4f, made with 0.4 0.6" % tuple(wf))
times["two phases, 4001 points, everything"] = seconds
if timing:
    for k, v in times.items():
        print("time: %-50s %.3f s" % (k, v))
print("fit checks: %s" % ("all passed" if not failures else "%d failed" % len(failures)))
sys.exit(1 if failures else 0)
