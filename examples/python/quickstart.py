#!/usr/bin/python3
"""Pelmora from Python in a few lines: read a CIF, list its reflections, plot its
pattern, and compare two structures -- here the two common forms of TiO2.
Run it as it stands or paste it into a notebook cell by cell.

    PYTHONPATH=build/python /usr/bin/python3 examples/python/quickstart.py
"""

import argparse
import pathlib

import matplotlib

matplotlib.use("Agg")  # files only; in a notebook leave this out
import matplotlib.pyplot as plt
import numpy as np

import pelmora

HERE = pathlib.Path(__file__).resolve().parent

parser = argparse.ArgumentParser(description="Pelmora's Python module, first steps")
parser.add_argument("--settings", help="settings file (default: your own, ~/.config/Pelmora/Pelmora.ini)")
parser.add_argument("--out", default="tio2.png", help="the picture of the two patterns")
args = parser.parse_args()
if args.settings:
    pelmora.configure(settings=args.settings)

# 1. Read a CIF: the cell, the sites after the symmetry, the experiment.
rutile = pelmora.read(HERE / "rutile.cif")
print(f"rutile: {rutile.lattice[0]} {rutile.lattice[1]}, a = {rutile.a} A, c = {rutile.c} A, "
      f"{len(rutile.sites)} sites, lambda = {rutile.wavelengths[0]} A")

# 2. The reflections, as NumPy arrays; the ten strongest.
r = rutile.reflections()
print(" h  k  l   2theta      d      I%")
for i in np.argsort(-r["intensity"])[:10]:
    print(f"{r['h'][i]:2d} {r['k'][i]:2d} {r['l'][i]:2d} {r['two_theta'][i]:8.3f} {r['d'][i]:7.4f} {r['percent'][i]:7.2f}")

# 3. The pattern (pseudo-Voigt profile, 0.005 degree steps, highest point 10000).
anatase = pelmora.read(HERE / "anatase.cif")
fig, ax = plt.subplots(figsize=(10, 4))
for name, s in (("rutile", rutile), ("anatase", anatase)):
    # A CIF brings no instrument: peak widths U, V, W, X, Y of a laboratory
    # diffractometer, and the same range for both.
    s.widths = (0.01, -0.005, 0.003, 0.02, 0.01)
    s.range = (20.0, 80.0)
    tt, y = s.pattern()
    ax.plot(tt, y, lw=0.8, label=name)
ax.set_xlabel("2θ (°)")
ax.set_ylabel("intensity")
ax.legend()
fig.tight_layout()
fig.savefig(args.out, dpi=120)
print(f"patterns written to {args.out}")

# 4. Compare the two: how alike the patterns are, and the strongest line of each.
_, y1 = rutile.pattern()
_, y2 = anatase.pattern()
print(f"pattern correlation rutile/anatase: {np.corrcoef(y1, y2)[0, 1]:.3f}")
for name, s in (("rutile", rutile), ("anatase", anatase)):
    ref = s.reflections()
    i = int(np.argmax(ref["intensity"]))
    print(f"{name:8s} strongest: ({ref['h'][i]} {ref['k'][i]} {ref['l'][i]}) at {ref['two_theta'][i]:.2f} degrees, "
          f"cell volume {s.volume:.2f} A^3")
