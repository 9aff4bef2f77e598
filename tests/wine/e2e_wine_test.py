#!/usr/bin/env python3
"""A Windows installer, build/win32 or build/win64 setup.exe, under Wine of
the same width: the scenarios both builds share, and what only Windows
shows: real boxes, raw command lines, the registry, attributes, names in
any case.

Each box is a real window on a private X display: the launcher
(launch.cc) reads its caption, its text and its buttons from the window
itself, and presses the answer. The 32-bit suite is skipped (exit status 77)
where 32-bit Wine cannot start: its loader is itself a 32-bit program, and
some kernels run none.

Usage: e2e_wine_test.py BUILD_DIR WORK_DIR win32|win64
       e2e_wine_test.py --probe  (status 0 when 32-bit Wine starts here;
       otherwise 1, and why)
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))
import e2e  # noqa: E402
from e2e import QUESTION, SUCCESS, failure, read, write  # noqa: E402

BUILD_DIR = WINE = None
SIGN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                    "scripts", "sign.sh")
LOADERS = {"win32": "/usr/lib/wine/wine", "win64": "/usr/lib/wine/wine64"}
CLIENT_KEY = "HKCU\\SOFTWARE\\QV CLIENT"
WAIT = 60  # Seconds a box may take to come or go.


def why_32bit_wine_cannot_start():
    """None when it can; otherwise the reason. SKINSETUP_NO_32BIT=1 acts
    out a machine without 32-bit support on any machine."""
    if os.environ.get("SKINSETUP_NO_32BIT") == "1":
        return "SKINSETUP_NO_32BIT=1 says to act as if it could not"
    try:
        status = subprocess.run([LOADERS["win32"], "--version"], timeout=60,
                                capture_output=True).returncode
    except OSError as error:
        return "its 32-bit loader cannot start: " + error.strerror
    return status and "its 32-bit loader ended with status %d" % status


def windows_path(path):
    """The path as Wine's drive Z: shows a Unix path."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class WineSession:
    """A private Wine prefix of the build's width and an X display."""

    def __init__(self, work, arch):
        self.work, self.loader = work, LOADERS[arch]
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        read, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             "1024x768x24", "-nolisten", "tcp"], pass_fds=[write_end],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        display = b""
        while not display.endswith(b"\n"):
            chunk = os.read(read, 16)
            assert chunk, "Xvfb did not start"
            display += chunk
        os.close(read)
        # No Mono or Gecko installer dialogs in the fresh prefix. A Western
        # locale, whose code page is 1252, with names in UTF-8.
        self.env = dict(os.environ, WINEPREFIX=os.path.join(work, "prefix"),
                        WINEARCH=arch, WINEDEBUG="-all", LC_ALL="en_US.UTF-8",
                        WINEDLLOVERRIDES="mscoree,mshtml=",
                        DISPLAY=":" + display.decode().strip())
        self.wine("wineboot", "-i", timeout=300)
        # One server for all runs, so that each run starts quickly and none
        # meets a server on its way out. The one wineboot started leaves
        # with its last process; a second one cannot start before that.
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=300)
        assert subprocess.run(["wineserver", "-p"], env=self.env,
                              timeout=60).returncode == 0

    def wine(self, *args, timeout=60):
        return subprocess.run([self.loader] + list(args), env=self.env,
                              timeout=timeout, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode

    def run(self, command_line, cwd, answer, locale=None):
        """Runs the installer through the launcher with an exact command
        line, which reads each box from its window and answers it: a Yes/No
        box with `answer` ("y" or "n"), an OK box with OK. Returns the
        status and the boxes as (caption, text), each checked to have the
        buttons of its kind; any other window shown counts as a box
        ("<window>", its caption), and ends the run. With `locale`, under
        that system locale."""
        env = dict(self.env, SKINSETUP_COMMAND_LINE=command_line,
                   SKINSETUP_ANSWER=answer)
        if locale:
            env["LC_ALL"] = locale
        result = subprocess.run(
            [self.loader, os.path.join(BUILD_DIR, "launch.exe")], cwd=cwd,
            env=env, capture_output=True, timeout=4 * WAIT)
        lines = result.stdout.decode("utf-8").splitlines()
        assert lines, "the launcher ended with %d: %s" % (
            result.returncode, result.stderr.decode("utf-8", "replace"))
        boxes = []
        for line in lines[:-1]:
            fields = [re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r",
                                                   "t": "\t"}.get(
                m.group(1), m.group(1)), field) for field in line.split("\t")]
            if fields[0] == "window":
                boxes.append(("<window>", fields[2]))
                continue
            caption, text, buttons = fields[1:]
            # Yes and No for the questions, OK for the rest.
            question = text in (QUESTION[1], e2e.TEXTS["kRemoveQuestion"])
            assert buttons == ("6,7" if question else "1"), (text, buttons)
            boxes.append((caption, text))
        return int(lines[-1]), boxes


class Sandbox(e2e.Sandbox):
    """The registry is Wine's, set for this sandbox; times are kept in
    ticks of 100 ns; a copy error shows FormatMessage's text, a sentence
    and a line end."""
    TICK_NS = 100
    COPY_ERROR_TEXT = r"^[A-Z].*\.\r\n$"

    def __init__(self, test, client="client", program=None):
        super().__init__(test, program or os.path.join(BUILD_DIR, "setup.exe"),
                         e2e.package_files(6, 3000, "new"), WINE.work, client)
        WINE.wine("reg", "delete", CLIENT_KEY, "/f")
        self.reg("", "Install Directory", "REG_SZ",
                 windows_path(os.path.dirname(self.skins)))
        self.reg("\\NEWREVISION", "SKIN-COMPATIBILITY", "REG_DWORD", 5)

    def reg(self, subkey, name, kind, data):
        assert WINE.wine("reg", "add", CLIENT_KEY + subkey, "/v", name, "/t",
                         kind, "/d", str(data), "/f") == 0

    def run(self, tail=" Blue", answer="y", program=".\\setup.exe", cwd=None,
            **kwargs):
        return WINE.run(program + tail, cwd or self.pkg, answer, **kwargs)

    def run_row(self, tail, answer, started):
        """Runs a scenario's command tail."""
        return self.run(" " + tail, answer, **{
            "here": {}, "full path": {"program": windows_path(os.path.join(
                self.pkg, "setup.exe"))}, "skin folder": {"cwd": self.skin()}
        }[started])

    def shown(self, path):
        return windows_path(path)


class WineTest(unittest.TestCase):
    def test_scenarios_both_builds_share(self):
        e2e.check_scenarios(self, lambda client: Sandbox(self, client=client))

    def test_the_readme_recipes_as_deployment_tools_run_them(self):
        # Each recipe as a batch file outside the package, started without a
        # shell from another folder: its status is the %ERRORLEVEL%.
        box = Sandbox(self)
        recipes = {}
        for name, switches in (("install", "/OVERWRITE"),
                               ("uninstall", "/UNINSTALL")):
            recipes[name] = os.path.join(box.root, name + ".cmd")
            with open(recipes[name], "w", newline="\r\n") as script:
                script.write('@echo off\ncd /d "%s"\nsetup.exe /S %s '
                             '/LOG="%%TEMP%%\\skinsetup-Blue.log" Blue\n'
                             'exit /b %%ERRORLEVEL%%\n' % (
                                 windows_path(box.pkg), switches))

        def run(command):
            return WINE.run(command, box.root, "n")

        installed = lambda: {name: read(os.path.join(box.skin(), name))
                             for name in os.listdir(box.skin())}
        cmd = lambda recipe: "cmd /c " + windows_path(recipes[recipe])
        self.assertEqual(run(cmd("install")), (0, []))
        self.assertEqual(installed(), dict(box.new, **{"cliver.map": e2e.MAP}))
        # An update: a new version of a file replaces the installed one.
        write(box.pkg, {"f0000.dat": b"version 2"})
        self.assertEqual(run(cmd("install")), (0, []))
        self.assertEqual(installed()["f0000.dat"], b"version 2")
        self.assertEqual(run(cmd("uninstall")), (0, []))
        self.assertEqual(run(cmd("uninstall")), (1605, []))
        # Shared PCs: Active Setup's StubPath, with no working folder of its
        # own; the installer knows its file also named in capitals.
        self.assertEqual(run('cmd /c "cd /d %s && SETUP.EXE /S /OVERWRITE '
                             '/LOG="%%TEMP%%\\skinsetup-Blue.log" Blue"'
                             % windows_path(box.pkg)), (0, []))
        self.assertNotIn("setup.exe", os.listdir(box.skin()))

    def test_command_lines_reach_the_installer_as_typed(self):
        # No name at all; and names that reach the installer with the quotes
        # or the trailing blank or dot that Windows would not store, which
        # it refuses before anything is written.
        box = Sandbox(self)
        for tail in ("", " \t  ", " \tMy Skin ", ' "Blue"', " Blue."):
            self.assertEqual(box.run(tail),
                             (0, [failure("kCannotInstall", 0)]))
        self.assertEqual(os.listdir(box.skins), [])
        # The help names the installer as it was started.
        help_text = "%s .\\setup.exe %s" % (e2e.TEXTS["kHelpUsage"],
                                             e2e.TEXTS["kHelpText"])
        self.assertEqual(box.run(" /?"), (0, [(e2e.TITLE, help_text)]))

    def test_deployment_command_as_a_tool_starts_it(self):
        # Without a shell, so a variable (%TEMP%, say) reaches the installer
        # unexpanded: here one of Wine's environment, for a log outside the
        # sandbox. A
        # skin named by another skin's short alias reaches that skin, even
        # with /OVERWRITE: refused, and the other skin stays as it was.
        box = Sandbox(self)
        write(box.skin("Blue Skin Deluxe"), {"f0000.dat": b"another skin"})
        listing = subprocess.run(
            [WINE.loader, "cmd", "/c", "dir", "/x", windows_path(box.skins)],
            env=WINE.env, capture_output=True, text=True, timeout=60).stdout
        alias = re.search(r"\s(\S+~\S+)\s+Blue Skin Deluxe\s*$", listing,
                          re.M).group(1)
        WINE.env["SKINSETUP_LOGS"] = windows_path(WINE.work)
        log = os.path.join(WINE.work, "skinsetup-Blue.log")
        before = box.snapshot()
        command = ' /S /OVERWRITE /LOG="%SKINSETUP_LOGS%\\skinsetup-Blue.log" '
        self.assertEqual(box.run(command + alias), (1603, []))
        self.assertEqual(box.snapshot(), before)
        self.assertEqual(e2e.read_outcome(log), e2e.outcome(
            failure("kCannotInstall", 0)[1], 1603))
        self.assertEqual(box.run(command + "Blue"), (0, []))
        self.assertEqual(box.snapshot(), box.installed(before))
        self.assertEqual(e2e.read_outcome(log),
                         e2e.outcome(e2e.TEXTS["kSuccess"], 0))

    def test_check_gives_the_fingerprint_the_posix_build_gives(self):
        # CNG's SHA-256, over names in the order of their UTF-8 bytes, is
        # what the POSIX build's libcrypto gives for the same package.
        box = Sandbox(self)
        write(box.pkg, {"Zeta.dat": b"z", "\u00e9t\u00e9.bmp": b"e"})
        names = [os.fsencode(n) for n in os.listdir(box.pkg)
                 if n != "setup.exe"]
        self.assertEqual(box.run(" /CHECK")[1][0][1].split("\n")[-1],
                         e2e.fingerprint(box.pkg, names))

    def test_names_are_upper_cased_as_windows_does(self):
        # Each UTF-16 unit, by the installer's table and by the system's.
        check = subprocess.run(
            [WINE.loader, os.path.join(BUILD_DIR, "upper_case_check.exe")],
            env=WINE.env, capture_output=True, text=True, timeout=WAIT)
        self.assertEqual(check.returncode, 0, check.stdout)

    def test_check_reports_what_ntfs_takes_for_one_name_on_standard_output(
            self):
        # As a CI job reads it, without a box: names that differ in case
        # beyond Latin-1, and a name that a long one receives as its alias.
        box = Sandbox(self)
        pairs = [("\u017bółw.bmp", "żółw.bmp"), ("\u0150", "\u0151"),
                 ("\u0218", "\u0219"), ("\u0490", "\u0491"),
                 ("\u0386", "\u03ac"), ("\uff21", "\uff41")]
        write(box.pkg, {name: b"x" for pair in pairs for name in pair})
        write(box.pkg, {"Background image.bmp": b"x", "BACKGR~1.BMP": b"y"})
        run = subprocess.run(
            [WINE.loader, "setup.exe", "/S", "/CHECK", "/LOG=-"], cwd=box.pkg,
            env=WINE.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            timeout=WAIT)
        lines = {l for l in run.stdout.decode().splitlines()
                 if not l[:1].isdigit()}
        same = e2e.TEXTS["kCheckSameName"]
        for a, b in pairs:
            found = {"%s: error: name-case-pair: %s %s" % (x, same, y)
                     for x, y in ((a, b), (b, a))}
            self.assertEqual(len(lines & found), 1, lines)
            lines -= found
        self.assertEqual((run.returncode, lines), (1603 & 0xFF, {
            "BACKGR~1.BMP: error: name-alias: %s Background image.bmp" %
            e2e.TEXTS["kCheckAlias"]}))

    def test_free_space_is_that_of_the_skins_folders_volume(self):
        # A Skins folder linked, on the Linux side, to a small volume, the
        # install directory on a large one: a package too large is refused.
        box = Sandbox(self)
        small = os.path.join(box.root, "small")
        os.rename(box.skins, small)
        e2e.mount_small_volume(self, small)
        os.symlink(small, box.skins)
        write(box.pkg, {"big.dat": b"x" * (2 << 20)})
        self.assertEqual(box.run(), (0, [failure("kNoSpace", 1)]))

    def test_names_differing_in_case_never_replace_a_kept_file(self):
        box = Sandbox(self)
        write(box.pkg, {"F0001.DAT": b"capital"})
        write(box.skin(), {"f0001.dat": b"earlier"})
        # The earlier file comes back, perhaps under the other case.
        before = e2e.snapshot(box.skins, 100, fold=True)
        status, boxes = box.run()
        self.assertEqual((status, boxes[-2:]), (0, box.rollback()))
        self.assertEqual(e2e.snapshot(box.skins, 100, fold=True), before)

    def test_hard_link_outside_keeps_read_only(self):
        # Read-only is the file's: another name of a discarded file keeps
        # it (Wine keeps it in the write bits that hard links share).
        box = Sandbox(self)
        e2e.read_only(box)
        os.mkdir(os.path.join(box.root, "outside"))
        os.link(os.path.join(box.skin(), "f0001.dat"),
                os.path.join(box.root, "outside", "f0001.dat"))
        before = box.snapshot()
        self.assertEqual(box.run(), (1, [QUESTION, SUCCESS]))
        self.assertEqual(box.snapshot(), box.installed(before))

    def test_kept_files_stay_while_another_process_moves_them(self):
        # Another process tries to move the folder of the earlier files
        # away at each box: refused, and the rollback puts them all back.
        box = Sandbox(self)
        e2e.failing_copy(box)
        before = box.snapshot()
        WINE.env["SKINSETUP_MOVE_AT_BOX"] = "*".join(map(windows_path, (
            os.path.join(box.skin(), ".skinsetup-kept"),
            os.path.join(box.root, "away"))))
        self.addCleanup(WINE.env.pop, "SKINSETUP_MOVE_AT_BOX")
        status, boxes = box.run()
        self.assertEqual((status, boxes[-2:]), (0, box.rollback()))
        self.assertEqual(box.snapshot(), before)

    def test_boxes_read_right_on_any_code_page(self):
        # Russian Windows reads narrow texts in code page 1251, where the
        # catalogue's accented letters are Cyrillic ones.
        box = Sandbox(self)
        box.install_earlier()
        self.assertEqual(box.run(answer="n", locale="ru_RU.UTF-8"),
                         (0, [QUESTION]))

    def test_signed_copy_verifies_and_runs(self):
        # A throwaway certificate stands in for the maintainer's, its key on
        # a software token (SoftHSM) as a release's is on a hardware one,
        # and in a PFX file as an older certificate's. Only a test signs
        # without a time stamp.
        work = tempfile.mkdtemp(dir=WINE.work)
        self.addCleanup(shutil.rmtree, work, True)
        env = dict(os.environ, SOFTHSM2_CONF=os.path.join(work, "hsm.conf"),
                   SKINSETUP_SIGN_PASSWORD="1234")

        def run(*command, check=True):
            return subprocess.run(command, cwd=work, check=check, env=env,
                                  capture_output=True).returncode

        os.makedirs(os.path.join(work, "tokens"))
        with open(env["SOFTHSM2_CONF"], "w") as f:
            f.write("directories.tokendir = %s/tokens\n" % work)
        run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
            "-keyout", "key.pem", "-out", "cert.pem", "-days", "2",
            "-subj", "/CN=Quintavo Skins Installer test")
        run("openssl", "pkcs8", "-topk8", "-nocrypt", "-in", "key.pem",
            "-out", "key8.pem")
        run("softhsm2-util", "--init-token", "--free", "--label", "test",
            "--pin", "1234", "--so-pin", "4321")
        run("softhsm2-util", "--import", "key8.pem", "--token", "test",
            "--label", "release", "--id", "01", "--pin", "1234")
        run("openssl", "pkcs12", "-export", "-out", "cert.pfx", "-inkey",
            "key.pem", "-in", "cert.pem", "-passout", "pass:1234")
        unsigned = os.path.join(BUILD_DIR, "setup.exe")
        token = ("--pkcs11-module", "/usr/lib/softhsm/libsofthsm2.so", "--key",
                 "pkcs11:token=test;object=release;type=private", "--cert",
                 "cert.pem")
        self.assertEqual(run(SIGN, *token, unsigned, "x.exe", check=False), 2)
        for way, signed in ((token, "setup.exe"), (("--pfx", "cert.pfx"),
                                                   "pfx.exe")):
            run(SIGN, "--test", *way, unsigned, signed)
            run("osslsigncode", "verify", "-CAfile", "cert.pem", signed)
        self.assertEqual(Sandbox(self, program=os.path.join(
            work, "setup.exe")).run(), (1, [SUCCESS]))


if __name__ == "__main__":
    if sys.argv[1] == "--probe":
        reason = why_32bit_wine_cannot_start()
        print(reason or "32-bit Wine starts here")
        sys.exit(1 if reason else 0)
    BUILD_DIR, work, arch = [os.path.abspath(a) for a in sys.argv[1:3]] + [
        sys.argv[3]]
    del sys.argv[1:4]
    reason = arch == "win32" and why_32bit_wine_cannot_start()
    if reason:
        print("SKIPPED: 32-bit Wine cannot start here: " + reason)
        sys.exit(77)
    WINE = WineSession(work, arch)
    try:
        passed = unittest.main(verbosity=2, exit=False).result.wasSuccessful()
    finally:
        subprocess.run(["wineserver", "-k"], env=WINE.env)
        WINE.xvfb.terminate()
    sys.exit(0 if passed else 1)
