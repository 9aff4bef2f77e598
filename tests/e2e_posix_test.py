#!/usr/bin/env python3
"""The POSIX installer end to end, on real folders with a .reg registry.

Usage: e2e_posix_test.py PATH_TO_SETUP
"""

import os
import sys
import unittest

import e2e_support
from e2e_support import (CANNOT_INSTALL, INCOMPATIBLE, MAP, NOT_INSTALLED,
                         QUESTION, SUCCESS, TITLE, Sandbox, failure, snapshot)

class StartTest(unittest.TestCase):
    def test_empty_tails_fail_before_the_registry_is_read(self):
        box = Sandbox(self)
        # A malformed registry would be reported if it were read.
        with open(box.registry, "w") as f:
            f.write("not a registry\n")
        for args in ([], [""], ["  \t "], [" ", "\t"]):
            status, boxes, stderr = box.run(*args)
            self.assertEqual(status, 0)
            self.assertEqual(boxes, [failure(CANNOT_INSTALL, 0)])
            self.assertNotIn("registry", stderr)

    def test_names_that_leave_the_skins_folder_write_and_delete_nothing(self):
        box = Sandbox(self)
        with open(os.path.join(box.client, "client.cfg"), "w") as f:
            f.write("precious")
        before = snapshot(box.root)
        for name in ("..", ".", "../x", "a/b", "/tmp", "..\\x"):
            status, boxes, _ = box.run(name, answer="yes")
            self.assertEqual((status, boxes), (0, [failure(CANNOT_INSTALL, 0)]),
                             name)
        self.assertEqual(snapshot(box.root), before)


class ClientTest(unittest.TestCase):
    def test_missing_registry_file_is_code_2(self):
        box = Sandbox(self)
        os.remove(box.registry)
        self.assertEqual(box.run("Blue")[:2], (0, [failure(NOT_INSTALLED, 2)]))

    def test_key_without_install_directory_is_code_1(self):
        box = Sandbox(self)
        box.write_registry(None, 5, "[HKEY_CURRENT_USER\\SOFTWARE\\QV CLIENT]\r\n")
        self.assertEqual(box.run("Blue")[:2], (0, [failure(NOT_INSTALLED, 1)]))

    def test_incompatible_revision_is_code_3(self):
        box = Sandbox(self)
        box.write_registry(box.client, revision=8)
        self.assertEqual(box.run("Blue")[:2], (0, [failure(INCOMPATIBLE, 3)]))
        self.assertFalse(os.path.exists(box.skin()))

    def test_missing_skins_folder_is_created_for_an_accepted_skin(self):
        box = Sandbox(self)
        os.rmdir(box.skins)
        self.assertEqual(box.run("Blue")[:2], (1, [SUCCESS]))
        self.assertTrue(os.path.isfile(os.path.join(box.skin(), "cliver.map")))


class ScanTest(unittest.TestCase):
    def test_package_without_its_map_is_code_10(self):
        for other_name in (None, "CLIVER.MAP"):
            box = Sandbox(self)
            os.remove(os.path.join(box.pkg, "cliver.map"))
            if other_name:
                box.add(other_name, MAP)
            self.assertEqual(box.run("Blue")[:2],
                             (0, [failure(CANNOT_INSTALL, 10)]))

    def test_subfolder_is_code_8(self):
        box = Sandbox(self)
        os.mkdir(os.path.join(box.pkg, "extra"))
        self.assertEqual(box.run("Blue")[:2], (0, [failure(CANNOT_INSTALL, 8)]))

    def test_package_larger_than_the_free_space_is_refused(self):
        box = Sandbox(self)
        # A sparse file of nearly 4 GiB: counted, never written.
        with open(os.path.join(box.pkg, "huge.bin"), "wb") as f:
            f.truncate(4 * 1024 ** 3 - 2)
        free = os.statvfs(box.skins)
        if free.f_bfree * free.f_frsize > 4 * 1024 ** 3:
            self.skipTest("this file system has more than 4 GiB free")
        self.assertEqual(box.run("Blue")[:2],
                         (0, [failure("Spazio su disco insufficiente", 1)]))


class CopyTest(unittest.TestCase):
    def test_fresh_install_copies_every_file_byte_for_byte(self):
        box = Sandbox(self)
        status, boxes, _ = box.run("Blue")
        self.assertEqual((status, boxes), (1, [SUCCESS]))
        installed = snapshot(box.skin())
        package = snapshot(box.pkg)
        del package["setup"]
        self.assertEqual(installed, package)  # Contents and times.

    def test_installer_started_through_its_full_path_copies_itself(self):
        box = Sandbox(self)
        status, _, _ = box.run("Blue", program=os.path.join(box.pkg, "setup"))
        self.assertEqual(status, 1)
        self.assertTrue(os.path.isfile(os.path.join(box.skin(), "setup")))

    def test_tail_keeps_blanks_and_quotes(self):
        box = Sandbox(self)
        self.assertEqual(box.run("My Skin ")[0], 1)
        self.assertTrue(os.path.isdir(box.skin("My Skin ")))
        self.assertEqual(box.run('"Red"')[0], 1)
        self.assertTrue(os.path.isdir(box.skin('"Red"')))
        self.assertEqual(box.run("\tGreen", "Leaf")[0], 1)
        self.assertTrue(os.path.isdir(box.skin("Green Leaf")))

    def test_reinstall_asks_first(self):
        box = Sandbox(self)
        self.assertEqual(box.run("Blue")[0], 1)
        with open(os.path.join(box.skin(), "mine.txt"), "w") as f:
            f.write("user file")
        before = snapshot(box.skins)

        status, boxes, stderr = box.run("Blue")  # No terminal: answered No.
        self.assertEqual((status, boxes),
                         (0, [(TITLE, QUESTION, "[S\u00ec] [No]", "No")]))
        self.assertIn("SKINSETUP_ANSWER=yes", stderr)
        self.assertEqual(snapshot(box.skins), before)

        box.add("b.txt", b"new blue\n")
        status, boxes, _ = box.run("Blue", answer="yes")
        self.assertEqual(status, 1)
        self.assertEqual(boxes, [(TITLE, QUESTION, "[S\u00ec] [No]", "S\u00ec"),
                                 SUCCESS])
        with open(os.path.join(box.skin(), "b.txt"), "rb") as f:
            self.assertEqual(f.read(), b"new blue\n")
        with open(os.path.join(box.skin(), "mine.txt")) as f:
            self.assertEqual(f.read(), "user file")
        self.assertEqual(sorted(os.listdir(box.skin())),
                         ["a.bmp", "b.txt", "cliver.map", "mine.txt"])


if __name__ == "__main__":
    e2e_support.SETUP = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
