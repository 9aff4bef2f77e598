#!/usr/bin/env python3
"""Tells whether this machine runs 32-bit x86 programs, by starting one.

Some kernels are built without 32-bit support, or have it turned off, and
then 32-bit Wine cannot start. Installed files say nothing about that, so
the probe writes the smallest 32-bit program there is (it exits with 42)
and runs it. SKINSETUP_NO_32BIT=1 makes the probe fail, to see on any
machine what the tests do on one without 32-bit support.

Usage: probe32.py WORK_DIR  (exit status 0: it runs; 1: it does not, and
why is printed)
"""

import os
import struct
import subprocess
import sys

BASE = 0x08048000
# mov eax, 1 (exit); mov ebx, 42; int 0x80
CODE = bytes.fromhex("b801000000bb2a000000cd80")


def tiny_program():
    size = 52 + 32 + len(CODE)
    ident = b"\x7fELF\x01\x01\x01" + bytes(9)
    header = struct.pack("<16sHHIIIIIHHHHHH", ident, 2, 3, 1, BASE + 84, 52,
                         0, 0, 52, 32, 1, 0, 0, 0)
    segment = struct.pack("<8I", 1, 0, BASE, BASE, size, size, 5, 0x1000)
    return header + segment + CODE


def why_not(work_dir):
    """None when 32-bit programs run here, otherwise the reason."""
    if os.environ.get("SKINSETUP_NO_32BIT") == "1":
        return "SKINSETUP_NO_32BIT=1 says to act as if it did not"
    os.makedirs(work_dir, exist_ok=True)
    path = os.path.join(work_dir, "probe32")
    with open(path, "wb") as f:
        f.write(tiny_program())
    os.chmod(path, 0o755)
    try:
        status = subprocess.run([path], timeout=30).returncode
    except OSError as error:
        return "a 32-bit program cannot start: %s" % error.strerror
    finally:
        os.remove(path)
    if status != 42:
        return "a 32-bit program ended with status %d instead of 42" % status
    return None


if __name__ == "__main__":
    reason = why_not(sys.argv[1])
    if reason:
        print("this machine runs no 32-bit programs (%s)" % reason)
    sys.exit(1 if reason else 0)
