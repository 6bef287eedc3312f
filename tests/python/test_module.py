"""The module against the command-line tool: the same numbers for the shipped
structures, the same messages for what fails, and changed values taking effect."""

import math
import os
import re
import threading
import time
import _thread

import numpy as np
import pytest

import pelmora
from conftest import CIFS, EXAMPLES, SOURCE_DIR

# The reader's notes on CIF files pass silently.
pytestmark = pytest.mark.filterwarnings("ignore::pelmora.PelmoraWarning")

# The list's columns after the number and the line: name, format.
LIST_COLUMNS = [("h", "d"), ("k", "d"), ("l", "d"), ("two_theta", ".4f"), ("multiplicity", "d"),
                ("f_re", ".3f"), ("f_im", ".3f"), ("f2", ".3f"), ("d", ".4f"), (None, None),
                ("intensity", ".4f"), ("percent", ".4f")]


def parse_list(text):
    return [line.split() for line in text.decode("utf-8").split("\r\n")[1:] if line]


@pytest.mark.parametrize("path", EXAMPLES + CIFS, ids=lambda p: p.name)
def test_reflections_and_pattern_equal_the_cli(path, cli):
    s = pelmora.read(path)
    for ka2, extinct in [(False, False), (True, True)]:
        flags = (["--ka2"] if ka2 else []) + (["--extinct"] if extinct else [])
        rows = parse_list(cli("calc", path, *flags).stdout)
        r = s.reflections(ka2=ka2, extinct=extinct)
        assert all(len(v) == len(rows) for v in r.values()), path
        assert r["two_theta"].dtype == np.float64 and r["h"].dtype == np.int32
        for i, row in enumerate(rows):
            assert row[1] == ("Ka1" if r["line"][i] == 1 else "Ka2")
            for (key, fmt), text in zip(LIST_COLUMNS, row[2:]):
                if key:
                    assert format(r[key][i], fmt) == text, (path.name, i, key)
    # The text export writes "%8.4f%10.2f": the module's unrounded numbers
    # must print as those lines. A plug-in's profile and the others on one file.
    for profile in ["pseudo Voigt"] + (["Pearson VII", "Gauss", "brak"] if path.name == "NaCl.xml" else []):
        out = cli("calc", path, "--pattern", "-", "--profile", profile).stdout.decode()
        lines = out.split("\r\n")[2:-1]
        tt, y = s.pattern(profile=profile)
        assert len(tt) == len(lines)
        assert [f"{a:8.4f}{b:10.2f}" for a, b in zip(tt, y)] == lines, profile
    tt, y = s.pattern()
    # Every 4th point of the same grid.
    tt4, y4 = s.pattern(step=0.02)
    np.testing.assert_array_equal(tt4, tt[::4])
    np.testing.assert_array_equal(y4, y[::4])


def cli_message(done):
    """The tool's messages without its name, one per line."""
    return [line.removeprefix("pelmora-cli: ") for line in done.stderr.decode().splitlines()]


def test_failures_carry_the_programs_messages(cli, tmp_path):
    missing, garbage = tmp_path / "missing.xml", tmp_path / "garbage.xml"
    garbage.write_text("<pelmora><baza>nothing</baza>")
    for path in (missing, garbage):
        done = cli("calc", path, check=False)
        assert done.returncode == 2
        with pytest.raises(pelmora.ReadError) as e:
            pelmora.read(path)
        assert e.value.status == 2
        for message in cli_message(done):
            if "failed" not in message:
                assert message in e.value.polish

        # In English, with the Polish kept beside it.
        assert not re.search("[ąćęłńóśźż]", str(e.value), re.I) and path.name in str(e.value)
    cif = tmp_path / "no-cell.cif"
    cif.write_text("data_x\n_cell_length_a 5\n")
    with pytest.raises(pelmora.ReadError) as e:
        pelmora.read(cif)
    assert str(e.value) == f"{cif}: CIF file: no unit cell (_cell_length_b)"
    assert e.value.polish == f"{cif}: Plik CIF: brak komórki elementarnej (_cell_length_b)"

    # A value that would make the intensities infinite is refused with the
    # tool's message and nothing is calculated.
    s = pelmora.read(SOURCE_DIR / "examples" / "NaCl.xml")
    s.absorption = -1.5
    s.save(tmp_path / "refused.xml")
    done = cli("calc", tmp_path / "refused.xml", check=False)
    assert done.returncode == 3 and done.stdout == b""
    with pytest.raises(pelmora.RefusedError) as e:
        s.reflections()
    assert cli_message(done) == [e.value.polish] and e.value.status == 3
    assert str(e.value) == "Invalid value: absorption coefficient (absorption) = -1.5 cm⁻¹; it must be greater than zero."
    with pytest.raises(pelmora.RefusedError):
        s.pattern()

    with pytest.raises(ValueError, match='unknown profile "Voigt"; available: "brak"'):
        s.pattern(profile="Voigt")
    with pytest.raises(ValueError):
        s.pattern(step=0.007)
    with pytest.raises(pelmora.WriteError):
        s.save(tmp_path / "no-such-folder" / "x.xml")


def test_changed_values_take_effect_and_save(tmp_path):
    s = pelmora.read(SOURCE_DIR / "examples" / "NaCl.xml")
    s.a = s.b = s.c = 6.0
    s.wavelengths = (1.0, 0.0)
    s.range = (10.0, 120.0)
    r = s.reflections()
    # Bragg's law for the cubic (h k l) at the new cell and wavelength.
    d = 6.0 / np.sqrt(r["h"] ** 2 + r["k"] ** 2 + r["l"] ** 2)
    np.testing.assert_allclose(r["d"], d, rtol=1e-12)
    np.testing.assert_allclose(r["two_theta"], np.degrees(2 * np.arcsin(1.0 / (2 * d))), rtol=1e-9)
    assert r["two_theta"].min() >= 10.0 and r["two_theta"].max() <= 120.0
    # F centring: h, k, l all even or all odd.
    assert np.all((r["h"] % 2 == r["k"] % 2) & (r["k"] % 2 == r["l"] % 2))

    # A site's change goes into the structure at once; a list of sites
    # replaces them.
    na, cl = s.sites
    cl.position = (0.5, 0.0, 0.0)
    assert s.sites[1].y == 0.0
    na = na.copy()
    s.sites = []
    s.lattice = ("cubic", "P")
    s.sites = [na, pelmora.Site("Na2", 0.5, 0.5, 0.5)]
    assert [t.name for t in s.sites] == ["Na", "Na2"] and s.lattice == ("cubic", "P")

    s.save(tmp_path / "changed.xml")
    t = pelmora.read(tmp_path / "changed.xml")
    assert t.cell == (6.0, 6.0, 6.0, 90.0, 90.0, 90.0) and t.wavelengths == (1.0, 0.0)
    assert t.range == (10.0, 120.0) and t.lattice == ("cubic", "P") and len(t.sites) == 2
    assert math.isclose(t.volume, 216.0)


def test_setters_keep_the_programs_rules(cli, tmp_path):
    s = pelmora.read(SOURCE_DIR / "examples" / "NaCl.xml")
    rows = len(s.reflections()["h"])
    # The cubic F cell stays cubic: b follows a.
    with pytest.raises(ValueError, match="b follows a in a cubic cell"):
        s.b = 6.0
    with pytest.raises(ValueError, match="alfa is fixed at 90"):
        s.alpha = 91.0
    with pytest.raises(ValueError):
        s.cell = (5.64, 6.0, 5.64, 90.0, 90.0, 90.0)
    assert len(s.reflections()["h"]) == rows and s.cell == (5.6402, 5.6402, 5.6402, 90.0, 90.0, 90.0)
    s.a = 5.7
    assert s.cell == (5.7, 5.7, 5.7, 90.0, 90.0, 90.0)

    # A new lattice type would remove the sites: refused while there are any.
    with pytest.raises(ValueError, match="removes the structure's 2 sites"):
        s.lattice = ("tetragonal", "P")
    assert s.lattice == ("cubic", "F") and len(s.sites) == 2
    # Two sites on one position, up to the centring: refused, also by a move.
    na, cl = s.sites
    with pytest.raises(ValueError, match="already stands"):
        s.sites = [na.copy(), pelmora.Site("Na2", 0.5, 0.5, 0.0)]
    with pytest.raises(ValueError, match="already stands"):
        cl.position = (0.0, 0.5, 0.5)
    with pytest.raises(ValueError, match="already stands"):
        cl.y = 0.0
    assert cl.position == (0.5, 0.5, 0.5) and len(s.sites) == 2

    # The range as the page takes it: clamped to 0-180, an empty one refused.
    with pytest.warns(pelmora.PelmoraWarning, match="clamped to 0-180"):
        s.range = (-10.0, 200.0)
    assert s.range == (0.0, 180.0)
    with pytest.raises(ValueError):
        s.range = (60.0, 20.0)
    assert s.range == (0.0, 180.0)
    s.save(tmp_path / "clamped.xml")
    assert pelmora.read(tmp_path / "clamped.xml").range == (0.0, 180.0)

    # f' and f'' taken at copper and a new wavelength: Python and the tool say so.
    na.f_prime = 0.1
    s.save(tmp_path / "anomal.xml")
    with pytest.warns(pelmora.PelmoraWarning, match="f' and f'' are for lambda = 1.54056"):
        s.wavelengths = (0.70932, 0.71361)
    done = cli("calc", tmp_path / "anomal.xml", "--source", "Mo Ka")
    assert b"f' and f'' are for lambda = 1.54056" in done.stderr


def large_structure():
    """A 50 A primitive cell of 400 copies of one site: a run of half a second or more."""
    s = pelmora.read(SOURCE_DIR / "examples" / "NaCl.xml")
    s.sites = []
    s.lattice = ("cubic", "P")
    s.a = 50.0
    s.sites = [pelmora.Site("Na%d" % i, x, y, z) for i, (x, y, z) in enumerate(np.random.default_rng(1).random((400, 3)))]
    s.range = (5.0, 170.0)
    return s


def test_ctrl_c_interrupts_a_calculation():
    s = large_structure()
    start = time.perf_counter()
    full = len(s.reflections()["h"])
    took = time.perf_counter() - start
    timer = threading.Timer(took / 10, _thread.interrupt_main)
    timer.start()
    start = time.perf_counter()
    with pytest.raises(KeyboardInterrupt):
        s.reflections()
    stopped = time.perf_counter() - start
    assert stopped < took / 2, (stopped, took)
    # The structure stays usable.
    assert len(s.reflections()["h"]) == full


def rss_kib():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") // 1024


def test_a_thousand_structures_do_not_grow_memory():
    path = SOURCE_DIR / "examples" / "rutile-TiO2.xml"
    for _ in range(100):
        pelmora.read(path).reflections()
    before = rss_kib()
    for _ in range(1000):
        s = pelmora.read(path)
        s.reflections(ka2=True)
        s.pattern()
    growth = rss_kib() - before
    assert growth < 20 * 1024, f"RSS grew by {growth} KiB"
