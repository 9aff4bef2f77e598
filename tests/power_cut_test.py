#!/usr/bin/env python3
"""A power cut right after the POSIX installer ends: on a loop-mounted
ext4 image, install, then reinstall a newer package; a moment after each
run, copy the image as a power cut would leave the disk, mount the copy,
and check that every file of the skin is whole, the new version or the
earlier one, never empty or missing.

It needs root and loop devices; where they are missing it exits with
status 77, which CTest reports as skipped, and says why.

Usage: power_cut_test.py PATH_TO_SETUP
       power_cut_test.py --probe  (status 0 when it can run here;
       otherwise 1, and why)
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

import e2e

SETUP = None
FILES = 24


def why_it_cannot_run():
    if os.geteuid() != 0:
        return "it needs root, to mount a file system image"
    for tool in ("mkfs.ext4", "mount", "umount", "losetup"):
        if shutil.which(tool) is None:
            return "%s is missing" % tool
    if subprocess.run(["losetup", "-f"], capture_output=True).returncode:
        return "there is no free loop device"
    # A container may have both and still refuse to mount.
    work = tempfile.mkdtemp(prefix="skinsetup-probe-")
    try:
        image, mount = os.path.join(work, "probe.img"), os.path.join(work, "m")
        os.makedirs(mount)
        with open(image, "wb") as f:
            f.truncate(16 << 20)
        for command in (["mkfs.ext4", "-q", "-F", image],
                        ["mount", "-o", "loop", image, mount],
                        ["umount", mount]):
            result = subprocess.run(command, capture_output=True, text=True)
            if result.returncode:
                return "%s failed: %s" % (command[0],
                                          result.stderr.strip()[:200])
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return None


def sh(*command):
    subprocess.run(command, check=True, capture_output=True)


def skin_after_power_cut(image, work):
    """The skin's files as the disk holds them now."""
    copy = os.path.join(work, "cut.img")
    shutil.copyfile(image, copy)
    mount = os.path.join(work, "cut")
    os.makedirs(mount, exist_ok=True)
    sh("mount", "-o", "loop", copy, mount)  # Replays the journal.
    try:
        skin = os.path.join(mount, "client", "Skins", "Blue")
        return {name: e2e.read(os.path.join(skin, name))
                for name in os.listdir(skin)} if os.path.isdir(skin) else {}
    finally:
        sh("umount", mount)
        os.remove(copy)


def main():
    reason = why_it_cannot_run()
    if reason:
        print("SKIPPED: the power-cut test cannot run here: " + reason)
        return 77
    work = tempfile.mkdtemp(prefix="skinsetup-power-")
    image = os.path.join(work, "disk.img")
    mount = os.path.join(work, "disk")
    os.makedirs(mount)
    with open(image, "wb") as f:
        f.truncate(96 << 20)
    sh("mkfs.ext4", "-q", "-F", image)
    # The journal commits every second, so that a moment after a run the
    # names on the disk are the run's: only the files' contents can lag.
    sh("mount", "-o", "loop,commit=1", image, mount)
    failures = []
    try:
        pkg = os.path.join(mount, "pkg")
        os.makedirs(os.path.join(mount, "client", "Skins"))
        registry = os.path.join(work, "registry.reg")
        e2e.write_registry(registry, os.path.join(mount, "client"))
        env = dict(os.environ, SKINSETUP_REGISTRY=registry,
                   SKINSETUP_ANSWER="yes")
        versions = []
        for tag in ("one", "two"):
            files = e2e.package_files(FILES, 64 << 10, tag)
            e2e.write(pkg, dict(files, **{"cliver.map": e2e.MAP}))
            shutil.copy(SETUP, pkg)
            versions.append(files)
            status = subprocess.run(["./setup", "Blue"], cwd=pkg, env=env,
                                    capture_output=True).returncode
            if status != 1:
                failures.append("the %s installation ended with %d"
                                % (tag, status))
            time.sleep(3)
            skin = skin_after_power_cut(image, work)
            for name in versions[-1]:
                held = skin.get(name)
                if held not in [v[name] for v in versions[-2:]]:
                    failures.append(
                        "after the %s installation, %s is %s" % (
                            tag, name, "missing" if held is None else
                            "%d bytes of neither version" % len(held)))
    finally:
        sh("umount", mount)
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAIL: " + failure)
    if not failures:
        print("OK: every file whole after a power cut, after both runs")
    return 1 if failures else 0


if __name__ == "__main__":
    if sys.argv[1] == "--probe":
        REASON = why_it_cannot_run()
        print(REASON or "the power-cut test can run here")
        sys.exit(1 if REASON else 0)
    SETUP = os.path.abspath(sys.argv[1])
    sys.exit(main())
