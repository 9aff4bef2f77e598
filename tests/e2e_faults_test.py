#!/usr/bin/env python3
"""The POSIX installer under real faults: copies that fail at every
position, writes that run out of room, files that change under it, kills at
random moments, and two installers at once. Each check compares whole
folder trees, contents and times, before and after.

Usage: e2e_faults_test.py PATH_TO_SETUP
"""

import os
import pty
import random
import select
import signal
import subprocess
import sys
import time
import unittest

import e2e_support
from e2e_support import QUESTION, Sandbox, snapshot

KEPT = ".skinsetup-kept"
DISCARD = ".skinsetup-discard"
CANNOT_COPY_BOX = ("Quintavo Skins Installer",
                   "Impossibile copiare i files su disco CODICE ERRORE:1",
                   "[OK]", "OK")


def package_files(count, size, tag):
    """`count` files of `size` bytes whose contents tell them and `tag`
    apart."""
    files = {}
    for i in range(count):
        seed = ("%s-%04d-" % (tag, i)).encode()
        files["f%04d.dat" % i] = (seed * (size // len(seed) + 1))[:size]
    return files


def write_files(folder, files, mtime_ns=None):
    os.makedirs(folder, exist_ok=True)
    for name, content in files.items():
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(content)
        if mtime_ns is not None:
            os.utime(path, ns=(mtime_ns, mtime_ns))


def read(path):
    with open(path, "rb") as f:
        return f.read()


class FaultSandbox(Sandbox):
    """A package of `count` files, and optionally an earlier installation
    of the same skin with other contents and a file of the user's own."""

    def __init__(self, test, count=6, size=4096, earlier=True):
        super().__init__(test)
        for name in ("a.bmp", "b.txt"):
            os.remove(os.path.join(self.pkg, name))
        self.new = package_files(count, size, "new")
        write_files(self.pkg, self.new)
        self.old = {}
        if earlier:
            self.old = package_files(count, size // 2 + 1, "old")
            write_files(self.skin(), self.old, mtime_ns=10 ** 18)
            write_files(self.skin(), {"user.cfg": b"mine"}, mtime_ns=10 ** 18)

    def outside_skins(self):
        """Everything of the sandbox but the Skins folder."""
        tree = snapshot(self.root)
        return {k: v for k, v in tree.items()
                if not k.startswith(os.path.join("client", "Skins"))}


class FailedCopyTest(unittest.TestCase):
    def assert_rolled_back(self, box, boxes, error_text):
        """The failed copy's box, then the rollback's two boxes."""
        self.assertEqual(boxes[-3], ("Quintavo", error_text, "(i) [OK]", "OK"))
        self.assertEqual(boxes[-2], (" delete file dir", box.skin() + "/*",
                                     "[OK]", "OK"))
        self.assertEqual(boxes[-1], CANNOT_COPY_BOX)

    def test_copy_failing_at_each_position_of_a_reinstall(self):
        names = sorted(package_files(6, 1, "x"))
        for failing in names:
            with self.subTest(failing=failing):
                box = FaultSandbox(self)
                # A folder stands where this file must go.
                os.remove(os.path.join(box.skin(), failing))
                os.mkdir(os.path.join(box.skin(), failing))
                before = snapshot(box.root)
                status, boxes, _ = box.run("Blue", answer="yes")
                self.assertEqual(status, 0)
                self.assertEqual(boxes[0][1], QUESTION)
                self.assertEqual(len(boxes), 4)
                self.assert_rolled_back(box, boxes, "Is a directory")
                self.assertEqual(snapshot(box.root), before)

    def test_copy_failing_at_each_position_of_a_first_install(self):
        names = sorted(package_files(6, 1, "x"))
        for failing in names:
            with self.subTest(failing=failing):
                box = FaultSandbox(self, earlier=False)
                # This file alone is larger than a write may grow a file.
                write_files(box.pkg, {failing: b"L" * 20000})
                before = snapshot(box.root)
                status, boxes, _ = box.run("Blue", answer="yes",
                                           limit_file_size=10000)
                self.assertEqual(status, 0)
                self.assertEqual(len(boxes), 3)
                self.assert_rolled_back(box, boxes, "File too large")
                self.assertEqual(snapshot(box.root), before)

    def test_running_out_of_room_in_a_large_file_restores_the_earlier_one(self):
        box = FaultSandbox(self, count=3)
        big = bytes(range(256)) * (64 * 1024)  # 16 MiB.
        write_files(box.pkg, {"f0001.dat": big})
        before = snapshot(box.root)
        status, boxes, _ = box.run("Blue", answer="yes",
                                   limit_file_size=8 * 1024 * 1024)
        self.assertEqual(status, 0)
        self.assertEqual(boxes[-1], CANNOT_COPY_BOX)
        # No truncated copy anywhere: the tree is the one before the run.
        self.assertEqual(snapshot(box.root), before)


class ChangingPackageTest(unittest.TestCase):
    def run_on_terminal(self, box, change):
        """Runs a reinstall on a terminal; `change` runs while the question
        waits for its answer, which is then Yes; Enter closes the success
        box."""
        master, slave = pty.openpty()
        process = box.start("Blue", stdin=slave, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE)
        os.close(slave)
        seen = b""
        deadline = time.time() + 30
        while b"s/n? " not in seen:
            self.assertLess(time.time(), deadline, seen)
            ready, _, _ = select.select([process.stderr], [], [], 1)
            if ready:
                seen += os.read(process.stderr.fileno(), 4096)
        change()
        os.write(master, b"s\n\n")
        seen += process.stderr.read()
        process.stderr.close()
        process.wait(timeout=30)
        os.close(master)
        return process.returncode, seen.decode("utf-8")

    def test_file_that_changes_size_after_the_scan_is_copied_whole(self):
        box = FaultSandbox(self)
        grown = b"G" * (3 * 1024 * 1024 + 5)
        shrunk = b"S" * 10

        def change():
            write_files(box.pkg, {"f0001.dat": grown, "f0002.dat": shrunk})

        status, output = self.run_on_terminal(box, change)
        self.assertEqual(status, 1, output)
        self.assertEqual(read(os.path.join(box.skin(), "f0001.dat")), grown)
        self.assertEqual(read(os.path.join(box.skin(), "f0002.dat")), shrunk)
        self.assertEqual(read(os.path.join(box.skin(), "user.cfg")), b"mine")
        self.assertFalse(os.path.exists(os.path.join(box.skin(), KEPT)))


class KilledInstallerTest(unittest.TestCase):
    def assert_earlier_files_survive(self, box):
        """Every earlier file is in place or kept aside, never gone, until
        the new installation is whole. Returns whether it is."""
        if self.new_installation_whole(box):
            self.installed_whole += 1
            return True
        for name, content in box.old.items():
            in_place = os.path.join(box.skin(), name)
            kept = os.path.join(box.skin(), KEPT, name)
            found = [path for path in (in_place, kept)
                     if os.path.isfile(path) and read(path) == content]
            self.assertTrue(found, "%s is gone" % name)
        self.assertEqual(read(os.path.join(box.skin(), "user.cfg")), b"mine")
        return False

    @staticmethod
    def new_installation_whole(box):
        return all(os.path.isfile(os.path.join(box.skin(), name)) and
                   read(os.path.join(box.skin(), name)) == content
                   for name, content in box.new.items())

    def test_killed_reinstall_loses_no_earlier_file(self):
        rng = random.Random(20261206)
        box = FaultSandbox(self, count=300, size=16 * 1024)
        pristine = snapshot(box.skins)
        started = time.monotonic()
        self.assertEqual(box.run("Blue", answer="yes")[0], 1)
        duration = time.monotonic() - started
        kills = 0
        self.installed_whole = 0
        for trial in range(16):
            with self.subTest(trial=trial):
                # Back to the earlier installation.
                subprocess.run(["rm", "-rf", box.skin()], check=True)
                write_files(box.skin(), box.old, mtime_ns=10 ** 18)
                write_files(box.skin(), {"user.cfg": b"mine"},
                            mtime_ns=10 ** 18)
                self.assertEqual(snapshot(box.skins), pristine)

                process = box.start("Blue", answer="yes",
                                    stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
                time.sleep(rng.uniform(0, duration))
                process.send_signal(signal.SIGKILL)
                if process.wait(timeout=30) == -signal.SIGKILL:
                    kills += 1
                whole = self.assert_earlier_files_survive(box)

                if trial % 2 and whole:
                    # The killed run had finished: a failing run now puts
                    # back that installation, not the one before it.
                    write_files(box.pkg, {"f0100.dat": b"x" * 40000})
                    status, _, _ = box.run("Blue", answer="yes",
                                           limit_file_size=20000)
                    write_files(box.pkg, {"f0100.dat": box.new["f0100.dat"]})
                    self.assertEqual(status, 0)
                    self.assertTrue(self.new_installation_whole(box))
                    self.assertEqual(
                        sorted(os.listdir(box.skin())),
                        sorted(list(box.new) + ["cliver.map", "user.cfg"]))
                elif trial % 2:
                    # A run that fails puts the earlier files back first.
                    write_files(box.pkg, {"f0100.dat": b"x" * 40000})
                    status, _, _ = box.run("Blue", answer="yes",
                                           limit_file_size=20000)
                    write_files(box.pkg, {"f0100.dat": box.new["f0100.dat"]})
                    self.assertEqual(status, 0)
                    # The earlier installation is whole again; new files the
                    # killed run had written may stay beside it.
                    after = snapshot(box.skins)
                    for name, entry in pristine.items():
                        self.assertEqual(after.get(name), entry, name)
                    extra = {os.path.basename(name) for name in after
                             if name not in pristine}
                    self.assertLessEqual(extra,
                                         set(box.new) | {"cliver.map"})
                else:
                    # A run that succeeds leaves the new skin and no
                    # working folder.
                    self.assertEqual(box.run("Blue", answer="yes")[0], 1)
                    for name, content in box.new.items():
                        self.assertEqual(
                            read(os.path.join(box.skin(), name)), content)
                    self.assertEqual(sorted(os.listdir(box.skin())),
                                     sorted(list(box.new) + ["cliver.map",
                                                             "user.cfg"]))
        # Some runs were stopped midway, not only before or after.
        self.assertGreater(kills, self.installed_whole)


class HostileFileSystemTest(unittest.TestCase):
    def test_working_folder_links_are_never_followed(self):
        # Links standing as the working folders of an interrupted run: to a
        # folder of the user's, and to the skin folder itself.
        for name, target in ((KEPT, "outside"), (DISCARD, "outside"),
                             (KEPT, "."), (DISCARD, ".")):
            with self.subTest(name=name, target=target):
                box = FaultSandbox(self)
                write_files(os.path.join(box.root, "outside"),
                            {"f0001.dat": b"the user's", "x": b"x"})
                if target == "outside":
                    target = os.path.join(box.root, target)
                os.symlink(target, os.path.join(box.skin(), name))
                outside = box.outside_skins()
                status, _, _ = box.run("Blue", answer="yes")
                self.assertEqual(status, 1)
                self.assertEqual(box.outside_skins(), outside)
                after = snapshot(box.skin())
                self.assertEqual(after.pop(name), ("link", target, None))
                self.assertEqual(after.pop("user.cfg")[1], b"mine")
                self.assertEqual(after.pop("cliver.map")[1], e2e_support.MAP)
                self.assertEqual({k: v[1] for k, v in after.items()}, box.new)

    def test_links_in_place_of_package_files_are_kept_and_restored(self):
        for fails in (True, False):
            with self.subTest(fails=fails):
                box = FaultSandbox(self)
                write_files(os.path.join(box.root, "outside"),
                            {"target": b"the user's"})
                # A link to a file of the user's, and one whose file is gone.
                link = os.path.join(box.skin(), "f0002.dat")
                dangling = os.path.join(box.skin(), "f0003.dat")
                os.remove(link)
                os.remove(dangling)
                os.symlink(os.path.join(box.root, "outside", "target"), link)
                os.symlink(os.path.join(box.root, "outside", "gone"), dangling)
                if fails:
                    # A folder where a later package file must go.
                    os.remove(os.path.join(box.skin(), "f0004.dat"))
                    os.mkdir(os.path.join(box.skin(), "f0004.dat"))
                before = snapshot(box.root)
                outside = box.outside_skins()
                status, _, _ = box.run("Blue", answer="yes")
                self.assertEqual(status, 0 if fails else 1)
                if fails:
                    self.assertEqual(snapshot(box.root), before)
                else:
                    self.assertEqual(box.outside_skins(), outside)
                    for path in (link, dangling):
                        self.assertFalse(os.path.islink(path))
                        self.assertEqual(read(path), box.new[
                            os.path.basename(path)])


class ConcurrentInstallersTest(unittest.TestCase):
    def test_first_installs_of_two_skins_both_make_the_skins_folder(self):
        for trial in range(20):
            with self.subTest(trial=trial):
                box = FaultSandbox(self, count=2, earlier=False)
                os.rmdir(box.skins)
                env = box.environment(answer="yes")
                processes = [
                    subprocess.Popen(["./setup", name], cwd=box.pkg, env=env,
                                     stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL,
                                     stderr=subprocess.PIPE)
                    for name in ("Blue", "Red")]
                outputs = [p.communicate(timeout=60)[1].decode()
                           for p in processes]
                self.assertEqual([p.returncode for p in processes], [1, 1],
                                 outputs)
                self.assertEqual(sorted(os.listdir(box.skins)),
                                 ["Blue", "Red"])

    def test_second_installer_waits_and_neither_result_is_mixed(self):
        for trial in range(3):
            with self.subTest(trial=trial):
                box = FaultSandbox(self, count=400, size=8 * 1024,
                                   earlier=False)
                # A second package of the same skin, other contents.
                other = os.path.join(box.root, "pkg2")
                os.makedirs(other)
                other_files = package_files(400, 8 * 1024, "two")
                write_files(other, other_files)
                for name in ("cliver.map", "setup"):
                    os.link(os.path.join(box.pkg, name),
                            os.path.join(other, name))
                env = box.environment(answer="yes")
                processes = [
                    subprocess.Popen(["./setup", "Blue"], cwd=folder, env=env,
                                     stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL,
                                     stderr=subprocess.PIPE)
                    for folder in (box.pkg, other)]
                outputs = [p.communicate(timeout=120)[1].decode()
                           for p in processes]
                self.assertEqual([p.returncode for p in processes], [1, 1])
                # Exactly one of them found the other's skin and asked.
                self.assertEqual(sum(QUESTION.split("\n")[0] in out
                                     for out in outputs), 1, outputs)
                installed = {name: read(os.path.join(box.skin(), name))
                             for name in os.listdir(box.skin())
                             if name != "cliver.map"}
                self.assertIn(installed, (box.new, other_files))


if __name__ == "__main__":
    e2e_support.SETUP = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
