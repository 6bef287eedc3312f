"""The module as a notebook user meets it: the reflection list's two switches
each doing its own part, the lines as pymatgen's XRDCalculator lists them,
every lattice type's name, sites with their element symbols and Wyckoff
positions, the symmetry search and the help texts.
Expectations from Bragg's law and International Tables, worked out here."""

import inspect
import itertools
import math
import re

import numpy as np
import pytest

import pelmora
from conftest import SOURCE_DIR

pytestmark = pytest.mark.filterwarnings("ignore::pelmora.PelmoraWarning")

NACL = SOURCE_DIR / "examples" / "NaCl.xml"
SI = SOURCE_DIR / "examples" / "Si.xml"
RUTILE = SOURCE_DIR / "tests" / "data" / "cif" / "rutile.cif"


def forms(a, lam, lo, hi):
    """Every cubic form {h k l}, h >= k >= l >= 0, with its 2-theta in [lo, hi] for lambda."""
    out = {}
    for h, k, l in itertools.product(range(int(2 * a / lam) + 2), repeat=3):
        s = lam * math.sqrt(h * h + k * k + l * l) / (2 * a)
        if h >= k >= l and h and s <= 1 and lo <= 2 * math.degrees(math.asin(s)) <= hi:
            out[(h, k, l)] = 2 * math.degrees(math.asin(s))
    return out


def cubic_multiplicity(h, k, l):
    return len({p for q in itertools.permutations((h, k, l)) for p in itertools.product(*[(x, -x) for x in q])})


def rows_of(r):
    return {(int(line), tuple(sorted((abs(int(h)), abs(int(k)), abs(int(l))), reverse=True)))
            for line, h, k, l in zip(r["line"], r["h"], r["k"], r["l"])}


def test_ka2_and_extinct_switch_their_own_rows():
    s = pelmora.read(NACL)
    a, lam1, lam2, (lo, hi) = s.a, *s.wavelengths, s.range
    assert lam2 > 0
    # F centring: h, k, l of one parity, else systematically absent.
    expected = {(line, hkl): (tth, len({x % 2 for x in hkl}) > 1)
                for line, lam in ((1, lam1), (2, lam2)) for hkl, tth in forms(a, lam, lo, hi).items()}
    for ka2, extinct in itertools.product((False, True), repeat=2):
        r = s.reflections(ka2=ka2, extinct=extinct)
        want = {key for key, (tth, absent) in expected.items()
                if (key[0] == 1 or ka2) and (not absent or extinct)}
        assert rows_of(r) == want, (ka2, extinct)
        for line, h, k, l, tth, m, f2 in zip(r["line"], r["h"], r["k"], r["l"], r["two_theta"],
                                             r["multiplicity"], r["f2"]):
            key = (int(line), tuple(sorted((abs(h), abs(k), abs(l)), reverse=True)))
            assert math.isclose(tth, expected[key][0], abs_tol=1e-9)
            assert m == cubic_multiplicity(*key[1])
            assert (f2 < 1e-6) == expected[key][1]


def test_lines_merge_coinciding_forms_as_pymatgen_lists_them():
    s = pelmora.read(SI)
    (lam1, lam2), (lo, hi) = s.wavelengths, s.range
    lines = s.lines()
    # Diamond: all odd, or all even with h + k + l a multiple of 4.
    allowed = {hkl: tth for hkl, tth in forms(s.a, lam1, lo, hi).items()
               if all(x % 2 for x in hkl) or (all(x % 2 == 0 for x in hkl) and sum(hkl) % 4 == 0)}
    by_n = {}
    for hkl in allowed:
        by_n.setdefault(sum(x * x for x in hkl), []).append(hkl)
    assert len(lines) == len(by_n)
    for line, n in zip(lines, sorted(by_n)):
        assert set(line) == {"two_theta", "d", "intensity", "hkls", "line"} and line["line"] == 1
        assert math.isclose(line["d"], s.a / math.sqrt(n), rel_tol=1e-12)
        got = {tuple(sorted(map(abs, hkl), reverse=True)): m for hkl, m in line["hkls"]}
        assert got == {hkl: cubic_multiplicity(*hkl) for hkl in by_n[n]}
    # (3 3 3) and (5 1 1) share a line.
    assert any(len(line["hkls"]) == 2 for line in lines)
    assert max(line["intensity"] for line in lines) == 100.0
    # The line's intensity is the sum of its rows, in percent of the strongest line.
    r = s.reflections()
    sums = [sum(i for i, t in zip(r["intensity"], r["two_theta"]) if abs(t - line["two_theta"]) < 1e-6)
            for line in lines]
    np.testing.assert_allclose([line["intensity"] for line in lines], 100 * np.array(sums) / max(sums), rtol=1e-12)
    # With the second wavelength its lines come too, each at its own angle.
    both = s.lines(ka2=True)
    assert [l for l in both if l["line"] == 1] == lines
    second = [l for l in both if l["line"] == 2]
    assert len(second) == len(lines)
    for l in second:
        assert math.isclose(math.sin(math.radians(l["two_theta"] / 2)), lam2 / (2 * l["d"]), rel_tol=1e-9)


def test_every_lattice_type_by_name_and_by_group():
    s = pelmora.read(NACL)
    s.sites = []
    # Each type by name, and as the space group gives it (International Tables).
    groups = {"P 2 3": ("cubic", "P"), "I 2 3": ("cubic", "I"), "F 2 3": ("cubic", "F"), "P 4": ("tetragonal", "P"),
              "I 4": ("tetragonal", "I"), "P 2 2 2": ("orthorhombic", "P"), "I 2 2 2": ("orthorhombic", "I"),
              "F 2 2 2": ("orthorhombic", "F"), "C 2 2 21": ("orthorhombic", "C"), "R 3:R": ("rhombohedral", "P"),
              "P 6": ("hexagonal", "P"), "P 1 2 1": ("monoclinic", "P"), "C 1 2 1": ("monoclinic", "C"),
              "P 1": ("triclinic", "P")}
    for lattice in groups.values():
        s.lattice = lattice
        assert s.lattice == lattice
    for group, lattice in groups.items():  # each after another lattice
        s.space_group = group
        assert s.lattice == lattice, group
        s.space_group = None
    for wrong in (("cubic", "C"), ("tetragonal", "F"), ("hexagonal", "I"), ("triclinic", "C"), ("cubic", "R")):
        with pytest.raises(ValueError):
            s.lattice = wrong


def test_sites_name_their_element_and_wyckoff_position():
    s = pelmora.read(RUTILE)
    ti, o = s.sites
    assert (ti.element, ti.atomic_number, o.element, o.atomic_number) == ("Ti", 22, "O", 8)
    # P 42/m n m: Ti on 2a, O on 4f.
    assert (ti.wyckoff, ti.multiplicity, o.wyckoff, o.multiplicity) == ("a", 2, "f", 4)
    o.element = "F"
    assert (o.element, o.atomic_number) == ("F", 9)
    with pytest.raises(ValueError):
        o.element = "Xy"
    free = pelmora.Site("Si", 0.1, 0.2, 0.3)
    assert (free.wyckoff, free.multiplicity) == (None, None)
    # Without a group: no letter, the centring's multiplicity.
    nacl = pelmora.read(NACL)
    assert [(t.element, t.wyckoff, t.multiplicity) for t in nacl.sites] == [("Na", None, 4), ("Cl", None, 4)]

    # The symmetry search finds rock salt's group and leaves the structure
    # as it was unless told to take it.
    assert nacl.find_symmetry(0.01) == ("F m -3 m", 225, 2)
    assert nacl.space_group is None
    nacl.find_symmetry(0.01, apply=True)
    assert nacl.space_group == "F m -3 m" and [t.wyckoff for t in nacl.sites] in (["a", "b"], ["b", "a"])
    with pytest.raises(ValueError):
        nacl.find_symmetry(0.0)


def described(obj, name):
    """The help text past the signature line pybind11 puts first."""
    lines = (inspect.getdoc(obj) or "").splitlines()
    if lines and lines[0].startswith(name + "("):
        lines = lines[1:]
    return "\n".join(lines).strip()


def test_help_texts_and_version():
    text = (SOURCE_DIR / "CMakeLists.txt").read_text()
    assert pelmora.__version__ == re.search(r"project\(Pelmora VERSION ([0-9.]+)", text).group(1)
    for cls in (pelmora.Structure, pelmora.Site, pelmora.Refinement):
        assert described(cls, cls.__name__), cls.__name__
        for name, member in vars(cls).items():
            if not name.startswith("_"):
                assert described(member, name), f"{cls.__name__}.{name}"
    for name in pelmora.__all__:
        obj = getattr(pelmora, name)
        if callable(obj):
            assert described(obj, name), name


def test_structures_read_keep_their_file_name():
    s = pelmora.read(NACL)
    assert s.path == str(NACL) and repr(s).startswith(f"<pelmora.Structure {str(NACL)!r}")
    tt, y = s.pattern(step=0.05)
    refinement = pelmora.Refinement([s, pelmora.read(SI)], (tt, y + 10.0), refine=("scale",))
    report = refinement.run()
    assert [(p["file"], p["name"]) for p in report["phases"]] == [(str(NACL), str(NACL)), (str(SI), str(SI))]
    assert refinement.structure(1).path == str(SI)
