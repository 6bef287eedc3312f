#!/usr/bin/python3
"""Times Structure.reflections() of the Python module on case LARGE (cubic P,
a = 25 A, 400 atoms, Cu K-alpha1, 2-theta 5..150) against the calculation alone
in C++, as pelmora-cli runs it (pelmora_bench's BM_RunReflectionCalculation_Large:
the values checked, the calculation on a worker thread) and bare
(BM_CalculateReflections_Large), on the same case.

    cmake --build build --target pelmora_python pelmora_bench make_large_case
    PYTHONPATH=build/python /usr/bin/python3 bench/python/bench_module.py --build build
"""

import argparse
import json
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time


def cpp_times(bin_dir, name, repetitions):
    """Wall times (s) of one pelmora_bench benchmark's repetitions."""
    out = subprocess.run([bin_dir / "pelmora_bench", f"--benchmark_filter=^{name}/",
                          f"--benchmark_repetitions={repetitions}", "--benchmark_format=json"],
                         check=True, capture_output=True, text=True).stdout
    return [b["real_time"] / 1000.0 for b in json.loads(out)["benchmarks"] if b.get("run_type") == "iteration"]


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--build", default="build", help="the build folder (default: build)")
    p.add_argument("--rounds", type=int, default=6, help="rounds of module and C++ runs in turn (default: 6)")
    p.add_argument("--runs", type=int, default=5, help="timed runs of each per round (default: 5)")
    args = p.parse_args()
    bin_dir = pathlib.Path(args.build) / "bin"

    import pelmora

    names = ("BM_RunReflectionCalculation_Large", "BM_CalculateReflections_Large")
    module, bare, cpp = [], [], {name: [] for name in names}
    with tempfile.TemporaryDirectory() as tmp:
        settings = pathlib.Path(tmp) / "Pelmora.ini"
        settings.write_text("")
        pelmora.configure(settings=settings)
        large = pathlib.Path(tmp) / "large.xml"
        subprocess.run([bin_dir / "make_large_case", large], check=True)
        s = pelmora.read(large)
        n = len(s.reflections()["h"])  # warm-up
        # In turns, so that the load of the machine falls on both alike.
        for _ in range(args.rounds):
            for _ in range(args.runs):
                start = time.perf_counter()
                s.reflections()
                module.append(time.perf_counter() - start)
                # The same run with nothing handed back: what the arrays cost.
                start = time.perf_counter()
                s.export()
                bare.append(time.perf_counter() - start)
            for name in names:
                cpp[name] += cpp_times(bin_dir, name, args.runs)

    print(f"case LARGE: {n} reflections listed, {len(module)} runs of each")
    report("Structure.reflections()", module, module)
    report("Structure.export() (no output)", bare, module)
    for name in names:
        report(name.removeprefix("BM_").removesuffix("_Large") + " (C++)", cpp[name], module)
    return 0


def report(name, times, module):
    med, best = statistics.median(times), min(times)
    print(f"{name:36s} median {med * 1000:7.1f} ms  min {best * 1000:7.1f} ms  "
          f"(module / this: median {statistics.median(module) / med:.3f}, min {min(module) / best:.3f})")


if __name__ == "__main__":
    sys.exit(main())
