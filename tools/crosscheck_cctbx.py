#!/usr/bin/python3
"""Checks pelmora-cli's reflection lists against cctbx.

For every structure file given (default: tests/data/xcheck/*.xml) cctbx
computes, by direct summation over the file's atoms with the file's own
Cromer-Mann coefficients, f'/f'' and wavelengths (neutrons: the file's
scattering lengths), every reflection h k l in the file's 2-theta range,
whatever its indices: d, 2-theta, Re F, Im F, |F|^2. The centring is applied
by cctbx's own symmetry expansion, the rhombohedral and triclinic metrics by
cctbx's unit cell. The reflections are grouped into forms (same RoundDown4 of
theta, related by an operation of the structure's Laue group, which is found
here: the integer matrices that keep cctbx's reciprocal metric and map the
expanded atoms onto atoms of their kind, with the inversion), a group's
|F|^2 being the mean of its members', and the relative intensities are
evaluated here from that mean, multiplicity, Lorentz-polarisation,
Debye-Waller and lambda^3 (ratio for the second line). The result is compared
with `pelmora-cli calc FILE --extinct --ka2` at the printed precision
(2-theta and d to 4 decimals, F to 3, percent to 4); the list without
--extinct must leave out exactly the groups whose |F|^2 prints as 0.0000.
Neutron sources have no second line.

Sign convention: for X-rays the program sums f e^(-i phi), cctbx f e^(+i phi),
so the program's F(h k l) is compared with cctbx's F(-h -k -l). Neutrons use
e^(+i phi) in both.

--write-ref writes tests/data/xcheck/NAME.ref, the reference values of a
selection of reflections that tests/test_crosscheck.cpp checks.

Run with Debian's python3-cctbx:
  /usr/bin/python3 tools/crosscheck_cctbx.py [--cli build/bin/pelmora-cli] [--write-ref] [FILE.xml ...]
Exit status 0 when nothing disagrees.
"""
import argparse
import glob
import math
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

from cctbx import crystal, miller, sgtbx, xray
from cctbx.array_family import flex
from cctbx.eltbx import xray_scattering

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
MAX_INDEX = 15
CENTRING = {"P": [], "I": [(6, 6, 6)], "C": [(6, 6, 0)], "F": [(6, 6, 0), (6, 0, 6), (0, 6, 6)]}
FACTOR_TAGS = ["s", "a1", "b1", "a2", "b2", "a3", "b3", "a4", "b4", "c", "fprim", "fbis"]


def round_down4(x):
    p = math.pow(10, 4)
    return math.floor(x * p) / p


# ---------------------------------------------------------------------------
# The structure file, read here on its own terms.

def read_structure(path):
    root = ET.parse(path).getroot()
    baza, param = root.find("baza"), root.find("param")
    atoms = []
    for at in baza.findall("atom"):
        f = at.find("factors")
        atoms.append(dict(name=at.get("name"), xyz=tuple(float(at.find(t).text) for t in "xyz"),
                          **{t: float(f.find(t).text) for t in FACTOR_TAGS}))
    src = param.find("source")
    dw = param.find("dwfactor")
    return dict(
        centring=baza.find("lat_type").text.strip(),
        cell=tuple(float(baza.find(t).text) for t in ("a", "b", "c", "alfa", "beta", "gamma")),
        atoms=atoms,
        neutrons=src.get("type", "x").startswith("n"),
        lambda1=float(src.find("lambda1").text), lambda2=float(src.find("lambda2").text),
        ratio=float(src.find("ratio").text),
        angle_min=float(param.find("angle/min").text), angle_max=float(param.find("angle/max").text),
        dw=None if dw is None else float(dw.text))


# ---------------------------------------------------------------------------
# cctbx's side.

def cctbx_structure(st):
    group = sgtbx.space_group("P 1")
    for t in CENTRING[st["centring"]]:
        group.expand_ltr(sgtbx.tr_vec(t, 12))
    cs = crystal.symmetry(unit_cell=st["cell"], space_group=group)
    scatterers = flex.xray_scatterer()
    custom = {}
    for i, at in enumerate(st["atoms"]):
        kind = at["name"]
        if st["neutrons"]:
            g = xray_scattering.gaussian(at["s"], True)
            fp = fdp = 0.0
        else:
            g = xray_scattering.gaussian((at["a1"], at["a2"], at["a3"], at["a4"]),
                                         (at["b1"], at["b2"], at["b3"], at["b4"]), at["c"], True)
            fp, fdp = at["fprim"], at["fbis"]
        if kind in custom:
            assert custom[kind].c() == g.c(), "one name, two factor sets: " + kind
        custom[kind] = g
        scatterers.append(xray.scatterer(label="%s%d" % (kind, i), site=at["xyz"], u=0.0,
                                         scattering_type=kind, fp=fp, fdp=fdp))
    xs = xray.structure(crystal_symmetry=cs, scatterers=scatterers).expand_to_p1()
    xs.scattering_type_registry(custom_dict=custom)
    return xs


def in_range(st, two_theta):
    return st["angle_min"] <= two_theta <= st["angle_max"]


def reference_list(st, xs, lam):
    """All (h k l) in range for one wavelength, with d, 2-theta and F."""
    uc = xs.unit_cell()
    s_max = 1.0 if st["angle_max"] >= 180 else math.sin(math.radians(st["angle_max"] / 2))
    every = miller.build_set(xs.crystal_symmetry(), anomalous_flag=True, d_min=lam / (2 * s_max) * 0.999)
    hkls = []
    for hkl in every.indices():
        s = lam / (2 * uc.d(hkl))
        if s <= 1 and in_range(st, 2 * math.degrees(math.asin(s))):
            hkls.append(tuple(hkl))
    if not hkls:
        return []
    ms = miller.set(xs.crystal_symmetry(), flex.miller_index(hkls), anomalous_flag=True)
    fc = dict(zip(hkls, ms.structure_factors_from_scatterers(xs, algorithm="direct").f_calc().data()))
    out = []
    for hkl in hkls:
        # X-rays: the program's F(h) is cctbx's F(-h) (opposite phase sign).
        f = fc[hkl] if st["neutrons"] else fc[(-hkl[0], -hkl[1], -hkl[2])]
        d = uc.d(hkl)
        theta = math.asin(lam / (2 * d))
        out.append(dict(hkl=hkl, d=d, theta=theta, two_theta=math.degrees(2 * theta),
                        re=f.real, im=f.imag, f2=abs(f) ** 2, f_plus=fc[hkl]))
    return out


def laue_operations(st, xs):
    """Matrices M on (h k l) of the structure's Laue group: M keeps the
    reciprocal metric and x -> M^T x + t maps the atoms onto atoms of the
    same kind for some t (to 0.002 in each fractional coordinate)."""
    aa, bb, cc, ab, ac, bc = xs.unit_cell().reciprocal_metrical_matrix()
    g = [[aa, ab, ac], [ab, bb, bc], [ac, bc, cc]]
    scale = max(aa, bb, cc)
    atoms = [(sc.scattering_type, tuple(v % 1.0 for v in sc.site)) for sc in xs.scatterers()]

    def near(p, q):
        return all(min(abs(u - v), 1 - abs(u - v)) < 0.002 for u, v in zip(p, q))

    def keeps_atoms(r):
        kind0, x0 = atoms[0]
        rx0 = [sum(r[i][j] * x0[j] for j in range(3)) for i in range(3)]
        for kind, x in atoms:
            if kind != kind0:
                continue
            t = [x[i] - rx0[i] for i in range(3)]
            if all(any(k2 == k and near([(sum(r[i][j] * y[j] for j in range(3)) + t[i]) % 1.0 for i in range(3)], y2)
                       for k2, y2 in atoms) for k, y in atoms):
                return True
        return False

    ops = []
    for code in range(3 ** 9):
        m = [[(code // 3 ** (3 * i + j)) % 3 - 1 for j in range(3)] for i in range(3)]
        det = (m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
               + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]))
        if abs(det) != 1:
            continue
        mgm = [[sum(m[p][i] * g[p][q] * m[q][j] for p in range(3) for q in range(3)) for j in range(3)]
               for i in range(3)]
        if any(abs(mgm[i][j] - g[i][j]) > 1e-8 * scale for i in range(3) for j in range(3)):
            continue
        if keeps_atoms([[m[j][i] for j in range(3)] for i in range(3)]):
            ops.append(m)
    return ops


def group(refl, ops):
    """The program's grouping rule over the reflection order: one angle and one form."""
    order = sorted(refl, key=lambda r: (r["theta"], -r["hkl"][0], -r["hkl"][1], -r["hkl"][2]))

    def form(hkl):
        images = [tuple(sum(m[i][j] * hkl[j] for j in range(3)) for i in range(3)) for m in ops]
        return max(images + [tuple(-v for v in x) for x in images])

    groups, index = [], {}
    for r in order:
        key = (round_down4(r["theta"]), form(r["hkl"]))
        if key in index:
            index[key]["members"].append(r)
        else:
            index[key] = dict(key=key, members=[r], **r)
            groups.append(index[key])
    for g in groups:
        g["m"] = len(g["members"])
        g["f2"] = sum(r["f2"] for r in g["members"]) / g["m"]
    return groups


def relative_intensities(st, groups1, groups2):
    def weight(g, lam, scale):
        th = g["theta"]
        lorentz = 1.0 / (math.sin(th) ** 2 * math.cos(th))
        polar = 1.0 if st["neutrons"] else (1 + math.cos(2 * th) ** 2) / 2
        dw = 1.0 if st["dw"] is None else math.exp(-2 * st["dw"] * (math.sin(th) / lam) ** 2)
        return scale * lam ** 3 * g["f2"] * g["m"] * lorentz * polar * dw

    for g in groups1:
        g["weight"] = weight(g, st["lambda1"], 1.0)
    for g in groups2:
        g["weight"] = weight(g, st["lambda2"], st["ratio"])
    top = max((g["weight"] for g in groups1), default=0.0)
    for g in groups1 + groups2:
        g["percent"] = g["weight"] / top * 100 if top > 0 else float("nan")


# ---------------------------------------------------------------------------
# The program's side.

def run_cli(cli, path, extinct=True):
    with tempfile.TemporaryDirectory() as tmp:
        env = dict(os.environ, XDG_CONFIG_HOME=tmp, LC_ALL="C")
        out = subprocess.run([cli, "calc", path, "--ka2", "--settings", os.path.join(tmp, "none.ini"),
                              "--data-dir", os.path.join(ROOT, "Data")] + (["--extinct"] if extinct else []),
                             env=env, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE).stdout
    rows = {}
    for line in out.decode("cp1250").splitlines()[1:]:
        f = line.split()
        if len(f) != 14:
            continue
        key = (int(f[1][2]), int(f[2]), int(f[3]), int(f[4]))
        rows[key] = dict(two_theta=float(f[5]), m=int(f[6]), re=float(f[7]), im=float(f[8]), f2=float(f[9]),
                         d=float(f[10]), percent=float(f[13]))
    return rows


# ---------------------------------------------------------------------------

PRECISION = [("two_theta", 4), ("d", 4), ("re", 3), ("im", 3), ("f2", 3), ("percent", 4)]


def agrees(expected, printed, decimals):
    if math.isnan(expected) or math.isnan(printed):
        return math.isnan(expected) and math.isnan(printed)
    return abs(expected - printed) <= 0.5 * 10 ** -decimals + 1e-9 * max(1.0, abs(expected))


def check(cli, path, write_ref):
    st = read_structure(path)
    xs = cctbx_structure(st)
    name = os.path.splitext(os.path.basename(path))[0]
    problems = []
    lines = {1: reference_list(st, xs, st["lambda1"])}
    lines[2] = reference_list(st, xs, st["lambda2"]) if st["lambda2"] > 0 and not st["neutrons"] else []
    ops = laue_operations(st, xs)
    groups = {n: group(lines[n], ops) for n in (1, 2)}
    relative_intensities(st, groups[1], groups[2])
    rows = run_cli(cli, path)

    # Grouping: the members of a group are equivalent in d and, averaged
    # with their Bijvoet mates, in |F|^2 to the atoms' tolerance, and the
    # multiplicities add up to the number of reflections in range.
    for n in (1, 2):
        for g in groups[n]:
            by_hkl = {r["hkl"]: r["f2"] for r in g["members"]}
            ds = [r["d"] for r in g["members"]]
            f2s = [(f2 + by_hkl.get(tuple(-i for i in hkl), f2)) / 2 for hkl, f2 in by_hkl.items()]
            if max(ds) - min(ds) > 1e-6 or max(f2s) - min(f2s) > 1e-3 * max(1.0, g["f2"]):
                problems.append("line %d group %s: members differ, d %.6f..%.6f, F^2 %.5f..%.5f"
                                % (n, g["hkl"], min(ds), max(ds), min(f2s), max(f2s)))
        total = sum(r["m"] for k, r in rows.items() if k[0] == n)
        if total != len(lines[n]):
            problems.append("line %d: multiplicities add up to %d, cctbx finds %d reflections in range"
                            % (n, total, len(lines[n])))

    # Row by row at the printed precision. A program row belongs to the
    # cctbx group that holds its h k l: the group's first member is decided
    # by a tie in theta that rounding may break either way.
    member_of = {(n, *r["hkl"]): g for n in (1, 2) for g in groups[n] for r in g["members"]}
    matched = {}
    other_first = 0
    for key in sorted(rows):
        r, g = rows[key], member_of.get(key)
        if g is None:
            problems.append("Ka%d %3d %3d %3d: the program lists a reflection that cctbx does not find in range"
                            % key)
            continue
        if id(g) in matched:
            problems.append("Ka%d %3d %3d %3d: the program splits the group of Ka%d %d %d %d"
                            % (key + matched[id(g)]))
            continue
        matched[id(g)] = key
        other_first += g["hkl"] != key[1:]
        if g["m"] != r["m"]:
            problems.append("Ka%d %3d %3d %3d: multiplicity %d, cctbx grouping %d" % (key + (r["m"], g["m"])))
        # F is the named member's, |F|^2 the members' mean.
        member = next(m for m in g["members"] if m["hkl"] == key[1:])
        for field, decimals in PRECISION:
            want = g[field] if field in ("percent", "f2") else member[field]
            if not agrees(want, r[field], decimals):
                problems.append("Ka%d %3d %3d %3d: %s %.*f, cctbx %.*f"
                                % (key + (field, decimals, r[field], decimals + 2, want)))
    for n in (1, 2):
        for g in groups[n]:
            if id(g) not in matched:
                problems.append("Ka%d %3d %3d %3d: group of m=%d at 2theta %.4f missing from the program's list"
                                % ((n,) + g["hkl"] + (g["m"], g["two_theta"])))

    # Extinct groups are those whose |F|^2 prints as zero to four decimals.
    shown = run_cli(cli, path, extinct=False)
    for key in sorted(rows):
        if key in member_of and (key in shown) != (float("%.4f" % member_of[key]["f2"]) > 0):
            problems.append("Ka%d %3d %3d %3d: %s without --extinct, cctbx F^2 %.6f"
                            % (key + ("shown" if key in shown else "hidden", member_of[key]["f2"])))

    # The sign convention: compared with cctbx's F(+h) the anomalous pairs of
    # a non-centrosymmetric structure would disagree.
    mirrored = 0
    if not st["neutrons"]:
        mirrored = sum(1 for r in lines[1] if not agrees(abs(r["f_plus"]) ** 2, r["f2"], 3))
    # The classic search box of indices -15..15 would miss these.
    missed = sum(1 for r in lines[1] if max(abs(i) for i in r["hkl"]) > MAX_INDEX)

    print("%-18s %5d reflections, %4d groups Ka1, %4d groups Ka2; %5d with |index| > 15; "
          "F(h) != F(-h) for %d; %d named by another member; %d disagreements"
          % (name, len(lines[1]), len(groups[1]), len(groups[2]), missed, mirrored, other_first, len(problems)))
    for p in problems[:40]:
        print("    " + p)
    if len(problems) > 40:
        print("    ... %d more" % (len(problems) - 40))
    if write_ref:
        write_reference(path, name, lines, groups, matched)
    return not problems


def pick(groups):
    """A handful of groups: first, last, strongest, weakest, extinct, high index, anomalous."""
    chosen = []

    def add(g):
        if g is not None and g not in chosen:
            chosen.append(g)

    live = [g for g in groups if g["f2"] > 1e-3]
    dead = [g for g in groups if g["f2"] < 1e-6]
    add(groups[0])
    add(groups[-1])
    add(max(live, key=lambda g: g["percent"], default=None))
    add(min(live, key=lambda g: g["f2"], default=None))
    add(dead[0] if dead else None)
    add(dead[len(dead) // 2] if dead else None)
    add(max(groups, key=lambda g: (max(abs(i) for i in g["hkl"]), g["f2"])))
    add(max(groups, key=lambda g: abs(g["im"])))
    add(max(groups, key=lambda g: g["m"]))
    add(groups[len(groups) // 2])
    return chosen


def write_reference(path, name, lines, groups, named):
    """The chosen groups under the h k l the program names them by, so that
    the test can find them and compare the phase of that very member."""
    out = ["# cctbx values for %s.xml; regenerate with /usr/bin/python3 tools/crosscheck_cctbx.py --write-ref" % name,
           "# count line number-of-reflections-in-range",
           "count 1 %d" % len(lines[1])]
    if lines[2]:
        out.append("count 2 %d" % len(lines[2]))
    out.append("# line h k l m two_theta d reF imF F2 percent")
    sel = [(1, g) for g in pick(groups[1])]
    if groups[2]:
        sel.append((2, max(groups[2], key=lambda g: g["percent"])))
    for n, g in sel:
        hkl = named[id(g)][1:] if id(g) in named else g["hkl"]
        r = next(m for m in g["members"] if m["hkl"] == hkl)
        out.append("%d %d %d %d %d %.6f %.6f %.5f %.5f %.5f %.6f"
                   % ((n,) + hkl + (g["m"], r["two_theta"], r["d"], r["re"], r["im"], g["f2"], g["percent"])))
    with open(os.path.splitext(path)[0] + ".ref", "w") as fh:
        fh.write("\n".join(out) + "\n")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("files", nargs="*")
    ap.add_argument("--cli", default=os.path.join(ROOT, "build", "bin", "pelmora-cli"))
    ap.add_argument("--write-ref", action="store_true")
    a = ap.parse_args()
    files = a.files or sorted(glob.glob(os.path.join(ROOT, "tests", "data", "xcheck", "*.xml")))
    ok = True
    for path in files:
        ok &= check(a.cli, path, a.write_ref)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
