#!/usr/bin/env python3
"""A Windows installer, build/win32 or build/win64 setup.exe, end to end
under Wine of the same width.

Each message box is a real window on a private X display: the suite reads
its caption from the window, its text from Wine's message-box trace, and
answers it with the keyboard.

Usage: e2e_wine_test.py BUILD_DIR WORK_DIR win32|win64

The 32-bit suite is skipped (exit status 77) on a machine that runs no
32-bit programs, where 32-bit Wine cannot start.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import probe32

BUILD_DIR = None
WORK_DIR = None
ARCH = None
WINE = None  # The suite's Wine session, made once.
# Each width has its own Wine loader and its own prefix.
LOADERS = {"win32": "/usr/lib/wine/wine", "win64": "/usr/lib/wine/wine64"}
SKIPPED = 77

TITLE = "Quintavo Skins Installer"
NOT_INSTALLED = "Quintavo non \u00e8 installato"
INCOMPATIBLE = "La skin non \u00e8 compatibile con questa versione di client"
CANNOT_INSTALL = "Impossibile installare la skin"
CANNOT_COPY = "Impossibile copiare i files su disco"
QUESTION = "La skin \u00e8 gi\u00e0 presente.\nSi vuole procedere ugualmente?"
SUCCESS = (TITLE, "Installazione effettuata correttamente")
MAP = b"SKIN-COMPATIBILITY-MIN=3\r\nSKIN-COMPATIBILITY-MAX=7\r\n"
CLIENT_KEY = "HKCU\\SOFTWARE\\QV CLIENT"
REVISION_KEY = CLIENT_KEY + "\\NEWREVISION"

DESKTOP_SUFFIX = "Wine desktop"
BOX_WAIT = 30  # Seconds a box may take to appear or to go away.
RUN_WAIT = 120  # Seconds a whole run may take.


def failure(text, code):
    return (TITLE, "%s CODICE ERRORE:%d" % (text, code))


def windows_path(path):
    """The path as Wine's drive Z: shows a Unix path."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def decode_debugstr(text):
    """Reads back a wide string as Wine's debug channel prints it."""
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c != "\\":
            out.append(c)
            i += 1
            continue
        nxt = text[i + 1]
        if nxt in "nrt":
            out.append({"n": "\n", "r": "\r", "t": "\t"}[nxt])
            i += 2
        elif re.match(r"[0-9a-fA-F]{4}", text[i + 1:i + 5]):
            out.append(chr(int(text[i + 1:i + 5], 16)))
            i += 5
        else:
            out.append(nxt)
            i += 2
    return "".join(out)


def snapshot(folder):
    """Every entry below `folder`: kind, content and modification time."""
    tree = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            rel = os.path.relpath(path, folder)
            if os.path.islink(path):
                tree[rel] = ("link", os.readlink(path))
            elif os.path.isdir(path):
                tree[rel] = "dir"
            else:
                # Windows keeps times to 100 ns.
                with open(path, "rb") as f:
                    tree[rel] = (f.read(), os.stat(path).st_mtime_ns // 100)
    return tree


class WineSession:
    """A private Wine prefix and X display for the whole suite."""

    def __init__(self, work_dir, arch):
        self.work = work_dir
        self.loader = LOADERS[arch]
        shutil.rmtree(work_dir, ignore_errors=True)
        os.makedirs(work_dir)
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": os.path.join(work_dir, "prefix"),
            "WINEARCH": arch,
            "WINEDEBUG": "-all",
            # No Mono or Gecko installer dialogs in the fresh prefix.
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
        })
        self.xvfb = None
        self.start_display()
        self.wine(["wineboot", "-i"], timeout=300)
        # One server for all runs, so that each run starts quickly.
        subprocess.Popen(["wineserver", "-p"], env=self.env)

    def start_display(self):
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp"], pass_fds=[write],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        deadline = time.time() + 30
        while not number.endswith(b"\n"):
            if time.time() > deadline:
                raise RuntimeError("Xvfb did not start")
            chunk = os.read(read, 16)
            if not chunk:
                raise RuntimeError("Xvfb exited")
            number += chunk
        os.close(read)
        self.env["DISPLAY"] = ":" + number.decode().strip()

    def wine(self, args, timeout=60, **kwargs):
        command = args if args[0] == "wineserver" else [self.loader] + args
        return subprocess.run(command, env=self.env, timeout=timeout,
                              stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, **kwargs)

    def reg_add(self, key, name, kind, data):
        result = self.wine(["reg", "add", key, "/v", name, "/t", kind,
                            "/d", str(data), "/f"])
        assert result.returncode == 0, (key, name)

    def reg_delete(self, key):
        self.wine(["reg", "delete", key, "/f"])

    def xdotool(self, *args):
        result = subprocess.run(["xdotool"] + list(args), env=self.env,
                                capture_output=True, timeout=30)
        return result.returncode, result.stdout.decode("utf-8", "replace")

    def visible_box(self):
        """The message box on screen, or None."""
        code, out = self.xdotool("search", "--onlyvisible", "--name", ".")
        if code != 0:
            return None
        for window in out.split():
            code, name = self.xdotool("getwindowname", window)
            name = name.rstrip("\n")
            if code == 0 and name and not name.endswith(DESKTOP_SUFFIX):
                return window, name
        return None

    def screenshot(self, path):
        """Takes a picture of the virtual desktop."""
        code, out = self.xdotool("search", "--onlyvisible", "--name",
                                 DESKTOP_SUFFIX)
        assert code == 0, "no virtual desktop on screen"
        subprocess.run(["import", "-window", out.split()[0], path],
                       env=self.env, timeout=30, check=True)

    def run(self, command_line, cwd, keys=(), screenshot=None):
        """Runs the installer with `command_line` in `cwd`; answers the boxes
        with `keys` in turn (Return once they run out). Returns the exit
        status and the boxes as (caption, text).

        With `screenshot`, the run takes place in a small virtual desktop,
        where Wine draws the boxes' frames and title bars as Windows does,
        and a picture of the overwrite question is saved there; the exit
        status is then the desktop's, not the installer's."""
        trace_path = os.path.join(self.work, "msgbox-trace.txt")
        env = dict(self.env)
        env["WINEDEBUG"] = "-all,trace+msgbox"
        env["SKINSETUP_COMMAND_LINE"] = command_line
        if screenshot:
            # The picture shows an Italian Windows, as the installer's users
            # have; its answer, N, is the same in both languages.
            env["LC_ALL"] = "it_IT.UTF-8"
        keys = list(keys)
        boxes = []
        command = [self.loader, os.path.join(BUILD_DIR, "launch.exe")]
        if screenshot:
            command[1:1] = ["explorer", "/desktop=Quintavo,480x200"]
        with open(trace_path, "w") as trace:
            process = subprocess.Popen(command, cwd=cwd, env=env,
                                       stdout=subprocess.DEVNULL, stderr=trace)
        deadline = time.time() + RUN_WAIT
        try:
            while True:
                texts = self.box_texts(trace_path)
                if len(texts) > len(boxes):
                    window, caption = self.wait_for_box(boxes)
                    boxes.append((caption, texts[len(boxes)]))
                    if screenshot and boxes[-1][1] == QUESTION:
                        self.screenshot(screenshot)
                    self.answer(window, keys.pop(0) if keys else "Return",
                                boxes)
                    continue
                if process.poll() is not None:
                    # A last box may have been traced as the process ended.
                    if len(self.box_texts(trace_path)) == len(boxes):
                        break
                    continue
                if time.time() > deadline:
                    raise AssertionError("the run did not end; boxes so far: %r"
                                         % boxes)
                time.sleep(0.05)
        finally:
            if process.poll() is None:
                # The installer, and any box it still shows, go too.
                process.kill()
                process.wait()
                self.restart_server()
        return process.returncode, boxes

    def restart_server(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60)
        subprocess.Popen(["wineserver", "-p"], env=self.env)

    @staticmethod
    def box_texts(trace_path):
        with open(trace_path, encoding="utf-8", errors="replace") as f:
            return [decode_debugstr(m.group(1)) for m in
                    re.finditer(r'trace:msgbox:MSGBOX_OnInit L"(.*)"\n', f.read())]

    def wait_for_box(self, boxes):
        deadline = time.time() + BOX_WAIT
        while time.time() < deadline:
            found = self.visible_box()
            if found:
                return found
            time.sleep(0.05)
        raise AssertionError("no box appeared; boxes so far: %r" % boxes)

    def answer(self, window, key, boxes):
        deadline = time.time() + BOX_WAIT
        while time.time() < deadline:
            self.xdotool("windowfocus", "--sync", window)
            self.xdotool("key", key)
            for _ in range(20):
                found = self.visible_box()
                if found is None or found[0] != window:
                    return
                time.sleep(0.05)
        raise AssertionError("the box did not close on %s; boxes so far: %r"
                             % (key, boxes))

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=30)


class Sandbox:
    """A client folder and a package folder, and the registry set for
    them."""

    def __init__(self, test, revision=5):
        self.root = tempfile.mkdtemp(prefix="case-", dir=WINE.work)
        test.addCleanup(shutil.rmtree, self.root, True)
        self.client = os.path.join(self.root, "client")
        self.skins = os.path.join(self.client, "Skins")
        self.pkg = os.path.join(self.root, "pkg")
        os.makedirs(self.skins)
        os.makedirs(self.pkg)
        self.add("a.bmp", b"BM" + bytes(range(256)) * 20)
        self.add("b.txt", b"blue\r\n")
        self.add("cliver.map", MAP)
        shutil.copy2(os.path.join(BUILD_DIR, "setup.exe"), self.pkg)
        WINE.reg_delete(CLIENT_KEY)
        WINE.reg_add(CLIENT_KEY, "Install Directory", "REG_SZ",
                     windows_path(self.client))
        if revision is not None:
            WINE.reg_add(REVISION_KEY, "SKIN-COMPATIBILITY", "REG_DWORD",
                         revision)

    def add(self, name, content):
        with open(os.path.join(self.pkg, name), "wb") as f:
            f.write(content)

    def skin(self, name="Blue"):
        return os.path.join(self.skins, name)

    def run(self, tail=" Blue", keys=(), program=".\\setup.exe", **kwargs):
        return WINE.run(program + tail, self.pkg, keys, **kwargs)


class StartTest(unittest.TestCase):
    def test_empty_tails_are_code_0(self):
        box = Sandbox(self)
        for tail in ("", " \t  "):
            self.assertEqual(box.run(tail),
                             (0, [failure(CANNOT_INSTALL, 0)]), repr(tail))

    def test_name_with_a_separator_is_refused(self):
        box = Sandbox(self)
        before = snapshot(box.root)
        for tail in (" ..\\x", " a/b", " ..", " C:x"):
            self.assertEqual(box.run(tail),
                             (0, [failure(CANNOT_INSTALL, 0)]), tail)
        self.assertEqual(snapshot(box.root), before)


class ClientTest(unittest.TestCase):
    def test_missing_client_key_is_code_2(self):
        box = Sandbox(self)
        WINE.reg_delete(CLIENT_KEY)
        self.assertEqual(box.run(), (0, [failure(NOT_INSTALLED, 2)]))

    def test_missing_install_directory_is_code_1(self):
        box = Sandbox(self)
        WINE.wine(["reg", "delete", CLIENT_KEY, "/v", "Install Directory",
                   "/f"])
        WINE.reg_add(CLIENT_KEY, "Other", "REG_SZ", "x")
        self.assertEqual(box.run(), (0, [failure(NOT_INSTALLED, 1)]))

    def test_incompatible_revision_is_code_3(self):
        box = Sandbox(self, revision=8)
        self.assertEqual(box.run(), (0, [failure(INCOMPATIBLE, 3)]))

    def test_package_without_its_map_is_code_10(self):
        box = Sandbox(self)
        os.remove(os.path.join(box.pkg, "cliver.map"))
        self.assertEqual(box.run(), (0, [failure(CANNOT_INSTALL, 10)]))


class CopyTest(unittest.TestCase):
    def test_full_install(self):
        box = Sandbox(self)
        self.assertEqual(box.run(), (1, [SUCCESS]))
        package = snapshot(box.pkg)
        del package["setup.exe"]  # Started as .\setup.exe: itself.
        self.assertEqual(snapshot(box.skin()), package)

    def test_started_through_its_full_path_it_copies_itself(self):
        box = Sandbox(self)
        program = windows_path(os.path.join(box.pkg, "setup.exe"))
        self.assertEqual(box.run(program=program), (1, [SUCCESS]))
        self.assertTrue(os.path.isfile(os.path.join(box.skin(), "setup.exe")))

    def test_reinstall_asks_first(self):
        box = Sandbox(self)
        self.assertEqual(box.run(), (1, [SUCCESS]))
        with open(os.path.join(box.skin(), "mine.txt"), "w") as f:
            f.write("mine")
        before = snapshot(box.skins)
        question = (TITLE, QUESTION)
        self.assertEqual(box.run(keys=("n",)), (0, [question]))
        self.assertEqual(snapshot(box.skins), before)

        # The question once more, as a user sees it, for the README.
        screenshot = os.path.join(WINE.work, "overwrite-question.png")
        self.assertEqual(box.run(keys=("n",), screenshot=screenshot)[1],
                         [question])
        self.assertTrue(os.path.getsize(screenshot) > 0)
        self.assertEqual(snapshot(box.skins), before)

        box.add("b.txt", b"new blue\r\n")
        self.assertEqual(box.run(keys=("y", "Return")), (1, [question, SUCCESS]))
        with open(os.path.join(box.skin(), "b.txt"), "rb") as f:
            self.assertEqual(f.read(), b"new blue\r\n")
        self.assertEqual(sorted(os.listdir(box.skin())),
                         ["a.bmp", "b.txt", "cliver.map", "mine.txt"])

    def test_failed_copy_is_rolled_back_and_restored(self):
        box = Sandbox(self)
        os.makedirs(os.path.join(box.skin(), "b.txt"))  # Cannot be replaced.
        with open(os.path.join(box.skin(), "a.bmp"), "wb") as f:
            f.write(b"old a")
        os.utime(os.path.join(box.skin(), "a.bmp"), ns=(10 ** 9, 10 ** 9))
        before = snapshot(box.skins)
        status, boxes = box.run(keys=("y",))
        self.assertEqual(status, 0)
        self.assertEqual(len(boxes), 4, boxes)
        self.assertEqual(boxes[0], (TITLE, QUESTION))
        # The system's own text for the error, from FormatMessage.
        self.assertEqual(boxes[1][0], "Quintavo")
        self.assertRegex(boxes[1][1], r"^[A-Z].*\.\r\n$")
        self.assertNotIn("Errore di sistema", boxes[1][1])
        self.assertEqual(boxes[2], (" delete file dir",
                                    windows_path(box.skin()) + "\\*"))
        self.assertEqual(boxes[3], failure(CANNOT_COPY, 1))
        self.assertEqual(snapshot(box.skins), before)

    def test_tail_keeps_its_trailing_blank_and_its_quotes(self):
        box = Sandbox(self)
        # Windows drops the blank from the folder it creates but not from
        # the paths of the copies, which then fail; nothing stays behind.
        status, boxes = box.run(" \tMy Skin ")
        self.assertEqual(status, 0)
        self.assertEqual(boxes[-2], (" delete file dir",
                                     windows_path(box.skins) + "\\My Skin \\*"))
        self.assertEqual(boxes[-1], failure(CANNOT_COPY, 1))
        # A quoted name keeps its quotes, which no file name may hold.
        status, boxes = box.run(' "Blue"')
        self.assertEqual(status, 0)
        self.assertEqual(boxes[-2], (" delete file dir",
                                     windows_path(box.skins) + '\\"Blue"\\*'))
        self.assertEqual(os.listdir(box.skins), [])


class HostileFileSystemTest(unittest.TestCase):
    QUESTION_BOX = (TITLE, QUESTION)

    def test_read_only_files_are_reinstalled_and_put_back(self):
        box = Sandbox(self)
        os.chmod(os.path.join(box.pkg, "b.txt"), 0o444)  # Read-only.
        self.assertEqual(box.run(), (1, [SUCCESS]))
        installed = os.path.join(box.skin(), "b.txt")
        self.assertEqual(os.stat(installed).st_mode & 0o222, 0)
        for _ in range(2):
            self.assertEqual(box.run(keys=("y", "Return")),
                             (1, [self.QUESTION_BOX, SUCCESS]))
            self.assertEqual(sorted(os.listdir(box.skin())),
                             ["a.bmp", "b.txt", "cliver.map"])
        # A failed reinstall puts the read-only file back, read-only.
        box.add("c.txt", b"c")
        os.mkdir(os.path.join(box.skin(), "c.txt"))
        before = snapshot(box.skins)
        status, boxes = box.run(keys=("y",))
        self.assertEqual((status, boxes[-1]), (0, failure(CANNOT_COPY, 1)))
        self.assertEqual(snapshot(box.skins), before)
        self.assertEqual(os.stat(installed).st_mode & 0o222, 0)

    def test_names_differing_in_case_never_replace_a_kept_file(self):
        box = Sandbox(self)
        box.add("A.BMP", b"capital")
        os.mkdir(box.skin())
        with open(os.path.join(box.skin(), "a.bmp"), "wb") as f:
            f.write(b"earlier")
        # The earlier file comes back, perhaps under the other case.
        def folded():
            return {k.lower(): v for k, v in snapshot(box.skins).items()}
        before = folded()
        status, boxes = box.run(keys=("y",))
        self.assertEqual((status, boxes[-1]), (0, failure(CANNOT_COPY, 1)))
        self.assertEqual(folded(), before)

    def test_package_inside_its_own_skin_folder_stays_whole(self):
        box = Sandbox(self)
        self.assertEqual(box.run(), (1, [SUCCESS]))
        shutil.copy2(os.path.join(box.pkg, "setup.exe"), box.skin())
        before = snapshot(box.skins)
        self.assertEqual(WINE.run(".\\setup.exe Blue", box.skin(), ("y",)),
                         (1, [self.QUESTION_BOX, SUCCESS]))
        self.assertEqual(snapshot(box.skins), before)

    def test_links_standing_as_working_folders_are_never_followed(self):
        box = Sandbox(self)
        self.assertEqual(box.run(), (1, [SUCCESS]))
        outside = os.path.join(box.root, "outside")
        os.mkdir(outside)
        with open(os.path.join(outside, "a.bmp"), "wb") as f:
            f.write(b"the user's")
        os.symlink(outside, os.path.join(box.skin(), ".skinsetup-discard"))
        os.symlink(".", os.path.join(box.skin(), ".skinsetup-kept"))
        before = snapshot(outside)
        self.assertEqual(box.run(keys=("y", "Return")),
                         (1, [self.QUESTION_BOX, SUCCESS]))
        self.assertEqual(snapshot(outside), before)
        self.assertEqual(sorted(os.listdir(box.skin())),
                         [".skinsetup-discard", ".skinsetup-kept", "a.bmp",
                          "b.txt", "cliver.map"])


def setUpModule():
    global WINE
    WINE = WineSession(WORK_DIR, ARCH)


def tearDownModule():
    if WINE:
        WINE.close()


if __name__ == "__main__":
    BUILD_DIR = os.path.abspath(sys.argv.pop(1))
    WORK_DIR = os.path.abspath(sys.argv.pop(1))
    ARCH = sys.argv.pop(1)
    if ARCH == "win32":
        reason = probe32.why_not(WORK_DIR)
        if reason:
            print("SKIPPED: 32-bit Wine cannot start here: " + reason)
            sys.exit(SKIPPED)
    unittest.main(verbosity=2)
