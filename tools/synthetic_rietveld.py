#!/usr/bin/python3
"""Powder patterns with known truth, from the textbook formulas alone (no
part of Pelmora): a structure's |F|^2 from neutron scattering lengths, the
Lorentz factor, March-Dollase preferred orientation per reflection, the
Thompson-Cox-Hastings pseudo-Voigt with microstrain, the axial divergence
of Finger, Cox & Jephcoat integrated numerically, zero shift and sample
displacement, a polynomial background and Poisson noise.

Used by tests/cli/refine_synthetic.py; run alone it writes one pattern:
    synthetic_rietveld.py OUT.xy
"""
import math
import sys

import numpy as np

TCH_H = (2.69269, 2.42843, 4.47163, 0.07842)
TCH_ETA = (1.36603, 0.47719, 0.11116)


def operators(triplets):
    """'x,1/2-y,z+1/2' -> (R, t)."""
    ops = []
    for trip in triplets:
        R, t = np.zeros((3, 3)), np.zeros(3)
        for i, part in enumerate(trip.replace(" ", "").split(",")):
            for j, v in enumerate("xyz"):
                env = {"x": 0.0, "y": 0.0, "z": 0.0}
                base = eval(part, {}, env)
                env[v] = 1.0
                R[i, j] = eval(part, {}, env) - base
            t[i] = eval(part, {}, {"x": 0.0, "y": 0.0, "z": 0.0})
        ops.append((R, t))
    return ops


def cell_atoms(sites, ops):
    """Every atom of the cell: (b, occ, B, position)."""
    atoms = []
    for b, occ, B, xyz in sites:
        seen = []
        for R, t in ops:
            p = (R @ np.array(xyz) + t) % 1.0
            if any(np.all(np.abs((p - q + 0.5) % 1.0 - 0.5) < 1e-4) for q in seen):
                continue
            seen.append(p)
            atoms.append((b, occ, B, p))
    return atoms


def metric(cell):
    a, b, c, al, be, ga = cell
    ca, cb, cg = (math.cos(math.radians(x)) for x in (al, be, ga))
    return np.array([[a * a, a * b * cg, a * c * cb], [a * b * cg, b * b, b * c * ca], [a * c * cb, b * c * ca, c * c]])


def tch(gG, gL):
    H = (gG ** 5 + TCH_H[0] * gG ** 4 * gL + TCH_H[1] * gG ** 3 * gL ** 2 + TCH_H[2] * gG ** 2 * gL ** 3 +
         TCH_H[3] * gG * gL ** 4 + gL ** 5) ** 0.2
    q = gL / H
    return H, TCH_ETA[0] * q - TCH_ETA[1] * q * q + TCH_ETA[2] * q ** 3


def pseudo_voigt(x, H, eta):
    g = 2 * math.sqrt(math.log(2) / math.pi) / H * np.exp(-4 * math.log(2) * (x / H) ** 2)
    l = 2 / (math.pi * H) / (1 + 4 * (x / H) ** 2)
    return eta * l + (1 - eta) * g


def fcj_profile(x, tth, H, eta, shl):
    """The pseudo-Voigt convolved with the axial-divergence weight for
    S/L = H/L = shl: W(phi) = 2 shl - h(phi) over h(phi) cos(phi), phi from
    phi_min to 2theta, sampled finely in u = sqrt(2theta - phi)."""
    t2 = math.radians(tth)
    low = t2 < math.pi / 2
    t2m = t2 if low else math.pi - t2
    c = math.cos(t2m)
    cmin = c * math.sqrt((2 * shl) ** 2 + 1)
    if shl <= 0 or cmin >= 1:
        return pseudo_voigt(x, H, eta)
    span = t2m - math.acos(cmin)
    n = int(min(400, max(40, 50 * math.degrees(span) / H)))
    u = (np.arange(n) + 0.5) / n * math.sqrt(span)
    phi = t2m - u * u
    h = np.sqrt(np.maximum(np.cos(phi) ** 2 / c ** 2 - 1, 1e-300))
    w = np.maximum(2 * shl - h, 0) / (h * np.cos(phi)) * 2 * u  # dphi = 2u du
    w /= w.sum()
    off = np.degrees(phi - t2m) * (1 if low else -1)
    keep = w > 1e-9
    w, off = w[keep], off[keep]
    return (w[:, None] * pseudo_voigt(x[None, :] - off[:, None], H, eta)).sum(axis=0)


def pattern(truth, t):
    """y at the angles t for the truth's values (a dict)."""
    G = metric(truth["cell"])
    Gs = np.linalg.inv(G)
    V = math.sqrt(np.linalg.det(G))
    lam = truth["lambda"]
    atoms = cell_atoms(truth["sites"], operators(truth["ops"]))
    dmin = lam / (2 * math.sin(math.radians(min(t[-1] + 3, 179.9) / 2)))
    lim = [int(truth["cell"][i] / dmin) + 1 for i in range(3)]
    axis = np.array(truth.get("axis", (0, 0, 1)), float)
    r = truth.get("r", 1.0)
    U, Vw, W, X, Y = truth["uvwxy"]
    lines = {}  # reflections of one spacing: one peak, their intensities summed
    for h in range(-lim[0], lim[0] + 1):
        for k in range(-lim[1], lim[1] + 1):
            for l in range(-lim[2], lim[2] + 1):
                hv = np.array([h, k, l], float)
                q2 = hv @ Gs @ hv
                if q2 == 0 or q2 > 1 / dmin ** 2:
                    continue
                s2 = q2 / 4
                F = sum(b * occ * math.exp(-B * s2) * np.exp(2j * math.pi * (hv @ p)) for b, occ, B, p in atoms)
                cos2 = (hv @ Gs @ axis) ** 2 / (q2 * (axis @ Gs @ axis))
                P = (r * r * cos2 + (1 - cos2) / r) ** -1.5
                key = round(q2, 9)
                lines[key] = lines.get(key, 0.0) + abs(F) ** 2 * P
    y = np.zeros_like(t)
    for q2, F2P in lines.items():
        sinth = lam * math.sqrt(q2) / 2
        if F2P < 1e-9 or sinth >= 1:
            continue
        th = math.asin(sinth)
        L = 1 / (math.sin(th) ** 2 * math.cos(th))
        tth = math.degrees(2 * th) + truth["zero"] - math.degrees(2 * truth["displacement"] * math.cos(th) / 200.0)
        tn = math.tan(th)
        gG = math.sqrt(U * tn * tn + Vw * tn + W)
        gL = X * tn + Y / math.cos(th) + 8 / math.pi * math.degrees(truth["strain"]) * tn
        H, eta = tch(gG, gL)
        near = np.abs(t - tth) < 25 * H + 3
        if near.any():
            y[near] += truth["scale"] * F2P * L / V ** 2 * fcj_profile(t[near] - tth, tth, H, eta, truth["shl"])
    u = (t - t.mean()) / (0.5 * (t[-1] - t[0]))
    return y + sum(c * u ** i for i, c in enumerate(truth["background"]))


# Anglesite in P b n m (Jacobsen et al., Can. Mineral. 36 (1998) 1053), as
# neutron scattering lengths in fm (Sears).
PBSO4_OPS = ["x,y,z", "x,y,1/2-z", "-x,-y,1/2+z", "1/2+x,1/2-y,1/2+z", "1/2-x,1/2+y,1/2-z", "1/2-x,1/2+y,z",
             "1/2+x,1/2-y,-z", "-x,-y,-z"]
PBSO4 = {
    "ops": PBSO4_OPS, "cell": (6.9549, 8.472, 5.3973, 90, 90, 90), "lambda": 1.5,
    "sites": [(9.405, 1.0, 1.4, (0.16716, 0.18798, 0.25)), (2.847, 1.0, 0.6, (0.18490, 0.43580, 0.75)),
              (5.803, 1.0, 1.8, (0.09460, 0.59150, 0.75)), (5.803, 1.0, 1.5, (0.04240, 0.30720, 0.75)),
              (5.803, 1.0, 1.3, (0.30900, 0.41890, 0.97260))],
    "uvwxy": (0.02, -0.03, 0.04, 0.0, 0.02), "zero": 0.0, "displacement": 0.0, "strain": 0.0, "shl": 0.0,
    "axis": (0, 0, 1), "r": 1.0, "scale": 1.0, "background": (200.0, -30.0, 20.0),
}


def write_cif(path, sites):
    """PbSO4 with the given sites (as in PBSO4) as a CIF, the start of a refinement."""
    rows = "".join("%s %s %.6f %.6f %.6f %.4f %.4f\n" % (label, label.rstrip("0123456789"), *xyz, occ, B)
                   for label, (b, occ, B, xyz) in zip(["Pb", "S", "O1", "O2", "O3"], sites))
    with open(path, "w") as f:
        f.write("data_start\n_cell_length_a %g\n_cell_length_b %g\n_cell_length_c %g\n" % PBSO4["cell"][:3] +
                "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
                "_symmetry_space_group_name_H-M 'P b n m'\nloop_\n_symmetry_equiv_pos_as_xyz\n" +
                "".join(op + "\n" for op in PBSO4_OPS) +
                "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n"
                "_atom_site_fract_z\n_atom_site_occupancy\n_atom_site_B_iso_or_equiv\n" + rows)
    return path


def write(path, truth, lo, hi, step, peak, seed):
    t = lo + step * np.arange(int(round((hi - lo) / step)) + 1)
    y = pattern(truth, t)
    bg = pattern(dict(truth, scale=0.0), t)
    y = bg + (y - bg) * peak / (y - bg).max()
    counts = np.random.default_rng(seed).poisson(y)
    np.savetxt(path, np.column_stack([t, counts]), fmt="%.4f %d", header="2theta counts")
    return path


if __name__ == "__main__":
    write(sys.argv[1], PBSO4, 10.0, 150.0, 0.02, 20000.0, 1)
