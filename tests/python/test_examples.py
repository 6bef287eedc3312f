"""The examples in examples/python run and give what the command line gives."""

import os
import pathlib
import subprocess
import sys

import pytest

import pelmora

from conftest import CIFS, EXAMPLES, SOURCE_DIR

EXAMPLE_DIR = SOURCE_DIR / "examples" / "python"


def run_example(script, *args, cwd=None, timeout=600):
    # The module this test imported and the examples' own, wherever the script runs.
    env = dict(os.environ, PYTHONPATH=os.pathsep.join([str(pathlib.Path(pelmora.__file__).parents[1]), str(EXAMPLE_DIR),
                                                       os.environ.get("PYTHONPATH", "")]))
    return subprocess.run([sys.executable, str(EXAMPLE_DIR / script), *map(str, args)], capture_output=True,
                          cwd=cwd, env=env, timeout=timeout)


def test_dask_batch_writes_the_cli_batchs_bytes(cli, settings_file, tmp_path):
    pytest.importorskip("dask.distributed", reason="Dask is not installed (Debian: python3-dask python3-distributed)")
    broken = tmp_path / "broken.xml"
    broken.write_text("not a structure\n")
    inputs = EXAMPLES + CIFS[:3] + [broken]
    for pattern in ([], ["--pattern", "--profile", "pseudo Voigt"]):
        ours, theirs = tmp_path / f"dask{len(pattern)}", tmp_path / f"cli{len(pattern)}"
        done = run_example("dask_batch.py", *inputs, "--out-dir", ours, "--workers", 2, "--settings", settings_file,
                           *pattern)
        expected = cli("calc", *inputs, "--out-dir", theirs, *pattern, check=False)
        assert done.returncode == expected.returncode == 2, done.stderr.decode()
        names = sorted(p.name for p in theirs.iterdir())
        assert names == sorted(p.name for p in ours.iterdir())
        assert len(names) == (len(inputs) - 1) * (2 if pattern else 1)
        for name in names:
            assert (ours / name).read_bytes() == (theirs / name).read_bytes(), name
        failures = [line for line in done.stderr.decode().splitlines() if "exit status" in line]
        assert failures == [f"{broken}: Nieznany format pliku (exit status 2)"]


# The batch with one file's first attempt killing its own worker process, as
# a crash or the kernel's OOM killer would: the marker file lets the retry live.
KILLING_BATCH = """
import os, signal, sys
import dask_batch

def calculate_or_die(path, targets, options):
    import os, signal
    import dask_batch
    if os.path.basename(path) == {victim!r}:
        try:
            os.close(os.open({marker!r}, os.O_CREAT | os.O_EXCL | os.O_WRONLY))
        except FileExistsError:
            pass
        else:
            os.kill(os.getpid(), signal.SIGKILL)
    return dask_batch.calculate(path, targets, options)

if __name__ == "__main__":
    dask_batch.calculate = calculate_or_die
    sys.exit(dask_batch.main())
"""


def test_dask_batch_survives_a_killed_worker(cli, settings_file, tmp_path):
    pytest.importorskip("dask.distributed", reason="Dask is not installed (Debian: python3-dask python3-distributed)")
    inputs = EXAMPLES[:4] + CIFS[:2]
    victim, marker = inputs[2], tmp_path / "killed-once"
    script = tmp_path / "killing_batch.py"
    script.write_text(KILLING_BATCH.format(victim=victim.name, marker=str(marker)))
    ours, theirs = tmp_path / "dask", tmp_path / "cli"
    done = run_example(script, *inputs, "--out-dir", ours, "--workers", 2, "--settings", settings_file, "--pattern",
                       timeout=300)
    cli("calc", *inputs, "--out-dir", theirs, "--pattern")
    stderr = done.stderr.decode()
    assert marker.exists() and done.returncode == 0, stderr
    names = sorted(p.name for p in theirs.iterdir())
    assert names == sorted(p.name for p in ours.iterdir()) and len(names) == 2 * len(inputs)
    for name in names:
        assert (ours / name).read_bytes() == (theirs / name).read_bytes(), name
    # The killed file is named; a file that never met the dead worker is not.
    retried = [line for line in stderr.splitlines() if "took a retry" in line]
    assert f"dask_batch: {victim} took a retry: its worker was lost" in retried, stderr
    assert len(retried) < len(inputs), stderr


def test_quickstart_runs(settings_file, tmp_path):
    pytest.importorskip("matplotlib", reason="matplotlib is not installed (Debian: python3-matplotlib)")
    done = run_example("quickstart.py", "--settings", settings_file, "--out", tmp_path / "pattern.png",
                       cwd=tmp_path)
    assert done.returncode == 0, done.stderr.decode()
    png = (tmp_path / "pattern.png").read_bytes()
    assert png.startswith(b"\x89PNG") and len(png) > 10000
    out = done.stdout.decode()
    # The strongest reflections of rutile: (1 1 0) near 27.4 degrees with Cu K-alpha1.
    assert " 1  1  0 " in out and "27.4" in out
