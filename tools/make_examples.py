#!/usr/bin/python3
"""Writes the example structures in examples/ with real scattering factors.

X-ray form factors: International Tables Vol. C Table 6.1.1.4 (IT1992
four-Gaussian fits), cctbx.eltbx.xray_scattering.it1992.
Anomalous dispersion at Cu Ka1 (1.540562 A): Sasaki (1989), cctbx.eltbx.sasaki.
Neutron coherent scattering lengths in fm: Sears, Neutron News 3 (1992) 26,
cctbx.eltbx.neutron.
Cell constants and positions: standard room-temperature structures.

Run with Debian's python3-cctbx: /usr/bin/python3 tools/make_examples.py
"""
import os
from cctbx.eltbx import neutron, sasaki, xray_scattering

CU_KA1, CU_KA2 = 1.540562, 1.544390
Z = {"Na": 11, "Cl": 17, "Si": 14, "Cs": 55, "Fe": 26, "Ti": 22, "O": 8, "Zn": 30}
COLOR = {"Na": 0xC080FF, "Cl": 0x40C000, "Si": 0xA0A0A0, "Cs": 0xFF8000, "Fe": 0x2020E0,
         "Ti": 0xC0C0C0, "O": 0x0000FF, "Zn": 0x808080}
RADIUS = {"Na": 20, "Cl": 30, "Si": 22, "Cs": 34, "Fe": 25, "Ti": 25, "O": 15, "Zn": 24}

# name: (lattice, centring, (a, b, c, alfa, beta, gamma), [(element, x, y, z)])
STRUCTURES = {
    "NaCl": ("regularna", "F", (5.6402, 5.6402, 5.6402, 90, 90, 90),
             [("Na", 0, 0, 0), ("Cl", 0.5, 0.5, 0.5)]),
    "Si": ("regularna", "F", (5.4309, 5.4309, 5.4309, 90, 90, 90),
           [("Si", 0, 0, 0), ("Si", 0.25, 0.25, 0.25)]),
    "CsCl": ("regularna", "P", (4.123, 4.123, 4.123, 90, 90, 90),
             [("Cs", 0, 0, 0), ("Cl", 0.5, 0.5, 0.5)]),
    "alpha-Fe": ("regularna", "I", (2.8665, 2.8665, 2.8665, 90, 90, 90),
                 [("Fe", 0, 0, 0)]),
    "rutile-TiO2": ("tetragonalna", "P", (4.5937, 4.5937, 2.9587, 90, 90, 90),
                    [("Ti", 0, 0, 0), ("Ti", 0.5, 0.5, 0.5),
                     ("O", 0.30476, 0.30476, 0), ("O", 0.69524, 0.69524, 0),
                     ("O", 0.80476, 0.19524, 0.5), ("O", 0.19524, 0.80476, 0.5)]),
    "wurtzite-ZnO": ("heksagonalna", "P", (3.2498, 3.2498, 5.2066, 90, 90, 120),
                     [("Zn", 1 / 3, 2 / 3, 0), ("Zn", 2 / 3, 1 / 3, 0.5),
                      ("O", 1 / 3, 2 / 3, 0.3819), ("O", 2 / 3, 1 / 3, 0.8819)]),
}


def factors(el):
    g = xray_scattering.it1992(el).fetch()
    a, b = list(g.array_of_a()), list(g.array_of_b())
    s = sasaki.table(el).at_angstrom(CU_KA1)
    bn = neutron.neutron_news_1992_table(el).bound_coh_scatt_length().real
    return dict(s=bn, a=a, b=b, c=g.c(), fprim=s.fp(), fbis=s.fdp())


def write(name, lattice, centring, cell, atoms, folder=None):
    out = ['<?xml version="1.0"?>', "<pelmora>", "\t<baza>",
           "\t\t<lattice>%s</lattice>" % lattice, "\t\t<lat_type>%s</lat_type>" % centring]
    for el, x, y, z in atoms:
        f = factors(el)
        out.append('\t\t<atom name="%s" nr="%d">' % (el, Z[el]))
        out.append("\t\t\t<x>%.6f</x><y>%.6f</y><z>%.6f</z>" % (x, y, z))
        out.append("\t\t\t<factors>")
        vals = [f["s"], f["a"][0], f["b"][0], f["a"][1], f["b"][1], f["a"][2], f["b"][2],
                f["a"][3], f["b"][3], f["c"], f["fprim"], f["fbis"]]
        tags = ["s", "a1", "b1", "a2", "b2", "a3", "b3", "a4", "b4", "c", "fprim", "fbis"]
        out.append("\t\t\t\t" + "".join("<%s>%.6f</%s>" % (t, v, t) for t, v in zip(tags, vals)))
        out.append("\t\t\t</factors>")
        out.append("\t\t\t<color>%d</color>" % COLOR[el])
        out.append("\t\t\t<radius>%d</radius>" % RADIUS[el])
        out.append("\t\t</atom>")
    a, b, c, al, be, ga = cell
    out.append("\t\t<a>%.6f</a><b>%.6f</b><c>%.6f</c>" % (a, b, c))
    out.append("\t\t<alfa>%.6f</alfa><beta>%.6f</beta><gamma>%.6f</gamma>" % (al, be, ga))
    out += ["\t</baza>", "\t<param>", '\t\t<source name="Cu Ka" type="x">',
            "\t\t\t<lambda1>%.8f</lambda1>" % CU_KA1, "\t\t\t<lambda2>%.8f</lambda2>" % CU_KA2,
            "\t\t\t<ratio>%.4f</ratio>" % 0.5, "\t\t</source>",
            '\t\t<aparat name="Bragg-Brentano">']
    for t, v in zip("uvwxy", (0.01, -0.005, 0.003, 0.02, 0.01)):
        out.append("\t\t\t<%s>%.8f</%s>" % (t, v, t))
    out += ["\t\t</aparat>", "\t\t<angle>", "\t\t\t<max>%.2f</max>" % 150.0,
            "\t\t\t<min>%.2f</min>" % 10.0, "\t\t</angle>",
            "\t\t<gsize>%.2f</gsize>" % 1000000.0,
            "\t\t<absorption>0.0001</absorption>", "\t\t<detslit>10</detslit>",
            "\t\t<beamarea>10</beamarea>", "\t\t<measurespeed>1</measurespeed>",
            "\t\t<difradius>200</difradius>", "\t</param>", "</pelmora>"]
    folder = folder or os.path.join(os.path.dirname(__file__), "..", "examples")
    path = os.path.join(folder, name + ".xml")
    with open(path, "w", newline="") as fh:
        fh.write("\r\n".join(out) + "\r\n")


if __name__ == "__main__":
    for name, (lat, cen, cell, atoms) in STRUCTURES.items():
        write(name, lat, cen, cell, atoms)
