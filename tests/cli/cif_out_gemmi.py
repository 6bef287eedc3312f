#!/usr/bin/python3
"""CIF written by `pelmora-cli convert X.xml X.cif`, read by gemmi and cctbx.

For each structure file given (a CIF given is first read into one): the CIF is written, gemmi's small-structure
reader (tests/cli/gemmi_cif_sites) expands it into the unit cell, and its
atoms must be the structure file's cell atoms (the atoms with their centring
copies): element, position up to whole cell translations within 1e-5,
occupancy, and B where the file gives one. Then cctbx reads the same CIFs
(tools/crosscheck_cif_cctbx.py), when Debian's python3-cctbx is there.
Usage: cif_out_gemmi.py CLI GEMMI_SITES WORK_DIR FILE.xml ...
"""
import os
import subprocess
import sys
import xml.etree.ElementTree as ET

SHIFTS = {"P": [(0, 0, 0)], "I": [(0, 0, 0), (.5, .5, .5)], "C": [(0, 0, 0), (.5, .5, 0)],
          "F": [(0, 0, 0), (.5, .5, 0), (.5, 0, .5), (0, .5, .5)]}


def cell_atoms(path):
    root = ET.parse(path).getroot()
    shifts = SHIFTS[root.findtext("baza/lat_type", "P")]
    atoms = []
    for atom in root.findall("baza/atom"):
        nr = int(atom.get("nr", "0"))
        xyz = [float(atom.findtext(t)) for t in "xyz"]
        occ = float(atom.findtext("occupancy", "1"))
        b = atom.findtext("biso")
        for s in shifts:
            atoms.append((nr, [v + d for v, d in zip(xyz, s)], occ, None if b is None else float(b)))
    return atoms


def same_place(p, q):
    return all(abs((u - v) - round(u - v)) < 1e-5 for u, v in zip(p, q))


def main():
    cli, gemmi_sites, work = sys.argv[1:4]
    os.makedirs(work, exist_ok=True)
    root = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    failures = 0
    cifs = []
    for given in sys.argv[4:]:
        name = os.path.splitext(os.path.basename(given))[0]
        xml = given
        if given.endswith(".cif"):  # a CIF read first: its group and B per site kept
            xml = os.path.join(work, name + "-read.xml")
            subprocess.run([cli, "convert", given, xml], check=True, capture_output=True)
            name += "-out"
        cif = os.path.join(work, name + ".cif")
        subprocess.run([cli, "convert", xml, cif], check=True, capture_output=True)
        cifs.append(cif)
        out = subprocess.run([gemmi_sites, cif], check=True, capture_output=True, text=True).stdout.split("\n")
        group = out[0]
        got = [(int(f[0]), [float(v) for v in f[1:4]], float(f[4]), float(f[5])) for f in (l.split() for l in out[2:] if l)]
        want = cell_atoms(xml)
        problems = []
        if len(got) != len(want):
            problems.append("%d atoms, want %d" % (len(got), len(want)))
        for el, xyz, occ, b in want:
            match = [g for g in got if g[0] == el and same_place(g[1], xyz)]
            if len(match) != 1:
                problems.append("%s at %s found %d times" % (el, xyz, len(match)))
                continue
            if abs(match[0][2] - occ) > 1e-9:
                problems.append("%s occupancy %g, want %g" % (el, match[0][2], occ))
            if b is not None and abs(match[0][3] - b) > 1e-4:
                problems.append("%s B %g, want %g" % (el, match[0][3], b))
        print("%-8s %s: %s, %d atoms%s" % ("DIFFER" if problems else "AGREE", name, group, len(got),
                                          "; " + "; ".join(problems[:5]) if problems else ""))
        failures += bool(problems)
    try:
        import cctbx  # noqa: F401
        r = subprocess.run([sys.executable, os.path.join(root, "tools", "crosscheck_cif_cctbx.py"), "--cli", cli] + cifs)
        failures += r.returncode != 0
    except ImportError:
        print("cctbx not installed: its reading not checked")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
