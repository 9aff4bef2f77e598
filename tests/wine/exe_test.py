#!/usr/bin/env python3
"""What Windows learns of a built setup.exe before it runs a line of it:
its format, subsystem and imports (objdump), and the manifest and version
information in its resources (icoutils' wrestool).

Usage: exe_test.py SETUP_EXE win32|win64 PROJECT_VERSION
"""

import shutil
import struct
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ET

EXE = ARCH = VERSION = None
FORMATS = {"win32": "pei-i386", "win64": "pei-x86-64"}
SYSTEM_DLLS = ["ADVAPI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL", "USER32.DLL"]
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPAT = "{urn:schemas-microsoft-com:compatibility.v1}"
WINDOWS_VISTA_TO_11 = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  # Vista
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # 10 and 11
}


def resource(kind):
    return subprocess.run(["wrestool", "-x", "--raw", "--type=%d" % kind, EXE],
                          capture_output=True, check=True).stdout


def version_strings(data):
    """The text values of a version resource, by key, and its fixed part's
    file and product versions."""
    texts = {}

    def walk(start, end):
        while start + 6 <= end:
            length, value_length, is_text = struct.unpack_from("<HHH", data,
                                                               start)
            key_end = start + 6
            while data[key_end:key_end + 2] != b"\0\0":
                key_end += 2
            key = data[start + 6:key_end].decode("utf-16-le")
            value = (key_end + 2 + 3) & ~3
            size = value_length * 2 if is_text else value_length
            if is_text and value_length:
                texts[key] = data[value:value + size].decode(
                    "utf-16-le").rstrip("\0")
            walk((value + size + 3) & ~3, start + length)
            start = (start + length + 3) & ~3

    walk(0, len(data))
    fixed = data.index(struct.pack("<I", 0xFEEF04BD))
    ms_ls = struct.unpack_from("<4I", data, fixed + 8)
    versions = ["%d.%d.%d.%d" % (a >> 16, a & 0xFFFF, b >> 16, b & 0xFFFF)
                for a, b in (ms_ls[0:2], ms_ls[2:4])]
    return texts, versions


class ExeTest(unittest.TestCase):
    def test_format_subsystem_and_imports(self):
        objdump = (shutil.which("x86_64-w64-mingw32-objdump") or
                   shutil.which("i686-w64-mingw32-objdump"))
        head = subprocess.run([objdump, "-p", EXE], capture_output=True,
                              text=True, check=True).stdout
        self.assertIn("file format " + FORMATS[ARCH] + "\n", head)
        self.assertRegex(head, r"Subsystem\s+00000002\s+\(Windows GUI\)")
        dlls = sorted(line.split()[-1].upper() for line in head.splitlines()
                      if "DLL Name:" in line)
        self.assertEqual(dlls, SYSTEM_DLLS)

    def test_manifest(self):
        manifest = ET.fromstring(resource(24))
        level = manifest.find(".//%srequestedExecutionLevel" % ASM_V3)
        self.assertEqual(level.attrib, {"level": "highestAvailable",
                                        "uiAccess": "false"})
        self.assertEqual({e.get("Id") for e in manifest.iter(COMPAT +
                                                             "supportedOS")},
                         WINDOWS_VISTA_TO_11)
        dpi = [e.text for e in manifest.iter() if e.tag.endswith("}dpiAware")]
        self.assertEqual(dpi, ["true/pm"])
        dependencies = [e.get("name") for e in manifest.iter(
            ASM_V1 + "assemblyIdentity") if e.get("version") == "6.0.0.0"]
        self.assertEqual(dependencies, ["Microsoft.Windows.Common-Controls"])

    def test_version_information(self):
        texts, versions = version_strings(resource(16))
        self.assertEqual(texts["FileDescription"], "Quintavo Skins Installer")
        self.assertEqual(texts["ProductName"], "Quintavo")
        self.assertEqual(texts["OriginalFilename"], "setup.exe")
        self.assertEqual(texts["FileVersion"], VERSION)
        self.assertEqual(texts["ProductVersion"], VERSION)
        self.assertEqual(versions, [VERSION + ".0"] * 2)


if __name__ == "__main__":
    EXE, ARCH, VERSION = sys.argv[1:4]
    del sys.argv[1:4]
    unittest.main(verbosity=2)
