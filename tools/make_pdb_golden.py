#!/usr/bin/python3
"""Fractional coordinates and |F|^2 of a tiny monoclinic PDB structure, for
the PDB import test (tests/documents/test_macromolecule_import.cpp).

The fractional coordinates come from numpy: the inverse of the PDB's
orthogonalisation (a along x, b in the xy plane, c* along z). |F|^2 comes
from cctbx, which reads the same text on its own (iotbx.pdb): occupancies,
isotropic B and the charge of the iron ion from the file, Cromer-Mann
coefficients of International Tables (cctbx's it1992, hydrogen's from vol. C),
no anomalous terms, the direct sum over the cell. The atoms stand residue by
residue, as the import lists them.

Run with Debian's python3-cctbx:  /usr/bin/python3 tools/make_pdb_golden.py
"""
import numpy as np

import iotbx.pdb
from cctbx import miller
from cctbx.eltbx import xray_scattering
from cctbx.array_family import flex

# The test's text, column for column.
PDB = """\
CRYST1    8.100    9.300   10.600  90.00 103.50  90.00 P 1 21 1      2
ATOM      1  N   GLY A   1       1.234   2.345   3.456  1.00 12.50           N
ATOM      2  CA  GLY A   1       2.456   1.987   4.321  1.00 14.20           C
ATOM      6  H   GLY A   1       0.602   2.910   2.871  1.00 15.00           H
ATOM      3  SD  MET A   2      -0.812   5.120   7.003  1.00 30.00           S
ATOM      4  OG ASER A   3       4.410   6.650   1.210  0.60 18.00           O
ATOM      5  OG BSER A   3       4.020   7.150   1.905  0.40 21.00           O
HETATM    7 FE   HEM A   4       3.300   0.450   8.800  1.00  9.75          FE2+
"""

HKL = [(1, 0, 0), (0, 1, 1), (1, 1, -1), (2, 0, 1), (1, 2, 3), (-3, 1, 2), (0, 4, 0), (2, 3, -4)]


def orthogonalisation(a, b, c, al, be, ga):
    al, be, ga = np.radians([al, be, ga])
    V = a * b * c * np.sqrt(1 - np.cos(al) ** 2 - np.cos(be) ** 2 - np.cos(ga) ** 2
                            + 2 * np.cos(al) * np.cos(be) * np.cos(ga))
    # c* along z: the third row is (0, 0, V / (a b sin(gamma))).
    return np.array([[a, b * np.cos(ga), c * np.cos(be)],
                     [0, b * np.sin(ga), c * (np.cos(al) - np.cos(be) * np.cos(ga)) / np.sin(ga)],
                     [0, 0, V / (a * b * np.sin(ga))]])


cell = [float(PDB[6:15]), float(PDB[15:24]), float(PDB[24:33]), float(PDB[33:40]), float(PDB[40:47]),
        float(PDB[47:54])]
M = orthogonalisation(*cell)
print("fractional:")
for line in PDB.splitlines()[1:]:
    xyz = np.array([float(line[30:38]), float(line[38:46]), float(line[46:54])])
    print("      {%.12f, %.12f, %.12f}," % tuple(np.linalg.solve(M, xyz)))

xs = iotbx.pdb.input(source_info=None, lines=flex.split_lines(PDB)).xray_structure_simple()
# Hydrogen as International Tables vol. C (Table 6.1.1.4) gives it; cctbx's
# it1992 entry for H is another fit.
xs.scattering_type_registry(table="it1992", custom_dict={"H": xray_scattering.gaussian(
    [0.489918, 0.262003, 0.196767, 0.049879], [20.6593, 7.74039, 49.5519, 2.20159], 0.001305)})
print("types:", xs.scattering_type_registry().type_count_dict())
ms = miller.set(crystal_symmetry=xs.crystal_symmetry(), indices=flex.miller_index(HKL), anomalous_flag=False)
fc = ms.structure_factors_from_scatterers(xs, algorithm="direct").f_calc()
print("|F|^2:")
for hkl, f, d in zip(HKL, fc.data(), ms.d_spacings().data()):
    print("      {%d, %d, %d, %.12g, %.12g}," % (*hkl, d, abs(f) ** 2))
