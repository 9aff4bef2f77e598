#!/usr/bin/env python3
"""What Windows learns of a built setup.exe before it runs a line of it:
its format, subsystem and imports (objdump), and the manifest and version
information in its resources (icoutils' wrestool).

Usage: exe_test.py SETUP_EXE win32|win64 PROJECT_VERSION
"""

import re
import shutil
import struct
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ET

EXE = ARCH = VERSION = None
FORMATS = {"win32": "pei-i386", "win64": "pei-x86-64"}


def resource(kind):
    return subprocess.run(["wrestool", "-x", "--raw", "--type=%d" % kind, EXE],
                          capture_output=True, check=True).stdout


class ExeTest(unittest.TestCase):
    def test_format_subsystem_and_imports(self):
        objdump = (shutil.which("x86_64-w64-mingw32-objdump") or
                   shutil.which("i686-w64-mingw32-objdump"))
        head = subprocess.run([objdump, "-p", EXE], capture_output=True,
                              text=True, check=True).stdout
        self.assertIn("file format " + FORMATS[ARCH] + "\n", head)
        self.assertRegex(head, r"Subsystem\s+00000002\s+\(Windows GUI\)")
        self.assertEqual(sorted(re.findall(r"DLL NAME: (\S+)", head.upper())),
                         ["ADVAPI32.DLL", "BCRYPT.DLL", "KERNEL32.DLL",
                          "MSVCRT.DLL", "USER32.DLL"])

    def test_manifest_runs_as_the_caller_in_utf8(self):
        elements = list(ET.fromstring(resource(24)).iter())
        of = lambda tag: [e for e in elements if e.tag.endswith("}" + tag)]
        self.assertEqual(of("requestedExecutionLevel")[0].attrib,
                         {"level": "asInvoker", "uiAccess": "false"})
        self.assertEqual([e.text for e in of("activeCodePage")], ["UTF-8"])

    def test_every_resource_is_italian(self):
        listing = subprocess.run(["wrestool", "-l", EXE], capture_output=True,
                                 text=True, check=True).stdout
        self.assertEqual(set(re.findall(r"--language=(\d+)", listing)),
                         {"1040"})

    def test_version_information(self):
        data = resource(16)
        # Keys and values are UTF-16 strings, each padded to 32 bits.
        texts = dict(re.findall(r"(\w+)\0+([^\0]+)\0",
                                data.decode("utf-16-le", "replace")))
        for key in ("FileVersion", "ProductVersion"):
            self.assertEqual(texts.get(key), VERSION, key)
        fixed = data.index(struct.pack("<I", 0xFEEF04BD))
        ms_ls = struct.unpack_from("<4I", data, fixed + 8)
        self.assertEqual(["%d.%d.%d.%d" % (a >> 16, a & 0xFFFF, b >> 16,
                                           b & 0xFFFF)
                          for a, b in (ms_ls[0:2], ms_ls[2:4])],
                         [VERSION + ".0"] * 2)


if __name__ == "__main__":
    EXE, ARCH, VERSION = sys.argv[1:4]
    del sys.argv[1:4]
    unittest.main(verbosity=2)
