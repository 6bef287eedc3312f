#!/usr/bin/python3
"""|F|^2 and integrated intensities of a small cubic structure whose sites have
their own occupancy and isotropic B, from the textbook formulas, for the
per-site displacement test (tests/engine/test_site_displacement.cpp).

F = sum_j occ_j (f0_j + f'_j + i f''_j) exp(-B_j s^2) exp(-2 pi i h.x_j),
s = sin(theta) / lambda; a site without its own B takes the experiment's B,
and then no common Debye-Waller factor is applied to |F|^2.
"""
import numpy as np

a = 4.2
lam = 1.54059
global_b = 0.9
# name, position, occupancy, own B (None: the experiment's), CM a, CM b, c, f', f'', neutron length
sites = [
    ("A", (0.0, 0.0, 0.0), 0.75, 0.6, (11.77, 7.36, 3.52, 2.30), (4.76, 0.31, 15.35, 76.88), 1.04, -1.1, 3.2, 9.45),
    ("B", (0.5, 0.5, 0.5), 1.0, None, (3.05, 2.29, 1.55, 0.87), (13.28, 5.70, 0.32, 32.91), 0.25, 0.05, 0.03, 5.803),
]
reflections = [((1, 0, 0), 6), ((1, 1, 0), 12), ((1, 1, 1), 8), ((2, 0, 0), 6), ((2, 1, 0), 24), ((2, 1, 1), 24),
               ((2, 2, 0), 12)]

# Instrument and sample values of the test, in the program's units.
beamarea, detslit, difradius, absorption, speed = 10.0, 10.0, 200.0, 0.0001, 1.0
re_ = 2.817938e-15
pi_prog = 3.14159265358979


def structure_factor(hkl, s2, neutrons):
    F = 0j
    for _, x, occ, b, ca, cb, c, fp, fpp, bn in sites:
        B = global_b if b is None else b
        w = occ * np.exp(-B * s2)
        phase = 2 * np.pi * np.dot(hkl, x)
        if neutrons:
            F += w * bn * np.exp(1j * phase)
        else:
            f0 = sum(ai * np.exp(-bi * s2) for ai, bi in zip(ca, cb)) + c
            F += w * (f0 + fp + 1j * fpp) * np.exp(-1j * phase)
    return abs(F) ** 2


V = a ** 3
for neutrons in (False, True):
    K = 1.989436788648694e-32 if neutrons else re_ ** 2 / (16 * np.pi)
    print("neutrons" if neutrons else "x-rays")
    for hkl, m in reflections:
        d = a / np.sqrt(np.dot(hkl, hkl))
        theta = np.arcsin(lam / (2 * d))
        s2 = (np.sin(theta) / lam) ** 2
        f2 = structure_factor(hkl, s2, neutrons)
        L = 1 / (np.sin(theta) ** 2 * 2 * np.cos(theta))
        P = 1.0 if neutrons else (1 + np.cos(2 * theta) ** 2) / 2
        num = (lam * 1e-10) ** 3 * 1e6 * K * (beamarea * 1e-6) * (detslit * 1e-6) * f2 * L * P * m
        den = (difradius * 1e-3) ** 2 * (V * 1e-30) ** 2 * (speed * pi_prog / 10800) * (2 * absorption * 100)
        print("      {{%d, %d, %d, %d, %.12g, %.12g}}," % (*hkl, m, f2, num / den))
