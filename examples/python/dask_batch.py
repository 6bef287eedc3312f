#!/usr/bin/python3
"""Calculates many structures on a Dask cluster and writes per file exactly what
``pelmora-cli calc FILE... --out-dir DIR`` writes: DIR/NAME.reflections.txt and,
with --pattern, DIR/NAME.pattern.txt (or the format's extension).

    dask_batch.py cifs/*.cif --out-dir results --pattern --profile "pseudo Voigt"
    dask_batch.py cifs/*.cif --out-dir results --scheduler tcp://head:8786

Without --scheduler a local cluster of --workers processes runs the files; with
it, the cluster behind that scheduler does (dask-jobqueue on Slurm, dask-kubernetes,
``dask scheduler`` and ``dask worker`` started by hand). The workers need the
pelmora module and the input files at the same paths, and write into DIR.
A file that fails is named on standard error with the reason; the exit status is
that of pelmora-cli: 0 when every file succeeded, else the highest of the failed.

A worker that dies part-way (killed, out of memory, its machine gone) costs no
file: the scheduler sends what it held to another worker (the nanny of a local
cluster starts a new one), up to Dask's distributed.scheduler.allowed-failures
times (3 unless configured). Each file that had to be sent again is named on
standard error ("took a retry"); one whose workers died every time fails with
status 4. Results are written whole or not at all, so a retry leaves the same
bytes as a run without one.
"""

import argparse
import logging
import os
import sys


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("files", nargs="+", metavar="FILE", help="structure files (.xml, .cif, .dat)")
    p.add_argument("--out-dir", required=True, metavar="DIR", help="folder of the results")
    p.add_argument("--workers", type=int, default=os.cpu_count(), metavar="N",
                   help="processes of the local cluster (default: one per core)")
    p.add_argument("--scheduler", metavar="ADDRESS", help="a running Dask scheduler instead of a local cluster")
    p.add_argument("--pattern", action="store_true", help="also write the diffractogram of each file")
    p.add_argument("--profile", help="peak profile (default: the settings' PeakProfile)")
    p.add_argument("--format", help="diffractogram format: a plug-in format's label or extension")
    p.add_argument("--scale", type=float, help="multiply the written intensities by S")
    p.add_argument("--ka2", action="store_true", help="list reflections of the second line too")
    p.add_argument("--extinct", action="store_true", help="list extinct reflections too")
    p.add_argument("--range", type=float, nargs=2, metavar=("MIN", "MAX"), help="2-theta range in degrees")
    p.add_argument("--radiation", choices=["x", "n"], help="x = X-rays, n = neutrons")
    p.add_argument("--settings", metavar="INI", help="settings file (default: the user's own)")
    p.add_argument("--data-dir", metavar="DIR", help="reference-data folder")
    return p.parse_args(argv)


# What a worker process configured its session with.
_configured = None


def calculate(path, targets, options):
    """One file on a worker: (path, 0, "") or (path, status, why)."""
    import warnings

    import pelmora

    global _configured
    session = (options["settings"], options["data_dir"])
    if _configured != session:
        pelmora.configure(settings=session[0], data_dir=session[1])
        _configured = session
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", pelmora.PelmoraWarning)
            s = pelmora.read(path)
            if options["radiation"]:
                s.radiation = options["radiation"]
            if options["range"]:
                s.range = tuple(options["range"])
            s.export(targets[0], targets[1], profile=options["profile"], ka2=options["ka2"],
                     extinct=options["extinct"], scale=options["scale"], format=options["format"])
    except pelmora.Error as e:
        # The command line's batch says it in the program's words.
        return path, e.status, e.polish
    except ValueError as e:
        return path, 1, getattr(e, "polish", str(e))
    return path, 0, ""


def run_on_cluster(args, jobs, options):
    """Every job's (path, status, why), and (path, times) for each file that
    was sent again because a worker holding it died."""
    from dask.distributed import Client, LocalCluster, wait

    if args.scheduler:
        client, cluster = Client(args.scheduler), None
    else:
        cluster = LocalCluster(n_workers=max(1, args.workers), threads_per_worker=1, processes=True,
                               dashboard_address=None, silence_logs=logging.ERROR)
        client = Client(cluster)
    try:
        futures = client.map(calculate, [p for p, _ in jobs], [t for _, t in jobs], options=options, pure=False)
        wait(futures)
        keys = [f.key for f in futures]

        # Counted by the scheduler for each task that was on a worker when it died;
        # asked while the futures still hold the tasks.
        def lost_workers(dask_scheduler):
            return {k: dask_scheduler.tasks[k].suspicious for k in keys if k in dask_scheduler.tasks}

        lost = client.run_on_scheduler(lost_workers)
        results = []
        for (path, _), future in zip(jobs, futures):
            if future.status == "finished":
                results.append(future.result())
            else:
                results.append((path, 4, f"{path}: not calculated: {future.exception()!r}"))
    finally:
        client.close()
        if cluster:
            cluster.close()
    retried = [(path, lost[f.key]) for (path, _), f in zip(jobs, futures) if lost.get(f.key, 0) > 0]
    return results, retried


def main(argv=None):
    args = parse_args(argv)
    os.makedirs(args.out_dir, exist_ok=True)
    if not os.path.isdir(args.out_dir):
        print(f"dask_batch: cannot create the folder {args.out_dir}", file=sys.stderr)
        return 4

    import pelmora

    if args.settings or args.data_dir:
        pelmora.configure(settings=args.settings, data_dir=args.data_dir)
    try:
        ext = pelmora.pattern_extension(args.format) if args.pattern else ""
    except ValueError as e:
        print(f"dask_batch: {e}", file=sys.stderr)
        return 1
    # Two inputs of one name would overwrite each other's results.
    jobs, stems = [], {}
    for path in args.files:
        stem = os.path.splitext(os.path.basename(path))[0]
        if stem in stems:
            print(f'dask_batch: "{stems[stem]}" and "{path}" would write the same results ({stem})', file=sys.stderr)
            return 1
        stems[stem] = path
        base = os.path.join(args.out_dir, stem)
        jobs.append((path, (base + ".reflections.txt", base + ".pattern" + ext if args.pattern else None)))
    options = {k: getattr(args, k) for k in
               ("settings", "data_dir", "profile", "format", "scale", "ka2", "extinct", "range", "radiation")}

    results, retried = run_on_cluster(args, jobs, options)
    for path, count in retried:
        print(f"dask_batch: {path} took a retry: its worker was lost"
              + (f" ({count} times)" if count > 1 else ""), file=sys.stderr)
    failed = [(path, status, why) for path, status, why in results if status]
    for path, status, why in failed:
        reason = " ".join(why.splitlines())
        # The program's messages about a file begin with its name.
        print(f"{reason if reason.startswith(path) else path + ': ' + reason} (exit status {status})", file=sys.stderr)
    if failed:
        print(f"dask_batch: {len(failed)} of {len(results)} files failed", file=sys.stderr)
        return max(status for _, status, _ in failed)
    return 0


if __name__ == "__main__":
    sys.exit(main())
