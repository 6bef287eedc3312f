"""pelmora.fit against pelmora-cli fit: measurements made here from the
tool's text export with known scales, zero shift and background (Poisson
noise of a fixed seed) give the numbers of the tool's JSON report and
residual file; read_measured gives the file's columns."""

import _thread
import json
import math
import threading
import time

import numpy as np
import pytest

import pelmora
from conftest import SOURCE_DIR

pytestmark = pytest.mark.filterwarnings("ignore::pelmora.PelmoraWarning")

NACL, SI = SOURCE_DIR / "examples" / "NaCl.xml", SOURCE_DIR / "examples" / "Si.xml"
EVERYTHING = ("scale", "zero", "background", "uvw", "size", "cell")


def synthesise(cli, path, structures, scales, zero, background, lo, hi, step, seed, sigma=False):
    """The text export at scale 1 shifted, scaled and summed, a polynomial background, Poisson counts."""
    t = lo + step * np.arange(int(round((hi - lo) / step)) + 1)
    y = np.zeros_like(t)
    for s, f in zip(scales, structures):
        out = cli("calc", f, "--pattern", "-", "--profile", "pseudo Voigt", "--scale", "1", "--range", lo - 2,
                  hi + 2).stdout.decode("cp1250")
        p = np.array([[float(v) for v in line.split()] for line in out.splitlines()[2:]])
        y += s * np.interp(t - zero, p[:, 0], p[:, 1])
    u = (t - 0.5 * (lo + hi)) / (0.5 * (hi - lo))
    y += sum(c * u ** k for k, c in enumerate(background))
    counts = np.random.default_rng(seed).poisson(y).astype(float)
    columns = [t, counts] + ([np.sqrt(np.maximum(counts, 1))] if sigma else [])
    np.savetxt(path, np.column_stack(columns), fmt="%.4f %d" + (" %.5f" if sigma else ""))
    return path


def cli_fit(cli, tmp_path, structures, observed, refine):
    report, residuals = tmp_path / "report.json", tmp_path / "fit.res"
    cli("fit", *structures, "--observed", observed, "--refine", ",".join(refine), "--report", report,
        "--residuals", residuals)
    return json.loads(report.read_text()), np.loadtxt(residuals, comments="#")


def assert_same(ours, theirs, residuals):
    """Every number of the report (printed to 10 digits) and of the residual file (6 digits)."""
    close = lambda a, b: np.testing.assert_allclose(np.asarray(a, float), np.asarray(b, float), rtol=2e-9, atol=0)
    for key in ("points", "parameters", "iterations"):
        assert ours[key] == theirs[key], key
    for key in ("rp", "rwp", "rexp", "chi2", "zero", "zero_esd", "background", "background_range", "uvw", "uvw_esd"):
        close(ours[key], theirs[key])
    assert len(ours["phases"]) == len(theirs["phases"])
    for p, q in zip(ours["phases"], theirs["phases"]):
        for key in ("scale", "scale_esd", "weight_fraction", "grain_size", "grain_size_esd", "cell", "cell_esd"):
            close(p[key], q[key])
    for column, key in enumerate(("two_theta", "observed", "calculated", "difference")):
        np.testing.assert_allclose(ours[key], residuals[:, column], rtol=1e-5, atol=1e-6 * ours["observed"].max())
    # The parts add up to the model.
    np.testing.assert_allclose(sum(p["curve"] for p in ours["phases"]) + ours["background_curve"],
                               ours["calculated"], rtol=1e-12, atol=1e-9)


def test_fit_gives_the_clis_numbers(cli, tmp_path):
    nacl = pelmora.read(NACL)
    peak = nacl.pattern(profile="pseudo Voigt", scale=1.0)[1].max()
    scale, zero = 20000.0 / peak, -0.042
    obs = synthesise(cli, tmp_path / "nacl.xy", [NACL], [scale], zero, [180.0, -60.0, 30.0], 20.0, 120.0, 0.02, 11)
    measured = pelmora.read_measured(obs)
    t, counts, sigma = measured
    assert measured.skipped_lines == 0 and measured.note == "" and sigma is None and t.dtype == np.float64
    np.testing.assert_array_equal(np.column_stack([t, counts]), np.loadtxt(obs))

    r = pelmora.fit([nacl], obs, EVERYTHING)
    assert_same(r, *cli_fit(cli, tmp_path, [NACL], obs, EVERYTHING))
    # The made values come back (the last fit, everything refined).
    assert r["points"] == 5001 and abs(r["chi2"] - 1) < 0.1
    assert abs(r["zero"] - zero) < 3 * r["zero_esd"] and math.isclose(r["phases"][0]["weight_fraction"], 1.0)
    # The same points given as arrays, one structure alone: the same fit.
    again = pelmora.fit(nacl, (t, counts), EVERYTHING)
    np.testing.assert_array_equal(again["calculated"], r["calculated"])
    assert again["rwp"] == r["rwp"] == pelmora.fit(nacl, measured, EVERYTHING)["rwp"]

    # Two phases with sigma from the file, 40 % NaCl and 60 % Si by weight:
    # s is proportional to W V / ZM (ZM: 4 x NaCl, 8 x Si).
    zm = np.array([4 * (22.98977 + 35.453), 8 * 28.0855])
    scales = np.array([0.4, 0.6]) * np.array([5.6402 ** 3, 5.4309 ** 3]) / zm
    scales *= 0.6 * scale / scales[0]
    obs2 = synthesise(cli, tmp_path / "mix.xy", [NACL, SI], scales, 0.02, [150.0, 20.0], 20.0, 100.0, 0.02, 12,
                      sigma=True)
    assert pelmora.read_measured(obs2)[2] is not None
    si = pelmora.read(SI)
    r = pelmora.fit([nacl, si], obs2, EVERYTHING)
    assert_same(r, *cli_fit(cli, tmp_path, [NACL, SI], obs2, EVERYTHING))
    wf = [p["weight_fraction"] for p in r["phases"]]
    assert abs(wf[0] - 0.4) < 0.01 and abs(wf[1] - 0.6) < 0.01
    # The structures themselves are not changed by the fit.
    assert nacl.cell == pelmora.read(NACL).cell

    # Interrupted with Ctrl+C part way, in a fit of forty times the points, so
    # that it runs long enough beside the interrupt's own delay.
    fine = synthesise(cli, tmp_path / "fine.xy", [NACL, SI], scales, 0.02, [150.0, 20.0], 20.0, 100.0, 0.0005, 13,
                      sigma=True)
    start = time.perf_counter()
    pelmora.fit([nacl, si], fine, EVERYTHING)
    took = time.perf_counter() - start
    timer = threading.Timer(took / 10, _thread.interrupt_main)
    timer.start()
    start = time.perf_counter()
    with pytest.raises(KeyboardInterrupt):
        pelmora.fit([nacl, si], fine, EVERYTHING)
    stopped = time.perf_counter() - start
    assert stopped < took / 2, (stopped, took)


def test_fit_refusals_carry_the_tools_messages(cli, tmp_path):
    negative = tmp_path / "negative.xy"
    negative.write_text("20 5\n21 -3\n22 7\n")
    done = cli("fit", NACL, "--observed", negative, check=False)
    assert done.returncode == 2
    with pytest.raises(pelmora.ReadError) as e:
        pelmora.read_measured(negative)
    assert done.stderr.decode().strip() == "pelmora-cli: " + e.value.polish
    assert "Ujemna liczba zliczeń" in e.value.polish and "Negative count (-3) at 2θ = 21°." in str(e.value)
    nacl = pelmora.read(NACL)
    with pytest.raises(pelmora.ReadError):
        pelmora.fit(nacl, negative)
    with pytest.raises(ValueError, match=r"Negative count \(-3\) at 2θ = 21°"):
        pelmora.fit(nacl, ([20.0, 21.0, 22.0], [5.0, -3.0, 7.0]))
    with pytest.raises(ValueError, match='unknown value to refine "shape"'):
        pelmora.fit(nacl, negative, ("scale", "shape"))

    # No measured point inside the structure's range: the tool's refusal.
    outside = tmp_path / "outside.xy"
    outside.write_text("150 5\n151 6\n152 7\n")
    nacl.range = (20.0, 60.0)
    nacl.save(tmp_path / "nacl.xml")
    done = cli("fit", tmp_path / "nacl.xml", "--observed", outside, check=False)
    assert done.returncode == 3
    with pytest.raises(pelmora.RefusedError) as e:
        pelmora.fit(nacl, outside)
    assert done.stderr.decode().strip() == "pelmora-cli: " + e.value.polish


def test_lines_left_out_of_a_measured_file_are_counted_as_the_tool_counts_them(cli, tmp_path):
    cut = tmp_path / "cut.xy"
    cut.write_text("2theta counts\n20 5\n21 6\nbeam off\n22 7\n23 8\n24")
    with pytest.warns(pelmora.PelmoraWarning, match=r"wiersz 4, 7"):
        m = pelmora.read_measured(cut)
    assert m.skipped_lines == 2
    t, counts, sigma = m
    assert list(t) == [20, 21, 22, 23] and list(counts) == [5, 6, 7, 8] and sigma is None
    assert m[1] is m.counts
    # The tool says the same.
    done = cli("fit", NACL, "--observed", cut, check=False)
    assert f"{cut}: {m.note}" in done.stderr.decode()


def test_a_cif_of_two_blocks_is_read_from_the_one_named(tmp_path):
    cifs = SOURCE_DIR / "tests" / "data" / "cif"
    two = tmp_path / "two.cif"
    two.write_text((cifs / "anatase.cif").read_text() + (cifs / "rutile.cif").read_text())
    with pytest.warns(pelmora.PelmoraWarning, match='also holds "rutile"'):
        first = pelmora.read(two)
    with pytest.warns(pelmora.PelmoraWarning, match='also holds "anatase"'):
        second = pelmora.read(two, block="Rutile")
    assert first.cell == pelmora.read(cifs / "anatase.cif").cell
    assert second.cell == pelmora.read(cifs / "rutile.cif").cell
    with pytest.raises(pelmora.ReadError, match='"brookite"'):
        pelmora.read(two, block="brookite")
