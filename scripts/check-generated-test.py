#!/usr/bin/env python3
"""The generated-file check on a copy of the tree: it passes the copy as it is
and fails, naming the file, once a generated file or its source is edited by hand."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SCRIPT = os.path.join(HERE, "check-generated.py")


def copy_tree(work):
    shutil.copytree(os.path.join(ROOT, "resources"), os.path.join(work, "resources"))
    os.makedirs(os.path.join(work, "platform"))
    for f in ("gen_codepage_tables.py", "CodePageTables.inc"):
        shutil.copy2(os.path.join(ROOT, "platform", f), os.path.join(work, "platform", f))


def check(work):
    r = subprocess.run([sys.executable, SCRIPT, "--root", work], capture_output=True, text=True)
    return r.returncode, r.stdout


class GeneratedCheckTest(unittest.TestCase):
    def test_copy_as_committed_passes(self):
        with tempfile.TemporaryDirectory() as work:
            copy_tree(work)
            code, out = check(work)
            self.assertEqual(code, 0, out)

    def test_edits_by_hand_are_found(self):
        cases = [
            ("platform/CodePageTables.inc", lambda t: t.replace("0x00C7", "0x00C8", 1),
             "platform/CodePageTables.inc differs"),
            ("resources/strings/Strings.tsv", lambda t: t + "9999\tx\ty\tz\n",
             "resources/strings/LanguageStrings.cpp differs"),
        ]
        for path, change, expected in cases:
            with self.subTest(path), tempfile.TemporaryDirectory() as work:
                copy_tree(work)
                full = os.path.join(work, path)
                with open(full, encoding="utf-8") as f:
                    text = f.read()
                with open(full, "w", encoding="utf-8") as f:
                    f.write(change(text))
                code, out = check(work)
                self.assertEqual(code, 1, out)
                self.assertIn(expected, out)

if __name__ == "__main__":
    unittest.main()
