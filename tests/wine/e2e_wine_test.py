#!/usr/bin/env python3
"""A Windows installer, build/win32 or build/win64 setup.exe, under Wine of
the same width, for what only Windows shows: real boxes, raw command lines,
the registry, Win32 copies, attributes, names in any case and links.

Each box is a real window on a private X display: the suite reads its
caption from the window, its text from Wine's message-box trace, and
answers it with the keyboard. The 32-bit suite is skipped (exit status 77)
on a machine that runs no 32-bit programs, where 32-bit Wine cannot start.

Usage: e2e_wine_test.py BUILD_DIR WORK_DIR win32|win64
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import probe32

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))
import e2e_posix_test  # noqa: E402
from catalogue import TEXTS, failure  # noqa: E402

BUILD_DIR = WINE = None
LOADERS = {"win32": "/usr/lib/wine/wine", "win64": "/usr/lib/wine/wine64"}
TITLE = TEXTS["kProgramTitle"]
SUCCESS = (TITLE, TEXTS["kSuccess"])
QUESTION = (TITLE, TEXTS["kAlreadyPresent"])
CLIENT_KEY = "HKCU\\SOFTWARE\\QV CLIENT"
WAIT = 60  # Seconds a box may take to come or go.


def windows_path(path):
    """The path as Wine's drive Z: shows a Unix path."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def snapshot(folder, fold=False):
    """The tree below `folder`, with times as Windows keeps them (100 ns)."""
    return e2e_posix_test.snapshot(folder, 100, fold)


class WineSession:
    """A private Wine prefix of the build's width and an X display."""

    def __init__(self, work, arch):
        self.work, self.loader = work, LOADERS[arch]
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp"], pass_fds=[write],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        display = b""
        while not display.endswith(b"\n"):
            chunk = os.read(read, 16)
            assert chunk, "Xvfb did not start"
            display += chunk
        os.close(read)
        # No Mono or Gecko installer dialogs in the fresh prefix.
        self.env = dict(os.environ, WINEPREFIX=os.path.join(work, "prefix"),
                        WINEARCH=arch, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=",
                        DISPLAY=":" + display.decode().strip())
        self.wine("wineboot", "-i", timeout=300)
        # One server for all runs, so that each run starts quickly.
        subprocess.Popen(["wineserver", "-p"], env=self.env)

    def wine(self, *args, timeout=60):
        return subprocess.run([self.loader] + list(args), env=self.env,
                              timeout=timeout, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode

    def xdotool(self, *args):
        result = subprocess.run(["xdotool"] + list(args), env=self.env,
                                capture_output=True, text=True, timeout=30)
        return result.stdout.rstrip("\n") if result.returncode == 0 else ""

    def box(self):
        """The window and caption of the box on screen, or None."""
        for window in self.xdotool("search", "--onlyvisible", "--name",
                                   ".").split():
            caption = self.xdotool("getwindowname", window)
            if caption and not caption.endswith("Wine desktop"):
                return window, caption
        return None

    def run(self, command_line, cwd, keys=(), screenshot=None):
        """Runs the installer through the launcher with an exact command
        line; answers the boxes with `keys` (Return once they run out).
        Returns the status and the boxes as (caption, text). With
        `screenshot`, the run takes place in a small Italian desktop, and a
        picture of the overwrite question is saved (the status is then the
        desktop's)."""
        env = dict(self.env, WINEDEBUG="-all,trace+msgbox",
                   SKINSETUP_COMMAND_LINE=command_line)
        command = [self.loader, os.path.join(BUILD_DIR, "launch.exe")]
        if screenshot:
            env["LC_ALL"] = "it_IT.UTF-8"
            command[1:1] = ["explorer", "/desktop=Quintavo,480x200"]
        trace = tempfile.TemporaryFile(dir=self.work)
        process = subprocess.Popen(command, cwd=cwd, env=env, stderr=trace,
                                   stdout=subprocess.DEVNULL)
        keys, boxes, deadline = list(keys), [], time.time() + 2 * WAIT
        try:
            while True:
                trace.seek(0)
                # Wine prints the text as a wide string: \n, \t, \\, \xxxx.
                texts = [re.sub(r"\\(u?[0-9a-fA-F]{4}|.)", lambda m: {
                    "n": "\n", "r": "\r", "t": "\t"}.get(m.group(1)) or (
                    chr(int(m.group(1)[-4:], 16)) if len(m.group(1)) >= 4
                    else m.group(1)), text) for text in re.findall(
                    r'trace:msgbox:MSGBOX_OnInit L"(.*)"\n',
                    trace.read().decode("utf-8", "replace"))]
                if len(texts) > len(boxes):
                    window, caption = self.wait(lambda: self.box(), boxes)
                    boxes.append((caption, texts[len(boxes)]))
                    if screenshot and boxes[-1] == QUESTION:
                        desktop = self.xdotool("search", "--onlyvisible",
                                               "--name", "Wine desktop")
                        subprocess.run(["import", "-window", desktop,
                                        screenshot], env=self.env, check=True)
                    key = keys.pop(0) if keys else "Return"
                    self.wait(lambda: self.answer(window, key), boxes)
                elif process.poll() is not None:
                    break
                assert time.time() < deadline, "no end; boxes: %r" % boxes
                time.sleep(0.05)
        finally:
            if process.poll() is None:  # The installer and its box go.
                process.kill()
                process.wait()
                subprocess.run(["wineserver", "-k"], env=self.env)
                subprocess.Popen(["wineserver", "-p"], env=self.env)
        return process.returncode, boxes

    def answer(self, window, key):
        self.xdotool("windowfocus", "--sync", window)
        self.xdotool("key", key)
        time.sleep(0.2)
        found = self.box()
        return found is None or found[0] != window

    @staticmethod
    def wait(condition, boxes):
        deadline = time.time() + WAIT
        while time.time() < deadline:
            result = condition()
            if result:
                return result
            time.sleep(0.05)
        raise AssertionError("a box did not come or go; boxes: %r" % boxes)


class Sandbox:
    """A client folder, a package folder with the installer, and the
    registry set for them."""

    def __init__(self, test):
        self.root = tempfile.mkdtemp(prefix="case-", dir=WINE.work)
        test.addCleanup(shutil.rmtree, self.root, True)
        self.skins = os.path.join(self.root, "client", "Skins")
        self.pkg = os.path.join(self.root, "pkg")
        os.makedirs(self.skins)
        os.makedirs(self.pkg)
        self.add("a.bmp", b"BM" + bytes(range(256)) * 20)
        self.add("b.txt", b"blue\r\n")
        self.add("cliver.map", b"SKIN-COMPATIBILITY-MIN=3\r\n"
                               b"SKIN-COMPATIBILITY-MAX=7\r\n")
        shutil.copy2(os.path.join(BUILD_DIR, "setup.exe"), self.pkg)
        WINE.wine("reg", "delete", CLIENT_KEY, "/f")
        self.reg("", "Install Directory", "REG_SZ",
                 windows_path(os.path.dirname(self.skins)))
        self.reg("\\NEWREVISION", "SKIN-COMPATIBILITY", "REG_DWORD", 5)

    def reg(self, subkey, name, kind, data):
        assert WINE.wine("reg", "add", CLIENT_KEY + subkey, "/v", name, "/t",
                         kind, "/d", str(data), "/f") == 0

    def add(self, name, content):
        with open(os.path.join(self.pkg, name), "wb") as f:
            f.write(content)

    def skin(self, name="Blue"):
        return os.path.join(self.skins, name)

    def run(self, tail=" Blue", keys=(), program=".\\setup.exe", cwd=None,
            **kwargs):
        return WINE.run(program + tail, cwd or self.pkg, keys, **kwargs)


class WineTest(unittest.TestCase):
    def assert_rolled_back(self, box, tail=" Blue", keys=("y",)):
        """Runs the installer (a reinstall answered Yes, by default) and
        checks that it ended with the rollback's two boxes."""
        status, boxes = box.run(tail, keys)
        pattern = windows_path(box.skin(tail.lstrip(" \t"))) + "\\*"
        self.assertEqual((status, boxes[-2:]), (0, [
            (TEXTS["kDeleteDirCaption"], pattern),
            (TITLE, failure("kCannotCopy", 1))]))
        return boxes

    def test_command_lines_reach_the_installer_as_typed(self):
        box = Sandbox(self)
        for tail in ("", " \t  "):
            self.assertEqual(box.run(tail),
                             (0, [(TITLE, failure("kCannotInstall", 0))]))
        # Windows drops a trailing blank from the folder it makes but not
        # from the paths of the copies, which fail; a quoted name keeps its
        # quotes, which no file name may hold. Nothing stays behind.
        self.assert_rolled_back(box, " \tMy Skin ", keys=())
        self.assert_rolled_back(box, ' "Blue"', keys=())
        self.assertEqual(os.listdir(box.skins), [])

    def test_registry_tells_a_missing_client_from_a_missing_directory(self):
        box = Sandbox(self)
        WINE.wine("reg", "delete", CLIENT_KEY, "/v", "Install Directory", "/f")
        self.assertEqual(box.run(),
                         (0, [(TITLE, failure("kNotInstalled", 1))]))
        WINE.wine("reg", "delete", CLIENT_KEY, "/f")
        self.assertEqual(box.run(),
                         (0, [(TITLE, failure("kNotInstalled", 2))]))

    def test_install_itself_and_the_question_before_overwriting(self):
        box = Sandbox(self)
        self.assertEqual(box.run(), (1, [SUCCESS]))
        package = snapshot(box.pkg)
        del package["setup.exe"]  # Started as .\setup.exe: itself.
        self.assertEqual(snapshot(box.skin()), package)
        # Started through its full path, it opens and copies itself.
        program = windows_path(os.path.join(box.pkg, "setup.exe"))
        self.assertEqual(box.run(program=program, keys=("y", "Return")),
                         (1, [QUESTION, SUCCESS]))
        self.assertIn("setup.exe", os.listdir(box.skin()))
        before = snapshot(box.skins)
        self.assertEqual(box.run(keys=("n",)), (0, [QUESTION]))
        # The question once more, as a user sees it, for the README.
        picture = os.path.join(WINE.work, "overwrite-question.png")
        self.assertEqual(box.run(keys=("n",), screenshot=picture)[1],
                         [QUESTION])
        self.assertGreater(os.path.getsize(picture), 0)
        self.assertEqual(snapshot(box.skins), before)

    def test_failed_copy_shows_the_system_text_and_is_rolled_back(self):
        box = Sandbox(self)
        os.makedirs(os.path.join(box.skin(), "b.txt"))  # Cannot be replaced.
        with open(os.path.join(box.skin(), "a.bmp"), "wb") as f:
            f.write(b"old a")
        before = snapshot(box.skins)
        boxes = self.assert_rolled_back(box)
        self.assertEqual(boxes[0], QUESTION)
        self.assertEqual(boxes[1][0], TEXTS["kCopyErrorCaption"])
        self.assertRegex(boxes[1][1], r"^[A-Z].*\.\r\n$")  # FormatMessage's.
        self.assertEqual(snapshot(box.skins), before)

    def test_read_only_files_are_reinstalled_and_put_back(self):
        box = Sandbox(self)
        os.chmod(os.path.join(box.pkg, "b.txt"), 0o444)  # Read-only.
        self.assertEqual(box.run(), (1, [SUCCESS]))
        for _ in range(2):
            self.assertEqual(box.run(keys=("y", "Return")),
                             (1, [QUESTION, SUCCESS]))
            self.assertEqual(sorted(os.listdir(box.skin())),
                             ["a.bmp", "b.txt", "cliver.map"])
        box.add("c.txt", b"c")
        os.mkdir(os.path.join(box.skin(), "c.txt"))
        before = snapshot(box.skins)
        self.assert_rolled_back(box)
        self.assertEqual(snapshot(box.skins), before)
        installed = os.stat(os.path.join(box.skin(), "b.txt"))
        self.assertEqual(installed.st_mode & 0o222, 0)  # Read-only again.

    def test_names_differing_in_case_never_replace_a_kept_file(self):
        box = Sandbox(self)
        box.add("A.BMP", b"capital")
        os.mkdir(box.skin())
        with open(os.path.join(box.skin(), "a.bmp"), "wb") as f:
            f.write(b"earlier")
        # The earlier file comes back, perhaps under the other case.
        before = snapshot(box.skins, fold=True)
        self.assert_rolled_back(box)
        self.assertEqual(snapshot(box.skins, fold=True), before)

    def test_links_standing_as_working_folders_are_never_followed(self):
        box = Sandbox(self)
        self.assertEqual(box.run(), (1, [SUCCESS]))
        outside = os.path.join(box.root, "outside")
        os.mkdir(outside)
        with open(os.path.join(outside, "a.bmp"), "wb") as f:
            f.write(b"the user's")
        os.symlink(outside, os.path.join(box.skin(), ".skinsetup-discard"))
        os.symlink(".", os.path.join(box.skin(), ".skinsetup-kept"))
        before = snapshot(box.root)  # The same files come again.
        self.assertEqual(box.run(keys=("y", "Return")),
                         (1, [QUESTION, SUCCESS]))
        self.assertEqual(snapshot(box.root), before)

    def test_package_inside_its_own_skin_folder_stays_whole(self):
        box = Sandbox(self)
        self.assertEqual(box.run(), (1, [SUCCESS]))
        shutil.copy2(os.path.join(box.pkg, "setup.exe"), box.skin())
        before = snapshot(box.skins)
        self.assertEqual(box.run(keys=("y", "Return"), cwd=box.skin()),
                         (1, [QUESTION, SUCCESS]))
        self.assertEqual(snapshot(box.skins), before)


if __name__ == "__main__":
    BUILD_DIR, work, arch = [os.path.abspath(a) for a in sys.argv[1:3]] + [
        sys.argv[3]]
    del sys.argv[1:4]
    reason = arch == "win32" and probe32.why_not(work)
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
