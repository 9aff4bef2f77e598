#!/usr/bin/env python3
"""Times the POSIX installer reading registry files that grow, to see that
its reading grows linearly: a binary value exported as the registry editor
lays it out (hex bytes over lines that end in a backslash), and a key many
levels deep. Each size doubles the last; for a linear reader, so does the
time. Then the peak memory of reading files near the largest it accepts,
64 MiB, in every shape that could make it grow: empty lines, comment
lines, one key line, many keys, many values of the client's own key, one
large binary value of it, and the editor's UTF-16 export; each with its
ratio to the file's size, which the README promises stays under two. Run
by hand, from the repository:

    cmake --preset posix && cmake --build --preset posix --target setup
    python3 bench/registry_benchmark.py
"""

import os
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def binary_value(size):
    lines = ["REGEDIT4", "[HKEY_CURRENT_USER\\Bench]"]
    data = ",".join("%02x" % (i & 0xFF) for i in range(size))
    # 25 bytes a line, as the editor exports them.
    step = 25 * 3
    chunks = [data[i:i + step] for i in range(0, len(data), step)]
    lines.append('"v"=hex:' + ",\\\n  ".join(c.rstrip(",") for c in chunks))
    return "\n".join(lines) + "\n"


def deep_key(levels):
    return "REGEDIT4\n[HKEY_CURRENT_USER" + "\\k" * levels + "]\n"


def measure(setup, text, work):
    """The run's seconds and its peak resident memory in MiB. GNU time
    (Debian's `time`) measures the memory: a child of this process would
    count this process's own memory too."""
    path = os.path.join(work, "registry.reg")
    with open(path, "wb") as f:
        f.write(text if isinstance(text, bytes) else text.encode())
    env = dict(os.environ, SKINSETUP_REGISTRY=path, SKINSETUP_ANSWER="no")
    started = time.monotonic()
    result = subprocess.run(["/usr/bin/time", "-f", "%M", setup, "Blue"],
                            cwd=work, env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True)
    seconds = time.monotonic() - started
    return seconds, int(result.stderr.split()[-1]) / 1024


LARGEST = (64 << 20) - 64  # Under the reader's limit, with its header.
CLIENT = "[HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT]\n"


def shapes():
    yield "empty lines", "REGEDIT4\n" + "\n" * LARGEST
    yield "comment lines", "REGEDIT4\n" + ";\n" * (LARGEST // 2)
    yield "one key line", deep_key(LARGEST // 2 - 16)
    yield "many keys", "REGEDIT4\n" + "".join(
        "[HKEY_CURRENT_USER\\k%07d]\n" % i for i in range(LARGEST // 30))
    yield "many values", "REGEDIT4\n" + CLIENT + "".join(
        '"v%07d"=dword:1\n' % i for i in range(LARGEST // 20))
    yield "binary value", binary_value(LARGEST // 4).replace(
        "[HKEY_CURRENT_USER\\Bench]", CLIENT.strip()).replace(
        '"v"=', '"Install Directory"=')
    utf16 = "Windows Registry Editor Version 5.00\r\n\r\n" + CLIENT + "".join(
        '"Wert %07d"="Verzeichnis"\r\n' % i for i in range(LARGEST // 80))
    yield "UTF-16 export", b"\xff\xfe" + utf16.encode("utf-16-le")


def main():
    setup = os.path.join(REPO, "build", "posix", "setup")
    with tempfile.TemporaryDirectory() as work:
        for name, make, sizes in (
                ("binary value, bytes", binary_value,
                 [1 << 18, 1 << 19, 1 << 20, 1 << 21]),
                ("key depth, levels", deep_key,
                 [10000, 20000, 40000, 80000])):
            print(name)
            for size in sizes:
                seconds = measure(setup, make(size), work)[0]
                print("  %9d  %7.3f s" % (size, seconds))
        print("peak memory reading a file near 64 MiB")
        for name, text in shapes():
            size = len(text) / (1 << 20)
            peak = measure(setup, text, work)[1]
            print("  %-14s %5.1f MiB file  %6.1f MiB peak  %4.2fx" % (
                name, size, peak, peak / size))


if __name__ == "__main__":
    sys.exit(main())
