"""pelmora.Refinement: the command line's refinement as objects. Values read,
fixed, freed and bounded between runs; the report equal to the tool's; the
refined structure back as a Structure; two patterns refined at once."""

import json
import sys

import numpy as np
import pytest

import pelmora
from conftest import SOURCE_DIR

sys.path.insert(0, str(SOURCE_DIR / "tools"))
import synthetic_rietveld as syn  # noqa: E402

pytestmark = pytest.mark.filterwarnings("ignore::pelmora.PelmoraWarning")


def test_values_are_objects_and_the_report_is_the_tools(cli, tmp_path):
    truth = dict(syn.PBSO4)
    truth["sites"] = [(b, occ, B, (xyz[0] + 0.003, xyz[1], xyz[2])) for b, occ, B, xyz in syn.PBSO4["sites"]]
    data = syn.write(str(tmp_path / "n.xy"), truth, 10.0, 150.0, 0.02, 20000.0, 3)
    start = syn.write_cif(tmp_path / "start.cif", syn.PBSO4["sites"])
    s = pelmora.read(start)
    ref = pelmora.Refinement(s, data, ("scale", "background", "positions"), background_terms=4, range=(10, 150),
                             radiation="n", wavelengths=[1.5])
    assert "Pb x" in ref.names and "O#3 z" in ref.names and "Pb z" not in ref.names  # z = 1/4 is fixed by the mirror
    ref["W"] = 0.04
    ref["U"], ref["V"], ref["Y"] = 0.02, -0.03, 0.02
    ref.fix("S y", "O#3 z")
    ref.bound("Pb x", 0.1, 0.2)
    with pytest.raises(KeyError):
        ref.fix("Pb w")
    with pytest.raises(ValueError):
        ref.bound("Pb x", 0.3, 0.2)
    r = ref.run()
    assert r["converged"] and abs(r["chi2"] - 1) < 0.1
    values = {p["name"]: p for p in ref.parameters}
    assert values["S y"]["refine"] is False and values["S y"]["value"] == pytest.approx(0.43580)
    assert abs(values["Pb x"]["value"] - 0.16716 - 0.003) < 4 * values["Pb x"]["esd"]
    assert ref["Pb x"] == values["Pb x"]["value"]
    np.testing.assert_allclose(sum(p["curve"] for p in r["phases"]) + r["background_curve"], r["calculated"],
                               rtol=1e-12, atol=1e-9)

    # The same refinement from the command line: the same report.
    report = tmp_path / "cli.json"
    cli("fit", start, "--measured", data, "--refine", "scale,background,positions", "--background-terms", 4,
        "--range", 10, 150, "--radiation", "n", "--wavelength", "1.5", "--set", "W=0.04", "--set", "U=0.02",
        "--set", "V=-0.03", "--set", "Y=0.02", "--fix", "S y", "--fix", "O#3 z", "--report", report, check=False)
    theirs = json.loads(report.read_text())
    assert len(theirs["values"]) == len(r["values"])
    for a, b in zip(r["values"], theirs["values"]):
        assert a["name"] == b["name"]
        assert a["value"] == pytest.approx(b["value"], rel=1e-6, abs=1e-9)

    # The refined structure comes back as a Structure; the given one is unchanged.
    refined = ref.structure(0)
    assert refined.sites[0].x == pytest.approx(ref["Pb x"], abs=1e-12)
    assert s.sites[0].x == pytest.approx(0.16716)
    with pytest.raises(IndexError):
        ref.structure(1)


def test_two_patterns_share_the_structure(tmp_path):
    truth = dict(syn.PBSO4)
    first = syn.pattern(truth, np.arange(10.0, 150.0, 0.02))
    second = syn.pattern(dict(truth, **{"lambda": 1.9}), np.arange(10.0, 150.0, 0.025))
    rng = np.random.default_rng(4)
    patterns = [(np.arange(10.0, 150.0, 0.02), rng.poisson(first * 2e4 / first.max()).astype(float)),
                (np.arange(10.0, 150.0, 0.025), rng.poisson(second * 1e4 / second.max()).astype(float))]
    start = pelmora.read(syn.write_cif(tmp_path / "start.cif", syn.PBSO4["sites"]))
    with pytest.raises(ValueError, match="one per measured pattern"):
        pelmora.Refinement(start, patterns, radiation=["n"])
    ref = pelmora.Refinement(start, patterns, ("scale", "background", "zero"), background_terms=4,
                             range=(10, 150), radiation="n", wavelengths=[[1.5], [1.9]])
    for prefix in ("pattern 1: ", "pattern 2: "):
        ref[prefix + "W"], ref[prefix + "U"], ref[prefix + "V"], ref[prefix + "Y"] = 0.04, 0.02, -0.03, 0.02
    r = ref.run()
    assert len(r["patterns"]) == 2 and all(abs(p["chi2"] - 1) < 0.15 for p in r["patterns"])
    assert len(r["phases"][0]["scales"]) == 2

