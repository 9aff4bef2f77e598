#!/usr/bin/env python3
"""Times the POSIX installer against coreutils copying the same package into
the same file system: a fresh install and a reinstall answered Yes, for a
package of 10,000 files of 4 KiB and for one of a single 1 GiB file.

Two coreutils columns:
- `cp -a`: the package copied over the earlier copy, in place. Unsafe: the
  earlier files are gone the moment the copy starts.
- `safe`: the installer's own promise kept by hand. A fresh install copies
  into a new folder, syncs and renames it into place; a reinstall renames the
  earlier copy aside, copies the package, syncs, deletes the earlier copy
  and syncs again.

Runs are interleaved (the order turns from run to run) and repeated; each
time runs until the copy is on disk (the command, then sync). The table gives
the medians, the ratios and the installer's peak memory. Then one run of
each kind under `strace -f -c` gives the installer's system calls per
package file. Run by hand, from the repository:

    cmake --preset posix && cmake --build --preset posix --target setup
    python3 bench/run_benchmark.py [--runs N] [--work DIR] [--setup PATH]
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
TOOLS = ("setup", "cp", "safe")


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


def calls_per_file(command, cwd, env, work, files):
    """The installer's system calls per package file in one run, from
    `strace -f -c`: the total and the calls that come at least once in ten
    files."""
    summary = os.path.join(work, "strace-summary")
    subprocess.run(["strace", "-f", "-c", "-o", summary] + command, cwd=cwd,
                   env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    counts = {}
    with open(summary) as f:
        for line in f:
            fields = line.split()
            # % time, seconds, usecs/call, calls, [errors,] syscall
            if len(fields) >= 5 and fields[0][0].isdigit() and \
                    fields[-1] != "total":
                counts[fields[-1]] = int(fields[3])
    total = sum(counts.values()) / files
    top = sorted(((n / files, name) for name, n in counts.items()
                  if n / files >= 0.1), reverse=True)
    return total, ", ".join("%s %.1f" % (name, n) for n, name in top)


def bench(name, package, work, setup, runs, rows, files):
    client = os.path.join(work, "client")
    skins = os.path.join(client, "Skins")
    skin = os.path.join(skins, "Blue")
    targets = {"setup": skin, "cp": os.path.join(work, "copy"),
               "safe": os.path.join(work, "safe")}
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
    safe = targets["safe"]
    aside = safe + ".old"
    commands = {
        # The installer ends with 1 after its success box.
        "setup": (["./setup", "Blue"], package, env, 1),
        "cp": (["cp", "-a", package + "/.", targets["cp"]], None, None, 0),
        "safe": {
            "fresh": (["sh", "-ec", 'cp -a "$1" "$2.new"; sync; '
                       'mv "$2.new" "$2"; sync', "safe", package, safe],
                      None, None, 0),
            "reinstall": (["sh", "-ec", 'mv "$2" "$3"; cp -a "$1" "$2"; sync; '
                           'rm -rf "$3"; sync', "safe", package, safe, aside],
                          None, None, 0)},
    }

    def run(tool, mode):
        command = commands[tool]
        if tool == "safe":
            command = command[mode]
        return timed(command[0], command[1], command[2], report, command[3])

    for mode in ("fresh", "reinstall"):
        wall = {tool: [] for tool in TOOLS}
        cpu = {tool: [] for tool in TOOLS}
        peak = 0
        for turn in range(runs):
            order = TOOLS[turn % 3:] + TOOLS[:turn % 3]
            for tool in order:
                target = targets[tool]
                if mode == "fresh":
                    shutil.rmtree(target, ignore_errors=True)
                    if tool == "cp":
                        os.makedirs(target)
                elif not os.path.isdir(target):
                    # Installed once, untimed, so that the runs replace.
                    if tool == "cp":
                        os.makedirs(target)
                    run(tool, "fresh")
                elapsed, processor, rss = run(tool, mode)
                wall[tool].append(elapsed)
                cpu[tool].append(processor)
                if tool == "setup":
                    peak = max(peak, rss)
        if mode == "fresh":
            shutil.rmtree(skin, ignore_errors=True)
        calls, top = calls_per_file(commands["setup"][0], package, env, work,
                                    files)
        row = {"name": name, "mode": mode, "peak": peak / 1024,
               "calls": calls, "top": top}
        for tool in TOOLS:
            row["wall " + tool] = statistics.median(wall[tool])
            row["cpu " + tool] = statistics.median(cpu[tool])
        rows.append(row)
        print("%-22s %-9s wall: setup %.3f s, cp -a %.3f s (%.2f), safe "
              "%.3f s (%.2f); peak %.1f MiB; %.1f calls a file: %s"
              % (name, mode, row["wall setup"], row["wall cp"],
                 row["wall setup"] / row["wall cp"], row["wall safe"],
                 row["wall setup"] / row["wall safe"], row["peak"], calls,
                 top), flush=True)
    for target in targets.values():
        shutil.rmtree(target, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--work", default=os.path.join(REPO, "build", "bench"))
    parser.add_argument("--setup",
                        default=os.path.join(REPO, "build", "posix", "setup"))
    parser.add_argument("--small-only", action="store_true",
                        help="leave out the 1 GiB package")
    args = parser.parse_args()
    setup = os.path.abspath(args.setup)
    rows = []
    small = os.path.join(args.work, "pkg-small")
    make_package(small, [("f%05d.bmp" % i, 4096) for i in range(10000)])
    bench("10,000 files of 4 KiB", small, args.work, setup, args.runs, rows,
          10000)
    shutil.rmtree(small)
    if not args.small_only:
        large = os.path.join(args.work, "pkg-large")
        make_package(large, [("big.bin", 1 << 30)])
        bench("1 file of 1 GiB", large, args.work, setup, args.runs, rows, 1)
        shutil.rmtree(large)

    print("\n| package | install | setup | cp -a | ratio | safe | ratio | "
          "processor: setup, cp -a, safe | peak memory | calls a file |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for row in rows:
        print("| %s | %s | %.3f s | %.3f s | %.2f | %.3f s | %.2f | "
              "%.3f s, %.3f s, %.3f s | %.1f MiB | %.1f |"
              % (row["name"], row["mode"], row["wall setup"], row["wall cp"],
                 row["wall setup"] / row["wall cp"], row["wall safe"],
                 row["wall setup"] / row["wall safe"], row["cpu setup"],
                 row["cpu cp"], row["cpu safe"], row["peak"], row["calls"]))


if __name__ == "__main__":
    main()
