#!/usr/bin/python3
"""Checks pelmora-cli's CIF import against cctbx's reading of the same CIF.

For every CIF given, `pelmora-cli convert` writes a structure file; its atoms,
expanded by the centring the file names, are the cell pelmora will calculate.
cctbx reads the CIF on its own (iotbx.cif), expands the sites by the space
group into the whole cell (expand_to_p1) and the two cells are compared atom
by atom: element and position up to whole cell translations, within 1e-4.
A file pelmora refuses is listed with its message; one that cctbx cannot read
is listed as such. cctbx keeps a site that a file lists twice (the same atoms
after a lattice translation or a symmetry operation) twice; pelmora leaves the
second out and says so, and the line shows its message.

Run with Debian's python3-cctbx:
  /usr/bin/python3 tools/crosscheck_cif_cctbx.py [--cli build/bin/pelmora-cli] FILE.cif ...
Prints one line per file and a summary; exit status 0 when no read file
disagrees.
"""
import argparse
import math
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

import iotbx.cif
from cctbx import xray

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
CENTRING = {"P": [], "I": [(0.5, 0.5, 0.5)], "C": [(0.5, 0.5, 0)],
            "F": [(0.5, 0.5, 0), (0.5, 0, 0.5), (0, 0.5, 0.5)]}
SYMBOLS = ["X", "H", "He", "Li", "Be", "B", "C", "N", "O", "F", "Ne", "Na", "Mg", "Al", "Si", "P", "S", "Cl",
           "Ar", "K", "Ca", "Sc", "Ti", "V", "Cr", "Mn", "Fe", "Co", "Ni", "Cu", "Zn", "Ga", "Ge", "As", "Se",
           "Br", "Kr", "Rb", "Sr", "Y", "Zr", "Nb", "Mo", "Tc", "Ru", "Rh", "Pd", "Ag", "Cd", "In", "Sn", "Sb",
           "Te", "I", "Xe", "Cs", "Ba", "La", "Ce", "Pr", "Nd", "Pm", "Sm", "Eu", "Gd", "Tb", "Dy", "Ho", "Er",
           "Tm", "Yb", "Lu", "Hf", "Ta", "W", "Re", "Os", "Ir", "Pt", "Au", "Hg", "Tl", "Pb", "Bi", "Po", "At",
           "Rn", "Fr", "Ra", "Ac", "Th", "Pa", "U", "Np", "Pu", "Am", "Cm", "Bk", "Cf", "Es", "Fm", "Md", "No",
           "Lr", "Rf", "Db", "Sg", "Bh", "Hs", "Mt", "Ds", "Rg", "Cn", "Nh", "Fl", "Mc", "Lv", "Ts", "Og"]


def wrap(v):
    v = v - math.floor(v)
    return 0.0 if v >= 1.0 else v


def same(p, q, tol):
    return all(abs(d - round(d)) <= tol for d in (p[0] - q[0], p[1] - q[1], p[2] - q[2]))


def pelmora_cell(cli, cif, tmp):
    out = os.path.join(tmp, "s.xml")
    r = subprocess.run([cli, "convert", cif, out], capture_output=True, text=True)
    if r.returncode != 0:
        return None, r.stderr.strip().replace("\n", " ")
    baza = ET.parse(out).getroot().find("baza")
    atoms = []
    for at in baza.findall("atom"):
        xyz = tuple(float(at.find(t).text) for t in "xyz")
        for shift in [(0, 0, 0)] + CENTRING[baza.find("lat_type").text.strip()]:
            atoms.append(dict(nr=int(at.get("nr")), xyz=tuple(wrap(v + s) for v, s in zip(xyz, shift))))
    return atoms, r.stderr.strip().replace("\n", " ")


def number(text):
    return float(text.split("(")[0])


def cctbx_cell(cif):
    """cctbx's cell of the CIF's first block with atom sites. The builder
    moves a site within 0.5 A of a special position onto it; the sites are
    put back where the file has them and expanded with cctbx's special
    position settings at 0.01 A, about the 0.002 of a cell edge pelmora
    merges images at."""
    reader = iotbx.cif.reader(file_path=cif)
    structures = reader.build_crystal_structures()
    name = [n for n, b in reader.model().items() if "_atom_site_fract_x" in b and n in structures][0]
    block, built = reader.model()[name], structures[name]
    raw = list(zip(*(block["_atom_site_fract_" + t] for t in "xyz")))
    scatterers = built.scatterers()
    if len(raw) == len(scatterers):
        for sc, xyz in zip(scatterers, raw):
            sc.site = tuple(0.0 if v == "." else number(v) for v in xyz)
    sps = built.crystal_symmetry().special_position_settings(min_distance_sym_equiv=0.01)
    p1 = xray.structure(special_position_settings=sps, scatterers=scatterers).expand_to_p1(sites_mod_positive=True)
    atoms = []
    for sc in p1.scatterers():
        element = sc.element_symbol() or sc.scattering_type
        element = "".join(ch for ch in element if ch.isalpha()).capitalize()
        atoms.append(dict(element=element, xyz=tuple(sc.site), label=sc.label))
    return atoms


def compare(mine, theirs):
    """Unmatched atoms of each side; a match has the element and the position."""
    left = list(theirs)
    unmatched = []
    for a in mine:
        hit = None
        for i, b in enumerate(left):
            if SYMBOLS[a["nr"]] == b["element"] and same(a["xyz"], b["xyz"], 1e-4):
                hit = i
                break
        if hit is None:
            unmatched.append(a)
        else:
            left.pop(hit)
    return unmatched, left


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("files", nargs="+")
    ap.add_argument("--cli", default=os.path.join(ROOT, "build", "bin", "pelmora-cli"))
    args = ap.parse_args()
    counts = dict(agree=0, refused=0, cctbx=0, differ=0)
    with tempfile.TemporaryDirectory() as tmp:
        for cif in args.files:
            name = os.path.basename(cif)
            mine, message = pelmora_cell(args.cli, cif, tmp)
            if mine is None:
                counts["refused"] += 1
                print("REFUSED  %s: %s" % (name, message))
                continue
            try:
                theirs = cctbx_cell(cif)
            except Exception as e:  # cctbx's own limits: not a verdict on pelmora
                counts["cctbx"] += 1
                print("NO-CCTBX %s: %s" % (name, str(e).splitlines()[0] if str(e) else type(e).__name__))
                continue
            only_mine, only_theirs = compare(mine, theirs)
            if not only_mine and not only_theirs:
                counts["agree"] += 1
                print("AGREE    %s: %d atoms" % (name, len(mine)))
            else:
                counts["differ"] += 1
                print("DIFFER   %s: pelmora %d, cctbx %d atoms; only pelmora: %s; only cctbx: %s%s" % (
                    name, len(mine), len(theirs),
                    " ".join("%s%s" % (SYMBOLS[a["nr"]], tuple(round(v, 4) for v in a["xyz"])) for a in only_mine[:4]),
                    " ".join("%s%s" % (b["label"], tuple(round(v, 4) for v in b["xyz"])) for b in only_theirs[:4]),
                    ("; " + message) if message else ""))
    print("%(agree)d agree, %(differ)d differ, %(refused)d refused by pelmora, %(cctbx)d not read by cctbx" % counts)
    return 1 if counts["differ"] else 0


if __name__ == "__main__":
    sys.exit(main())
