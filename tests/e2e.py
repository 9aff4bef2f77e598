"""What the end-to-end suites share: the installer's texts, from the golden
file texts.txt, folder snapshots, a sandbox of a client and a package, and
the scenarios that both the POSIX build and the Windows build under Wine
must pass."""

import ast
import os
import re
import shutil
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


def write(folder, files, mtime_ns=None):
    os.makedirs(folder, exist_ok=True)
    for name, content in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(content)
        if mtime_ns is not None:
            os.utime(os.path.join(folder, name), ns=(mtime_ns, mtime_ns))


def snapshot(folder, tick_ns=1, fold=False):
    """Every entry below `folder`: kind, content (or link target) and time
    in ticks of `tick_ns`; with `fold`, names in lower case."""
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
                tree[rel] = ("file", read(path),
                             os.lstat(path).st_mtime_ns // tick_ns)
    return tree


def write_registry(path, client):
    """A .reg file of the client in the folder `client`, at revision 5, as
    the POSIX installer reads it."""
    with open(path, "w") as f:
        f.write('REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT]\n'
                '"Install Directory"="%s"\n[HKEY_CURRENT_USER\\SOFTWARE'
                '\\QV CLIENT\\NEWREVISION]\n"SKIN-COMPATIBILITY"=dword:5\n'
                % client)


def package_files(count, size, tag):
    """`count` files of `size` bytes whose contents tell them apart."""
    return {"f%04d.dat" % i: (("%s-%04d-" % (tag, i)).encode() * size)[:size]
            for i in range(count)}


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
        self.skins = os.path.join(self.root, client, "Skins")
        self.pkg = os.path.join(self.root, "pkg")
        self.new, self.old = files, {}
        self.installer = os.path.basename(program)
        write(self.pkg, dict(files, **{"cliver.map": MAP}))
        shutil.copy2(program, self.pkg)
        os.makedirs(self.skins)

    def skin(self, name="Blue"):
        return os.path.join(self.skins, name)

    def shown(self, path):
        """The path as the installer shows it."""
        return path

    def rollback(self, name="Blue"):
        """The two boxes a rollback of skin `name` ends with."""
        return [(TEXTS["kDeleteDirCaption"],
                 self.shown(os.path.join(self.skin(name), "*"))),
                failure("kCannotCopy", 1)]

    def install_earlier(self):
        """An earlier installation of Blue: older package files and a file
        of the user's own, from long ago."""
        self.old = {name: b"old " + content[:len(content) // 2]
                    for name, content in self.new.items()}
        write(self.skin(), dict(self.old, **{"user.cfg": b"mine"}), 10 ** 18)

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


# What both builds must do, on the same folders: (name, preparation of the
# sandbox, answer to the question, status, boxes, the sandbox afterwards).
SCENARIOS = [
    ("first install", lambda s: None, "y", 1, [SUCCESS], "installed"),
    ("reinstall", lambda s: s.install_earlier(), "y", 1, [QUESTION, SUCCESS],
     "installed"),
    ("reinstall refused", lambda s: s.install_earlier(), "n", 0, [QUESTION],
     "unchanged"),
    # A folder stands where a package file must go: the earlier skin,
    # whole, is what remains.
    ("failed copy", lambda s: (s.install_earlier(), os.remove(
        os.path.join(s.skin(), "f0002.dat")), os.mkdir(
        os.path.join(s.skin(), "f0002.dat"))), "y", 0,
     [QUESTION, COPY_ERROR, "rollback"], "unchanged"),
    # Links standing as the working folders of an interrupted run, to a
    # folder of the user's and to the skin folder itself, are left alone.
    ("links as working folders", lambda s: (
        s.install_earlier(), write(os.path.join(s.root, "outside"),
                                   {"f0001.dat": b"the user's"}),
        os.symlink(os.path.join(s.root, "outside"),
                   os.path.join(s.skin(), ".skinsetup-discard")),
        os.symlink(".", os.path.join(s.skin(), ".skinsetup-kept"))),
     "y", 1, [QUESTION, SUCCESS], "installed"),
]


def check_scenarios(test, make_sandbox):
    """Runs every scenario in a fresh sandbox; "rollback" stands for the
    two boxes a rollback ends with."""
    for name, prepare, answer, status, boxes, after in SCENARIOS:
        with test.subTest(scenario=name):
            sandbox = make_sandbox()
            prepare(sandbox)
            before = sandbox.snapshot()
            got_status, got = sandbox.run(answer=answer)
            got = [COPY_ERROR if caption == COPY_ERROR[0] and re.match(
                sandbox.COPY_ERROR_TEXT, text) else (caption, text)
                for caption, text in got]
            expected = [b for box in boxes for b in (
                sandbox.rollback() if box == "rollback" else [box])]
            test.assertEqual((got_status, got), (status, expected))
            test.assertEqual(sandbox.snapshot(), before if after == "unchanged"
                             else sandbox.installed(before))
