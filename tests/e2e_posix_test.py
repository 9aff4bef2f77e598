#!/usr/bin/env python3
"""The POSIX installer on real folders, for what only a real system shows:
copies byte for byte with their times, failed copies and their rollback,
files that change under it, kills, two installers at once, and links.
Each check compares whole folder trees, contents and times, before and
after. The texts come from the installer's own catalogue.

Usage: e2e_posix_test.py PATH_TO_SETUP
"""

import os
import pty
import random
import resource
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from catalogue import TEXTS, failure

SETUP = None
KEPT = ".skinsetup-kept"
MAP = b"SKIN-COMPATIBILITY-MIN=3\r\nSKIN-COMPATIBILITY-MAX=7\r\n"
SUCCESS = (TEXTS["kProgramTitle"], TEXTS["kSuccess"])
QUESTION = (TEXTS["kProgramTitle"], TEXTS["kAlreadyPresent"])


def boxes_of(stderr):
    """The boxes the installer wrote, as (caption, text)."""
    boxes, lines = [], stderr.split("\n")
    for i, line in enumerate(lines):
        if line.startswith("-> "):  # The answer ends a box.
            start = max(j for j in range(i) if lines[j].startswith("[") and
                        not lines[j].startswith("[OK]") and
                        not lines[j].startswith("[S"))
            end = next(j for j in range(start + 1, i)
                       if lines[j] in ("[OK]", "(i) [OK]", "[S\u00ec] [No]"))
            boxes.append((lines[start][1:-1], "\n".join(lines[start + 1:end])))
    return boxes


def snapshot(folder, tick_ns=1, fold=False):
    """Every entry below `folder`: kind, content (or link target), time in
    ticks of `tick_ns`; with `fold`, names in lower case."""
    tree = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            rel = os.path.relpath(path, folder)
            if fold:
                rel = rel.lower()
            if os.path.islink(path):
                tree[rel] = ("link", os.readlink(path))
            elif os.path.isdir(path):
                tree[rel] = ("dir",)
            else:
                tree[rel] = ("file", read(path),
                             os.lstat(path).st_mtime_ns // tick_ns)
    return tree


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write_files(folder, files, mtime_ns=None):
    os.makedirs(folder, exist_ok=True)
    for name, content in files.items():
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(content)
        if mtime_ns is not None:
            os.utime(path, ns=(mtime_ns, mtime_ns))


def package_files(count, size, tag):
    """`count` files of `size` bytes whose contents tell them apart."""
    return {"f%04d.dat" % i: (("%s-%04d-" % (tag, i)).encode() * size)[:size]
            for i in range(count)}


class Sandbox:
    """A client with a .reg registry, a package of `count` files and the
    installer, and optionally an earlier installation of the same skin with
    other contents and a file of the user's own."""

    def __init__(self, test, count=6, size=4096, earlier=True):
        self.root = tempfile.mkdtemp(prefix="skinsetup-e2e-")
        test.addCleanup(shutil.rmtree, self.root, True)
        self.skins = os.path.join(self.root, "client", "Skins")
        self.pkg = os.path.join(self.root, "pkg")
        self.registry = os.path.join(self.root, "registry.reg")
        with open(self.registry, "w") as f:
            f.write('REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT]\n'
                    '"Install Directory"="%s"\n[HKEY_CURRENT_USER\\SOFTWARE'
                    '\\QV CLIENT\\NEWREVISION]\n"SKIN-COMPATIBILITY"=dword:5\n'
                    % os.path.dirname(self.skins))
        self.new = package_files(count, size, "new")
        write_files(self.pkg, dict(self.new, **{"cliver.map": MAP}))
        shutil.copy2(SETUP, os.path.join(self.pkg, "setup"))
        os.makedirs(self.skins)
        self.old = package_files(count, size // 2 + 1, "old") if earlier else {}
        if earlier:
            write_files(self.skin(), dict(self.old, **{"user.cfg": b"mine"}),
                        mtime_ns=10 ** 18)

    def skin(self, name="Blue"):
        return os.path.join(self.skins, name)

    def outside_skins(self):
        return {k: v for k, v in snapshot(self.root).items()
                if not k.startswith(os.path.join("client", "Skins"))}

    def start(self, *args, answer="yes", limit_file_size=None, cwd=None,
              **popen):
        env = dict(os.environ, SKINSETUP_REGISTRY=self.registry)
        env.pop("SKINSETUP_ANSWER", None)
        if answer:
            env["SKINSETUP_ANSWER"] = answer

        def limit():
            # The installer ignores SIGXFSZ itself, whatever it inherits.
            signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
            resource.setrlimit(resource.RLIMIT_FSIZE,
                               (limit_file_size, limit_file_size))

        popen.setdefault("stdin", subprocess.DEVNULL)
        return subprocess.Popen(
            ["./setup"] + list(args or ["Blue"]), cwd=cwd or self.pkg,
            env=env, preexec_fn=limit if limit_file_size else None, **popen)

    def run(self, *args, **kwargs):
        """Runs the installer; returns its status and its boxes."""
        process = self.start(*args, stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, **kwargs)
        stderr = process.communicate(timeout=120)[1].decode("utf-8")
        return process.returncode, boxes_of(stderr)


class CopyTest(unittest.TestCase):
    def test_install_copies_bytes_and_times_and_a_reinstall_asks(self):
        box = Sandbox(self, earlier=False)
        self.assertEqual(box.run(), (1, [SUCCESS]))
        package = snapshot(box.pkg)
        del package["setup"]  # Started as ./setup: itself.
        self.assertEqual(snapshot(box.skin()), package)
        before = snapshot(box.skins)
        self.assertEqual(box.run(answer="no"), (0, [QUESTION]))
        self.assertEqual(snapshot(box.skins), before)

    def test_failed_copy_is_rolled_back_at_each_position(self):
        # A folder standing in one file's place, and one file larger than a
        # write may grow a file, over an earlier installation or none.
        for earlier, large in ((True, False), (True, True), (False, True)):
            for failing in ("f0000.dat", "f0002.dat", "f0005.dat"):
                with self.subTest(earlier=earlier, large=large, at=failing):
                    box = Sandbox(self, earlier=earlier)
                    if large:
                        write_files(box.pkg, {failing: b"L" * (1 << 20)})
                    else:
                        os.remove(os.path.join(box.skin(), failing))
                        os.mkdir(os.path.join(box.skin(), failing))
                    before = snapshot(box.root)
                    status, boxes = box.run(limit_file_size=large and 1 << 19)
                    self.assertEqual(status, 0)
                    self.assertEqual(boxes[-3:], [
                        ("Quintavo",
                         "File too large" if large else "Is a directory"),
                        (TEXTS["kDeleteDirCaption"], box.skin() + "/*"),
                        (TEXTS["kProgramTitle"],
                         failure("kCannotCopy", 1))])
                    self.assertEqual(snapshot(box.root), before)

    def test_file_that_changes_size_after_the_scan_is_copied_whole(self):
        box = Sandbox(self)
        # The question waits on a terminal while the files change.
        master, slave = pty.openpty()
        process = box.start(answer=None, stdin=slave,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        os.close(slave)
        seen, deadline = b"", time.time() + 30
        while b"s/n? " not in seen:
            self.assertLess(time.time(), deadline, seen)
            if select.select([process.stderr], [], [], 1)[0]:
                seen += os.read(process.stderr.fileno(), 4096)
        changed = {"f0001.dat": b"G" * (3 << 20), "f0002.dat": b"S" * 10}
        write_files(box.pkg, changed)
        os.write(master, b"s\n\n")
        process.stderr.read()
        process.stderr.close()
        self.assertEqual(process.wait(timeout=30), 1)
        os.close(master)
        for name, content in changed.items():
            self.assertEqual(read(os.path.join(box.skin(), name)), content)
        self.assertFalse(os.path.exists(os.path.join(box.skin(), KEPT)))


class KilledInstallerTest(unittest.TestCase):
    def test_killed_reinstall_loses_no_earlier_file(self):
        rng = random.Random(20261206)
        box = Sandbox(self, count=300, size=16 * 1024)
        pristine = snapshot(box.skins)
        started = time.monotonic()
        self.assertEqual(box.run()[0], 1)
        duration = time.monotonic() - started
        kills = whole_runs = 0
        for trial in range(16):
            with self.subTest(trial=trial):
                shutil.rmtree(box.skin())
                write_files(box.skin(), dict(box.old, **{"user.cfg": b"mine"}),
                            mtime_ns=10 ** 18)
                process = box.start(stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
                time.sleep(rng.uniform(0, duration))
                process.send_signal(signal.SIGKILL)
                kills += process.wait(timeout=30) == -signal.SIGKILL
                whole = self.new_installation_whole(box)
                whole_runs += whole
                if not whole:
                    # Every earlier file is in place or kept aside.
                    for name, content in box.old.items():
                        self.assertIn(content, [
                            read(path) for path in
                            (os.path.join(box.skin(), name),
                             os.path.join(box.skin(), KEPT, name))
                            if os.path.isfile(path)], name)
                if trial % 2:
                    # A run that fails puts back the last whole
                    # installation: the new one, or the earlier one.
                    write_files(box.pkg, {"f0100.dat": b"x" * 40000})
                    status, _ = box.run(limit_file_size=20000)
                    write_files(box.pkg, {"f0100.dat": box.new["f0100.dat"]})
                    self.assertEqual(status, 0)
                    if whole:
                        self.assertTrue(self.new_installation_whole(box))
                    else:
                        after = snapshot(box.skins)
                        for name, entry in pristine.items():
                            self.assertEqual(after.get(name), entry, name)
                else:
                    self.assertEqual(box.run()[0], 1)
                    self.assertTrue(self.new_installation_whole(box))
                # No working folder stays, whatever came first.
                self.assertLessEqual(set(os.listdir(box.skin())),
                                     set(box.new) | set(box.old) |
                                     {"cliver.map", "user.cfg"})
        # Some runs were stopped midway, not only before or after.
        self.assertGreater(kills, whole_runs)

    @staticmethod
    def new_installation_whole(box):
        return all(os.path.isfile(os.path.join(box.skin(), name)) and
                   read(os.path.join(box.skin(), name)) == content
                   for name, content in box.new.items())


class ConcurrentInstallersTest(unittest.TestCase):
    def test_second_installer_of_a_skin_waits_and_results_never_mix(self):
        for trial in range(3):
            with self.subTest(trial=trial):
                box = Sandbox(self, count=400, size=8 * 1024, earlier=False)
                other = os.path.join(box.root, "pkg2")
                other_files = package_files(400, 8 * 1024, "two")
                write_files(other, dict(other_files, **{"cliver.map": MAP}))
                os.link(os.path.join(box.pkg, "setup"),
                        os.path.join(other, "setup"))
                processes = [box.start(cwd=folder, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.PIPE)
                             for folder in (box.pkg, other)]
                outputs = [p.communicate(timeout=120)[1].decode()
                           for p in processes]
                self.assertEqual([p.returncode for p in processes], [1, 1])
                # Exactly one found the other's skin and asked.
                self.assertEqual(sum(boxes_of(out)[0] == QUESTION
                                     for out in outputs), 1, outputs)
                installed = {name: read(os.path.join(box.skin(), name))
                             for name in os.listdir(box.skin())
                             if name != "cliver.map"}
                self.assertIn(installed, (box.new, other_files))

    def test_first_installs_of_two_skins_both_make_the_skins_folder(self):
        for trial in range(20):
            with self.subTest(trial=trial):
                box = Sandbox(self, count=2, earlier=False)
                os.rmdir(box.skins)
                processes = [box.start(name, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.PIPE)
                             for name in ("Blue", "Red")]
                outputs = [p.communicate(timeout=60)[1] for p in processes]
                self.assertEqual([p.returncode for p in processes], [1, 1],
                                 outputs)
                self.assertEqual(sorted(os.listdir(box.skins)),
                                 ["Blue", "Red"])


class LinkTest(unittest.TestCase):
    def test_working_folder_links_are_never_followed(self):
        # Links standing as the working folders of an interrupted run: to a
        # folder of the user's, and to the skin folder itself.
        for name in (KEPT, ".skinsetup-discard"):
            for target in ("outside", "."):
                with self.subTest(name=name, target=target):
                    box = Sandbox(self)
                    outside = os.path.join(box.root, "outside")
                    write_files(outside, {"f0001.dat": b"the user's"})
                    if target == "outside":
                        target = outside
                    os.symlink(target, os.path.join(box.skin(), name))
                    before = box.outside_skins()
                    self.assertEqual(box.run()[0], 1)
                    self.assertEqual(box.outside_skins(), before)
                    after = snapshot(box.skin())
                    self.assertEqual(after.pop(name), ("link", target))
                    self.assertEqual(after.pop("user.cfg")[1], b"mine")
                    self.assertEqual({k: v[1] for k, v in after.items()},
                                     dict(box.new, **{"cliver.map": MAP}))

    def test_links_in_place_of_package_files_are_kept_and_restored(self):
        for fails in (True, False):
            with self.subTest(fails=fails):
                box = Sandbox(self)
                write_files(os.path.join(box.root, "outside"),
                            {"target": b"the user's"})
                # A link to a file of the user's, and one whose file is gone.
                links = {"f0002.dat": "target", "f0003.dat": "gone"}
                for name, target in links.items():
                    os.remove(os.path.join(box.skin(), name))
                    os.symlink(os.path.join(box.root, "outside", target),
                               os.path.join(box.skin(), name))
                if fails:  # A folder where a later package file must go.
                    os.remove(os.path.join(box.skin(), "f0004.dat"))
                    os.mkdir(os.path.join(box.skin(), "f0004.dat"))
                before = snapshot(box.root)
                outside = box.outside_skins()
                self.assertEqual(box.run()[0], 0 if fails else 1)
                if fails:
                    self.assertEqual(snapshot(box.root), before)
                    continue
                self.assertEqual(box.outside_skins(), outside)
                for name in links:
                    path = os.path.join(box.skin(), name)
                    self.assertFalse(os.path.islink(path))
                    self.assertEqual(read(path), box.new[name])


if __name__ == "__main__":
    SETUP = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
