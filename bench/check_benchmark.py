#!/usr/bin/env python3
"""Measures the POSIX installer's check of a package (/S /CHECK) where a
hostile or careless package would make it grow: its wall time and peak
resident memory (GNU time) for
- 100,000 files of one byte, against the installation of the same package;
- a map of 20 MB of bad lines, each a problem, with a log and without;
- a link to /proc/self/pagemap, which reads for hours to its end but whose
  size says 0 bytes.
Each row is the median of `--runs` runs. Run by hand, from the repository:

    cmake --preset posix && cmake --build --preset posix --target setup
    python3 bench/check_benchmark.py [--runs N] [--work DIR] [--setup PATH]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests"))
import e2e  # noqa: E402  (the tests' .reg writer)

MAP = b"SKIN-COMPATIBILITY-MIN=3\r\nSKIN-COMPATIBILITY-MAX=7\r\n"


def package(folder, files=(), map_bytes=MAP, links=()):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name in files:
        with open(os.path.join(folder, name), "wb") as f:
            f.write(b"x")
    with open(os.path.join(folder, "cliver.map"), "wb") as f:
        f.write(map_bytes)
    for name, target in links:
        os.symlink(target, os.path.join(folder, name))


def timed(setup, args, cwd, env, status):
    """Wall seconds and peak KiB of one run, from GNU time."""
    report = os.path.join(os.path.dirname(cwd), "time.txt")
    done = subprocess.run(["/usr/bin/time", "-o", report, "-f", "%e %M",
                           setup] + args, cwd=cwd, env=env,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if done.returncode != status:
        sys.exit("%s %s: status %d, not %d" % (setup, args, done.returncode,
                                              status))
    with open(report) as f:
        seconds, kib = f.read().split()[-2:]
    return float(seconds), int(kib)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--work", default="/tmp/skinsetup-check-bench")
    parser.add_argument("--setup",
                        default=os.path.join(REPO, "build/posix/setup"))
    args = parser.parse_args()
    setup = os.path.abspath(args.setup)
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    registry = os.path.join(work, "registry.reg")
    client = os.path.join(work, "client")
    e2e.write_registry(registry, client)
    env = dict(os.environ, SKINSETUP_REGISTRY=registry)
    env.pop("SKINSETUP_ANSWER", None)
    pkg = os.path.join(work, "pkg")
    log = os.path.join(work, "check.log")
    failed = 1603 & 0xFF

    def skin_gone():
        shutil.rmtree(os.path.join(client, "Skins"), ignore_errors=True)
        os.makedirs(os.path.join(client, "Skins"))

    def clear_log():
        if os.path.exists(log):
            os.remove(log)

    rows = [
        ("100,000 files of 1 byte", "check",
         lambda: package(pkg, ["f%06d.dat" % i for i in range(100000)]),
         ["/S", "/CHECK"], 0, None),
        ("100,000 files of 1 byte", "installation", None, ["/S", "Blue"], 0,
         skin_gone),
        ("a map of 20 MB of bad lines", "check, with a log",
         lambda: package(pkg, map_bytes=b"==\n" * 7000000),
         ["/S", "/CHECK", "/LOG=" + log], failed, clear_log),
        ("a map of 20 MB of bad lines", "check", None, ["/S", "/CHECK"],
         failed, None),
        ("a link to /proc/self/pagemap", "check",
         lambda: package(pkg, links=[("pages.bmp", "/proc/self/pagemap")]),
         ["/S", "/CHECK"], 0, None),
    ]
    print("| package | run | time | peak memory |")
    print("|---|---|---|---|")
    for name, run, prepare, words, status, before in rows:
        if prepare:
            prepare()
        results = []
        for _ in range(args.runs):
            if before:
                before()
            results.append(timed(setup, words, pkg, env, status))
        print("| %s | %s | %.2f s | %.1f MiB |" % (
            name, run, statistics.median(r[0] for r in results),
            statistics.median(r[1] for r in results) / 1024))
    shutil.rmtree(work)


if __name__ == "__main__":
    main()
