"""A structure's space group and its sites' occupancy and own B, read from a
CIF, changed from Python and calculated as the command line calculates the
same structure saved."""

import math

import numpy as np
import pytest

import pelmora
from conftest import SOURCE_DIR
from test_module import LIST_COLUMNS, parse_list

pytestmark = pytest.mark.filterwarnings("ignore::pelmora.PelmoraWarning")

RUTILE = SOURCE_DIR / "tests" / "data" / "cif" / "rutile.cif"


def assert_same_as_cli(s, cli, path):
    """The structure saved and calculated by the tool lists what the module gives."""
    s.save(path)
    rows = parse_list(cli("calc", path).stdout)
    r = s.reflections()
    assert len(r["h"]) == len(rows)
    for i, row in enumerate(rows):
        for (key, fmt), text in zip(LIST_COLUMNS, row[2:]):
            if key:
                assert format(r[key][i], fmt) == text, (path.name, i, key)
    return r


def test_rutile_group_and_sites(cli, tmp_path):
    s = pelmora.read(RUTILE)
    assert s.space_group == "P 42/m n m" and s.space_group_number == 136
    assert s.lattice == ("tetragonal", "P")
    # U_iso 0.0063 and 0.0070 as B = 8 pi^2 U.
    ti, o = s.sites
    assert (ti.occupancy, o.occupancy) == (1.0, 1.0)
    assert math.isclose(ti.b_iso, 8 * math.pi ** 2 * 0.0063, rel_tol=1e-12)
    assert math.isclose(o.b_iso, 8 * math.pi ** 2 * 0.0070, rel_tol=1e-12)
    with pytest.raises(ValueError):
        s.lattice = ("tetragonal", "I")

    before = assert_same_as_cli(s, cli, tmp_path / "as-read.xml")
    # A larger B on O damps (1 1 0), where Ti and O add up.
    o.b_iso = 2.0
    after = assert_same_as_cli(s, cli, tmp_path / "o-b.xml")
    hkl = list(zip(before["h"], before["k"], before["l"]))
    assert hkl == list(zip(after["h"], after["k"], after["l"]))
    i110 = hkl.index((1, 1, 0))
    assert after["f2"][i110] < before["f2"][i110]
    ti.occupancy = 0.5
    assert_same_as_cli(s, cli, tmp_path / "ti-half.xml")
    with pytest.raises(ValueError):
        ti.occupancy = 0.0
    with pytest.raises(ValueError):
        o.b_iso = -1.0
    assert s.sites[1].b_iso == 2.0 and s.sites[0].occupancy == 0.5

    # Every site with its own B equals the common Debye-Waller factor of the
    # same B (exp(-2 B s^2) on |F|^2 either way).
    ti.occupancy = 1.0
    for t in s.sites:
        t.b_iso = 0.8
    own = s.reflections()["intensity"]
    for t in s.sites:
        t.b_iso = None
    s.temperature_factor, s.b_factor = True, 0.8
    np.testing.assert_allclose(s.reflections()["intensity"], own, rtol=1e-9)


def test_setting_the_group_rebuilds_the_cell(cli, tmp_path):
    s = pelmora.read(RUTILE)
    r = s.reflections()
    tt, y = s.pattern()
    # Without the group the six generated atoms stay, each a site of its own
    # (the lattice type's Laue class then lists some reflections apart).
    s.space_group = None
    assert s.space_group is None and s.space_group_number is None and len(s.sites) == 6
    np.testing.assert_allclose(s.pattern()[1], y, rtol=1e-9)
    # By number: the atoms become the group's two sites again.
    s.space_group = 136
    assert s.space_group == "P 42/m n m" and [t.atomic_number for t in s.sites] == [22, 8]
    np.testing.assert_allclose(s.reflections()["intensity"], r["intensity"], rtol=1e-9)
    # A site moved: the cell follows the group (O at x, x, 0 gives four atoms).
    s.sites[1].x = s.sites[1].y = 0.3
    moved = assert_same_as_cli(s, cli, tmp_path / "moved.xml")
    assert len(moved["h"]) != len(r["h"]) or not np.allclose(moved["intensity"], r["intensity"])
    # Only Ti left: the cell is Ti at 0 0 0 and 1/2 1/2 1/2, body-centred in
    # effect, so h + k + l odd is extinct.
    s.sites = [s.sites[0].copy()]
    ti = s.reflections()
    assert len(s.sites) == 1 and np.all((ti["h"] + ti["k"] + ti["l"]) % 2 == 0)
    with pytest.raises(ValueError, match="unknown space group"):
        s.space_group = "Q 9"
    with pytest.raises(TypeError):
        s.space_group = 1.5
    assert s.space_group == "P 42/m n m"
