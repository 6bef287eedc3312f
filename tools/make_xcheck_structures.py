#!/usr/bin/python3
"""Writes the structures of the cctbx cross-check, tests/data/xcheck/*.xml.

Each structure is given by its space group, cell and asymmetric unit; cctbx
expands it to the whole cell (expand_to_p1) and the copies that differ only
by a centring translation are dropped, because the program adds the centring
itself. Rhombohedral structures are turned to rhombohedral axes first.

X-ray form factors: International Tables Vol. C Table 6.1.1.4 (IT1992),
cctbx.eltbx.xray_scattering.it1992. f'/f'': Sasaki (1989) at the file's first
wavelength, cctbx.eltbx.sasaki. Neutron scattering lengths in fm: Sears (1992),
cctbx.eltbx.neutron. Cells and positions: room-temperature literature values,
rounded.

Run with Debian's python3-cctbx: /usr/bin/python3 tools/make_xcheck_structures.py
"""
import os

from cctbx import crystal, xray
from cctbx.eltbx import neutron, sasaki, xray_scattering

CU = ("Cu Ka", "x", 1.540562, 1.544390, 0.5)
CO = ("Co Ka", "x", 1.788965, 1.792850, 0.5)
MO = ("Mo Ka", "x", 0.709300, 0.713590, 0.5)
NEUTRON = ("D1A", "n", 1.5403, 0.0, 0.0)

Z = {"C": 6, "O": 8, "F": 9, "Mg": 12, "Al": 13, "Si": 14, "S": 16, "Ca": 20, "Ti": 22, "Mn": 25,
     "Cu": 29, "Ga": 31, "As": 33, "Sr": 38, "Y": 39, "Zr": 40, "U": 92}

# name: (system, centring letter, space group, (a, b, c, alfa, beta, gamma),
#        [(element, x, y, z)], source, (2theta min, max), Debye-Waller B or None)
STRUCTURES = {
    # monoclinic P: baddeleyite, P 21/c
    "ZrO2-baddeleyite": ("jednoskosna", "P", "P 1 21/c 1", (5.1507, 5.2028, 5.3156, 90, 99.196, 90),
                         [("Zr", 0.2754, 0.0395, 0.2083), ("O", 0.0700, 0.3317, 0.3447),
                          ("O", 0.4496, 0.7569, 0.4792)], CU, (10, 150), 0.45),
    # monoclinic C: tenorite, C 2/c, with cobalt radiation
    "CuO-tenorite": ("jednoskosna", "C", "C 1 2/c 1", (4.6837, 3.4226, 5.1288, 90, 99.54, 90),
                     [("Cu", 0.25, 0.25, 0.0), ("O", 0.0, 0.4184, 0.25)], CO, (15, 140), None),
    # triclinic: kyanite, P -1, with molybdenum radiation
    "kyanite": ("trojskosna", "P", "P -1", (7.1262, 7.8520, 5.5724, 89.99, 101.11, 106.03),
                [("Al", 0.3254, 0.7040, 0.4582), ("Al", 0.2974, 0.6989, 0.9505),
                 ("Al", 0.0998, 0.3862, 0.6404), ("Al", 0.1120, 0.9175, 0.1649),
                 ("Si", 0.2962, 0.0649, 0.7066), ("Si", 0.2910, 0.3317, 0.1892),
                 ("O", 0.1095, 0.1468, 0.1288), ("O", 0.1230, 0.6856, 0.1812),
                 ("O", 0.2747, 0.4545, 0.9547), ("O", 0.2831, 0.9354, 0.9353),
                 ("O", 0.1219, 0.6307, 0.6389), ("O", 0.2822, 0.4453, 0.4288),
                 ("O", 0.2915, 0.9467, 0.4659), ("O", 0.5008, 0.2749, 0.2440),
                 ("O", 0.1084, 0.1520, 0.6669), ("O", 0.5015, 0.2312, 0.7566)], MO, (5, 60), None),
    # rhombohedral axes: corundum, R -3 c (hexagonal cell given, turned to rhombohedral)
    "corundum-rh": ("romboedryczna", "P", "R -3 c :H", (4.7589, 4.7589, 12.991, 90, 90, 120),
                    [("Al", 0.0, 0.0, 0.35216), ("O", 0.30624, 0.0, 0.25)], CU, (10, 150), None),
    # hexagonal: graphite and magnesium, P 63/mmc
    "graphite": ("heksagonalna", "P", "P 63/m m c", (2.464, 2.464, 6.711, 90, 90, 120),
                 [("C", 0.0, 0.0, 0.25), ("C", 1 / 3, 2 / 3, 0.25)], CU, (10, 150), None),
    "Mg": ("heksagonalna", "P", "P 63/m m c", (3.2094, 3.2094, 5.2108, 90, 90, 120),
           [("Mg", 1 / 3, 2 / 3, 0.25)], CU, (10, 150), 1.2),
    # orthorhombic P: forsterite, P b n m
    "forsterite": ("rombowa", "P", "P b n m", (4.7535, 10.1943, 5.9807, 90, 90, 90),
                   [("Mg", 0.0, 0.0, 0.0), ("Mg", 0.9915, 0.2774, 0.25), ("Si", 0.4262, 0.0940, 0.25),
                    ("O", 0.7657, 0.0913, 0.25), ("O", 0.2215, 0.4474, 0.25),
                    ("O", 0.2777, 0.1628, 0.0331)], CU, (10, 120), None),
    # orthorhombic I: Sr2CuO3, I m m m
    "Sr2CuO3": ("rombowa", "I", "I m m m", (12.68, 3.91, 3.48, 90, 90, 90),
                [("Sr", 0.355, 0.0, 0.0), ("Cu", 0.0, 0.0, 0.0), ("O", 0.157, 0.0, 0.0),
                 ("O", 0.0, 0.5, 0.0)], CU, (10, 150), None),
    # orthorhombic C: alpha-uranium, C m c m
    "alpha-U": ("rombowa", "C", "C m c m", (2.854, 5.869, 4.955, 90, 90, 90),
                [("U", 0.0, 0.1025, 0.25)], CU, (10, 150), None),
    # orthorhombic F and a large cell (c > 15 A): alpha-sulfur, F d d d (origin 2)
    "alpha-S": ("rombowa", "F", "F d d d :2", (10.4646, 12.8660, 24.4860, 90, 90, 90),
                [("S", 0.8554, 0.9526, 0.9516), ("S", 0.7844, 0.0301, 0.0763),
                 ("S", 0.7069, 0.9795, 0.0040), ("S", 0.7862, 0.9073, 0.1290)], CU, (10, 150), None),
    # tetragonal I: anatase, I 41/amd (origin 1)
    "anatase": ("tetragonalna", "I", "I 41/a m d :1", (3.7852, 3.7852, 9.5139, 90, 90, 90),
                [("Ti", 0.0, 0.0, 0.0), ("O", 0.0, 0.0, 0.2081)], CU, (10, 150), None),
    # cubic P, I, F with several sites
    "SrTiO3": ("regularna", "P", "P m -3 m", (3.905, 3.905, 3.905, 90, 90, 90),
               [("Sr", 0.0, 0.0, 0.0), ("Ti", 0.5, 0.5, 0.5), ("O", 0.5, 0.5, 0.0)], CU, (10, 150), None),
    "YAG-garnet": ("regularna", "I", "I a -3 d", (12.000, 12.000, 12.000, 90, 90, 90),
                   [("Y", 0.125, 0.0, 0.25), ("Al", 0.0, 0.0, 0.0), ("Al", 0.375, 0.0, 0.25),
                    ("O", -0.0306, 0.0512, 0.1500)], CU, (10, 150), None),
    "spinel-MgAl2O4": ("regularna", "F", "F d -3 m :2", (8.0831, 8.0831, 8.0831, 90, 90, 90),
                       [("Mg", 0.125, 0.125, 0.125), ("Al", 0.5, 0.5, 0.5), ("O", 0.2624, 0.2624, 0.2624)],
                       CU, (10, 150), 0.5),
    "CaF2": ("regularna", "F", "F m -3 m", (5.4630, 5.4630, 5.4630, 90, 90, 90),
             [("Ca", 0.0, 0.0, 0.0), ("F", 0.25, 0.25, 0.25)], CU, (10, 150), None),
    # non-centrosymmetric with strong f'' and a Debye-Waller factor: GaAs, F -4 3 m
    "GaAs": ("regularna", "F", "F -4 3 m", (5.6533, 5.6533, 5.6533, 90, 90, 90),
             [("Ga", 0.0, 0.0, 0.0), ("As", 0.25, 0.25, 0.25)], CU, (10, 150), 0.6),
    # neutrons, with a negative scattering length: MnO (nuclear cell), F m -3 m
    "MnO-neutron": ("regularna", "F", "F m -3 m", (4.4457, 4.4457, 4.4457, 90, 90, 90),
                    [("Mn", 0.0, 0.0, 0.0), ("O", 0.5, 0.5, 0.5)], NEUTRON, (10, 150), None),
}

CENTRING = {"P": [], "I": [(0.5, 0.5, 0.5)], "C": [(0.5, 0.5, 0.0)],
            "F": [(0.5, 0.5, 0.0), (0.5, 0.0, 0.5), (0.0, 0.5, 0.5)]}


def same_site(p, q):
    return all(abs(((a - b + 0.5) % 1.0) - 0.5) < 1e-5 for a, b in zip(p, q))


def one_lattice_point(structure, centring):
    """The P1 atoms of one lattice point: each centring copy of a kept atom is dropped."""
    kept = []
    for sc in structure.expand_to_p1(sites_mod_positive=True).scatterers():
        site = tuple(sc.site)
        copies = [tuple(s + t for s, t in zip(k[1], tr)) for k in kept for tr in CENTRING[centring]
                  if k[0] == sc.scattering_type]
        if any(same_site(site, c) for c in copies):
            continue
        kept.append((sc.scattering_type, site))
    return kept


def cell_and_atoms(system, centring, sg, cell, sites):
    cs = crystal.symmetry(unit_cell=cell, space_group_symbol=sg)
    scatterers = [xray.scatterer(label="%s%d" % (el, i), site=xyz, scattering_type=el)
                  for i, (el, *xyz) in enumerate(sites)]
    xs = xray.structure(crystal_symmetry=cs, scatterers=xray.flex.xray_scatterer(scatterers))
    if system == "romboedryczna":
        xs = xs.change_basis(cs.space_group_info().change_of_basis_op_to_primitive_setting())
    atoms = one_lattice_point(xs, centring)
    expected = xs.expand_to_p1().scatterers().size() // (1 + len(CENTRING[centring]))
    assert len(atoms) == expected, (sg, len(atoms), expected)
    return xs.unit_cell().parameters(), atoms


def factors(el, lambda1):
    g = xray_scattering.it1992(el).fetch()
    a, b = list(g.array_of_a()), list(g.array_of_b())
    s = sasaki.table(el).at_angstrom(lambda1)
    bn = neutron.neutron_news_1992_table(el).bound_coh_scatt_length().real
    return [bn, a[0], b[0], a[1], b[1], a[2], b[2], a[3], b[3], g.c(), s.fp(), s.fdp()]


def write(path, system, centring, cell, atoms, source, angles, dw):
    name, kind, l1, l2, ratio = source
    out = ['<?xml version="1.0"?>', "<pelmora>", "\t<baza>",
           "\t\t<lattice>%s</lattice>" % system, "\t\t<lat_type>%s</lat_type>" % centring]
    tags = ["s", "a1", "b1", "a2", "b2", "a3", "b3", "a4", "b4", "c", "fprim", "fbis"]
    for el, (x, y, z) in atoms:
        vals = factors(el, l1)
        if kind == "n":
            vals[-2:] = [0.0, 0.0]  # no anomalous dispersion for neutrons
        out.append('\t\t<atom name="%s" nr="%d">' % (el, Z[el]))
        out.append("\t\t\t<x>%.6f</x><y>%.6f</y><z>%.6f</z>" % (x % 1.0, y % 1.0, z % 1.0))
        out.append("\t\t\t<factors>")
        out.append("\t\t\t\t" + "".join("<%s>%.6f</%s>" % (t, v, t) for t, v in zip(tags, vals)))
        out += ["\t\t\t</factors>", "\t\t\t<color>%d</color>" % 0xC0C0C0, "\t\t\t<radius>%d</radius>" % 20,
                "\t\t</atom>"]
    a, b, c, al, be, ga = cell
    out.append("\t\t<a>%.6f</a><b>%.6f</b><c>%.6f</c>" % (a, b, c))
    out.append("\t\t<alfa>%.6f</alfa><beta>%.6f</beta><gamma>%.6f</gamma>" % (al, be, ga))
    out += ["\t</baza>", "\t<param>", '\t\t<source name="%s" type="%s">' % (name, kind),
            "\t\t\t<lambda1>%.8f</lambda1>" % l1, "\t\t\t<lambda2>%.8f</lambda2>" % l2,
            "\t\t\t<ratio>%.4f</ratio>" % ratio, "\t\t</source>", '\t\t<aparat name="Bragg-Brentano">']
    for t, v in zip("uvwxy", (0.01, -0.005, 0.003, 0.02, 0.01)):
        out.append("\t\t\t<%s>%.8f</%s>" % (t, v, t))
    out += ["\t\t</aparat>", "\t\t<angle>", "\t\t\t<max>%.2f</max>" % angles[1],
            "\t\t\t<min>%.2f</min>" % angles[0], "\t\t</angle>"]
    if dw is not None:
        out.append("\t\t<dwfactor>%.8f</dwfactor>" % dw)
    out += ["\t\t<gsize>%.2f</gsize>" % 1000000.0,
            "\t\t<absorption>0.0001</absorption>", "\t\t<detslit>10</detslit>",
            "\t\t<beamarea>10</beamarea>", "\t\t<measurespeed>1</measurespeed>",
            "\t\t<difradius>200</difradius>", "\t</param>", "</pelmora>"]
    with open(path, "w", newline="") as fh:
        fh.write("\r\n".join(out) + "\r\n")


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data", "xcheck")
    os.makedirs(folder, exist_ok=True)
    for name, (system, centring, sg, cell, sites, source, angles, dw) in STRUCTURES.items():
        cell_params, atoms = cell_and_atoms(system, centring, sg, cell, sites)
        write(os.path.join(folder, name + ".xml"), system, centring, cell_params, atoms, source, angles, dw)
        print("%-18s %-13s %s %3d atoms per lattice point" % (name, system, centring, len(atoms)))


if __name__ == "__main__":
    main()
