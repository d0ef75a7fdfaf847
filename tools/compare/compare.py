#!/usr/bin/env python3
"""Runs two builds of cif2kavrit on the same layouts and reports every difference.

    compare.py BASELINE NEW INPUT... [--options all|some] [--jobs N]
               [--ignore-stderr REGEX] [--extra-args=ARGS] [--no-dir-check]

INPUT is a CIF file or a folder of them (searched recursively for *.cif and for
files without a suffix, as the fuzz corpora hold). Each layout is converted by
both binaries in a fresh temporary directory of its own, with each of the
option combinations (-s, -r, -nolinkage and their combinations, to standard
output and with -o), and the two runs must agree on the exit status, standard
output, standard error, the -o file and the files left in the directory. The
"# generated on" line is masked. With --options some (the default for more
than 200 layouts), every eighth layout runs all 16 combinations and the others
two chosen at random from them.

--ignore-stderr drops lines matching REGEX from both standard error streams
before comparing (for a change that adds a message on purpose); --extra-args
are given to NEW only, before the CIF name (write --extra-args=--flatten, with
the equals sign, for example when only the
default reading is expected to be unaffected). Exits 1 when anything differs.
"""
import argparse
import itertools
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

FLAGS = ["-s", "-r", "-nolinkage"]
COMBOS = [list(c) for n in range(len(FLAGS) + 1) for c in itertools.combinations(FLAGS, n)]
TIME_LINE = re.compile(rb"^# generated on .*$", re.M)


def inputs(paths):
    for p in paths:
        if os.path.isdir(p):
            for root, _, files in os.walk(p):
                for f in sorted(files):
                    if f.endswith(".cif") or "." not in f:
                        yield os.path.join(root, f)
        else:
            yield p


def run(binary, args, cif, extra):
    with tempfile.TemporaryDirectory(prefix="cmp-") as d:
        name = os.path.basename(cif)
        shutil.copyfile(cif, os.path.join(d, name))
        argv = [binary] + extra + args + [name]
        try:
            p = subprocess.run(argv, cwd=d, capture_output=True, timeout=120)
            rc, out, err = p.returncode, p.stdout, p.stderr
        except subprocess.TimeoutExpired:
            rc, out, err = "timeout", b"", b""
        out_file = None
        if "-o" in args:
            path = os.path.join(d, "out.kav")
            out_file = open(path, "rb").read() if os.path.exists(path) else None
        left = sorted(set(os.listdir(d)) - {name, "out.kav"})
        return rc, out, err, out_file, left


def mask(b):
    return TIME_LINE.sub(b"# generated on (masked)", b) if b is not None else None


def compare_one(job):
    base, new, cif, args, opts = job
    a = run(base, args, cif, [])
    b = run(new, args, cif, opts.extra)
    diffs = []
    if a[0] != b[0]:
        diffs.append(f"status {a[0]} vs {b[0]}")
    if mask(a[1]) != mask(b[1]):
        diffs.append("stdout")
    ea, eb = a[2], b[2]
    if opts.ignore_stderr:
        rx = re.compile(opts.ignore_stderr.encode())
        ea = b"\n".join(l for l in ea.split(b"\n") if not rx.search(l))
        eb = b"\n".join(l for l in eb.split(b"\n") if not rx.search(l))
    if ea != eb:
        diffs.append(f"stderr {ea[:200]!r} vs {eb[:200]!r}")
    if mask(a[3]) != mask(b[3]):
        diffs.append("-o file")
    if not opts.no_dir_check and a[4] != b[4]:
        diffs.append(f"files left {a[4]} vs {b[4]}")
    return cif, args, diffs


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("baseline")
    ap.add_argument("new")
    ap.add_argument("inputs", nargs="+")
    ap.add_argument("--options", choices=["all", "some"])
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--ignore-stderr")
    ap.add_argument("--extra-args", default="")
    ap.add_argument("--no-dir-check", action="store_true")
    opts = ap.parse_args()
    opts.extra = opts.extra_args.split()
    base, new = os.path.abspath(opts.baseline), os.path.abspath(opts.new)
    files = list(inputs(opts.inputs))
    mode = opts.options or ("some" if len(files) > 200 else "all")
    rng = random.Random(opts.seed)
    all_args = [c for combo in COMBOS for c in (combo, combo + ["-o", "out.kav"])]
    jobs = []
    for i, cif in enumerate(files):
        chosen = all_args if mode == "all" or i % 8 == 0 else rng.sample(all_args, 2)
        for args in chosen:
            # A conversion needs two arguments at least: a lone name prints the usage.
            jobs.append((base, new, cif, args if args else ["-x"], opts))
    bad = 0
    with ThreadPoolExecutor(max_workers=max(1, opts.jobs)) as pool:
        for cif, args, diffs in pool.map(compare_one, jobs):
            if diffs:
                bad += 1
                if bad <= 30:
                    print(f"DIFF {cif} {' '.join(args)}: {'; '.join(diffs)}")
    print(f"{len(files)} layouts, {len(jobs)} runs, {bad} differing")
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
