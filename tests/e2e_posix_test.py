#!/usr/bin/env python3
"""The POSIX installer on real folders: the scenarios both builds share,
and what only a real system shows: boxes no one reads, kills of
installations and removals, two installers at once, names swapped
meanwhile, links in place of package files, and a package's check; and
the catalogue against the golden texts.

Usage: e2e_posix_test.py PATH_TO_SETUP
"""

import os
import pwd
import random
import re
import resource
import shutil
import signal
import subprocess
import sys
import threading
import time
import unittest

import e2e
from e2e import QUESTION, read, write

SETUP = None


def boxes_of(stderr):
    """The boxes the installer wrote on its terminal, as (caption, text):
    "[caption]", the text's lines, the buttons, then "-> answer"."""
    buttons = "|".join(re.escape(e2e.TEXTS[name]) for name in (
        "kButtonsYesNo", "kButtonsInfo", "kButtonsOk"))
    return [(caption, text[:-1]) for caption, text in re.findall(
        r"^\[(.*)\]\n((?:.*\n)*?)(?:%s)\n-> " % buttons, stderr, re.M)]



class Sandbox(e2e.Sandbox):
    """The registry is a .reg file that SKINSETUP_REGISTRY names; a copy
    error shows strerror's text."""
    COPY_ERROR_TEXT = r"Is a directory$"

    def __init__(self, test, count=6, size=4096, earlier=False,
                 client="client"):
        super().__init__(test, SETUP, e2e.package_files(count, size, "new"),
                         client=client)
        self.registry = os.path.join(self.root, "registry.reg")
        e2e.write_registry(self.registry, os.path.dirname(self.skins))
        if earlier:
            self.install_earlier()

    def start(self, *args, answer="y", limit_file_size=None, cwd=None,
              user=None, program="./setup", **popen):
        env = dict(os.environ, SKINSETUP_REGISTRY=self.registry)
        env.pop("SKINSETUP_ANSWER", None)
        if answer:
            env["SKINSETUP_ANSWER"] = {"y": "yes", "n": "no"}[answer]

        def limit():
            # The installer ignores SIGXFSZ itself, whatever it inherits.
            signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit_file_size,) * 2)

        popen.setdefault("stdin", subprocess.DEVNULL)
        command = [program] + list(args or ["Blue"])
        if user:
            account = pwd.getpwnam(user)
            command[:0] = ["setpriv", "--reuid=%d" % account.pw_uid,
                           "--regid=%d" % account.pw_gid, "--clear-groups"]
        return subprocess.Popen(
            command, cwd=cwd or self.pkg,
            env=env, preexec_fn=limit if limit_file_size else None, **popen)

    def run(self, *args, **kwargs):
        """Runs the installer; returns its status and its boxes."""
        process = self.start(*args, stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, **kwargs)
        stderr = process.communicate(timeout=120)[1].decode("utf-8")
        return process.returncode, boxes_of(stderr)

    def exit_status(self, status):
        return status & 0xFF  # A POSIX status holds eight bits.

    def run_row(self, tail, answer, started):
        """Runs a scenario's command tail, its words as arguments."""
        return self.run(*tail.split(), answer=answer, **{
            "here": {}, "full path": {"program": os.path.join(self.pkg,
                                                              "setup")},
            "skin folder": {"cwd": self.skin()}}[started])

class PosixTest(unittest.TestCase):
    def test_scenarios_both_builds_share(self):
        e2e.check_scenarios(self, lambda client: Sandbox(self, client=client))

    def test_catalogue_reads_as_the_golden_texts(self):
        catalogue = e2e.read_catalogue()
        self.assertEqual(catalogue,
                         {name: e2e.TEXTS.get(name) for name in catalogue})

    def test_boxes_no_one_reads_end_the_run_as_usual(self):
        # As under `./setup Blue 2>&1 | head -1`, once head has gone: a copy
        # that fails is rolled back, and a whole one is installed, though no
        # box can be shown (status 0).
        for limit in (1 << 19, None):
            with self.subTest(limit=limit):
                box = Sandbox(self)
                write(box.pkg, {"f0002.dat": b"L" * (1 << 20)})
                before = box.snapshot()
                read_end, write_end = os.pipe()
                os.close(read_end)
                process = box.start(stdout=write_end, stderr=write_end,
                                    limit_file_size=limit)
                os.close(write_end)
                self.assertEqual(process.wait(timeout=120), 0)
                self.assertEqual(box.snapshot(), box.installed(before)
                                 if limit is None else before)

    def test_free_space_is_that_of_the_skins_folders_volume(self):
        # The Skins folder on a small volume, the install directory on a
        # large one: a package that fits is installed, one too large refused.
        box = Sandbox(self, count=2)
        e2e.mount_small_volume(self, box.skins)
        self.assertEqual(box.run(), (1, [e2e.SUCCESS]))
        write(box.pkg, {"big.dat": b"x" * (2 << 20)})
        self.assertEqual(box.run(), (0, [e2e.failure("kNoSpace", 1)]))

    def kill_at_random_moments(self, box, args, prepare, check, seed):
        """Runs the installer with `args` (unattended with /S) once `prepare`
        has made its folders, kills it at a random moment, then calls
        `check` with the trial's number. A run's flush and deletes at its
        end take much of it: the moments before are tried more often.
        Returns how many runs were killed with a working folder left."""
        answer = None if "/S" in args else "y"
        rng, durations, midway = random.Random(seed), [], 0
        for trial in range(-3, 14):
            prepare()
            if trial < 0:  # How long a whole run takes.
                started = time.monotonic()
                box.run(*args, answer=answer)
                durations.append(time.monotonic() - started)
                continue
            with self.subTest(trial=trial):
                process = box.start(*args, answer=answer,
                                    stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
                time.sleep(min(durations) * rng.random() ** 2)
                process.send_signal(signal.SIGKILL)
                process.wait(timeout=30)
                midway += any(name.startswith(".skinsetup-") for folder in (
                    box.skins, box.skin()) if os.path.isdir(folder)
                    for name in os.listdir(folder))
                check(trial)
        return midway

    def test_killed_runs_lose_nothing_and_the_next_run_finishes(self):
        box = Sandbox(self, count=300, size=16 * 1024)
        kept = os.path.join(box.skin(), ".skinsetup-kept")

        def reinstalled(trial):
            # The new installation took over once the earlier files left
            # the kept folder; until then every earlier file is in place or
            # kept aside.
            whole = self.whole(box) and not os.path.isdir(kept)
            for name, content in () if whole else box.old.items():
                self.assertIn(content, [read(path) for path in (
                    os.path.join(box.skin(), name), os.path.join(kept, name))
                    if os.path.isfile(path)], name)
            if trial % 2:
                # A run that fails puts back the last whole installation:
                # the new one, or the earlier one (a package file the killed
                # run wrote may stay).
                write(box.pkg, {"f0100.dat": b"x" * 40000})
                self.assertEqual(box.run(limit_file_size=20000)[0], 0)
                write(box.pkg, {"f0100.dat": box.new["f0100.dat"]})
                after = box.snapshot(box.skins)
                self.assertTrue(self.whole(box) if whole else all(
                    after.get(k) == v for k, v in pristine.items()))
            else:
                self.assertEqual(box.run()[0], 1)
                self.assertTrue(self.whole(box))
            # No working folder stays, whatever came first.
            self.assertLessEqual(set(os.listdir(box.skin())), set(
                box.new) | {"cliver.map", "user.cfg"})

        def detected_only_whole(trial):
            # The README's detection rule, "Skins\Blue\cliver.map exists",
            # holds only for a whole skin; the install command again
            # completes what it does not detect.
            if not os.path.isfile(os.path.join(box.skin(), "cliver.map")):
                self.assertFalse(os.path.exists(box.skin()))
                self.assertEqual(box.run("/S", "Blue", answer=None), (0, []))
            self.assertTrue(self.whole(box))
            self.assertEqual(os.listdir(box.skins), ["Blue"])

        def removed_or_whole(trial):
            # Past the moment the discard folder marks, the skin is removed
            # (the next run deletes what is left, and the folder); before
            # it, whole (the next run puts the files taken back first). The
            # install command then installs, or finds the skin installed; a
            # removal again takes every file, or finds none.
            def there(name):
                return os.path.exists(os.path.join(box.skin(), name))
            taken = there(".skinsetup-kept") and not there(".skinsetup-discard")
            removed = not taken and not any(map(there, box.new))
            if trial % 2:
                self.assertEqual(box.run("/S", "Blue", answer=None),
                                 (box.exit_status(0 if removed else 1602), []))
                self.assertTrue(self.whole(box))
            else:
                self.assertEqual(box.run("/S", "/UNINSTALL", "Blue",
                                         answer=None)[0],
                                 box.exit_status(1605 if removed else 0))
                self.assertEqual(os.listdir(box.skin()), ["user.cfg"])
            self.assertEqual(os.listdir(box.skins), ["Blue"])

        box.install_earlier()
        pristine = box.snapshot(box.skins)
        for args, prepare, check in (
                ((), lambda: (shutil.rmtree(box.skin(), True),
                              box.install_earlier()), reinstalled),
                (("/S", "Blue"), lambda: shutil.rmtree(box.skin(), True),
                 detected_only_whole),
                (("/S", "/UNINSTALL", "Blue"), lambda: (box.run(
                    "/S", "/OVERWRITE", "Blue", answer=None), write(
                    box.skin(), {"user.cfg": b"mine"})),
                 removed_or_whole)):
            with self.subTest(args=args):
                # Some runs were stopped midway, not only before or after.
                self.assertGreater(self.kill_at_random_moments(
                    box, args, prepare, check, 20261206), 0)

    def test_check_names_every_problem_of_a_package(self):
        # Each kind of problem once: the box shows the first ones; the log,
        # and the standard output that a CI job reads, a line for tools
        # each. Read as another user where the tests run as root, so that
        # an unreadable file is one. A link to /proc/self/pagemap, which
        # reads for hours, is read as the 0 bytes its size says.
        user = "nobody" if os.geteuid() == 0 else None
        box = Sandbox(self, count=2)
        long_line = b"X=" + b"y" * 600 + b"\n"
        bad = ["con.bmp", "Logo.", "a?b.bmp", "b*.bmp", "c|d.bmp", "e<f.bmp"]
        write(box.pkg, dict({name: b"x" for name in bad + [
            "Same.bmp", "same.BMP", "secret.bmp", "CLIVER.MAP"]}, **{
            "empty.bmp": b"", "cliver.map": b"==\nAUTHOR\n" + long_line +
            b"SKIN-COMPATIBILITY-MIN=7\nSKIN-COMPATIBILITY-MAX=3\n\0more\n"}))
        write(box.root, {"outside.bmp": b"o"})
        os.symlink("../outside.bmp", os.path.join(box.pkg, "link.bmp"))
        os.symlink("/proc/self/pagemap", os.path.join(box.pkg, "pages.bmp"))
        os.mkdir(os.path.join(box.pkg, "extra"))
        os.mkfifo(os.path.join(box.pkg, "pipe"))
        os.chmod(os.path.join(box.pkg, "secret.bmp"), 0)
        log = os.path.join(box.root, "check.log")
        if user:
            subprocess.run(["chown", "-R", user, box.root], check=True)
        status, boxes = box.run("/CHECK", "/LOG=" + log, "Bad.", user=user)
        t = e2e.TEXTS
        # The problems' title, the first 15 of 23, and how many more.
        shown = boxes[0][1].split("\n")
        self.assertEqual((status, shown[0], len(shown), shown[-1]),
                         (0, t["kCheckProblems"], 17, t["kCheckMore"] + " 8"))
        e = ": error: "
        expected = {n + e + "name-invalid: " + t["kCheckBadName"]
                    for n in bad} | {
            ".: error: skin-name-invalid: %s Bad.: %s" % (
                t["kCheckSkinName"], t["kCheckBadName"]),
            "CLIVER.MAP: error: map-name-case: " + t["kCheckMapCase"],
            "extra: error: entry-folder: " + t["kCheckFolder"],
            "pipe: error: entry-not-file: " + t["kCheckNotFile"],
            "secret.bmp: error: entry-not-file: " + t["kCheckNotFile"],
            "cliver.map:1: error: map-line-no-name: " + t["kCheckNoName"],
            "cliver.map:2: error: map-line-no-value: " + t["kCheckNoValue"],
            "cliver.map:3: error: map-line-long: " + t["kCheckLongLine"],
            # The long line's second part: "yyy...".
            "cliver.map:3: error: map-line-no-value: " + t["kCheckNoValue"],
            "cliver.map:5: error: map-range-reversed: %s MIN=7 > MAX=3" %
            t["kCheckRangeReversed"],
            "cliver.map:6: error: map-stop: " + t["kCheckStop"],
            "empty.bmp: warning: file-empty: " + t["kCheckEmpty"],
            "link.bmp: warning: entry-link: " + t["kCheckLink"],
            "pages.bmp: warning: entry-link: " + t["kCheckLink"],
            "pages.bmp: warning: file-empty: " + t["kCheckEmpty"],
        }
        pairs = [("Same.bmp", "same.BMP"), ("cliver.map", "CLIVER.MAP")]

        def for_tools(lines):
            # The report's lines; the others start with the time.
            lines = {l for l in lines if not l[:1].isdigit()}
            for pair in pairs:
                found = {"%s: error: name-case-pair: %s %s" % (
                    a, t["kCheckSameName"], b) for a, b in (pair, pair[::-1])}
                self.assertEqual(len(lines & found), 1, lines)
                lines -= found
            return lines

        with open(log, encoding="utf-8") as f:
            self.assertEqual(for_tools(f.read().splitlines()), expected)
        process = box.start("/S", "/CHECK", "/LOG=-", "Bad.", user=user,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        out, err = process.communicate(timeout=120)
        self.assertEqual((process.returncode, err), (1603 & 0xFF, b""))
        self.assertEqual(for_tools(out.decode().splitlines()), expected)

    def test_check_of_a_huge_map_runs_in_little_memory(self):
        # A million bad lines, each a problem written to the log as it is
        # found: in 32 MiB of address space (not under the sanitizers,
        # which reserve terabytes).
        if b"AddressSanitizer" in read(SETUP):
            self.skipTest("the sanitizers' address space has no limit")
        box = Sandbox(self, count=1)
        write(box.pkg, {"cliver.map": b"==\n" * 1000000})
        log = os.path.join(box.root, "check.log")
        self.assertEqual(box.start("--as=%d" % (32 << 20), "./setup", "/S",
                                   "/CHECK", "/LOG=" + log,
                                   program="prlimit").wait(), 1603 & 0xFF)
        with open(log, "rb") as f:
            self.assertEqual(sum(b": error: map-line-no-name: " in line
                                 for line in f), 1000000)

    def test_check_gives_the_fingerprint_a_script_finds_installed(self):
        # Recomputed over the installed skin, the package's files but for
        # the installer; a file changed there changes it.
        box = Sandbox(self, count=2)
        write(box.pkg, {"Zeta.dat": b"z", "\u00e9t\u00e9.bmp": b"e"})
        self.assertEqual(box.run("/S", "Blue", answer=None), (0, []))
        shown = box.run("/CHECK")[1][0][1].split("\n")[-1]
        names = [os.fsencode(n) for n in os.listdir(box.pkg) if n != "setup"]
        self.assertEqual(shown, e2e.fingerprint(box.skin(), names))
        write(box.skin(), {"f0001.dat": b"changed"})
        self.assertNotEqual(shown, e2e.fingerprint(box.skin(), names))

    @staticmethod
    def whole(box):
        return all(os.path.isfile(os.path.join(box.skin(), name)) and
                   read(os.path.join(box.skin(), name)) == content
                   for name, content in box.new.items())

    def test_second_installer_of_a_skin_waits_and_results_never_mix(self):
        # In a Skins folder that its user may write to but not list, which
        # root could list all the same.
        user = "nobody" if os.geteuid() == 0 else None
        for trial in range(3):
            with self.subTest(trial=trial):
                box = Sandbox(self, count=400, size=8 * 1024)
                other = os.path.join(box.root, "pkg2")
                other_files = e2e.package_files(400, 8 * 1024, "two")
                write(other, dict(other_files, **{"cliver.map": e2e.MAP}))
                os.link(os.path.join(box.pkg, "setup"),
                        os.path.join(other, "setup"))
                if user:
                    subprocess.run(["chown", "-R", user, box.root], check=True)
                os.chmod(box.skins, 0o300)
                processes = [box.start(cwd=folder, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.PIPE, user=user)
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
                os.chmod(box.skins, 0o700)
                self.assertEqual(os.listdir(box.skins), ["Blue"])

    def test_folders_taken_away_meanwhile_stop_the_run(self):
        # Another process moves the working folder away once the run has
        # put files into it (strace slows each move down): the run takes
        # nothing more, puts every file back from where the folder went, and
        # fails. A removal whose package folder is gone fails first.
        midway = 0
        for trial, args in enumerate([("/S", "/OVERWRITE", "Blue"),
                                      ("/S", "/UNINSTALL", "Blue")] * 3):
            with self.subTest(trial=trial):
                box = Sandbox(self, count=40, size=64, earlier=True)
                before = box.snapshot(box.skins)
                kept = os.path.join(box.skin(), ".skinsetup-kept")
                away = os.path.join(box.root, "away")
                process = box.start(
                    # (LeakSanitizer cannot run under a tracer.)
                    "-fqqE", "ASAN_OPTIONS=detect_leaks=0", "-e", "trace=none",
                    "-e", "inject=renameat2:delay_exit=30000", "./setup",
                    *args, program="strace", answer=None,
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                def holds_files():
                    try: return bool(os.listdir(kept))  # noqa: E701
                    except OSError: return False  # noqa: E701
                while process.poll() is None and not holds_files():
                    pass
                try:
                    os.rename(kept, away)
                except OSError:
                    pass  # Too late: the run had no more files to move.
                taken = os.path.isdir(away) and len(os.listdir(away))
                status = process.wait(timeout=120)
                if taken and taken < len(box.new) - 1:
                    midway += 1
                    self.assertEqual(status, box.exit_status(1603))
                    self.assertEqual(box.snapshot(box.skins), before)
                    self.assertEqual(os.listdir(away), [])
        self.assertGreater(midway, 0)
        box = Sandbox(self, earlier=True)
        before = box.snapshot(box.skins)
        setup = shutil.copy(SETUP, box.root)
        process = subprocess.run(
            ["sh", "-c", 'cd "$1" && rm -r "$1" && exec "$2" /S /UNINSTALL Blue',
             "sh", box.pkg, setup],
            env=dict(os.environ, SKINSETUP_REGISTRY=box.registry))
        self.assertEqual(process.returncode, box.exit_status(1603))
        self.assertEqual(box.snapshot(box.skins), before)

    def test_names_swapped_during_runs_reach_nothing_outside(self):
        # Another process, in a tight loop: during reinstalls, swaps each
        # working folder for a link to a folder of the user's; during first
        # installations, swaps the working folder in Skins (one a stopped
        # run left, which the run deletes, and the run's own) the same way,
        # and plants hard links to the user's files at the package's names
        # in it. The user's folder never changes.
        box = Sandbox(self, count=40, size=4096)
        outside = os.path.join(box.root, "outside")
        write(outside, {name: b"the user's" for name in box.new})
        pristine = box.snapshot(outside)
        staging = os.path.join(box.skins, ".skinsetup-new")
        for reinstall in (True, False) * 6:
            with self.subTest(reinstall=reinstall):
                shutil.rmtree(box.skin(), ignore_errors=True)
                if reinstall:
                    box.install_earlier()
                else:
                    write(staging, {"f0001.dat": b"left by a stopped run"})
                stop = threading.Event()

                def meddle():
                    while not stop.is_set():
                        for path in ([os.path.join(box.skin(), name) for name
                                      in (".skinsetup-kept",
                                          ".skinsetup-discard")]
                                     if reinstall else [staging]):
                            # Back and forth: a real folder at the look, a
                            # link at the use.
                            try:
                                if os.path.islink(path):
                                    os.remove(path)
                                    os.rename(path + ".moved", path)
                                else:
                                    os.rename(path, path + ".moved")
                                    os.symlink(outside, path)
                            except OSError:
                                pass
                        for name in () if reinstall else box.new:
                            try:
                                os.link(os.path.join(outside, name),
                                        os.path.join(staging, name))
                            except OSError:
                                pass

                meddler = threading.Thread(target=meddle)
                meddler.start()
                try:
                    box.run()
                finally:
                    stop.set()
                    meddler.join()
                self.assertEqual(box.snapshot(outside), pristine)
                for moved in os.listdir(box.skins):
                    if moved.startswith(".skinsetup-new"):
                        path = os.path.join(box.skins, moved)
                        (os.remove if os.path.islink(path) else
                         shutil.rmtree)(path)

    def test_links_in_place_of_package_files_and_to_the_log(self):
        for fails in (True, False):
            with self.subTest(fails=fails):
                box = Sandbox(self, earlier=True)
                write(os.path.join(box.root, "outside"), {"target": b"user's"})
                # A link to a file of the user's, and one whose file is gone.
                for name, target in (("f0002.dat", "target"),
                                     ("f0003.dat", "gone")):
                    os.remove(os.path.join(box.skin(), name))
                    os.symlink(os.path.join(box.root, "outside", target),
                               os.path.join(box.skin(), name))
                # A package file that is a link to the installed one, and
                # one that links where the installed one links.
                for name, target in (
                        ("f0001.dat", os.path.join(box.skin(), "f0001.dat")),
                        ("f0002.dat", os.path.join(box.root, "outside",
                                                   "target"))):
                    os.remove(os.path.join(box.pkg, name))
                    os.symlink(target, os.path.join(box.pkg, name))
                if fails:  # A folder where a later package file must go.
                    os.remove(os.path.join(box.skin(), "f0004.dat"))
                    os.mkdir(os.path.join(box.skin(), "f0004.dat"))
                # A log named through a link to the skin folder is inside
                # it, refused; one named through a link to a file of the
                # package is in it under two names, no package file.
                write(box.pkg, {"install.log": b""})
                for name, target in (("to-log", "pkg/install.log"),
                                     ("pkg/log-link", "../to-log"),
                                     ("to-skin", box.skin())):
                    os.symlink(target, os.path.join(box.root, name))
                before = box.snapshot()
                log = os.path.join(box.root, "to-skin", "x.log")
                status = box.run("/S", "/LOG=" + log, "Blue", answer=None)[0]
                self.assertEqual(status, box.exit_status(1603))
                self.assertEqual(box.snapshot(), before)
                log = os.path.join(box.root, "to-log")
                self.assertEqual(box.run("/LOG=" + log, "Blue")[0],
                                 0 if fails else 1)
                # The linked file is the installed one: it stays as it was.
                expected = dict(before) if fails else box.installed(before)
                skin = os.path.relpath(box.skin(), box.root)
                for name in ("install.log", "log-link"):
                    expected.pop(os.path.join(skin, name), None)
                linked = os.path.join(skin, "f0001.dat")
                after = box.snapshot()
                expected[linked] = before[linked]
                if not fails:  # A link in the skin is no file of its own.
                    expected[os.path.join(skin, "f0002.dat")] = before[
                        os.path.join("outside", "target")]
                expected["pkg/install.log"] = after["pkg/install.log"]
                self.assertEqual(after, expected)


if __name__ == "__main__":
    SETUP = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
