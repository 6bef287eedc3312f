#!/usr/bin/python3
"""pelmora-cli calc against cctbx's direct summation of the same reflections.

For a structure file (case LARGE: `make_large_case large.xml`) cctbx sums
every reflection of the first wavelength in the file's 2-theta range over
the file's atoms (tools/crosscheck_cctbx.py's reference list: the index set,
the structure and the direct summation), and pelmora-cli calculates the file
end to end (process start, reading, search, list written to /dev/null). The
two alternate in one run; the medians and their ratio are printed.

Run with Debian's python3-cctbx:
  /usr/bin/python3 bench/python/cctbx_ratio.py large.xml [--cli build/bin/pelmora-cli] [--runs 3]
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import crosscheck_cctbx as cc  # noqa: E402


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("file")
    ap.add_argument("--cli", default=os.path.join(ROOT, "build", "bin", "pelmora-cli"))
    ap.add_argument("--runs", type=int, default=3)
    a = ap.parse_args()
    st = cc.read_structure(a.file)
    ours, theirs, count = [], [], 0
    with tempfile.TemporaryDirectory() as tmp:
        env = dict(os.environ, XDG_CONFIG_HOME=tmp, LC_ALL="C")
        for _ in range(a.runs):
            t0 = time.perf_counter()
            count = len(cc.reference_list(st, cc.cctbx_structure(st), st["lambda1"]))
            theirs.append(time.perf_counter() - t0)
            t0 = time.perf_counter()
            subprocess.run([a.cli, "calc", a.file, "--settings", os.path.join(tmp, "none.ini"), "--reflections",
                            os.devnull], env=env, check=True)
            ours.append(time.perf_counter() - t0)
    p, c = statistics.median(ours), statistics.median(theirs)
    print("%d reflections: pelmora-cli %.3f s, cctbx %.3f s, ratio %.4f" % (count, p, c, p / c))
    print("  pelmora-cli runs: %s" % " ".join("%.3f" % x for x in ours))
    print("  cctbx runs:       %s" % " ".join("%.3f" % x for x in theirs))


if __name__ == "__main__":
    main()
