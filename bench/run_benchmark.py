#!/usr/bin/env python3
"""Times the POSIX installer against `cp -a` of the same package into the
same file system: a fresh install and a reinstall answered Yes, for a
package of 10,000 files of 4 KiB and for one of a single 1 GiB file.

Runs are interleaved (installer, cp, cp, installer, ...) and repeated; each
time runs until the copy is on disk (the command, then sync). The table gives
the medians, the ratios to cp -a and the installer's peak memory. Run by hand, from the repository:

    cmake --preset posix && cmake --build --preset posix --target setup
    python3 bench/run_benchmark.py [--runs N] [--work DIR]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MAP = b"SKIN-COMPATIBILITY-MIN=3\r\nSKIN-COMPATIBILITY-MAX=7\r\n"


def make_package(folder, files):
    """`files`: a list of (name, size). Contents differ from file to file."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    block = os.urandom(1 << 20)
    for index, (name, size) in enumerate(files):
        with open(os.path.join(folder, name), "wb") as f:
            written = 0
            while written < size:
                chunk = block[(index * 4096) % len(block):][:size - written]
                if not chunk:
                    chunk = block[:size - written]
                f.write(chunk)
                written += len(chunk)
    with open(os.path.join(folder, "cliver.map"), "wb") as f:
        f.write(MAP)


def timed(command, cwd, env, report, expected_status):
    """Runs `command` under GNU time; returns its wall time until the copy
    is on disk (the command, then sync, so that neither side leaves its
    writing to the next run), its processor time (user and system) and its
    peak resident memory in KiB."""
    subprocess.run(["sync"], check=True)
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", report]
                            + command, cwd=cwd, env=env,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    subprocess.run(["sync"], check=True)
    elapsed = time.perf_counter() - start
    if result.returncode != expected_status:
        sys.exit("%s ended with status %s" % (command, result.returncode))
    with open(report) as f:
        user, system, peak = f.read().split()[-3:]
    return elapsed, float(user) + float(system), int(peak)


def bench(name, package, work, setup, runs, rows):
    client = os.path.join(work, "client")
    skins = os.path.join(client, "Skins")
    skin = os.path.join(skins, "Blue")
    copy = os.path.join(work, "copy")
    registry = os.path.join(work, "registry.reg")
    os.makedirs(skins, exist_ok=True)
    with open(registry, "w") as f:
        f.write("Windows Registry Editor Version 5.00\n\n"
                "[HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT]\n"
                "\"Install Directory\"=\"%s\"\n\n"
                "[HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT\\NEWREVISION]\n"
                "\"SKIN-COMPATIBILITY\"=dword:00000005\n" % client)
    # The installer travels in the package, and leaves itself out.
    link = os.path.join(package, "setup")
    if not os.path.lexists(link):
        os.symlink(setup, link)
    env = dict(os.environ, SKINSETUP_REGISTRY=registry, SKINSETUP_ANSWER="yes")
    report = os.path.join(work, "time-report")
    # The installer ends with 1 after its success box.
    installer = lambda: timed(["./setup", "Blue"], package, env, report, 1)
    cp_fresh = lambda: timed(["cp", "-a", package + "/.", copy], None, None,
                             report, 0)

    for mode in ("fresh", "reinstall"):
        wall = {"setup": [], "cp": []}
        cpu = {"setup": [], "cp": []}
        peak = 0
        for run in range(runs):
            order = ("setup", "cp") if run % 2 == 0 else ("cp", "setup")
            for tool in order:
                target = skin if tool == "setup" else copy
                if mode == "fresh":
                    shutil.rmtree(target, ignore_errors=True)
                    if tool == "cp":
                        os.makedirs(copy)
                elif not os.path.isdir(target):
                    # Installed once, untimed, so that the runs replace.
                    if tool == "cp":
                        os.makedirs(copy)
                    (installer if tool == "setup" else cp_fresh)()
                elapsed, processor, rss = (installer if tool == "setup"
                                           else cp_fresh)()
                wall[tool].append(elapsed)
                cpu[tool].append(processor)
                if tool == "setup":
                    peak = max(peak, rss)
        row = (name, mode, statistics.median(wall["setup"]),
               statistics.median(wall["cp"]), statistics.median(cpu["setup"]),
               statistics.median(cpu["cp"]), peak / 1024)
        rows.append(row)
        print("%-22s %-9s wall: setup %.3f s, cp -a %.3f s (%.2f); "
              "processor: setup %.3f s, cp -a %.3f s (%.2f); peak %.1f MiB"
              % (row[0], row[1], row[2], row[3], row[2] / row[3], row[4],
                 row[5], row[4] / max(row[5], 0.001), row[6]), flush=True)
    shutil.rmtree(skin, ignore_errors=True)
    shutil.rmtree(copy, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--work", default=os.path.join(REPO, "build", "bench"))
    parser.add_argument("--setup",
                        default=os.path.join(REPO, "build", "posix", "setup"))
    args = parser.parse_args()
    setup = os.path.abspath(args.setup)
    rows = []
    small = os.path.join(args.work, "pkg-small")
    make_package(small, [("f%05d.bmp" % i, 4096) for i in range(10000)])
    bench("10,000 files of 4 KiB", small, args.work, setup, args.runs, rows)
    shutil.rmtree(small)
    large = os.path.join(args.work, "pkg-large")
    make_package(large, [("big.bin", 1 << 30)])
    bench("1 file of 1 GiB", large, args.work, setup, args.runs, rows)
    shutil.rmtree(large)

    print("\n| package | install | wall: setup | wall: cp -a | ratio | "
          "processor: setup | processor: cp -a | ratio | setup peak memory |")
    print("|---|---|---|---|---|---|---|---|---|")
    for name, mode, wall_setup, wall_cp, cpu_setup, cpu_cp, peak in rows:
        print("| %s | %s | %.3f s | %.3f s | %.2f | %.3f s | %.3f s | %.2f | "
              "%.1f MiB |" % (name, mode, wall_setup, wall_cp,
                              wall_setup / wall_cp, cpu_setup, cpu_cp,
                              cpu_setup / max(cpu_cp, 0.001), peak))


if __name__ == "__main__":
    main()
