"""Helpers of the POSIX installer's end-to-end tests: a sandbox client and
package with a .reg registry, the boxes the installer wrote, and snapshots
of whole folder trees."""

import os
import resource
import shutil
import signal
import subprocess
import tempfile

# The installer under test; the test scripts set it from their argument.
SETUP = None
TITLE = "Quintavo Skins Installer"
BUTTONS = ("[OK]", "(i) [OK]", "[S\u00ec] [No]")
MAP = b"SKIN-COMPATIBILITY-MIN=3\r\nSKIN-COMPATIBILITY-MAX=7\r\n"


def parse_boxes(stderr):
    """Splits what the installer wrote into boxes: (caption, text, buttons,
    answer)."""
    boxes = []
    lines = stderr.split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        if line.startswith("[") and line.endswith("]") and line not in BUTTONS:
            caption = line[1:-1]
            i += 1
            text = []
            while lines[i] not in BUTTONS:
                text.append(lines[i])
                i += 1
            buttons = lines[i]
            i += 1
            while not lines[i].startswith("-> "):
                i += 1
            boxes.append((caption, "\n".join(text), buttons, lines[i][3:]))
        i += 1
    return boxes


def snapshot(folder):
    """Every entry below `folder`: kind, content and modification time."""
    tree = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            info = os.lstat(path)
            rel = os.path.relpath(path, folder)
            if os.path.islink(path):
                tree[rel] = ("link", os.readlink(path), None)
            elif os.path.isdir(path):
                tree[rel] = ("dir", None, None)
            else:
                with open(path, "rb") as f:
                    tree[rel] = ("file", f.read(), info.st_mtime_ns)
    return tree


class Sandbox:
    """A client folder, a package folder and a registry file."""

    def __init__(self, test):
        self.root = tempfile.mkdtemp(prefix="skinsetup-e2e-")
        test.addCleanup(shutil.rmtree, self.root, True)
        self.client = os.path.join(self.root, "client")
        self.skins = os.path.join(self.client, "Skins")
        self.pkg = os.path.join(self.root, "pkg")
        self.registry = os.path.join(self.root, "registry.reg")
        os.makedirs(self.skins)
        os.makedirs(self.pkg)
        self.write_registry(self.client, revision=5)
        self.add("a.bmp", b"BM" + bytes(range(256)) * 40)
        self.add("b.txt", b"blue\n")
        self.add("cliver.map", MAP)
        shutil.copy2(SETUP, os.path.join(self.pkg, "setup"))

    def write_registry(self, directory=None, revision=None, extra=""):
        lines = ["Windows Registry Editor Version 5.00", ""]
        if directory is not None:
            lines += ["[HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT]",
                      '"Install Directory"="%s"' % directory.replace("\\", "\\\\"),
                      ""]
        if revision is not None:
            lines += ["[HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT\\NEWREVISION]",
                      '"SKIN-COMPATIBILITY"=dword:%08x' % revision, ""]
        with open(self.registry, "w") as f:
            f.write("\r\n".join(lines) + extra)

    def add(self, name, content):
        with open(os.path.join(self.pkg, name), "wb") as f:
            f.write(content)

    def skin(self, name="Blue"):
        return os.path.join(self.skins, name)

    def environment(self, answer=None):
        env = dict(os.environ)
        env["SKINSETUP_REGISTRY"] = self.registry
        env.pop("SKINSETUP_ANSWER", None)
        if answer is not None:
            env["SKINSETUP_ANSWER"] = answer
        return env

    def start(self, *args, answer=None, program="./setup",
              limit_file_size=None, **popen):
        """Starts the installer in the package folder and returns the
        process."""
        def limit():
            # The installer must not be killed by a write past the limit
            # (SIGXFSZ): it ignores the signal itself, whatever it inherits.
            signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
            resource.setrlimit(resource.RLIMIT_FSIZE,
                               (limit_file_size, limit_file_size))

        popen.setdefault("stdin", subprocess.DEVNULL)
        return subprocess.Popen(
            [program] + list(args), cwd=self.pkg,
            env=self.environment(answer),
            preexec_fn=limit if limit_file_size is not None else None, **popen)

    def run(self, *args, **kwargs):
        """Runs the installer; returns its status, its boxes and all it
        wrote."""
        process = self.start(*args, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, **kwargs)
        _, stderr = process.communicate(timeout=120)
        stderr = stderr.decode("utf-8")
        return process.returncode, parse_boxes(stderr), stderr


def failure(text, code):
    return (TITLE, "%s CODICE ERRORE:%d" % (text, code), "[OK]", "OK")


SUCCESS = (TITLE, "Installazione effettuata correttamente", "[OK]", "OK")
NOT_INSTALLED = "Quintavo non \u00e8 installato"
INCOMPATIBLE = "La skin non \u00e8 compatibile con questa versione di client"
CANNOT_INSTALL = "Impossibile installare la skin"
QUESTION = "La skin \u00e8 gi\u00e0 presente.\nSi vuole procedere ugualmente?"


