"""What the end-to-end suites share: the installer's texts, from the golden
file texts.txt, folder snapshots, a sandbox of a client and a package, and
the scenarios that both the POSIX build and the Windows build under Wine
must pass."""

import ast
import collections
import hashlib
import os
import re
import shutil
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def read_golden():
    """The texts as the user reads them, by name."""
    with open(os.path.join(HERE, "texts.txt"), encoding="utf-8") as f:
        return {name: text.replace("\\n", "\n") for name, text in (
            line.rstrip("\n").split("=", 1) for line in f
            if "=" in line and not line.startswith("#"))}


def read_catalogue():
    """The code's catalogue, skinsetup/messages.h, decoded as code page
    1252."""
    with open(os.path.join(HERE, "..", "skinsetup", "messages.h"),
              encoding="utf-8") as f:
        source = f.read()
    return {name: b"".join(ast.literal_eval("b" + literal) for literal in
                           re.findall(r'"(?:[^"\\]|\\.)*"', literals)
                           ).decode("cp1252")
            for name, literals in re.findall(
                r'constexpr char (k\w+)\[\] =\s*((?:"(?:[^"\\]|\\.)*"\s*)+);',
                source)}


TEXTS = read_golden()
TITLE = TEXTS["kProgramTitle"]
SUCCESS = (TITLE, TEXTS["kSuccess"])
QUESTION = (TITLE, TEXTS["kAlreadyPresent"])
MAP = b"SKIN-COMPATIBILITY-MIN=3\r\nSKIN-COMPATIBILITY-MAX=7\r\n"
# A copy's error box, whose text is the system's own for the error.
COPY_ERROR = (TEXTS["kCopyErrorCaption"], "<the system's text>")


def failure(text, code):
    """A fatal error's box."""
    return (TITLE, "%s%s%d" % (TEXTS[text], TEXTS["kCodeLabel"], code))


def outcome(text, status):
    """The last line of a run's log, after the time."""
    return "%s %s (%s %d)" % (TEXTS["kLogOutcome"], text, TEXTS["kLogStatus"],
                              status)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def fingerprint(folder, names):
    """The fingerprint of the files `names` (bytes) of `folder`, computed as
    a deployment tool's script does: a line a file, its SHA-256, two blanks
    and its name, in the names' byte order."""
    lines = b""
    for name in sorted(names):
        digest = hashlib.sha256(read(os.path.join(os.fsencode(folder), name)))
        lines += b"%s  %s\n" % (digest.hexdigest().encode(), name)
    return "%s %s" % (TEXTS["kCheckFingerprint"],
                      hashlib.sha256(lines).hexdigest())


def write(folder, files, mtime_ns=None):
    os.makedirs(folder, exist_ok=True)
    for name, content in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(content)
        if mtime_ns is not None:
            os.utime(os.path.join(folder, name), ns=(mtime_ns, mtime_ns))


def snapshot(folder, tick_ns=1, fold=False):
    """Every entry below `folder`: kind, content (or link target), time in
    ticks of `tick_ns` and whether it may be written; with `fold`, names in
    lower case."""
    tree = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            rel = os.path.relpath(path, folder)
            rel = rel.lower() if fold else rel
            if os.path.islink(path):
                tree[rel] = ("link", os.readlink(path))
            elif os.path.isdir(path):
                tree[rel] = ("dir",)
            else:
                status = os.lstat(path)
                tree[rel] = ("file", read(path), status.st_mtime_ns // tick_ns,
                             bool(status.st_mode & 0o200))
    return tree


def write_registry(path, client):
    """A .reg file of the client in the folder `client`, at revision 5, as
    the POSIX installer reads it."""
    with open(path, "w") as f:
        f.write('REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT]\n'
                '"Install Directory"="%s"\n[HKEY_CURRENT_USER\\SOFTWARE'
                '\\QV CLIENT\\NEWREVISION]\n"SKIN-COMPATIBILITY"=dword:5\n'
                % client)


def mount_small_volume(test, folder):
    """Mounts a tmpfs of 1 MiB on `folder` for the test, or skips it."""
    if subprocess.call(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs",
                        folder]):
        test.skipTest("a tmpfs cannot be mounted here (mount needs root)")
    test.addCleanup(subprocess.call, ["umount", folder])


def package_files(count, size, tag):
    """`count` files of `size` bytes whose contents tell them apart."""
    return {"f%04d.dat" % i: (("%s-%04d-" % (tag, i)).encode() * size)[:size]
            for i in range(count)}


DEEP = "<deep>"  # A client folder as deep as deep_client makes it.


def deep_client(root_length):
    """A client folder, below a sandbox of `root_length` characters, where
    the skin's files just fit Windows' plain form of 260 characters: the
    working folders lengthen every path past it."""
    elements, left = [], 250 - root_length - len("/Skins/Blue/f0000.dat")
    while left > 1:
        elements.append("d" * min(left - 1, 100))
        left -= len(elements[-1]) + 1
    return os.path.join(*elements)


class Sandbox:
    """A client folder with its Skins folder and a package folder holding
    `files`, the map and the installer `program`. A suite's subclass sets
    the registry, runs the installer, and tells how the system words a
    copy error."""
    TICK_NS = 1
    COPY_ERROR_TEXT = None  # A pattern the text of a copy error matches.

    def __init__(self, test, program, files, work=None, client="client"):
        self.root = tempfile.mkdtemp(prefix="skinsetup-e2e-", dir=work)
        test.addCleanup(shutil.rmtree, self.root, True)
        if client == DEEP:
            client = deep_client(len(self.shown(self.root)))
        self.skins = os.path.join(self.root, client, "Skins")
        self.pkg = os.path.join(self.root, "pkg")
        self.new, self.old = files, {}
        self.installer = os.path.basename(program)
        write(self.pkg, dict(files, **{"cliver.map": MAP}))
        shutil.copy2(program, self.pkg)
        os.makedirs(self.skins)

    def skin(self, name="Blue"):
        return os.path.join(self.skins, name)

    def exit_status(self, status):
        """A status as the system hands it to the caller."""
        return status

    def shown(self, path):
        """The path as the installer shows it."""
        return path

    def rollback(self, name="Blue"):
        """The two boxes a rollback of skin `name` ends with."""
        return [(TEXTS["kDeleteDirCaption"],
                 self.shown(os.path.join(self.skin(name), "*"))),
                failure("kCannotCopy", 1)]

    def install_earlier(self):
        """An earlier installation of Blue: older package files, its map,
        and a file of the user's own, from long ago."""
        self.old = {name: b"old " + content[:len(content) // 2]
                    for name, content in self.new.items()}
        write(self.skin(), dict(self.old, **{"cliver.map": MAP,
                                             "user.cfg": b"mine"}), 10 ** 18)

    def snapshot(self, folder=None):
        return snapshot(folder or self.root, self.TICK_NS)

    def installed(self, before, skin="Blue"):
        """The sandbox as `before`, with the package installed as `skin`."""
        expected = dict(before)
        package = self.snapshot(self.pkg)
        del package[self.installer]  # Started as .\setup(.exe): itself.
        folder = os.path.relpath(self.skin(skin), self.root)
        for name, entry in package.items():
            expected[os.path.join(folder, name)] = entry
        expected[folder] = ("dir",)
        return expected


# What both builds must do, on the same folders. A row: its name; how to
# prepare the sandbox; the status, the boxes ("rollback" stands for the two
# a rollback ends with) and the sandbox afterwards ("unchanged",
# "installed", or a function of the sandbox and the snapshot before); then,
# where they differ from a plain run: the command tail ("{log}" is a log
# file in the sandbox), the answer to the question, the log's last line,
# the client's folder, and whether the installer is started by its full
# path or from the skin folder.
Row = collections.namedtuple(
    "Row", "name prepare status boxes after tail answer log client started",
    defaults=("Blue", "y", None, "client", "here"))


def failing_copy(sandbox):
    """A folder stands where a package file must go."""
    sandbox.install_earlier()
    os.remove(os.path.join(sandbox.skin(), "f0002.dat"))
    os.mkdir(os.path.join(sandbox.skin(), "f0002.dat"))


def read_only(sandbox, folder=None):
    """An earlier installation and a package whose f0001.dat are read-only,
    and, with `folder`, a new package file where a folder stands."""
    sandbox.install_earlier()
    for path in (sandbox.pkg, sandbox.skin()):
        os.chmod(os.path.join(path, "f0001.dat"), 0o444)
    if folder:
        write(sandbox.pkg, {"f0009.dat": b"new"})
        os.mkdir(os.path.join(sandbox.skin(), "f0009.dat"))


def installed_here(sandbox):
    """The package installed, the installer too, and started there."""
    shutil.copytree(sandbox.pkg, sandbox.skin())


ANY_SCRIPT = "Niebieski Синий 蓝色"
SCENARIOS = [
    Row("first install", lambda s: None, 1, [SUCCESS], "installed"),
    # A client's first skin: its Skins folder is made.
    Row("first skin of a client", lambda s: os.rmdir(s.skins), 1, [SUCCESS],
        lambda s, before: dict(s.installed(before), **{
            os.path.relpath(s.skins, s.root): ("dir",)})),
    Row("reinstall", lambda s: s.install_earlier(), 1, [QUESTION, SUCCESS],
        "installed"),
    Row("reinstall refused", lambda s: s.install_earlier(), 0, [QUESTION],
        "unchanged", answer="n"),
    # The earlier skin, whole, is what remains.
    Row("failed copy", failing_copy, 0, [QUESTION, COPY_ERROR, "rollback"],
        "unchanged"),
    # Links standing as the working folders of an interrupted run, to a
    # folder of the user's and to the skin folder itself, are left alone.
    Row("links as working folders", lambda s: (
        s.install_earlier(), write(os.path.join(s.root, "outside"),
                                   {"f0001.dat": b"the user's"}),
        os.symlink(os.path.join(s.root, "outside"),
                   os.path.join(s.skin(), ".skinsetup-discard")),
        os.symlink(".", os.path.join(s.skin(), ".skinsetup-kept"))),
        1, [QUESTION, SUCCESS], "installed"),
    # Unattended: installed, declined (/S, in any case, answers No), or
    # rolled back, as the log's last line says too.
    Row("unattended install", lambda s: None, 0, [], "installed",
        tail="/S /LOG={log} Blue", log=outcome(TEXTS["kSuccess"], 0)),
    Row("unattended reinstall", lambda s: s.install_earlier(), 1602, [],
        "unchanged", tail="/s /LOG={log} Blue",
        log=outcome(TEXTS["kLogDeclined"], 1602)),
    Row("unattended failed copy", failing_copy, 1603, [], "unchanged",
        tail="/S /OVERWRITE /LOG={log} Blue",
        log=outcome(failure("kCannotCopy", 1)[1], 1603)),
    # Started by its full path, the installer still knows itself.
    Row("started by full path", lambda s: None, 1, [SUCCESS], "installed",
        started="full path"),
    # A package run from inside its own skin folder stays whole.
    Row("package inside its skin folder", installed_here, 1,
        [QUESTION, SUCCESS], "unchanged", started="skin folder"),
    Row("names in any script", lambda s: None, 1, [SUCCESS],
        lambda s, before: s.installed(before, ANY_SCRIPT), tail=ANY_SCRIPT,
        client="Łukasz Клиент 客户"),
    # Paths that the working folders lengthen past 260 characters.
    Row("deep install directory", lambda s: s.install_earlier(), 1,
        [QUESTION, SUCCESS], "installed", client=DEEP),
    # Read-only files are replaced, installed read-only, and put back so.
    Row("read-only reinstall", read_only, 1, [QUESTION, SUCCESS],
        "installed"),
    Row("read-only rollback", lambda s: read_only(s, folder=True), 0,
        [QUESTION, COPY_ERROR, "rollback"], "unchanged"),
]


def read_outcome(log):
    """The last line of a run's log, after the time."""
    with open(log, encoding="utf-8") as f:
        return f.read().splitlines()[-1][20:]


def check_scenarios(test, make_sandbox):
    """Runs every scenario in a fresh sandbox that `make_sandbox` makes for
    a client folder."""
    for row in SCENARIOS:
        with test.subTest(scenario=row.name):
            sandbox = make_sandbox(row.client)
            row.prepare(sandbox)
            before = sandbox.snapshot()
            log = os.path.join(sandbox.root, "run.log")
            got_status, got = sandbox.run_row(
                row.tail.replace("{log}", sandbox.shown(log)), row.answer,
                row.started)
            got = [COPY_ERROR if caption == COPY_ERROR[0] and re.match(
                sandbox.COPY_ERROR_TEXT, text) else (caption, text)
                for caption, text in got]
            expected = [b for box in row.boxes for b in (
                sandbox.rollback() if box == "rollback" else [box])]
            test.assertEqual((got_status, got),
                             (sandbox.exit_status(row.status), expected))
            if row.log:
                test.assertEqual(read_outcome(log), row.log)
                os.remove(log)
            test.assertEqual(sandbox.snapshot(), (
                before if row.after == "unchanged" else
                sandbox.installed(before) if row.after == "installed" else
                row.after(sandbox, before)))
