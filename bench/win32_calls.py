#!/usr/bin/env python3
"""Counts the Win32 calls that setup.exe makes a package file, under Wine's
relay trace: a first installation and a reinstall (/S, then /S /OVERWRITE)
of packages of 100 and of 200 files of 4 KiB; the difference of the two,
divided by 100, is the cost of one file, free of what a run costs once.
Only the calls made from setup.exe itself count, not those the system
makes inside. Run by hand, from the repository, with the Windows build:

    cmake --preset win64 && cmake --build --preset win64
    python3 bench/win32_calls.py [--build build/win64] [--work DIR]
"""

import argparse
import collections
import os
import re
import shutil
import subprocess
import sys

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MAP = b"SKIN-COMPATIBILITY-MIN=3\r\nSKIN-COMPATIBILITY-MAX=7\r\n"
# A relay line: "0024:Call KERNEL32.CreateFileW(...) ret=14000be61".
CALL = re.compile(r"^[0-9a-f]+:Call ([\w.]+)\(.*\) ret=([0-9a-f]+)$")


def wine(work, args, cwd=None, relay=False):
    env = dict(os.environ, WINEPREFIX=os.path.join(work, "prefix"),
               WINEDLLOVERRIDES="mscoree,mshtml=",
               WINEDEBUG="+relay" if relay else "-all")
    result = subprocess.run(["/usr/lib/wine/wine64"] + args, cwd=cwd,
                            env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                            timeout=600)
    return result.returncode, result.stderr.decode("utf-8", "replace")


# The C library's own work (memory, strings) is no call of the system.
C_LIBRARY = ("msvcrt", "ucrtbase", "api-ms-win-crt")
# The calls that reach the file system.
FILES = re.compile(r"^(CreateFileW|ReadFile|WriteFile|CloseHandle|Get.*File.*|"
                   r"Set.*File.*|Find.*|MoveFileExW|DeleteFileW|"
                   r"FlushFileBuffers|CreateDirectoryW|RemoveDirectoryW)$")


def count_calls(trace, low, high):
    """The system calls made from code between `low` and `high`, by name."""
    counts = collections.Counter()
    for line in trace.splitlines():
        match = CALL.match(line)
        if match and low <= int(match.group(2), 16) < high:
            dll, name = match.group(1).split(".", 1)
            if not dll.lower().startswith(C_LIBRARY):
                counts[name] += 1
    return counts


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(REPO, "build", "win64"))
    parser.add_argument("--work", default=os.path.join(REPO, "build",
                                                       "win32-calls"))
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    wine(work, ["wineboot", "-i"])
    client = os.path.join(work, "client")
    os.makedirs(os.path.join(client, "Skins"))
    key = "HKCU\\SOFTWARE\\QV CLIENT"
    wine(work, ["reg", "add", key, "/v", "Install Directory", "/d",
                "Z:" + client.replace("/", "\\"), "/f"])
    wine(work, ["reg", "add", key + "\\NEWREVISION", "/v",
                "SKIN-COMPATIBILITY", "/t", "REG_DWORD", "/d", "5", "/f"])
    # The image's own code, wherever the linker put it (MinGW's default
    # bases: 0x400000 in 32 bits, 0x140000000 in 64).
    exe = os.path.join(args.build, "setup.exe")
    with open(exe, "rb") as f:
        image = f.read()
    pe = int.from_bytes(image[0x3C:0x40], "little")
    magic = int.from_bytes(image[pe + 24:pe + 26], "little")
    if magic == 0x20B:
        base = int.from_bytes(image[pe + 48:pe + 56], "little")
    else:
        base = int.from_bytes(image[pe + 52:pe + 56], "little")
    size = int.from_bytes(image[pe + 80:pe + 84], "little")

    runs = {}
    for files in (100, 200):
        package = os.path.join(work, "pkg%d" % files)
        os.makedirs(package)
        for i in range(files):
            with open(os.path.join(package, "f%05d.bmp" % i), "wb") as f:
                f.write(os.urandom(4096))
        with open(os.path.join(package, "cliver.map"), "wb") as f:
            f.write(MAP)
        shutil.copy(exe, package)
        shutil.rmtree(os.path.join(client, "Skins", "Blue"),
                      ignore_errors=True)
        for mode, tail in (("fresh", ["/S"]), ("reinstall",
                                                ["/S", "/OVERWRITE"])):
            status, trace = wine(work, [".\\setup.exe"] + tail + ["Blue"],
                                 cwd=package, relay=True)
            if status != 0:
                sys.exit("%s of %d files ended with %d" % (mode, files,
                                                            status))
            runs[mode, files] = count_calls(trace, base, base + size)

    print("| Win32 call | fresh | reinstall |")
    print("|---|---|---|")
    totals = {"files": collections.Counter(), "all": collections.Counter()}
    names = sorted(set().union(*(counts.keys() for counts in runs.values())))
    for name in names:
        per_file = {mode: (runs[mode, 200][name] - runs[mode, 100][name]) / 100
                    for mode in ("fresh", "reinstall")}
        totals["all"].update(per_file)
        if FILES.match(name):
            totals["files"].update(per_file)
        if any(value >= 0.05 for value in per_file.values()):
            print("| %s | %.1f | %.1f |" % (name, per_file["fresh"],
                                             per_file["reinstall"]))
    for kind in ("files", "all"):
        print("| %s | %.1f | %.1f |" % (
            "file system calls" if kind == "files" else "all calls",
            totals[kind]["fresh"], totals[kind]["reinstall"]))


if __name__ == "__main__":
    main()
