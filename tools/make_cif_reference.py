#!/usr/bin/python3
"""Writes the structure files that the CIF import tests compare against.

tests/data/cif/NAME.cif are written by hand; for the structures that have no
example file (anatase, the monoclinic C-centred one) cctbx expands the sites
of the CIF by the space group into the whole cell, and the cell is written as
a primitive structure file with every atom listed and the examples' factors.

Run with Debian's python3-cctbx: /usr/bin/python3 tools/make_cif_reference.py
"""
import os
from cctbx import crystal, xray
from cctbx.array_family import flex

import make_examples

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "tests", "data", "cif")

# name: (system name, space group, cell, [(element, x, y, z)]) as in NAME.cif
CASES = {
    "anatase": ("tetragonalna", "I 41/a m d :2", (3.7845, 3.7845, 9.5143, 90, 90, 90),
                [("Ti", 0, 0.75, 0.125), ("O", 0, 0.25, 0.0815)]),
    "monoclinic-C": ("jednoskosna", "C 1 2/m 1", (12.1787, 3.7412, 6.5249, 90, 107.054, 90),
                     [("Ti", 0.3014, 0, 0.7186), ("O", 0.3600, 0, 0.2980), ("O", 0, 0, 0),
                      ("O", 0.1340, 0, 0.6950)]),
}

for name, (system, group, cell, sites) in CASES.items():
    sym = crystal.symmetry(unit_cell=cell, space_group_symbol=group)
    scatterers = [xray.scatterer(label="%s%d" % (el, i), site=(x, y, z), scattering_type=el)
                  for i, (el, x, y, z) in enumerate(sites)]
    p1 = xray.structure(crystal_symmetry=sym, scatterers=flex.xray_scatterer(scatterers)).expand_to_p1(sites_mod_positive=True)
    atoms = [(sc.scattering_type, *sc.site) for sc in p1.scatterers()]
    make_examples.write(name, system, "P", cell, atoms, folder=OUT)
    print(name, len(atoms), "atoms")
