#!/usr/bin/env python3
"""The layer check on small trees made for each case: it passes a tree whose
includes point down, and fails on an include that points up, on a Qt header
outside the Qt layers and on a stale allow-list entry."""
import importlib.util
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "check-layers.py")
spec = importlib.util.spec_from_file_location("check_layers", SCRIPT)
check_layers = importlib.util.module_from_spec(spec)
spec.loader.exec_module(check_layers)

# A tree whose includes all point down (or sideways within a layer).
CLEAN = {
    "archive/codecs/Inflate.h": '#pragma once\n#include <cstdint>\n',
    "archive/codecs/Inflate.cpp": '#include "archive/codecs/Inflate.h"\n#include "resources/ArcErrorNumbers.h"\n'
                                  '#include <queue>\n',
    "resources/ArcErrorNumbers.h": '#pragma once\n',
    "platform/FileSystem.h": '#pragma once\n#include "resources/StringTable.h"\n',
    "resources/StringTable.h": '#pragma once\n',
    "archive/framework/Crc.h": '#pragma once\n#include "platform/FileSystem.h"\n',
    "archive/libraries/rar/Unrar.cpp": '#include "archive/codecs/Inflate.h"\n#include "archive/framework/Crc.h"\n',
    "archive/readers/UnRar.cpp": '#include "archive/libraries/rar/Unrar.cpp"\n',
    "platform/ui/Form.cpp": '#include <QWidget>\n#include <QtCore/QObject>\n#include "platform/FileSystem.h"\n',
    "controls/Strip.cpp": '#include "platform/ui/Form.cpp"\n',
    "app/Main.cpp": '#include "controls/Strip.cpp"\n#include "archive/readers/UnRar.cpp"\n',
    "tests/support/TestSupport.h": '#pragma once\n',
    "tests/archive/codecs/InflateTest.cpp": '#include "archive/codecs/Inflate.h"\n'
                                            '#include "tests/support/TestSupport.h"\n',
    "tests/controls/StripTest.cpp": '#include <QApplication>\n#include "controls/Strip.cpp"\n',
    "fuzz/FuzzUnRar.cpp": '#include "archive/readers/UnRar.cpp"\n',
}


def make_tree(root, files):
    for path, text in files.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)


def run(files, allow=None):
    """Runs the script on a tree of files: exit code and output."""
    with tempfile.TemporaryDirectory() as root:
        make_tree(root, files)
        allow_path = os.path.join(root, "allow.txt")
        with open(allow_path, "w", encoding="utf-8") as f:
            f.write(allow or "")
        r = subprocess.run([sys.executable, SCRIPT, "--root", root, "--allow", allow_path],
                           capture_output=True, text=True)
        return r.returncode, r.stdout


class LayerCheckTest(unittest.TestCase):
    def test_clean_tree_passes(self):
        code, out = run(CLEAN)
        self.assertEqual(code, 0, out)
        self.assertIn("clean", out)

    def test_wrong_includes_fail(self):
        cases = [
            ("codec includes the framework", "archive/codecs/Bad.cpp", '#include "archive/framework/Crc.h"\n',
             "codecs includes archive/framework/Crc.h of the layer framework"),
            ("codec includes a resource other than the error numbers", "archive/codecs/Bad.cpp",
             '#include "resources/StringTable.h"\n', "codecs includes resources/StringTable.h of the layer resources"),
            ("platform includes a reader", "platform/Bad.cpp", '#include "archive/readers/UnRar.cpp"\n',
             "platform includes archive/readers/UnRar.cpp of the layer archive"),
            ("library includes a reader", "archive/libraries/ace/Bad.cpp",
             '  #  include "archive/readers/UnRar.cpp"\n', "of the layer archive"),
            ("format records include a library", "archive/formats/rar/Bad.cpp",
             '#include "archive/libraries/rar/Unrar.cpp"\n', "formats includes archive/libraries/rar/Unrar.cpp"),
            ("format records include a reader", "archive/formats/zip/Bad.cpp",
             '#include "archive/readers/UnRar.cpp"\n', "of the layer archive"),
            ("ui includes a control", "platform/ui/Bad.cpp", '#include "controls/Strip.cpp"\n',
             "ui includes controls/Strip.cpp"),
            ("control includes the application", "controls/Bad.cpp", '#include "app/Main.cpp"\n',
             "controls includes app/Main.cpp"),
            ("codec test includes a reader", "tests/archive/codecs/BadTest.cpp",
             '#include "archive/readers/UnRar.cpp"\n', "the test of codecs includes"),
            ("include beside the file", "archive/framework/Bad.cpp", '#include "../readers/UnRar.cpp"\n',
             "framework includes archive/readers/UnRar.cpp"),
            ("Qt in a control", "controls/Qt.cpp", '#include <QWidget>\n', "Qt header <QWidget>"),
            ("Qt in an engine", "archive/readers/Qt.cpp", '#include <QtCore/QString>\n', "Qt header"),
            ("Qt in an engine test", "tests/archive/codecs/QtTest.cpp", '#include <QString>\n', "Qt header"),
        ]
        for what, path, text, expected in cases:
            with self.subTest(what):
                files = dict(CLEAN)
                files[path] = text
                code, out = run(files)
                self.assertEqual(code, 1, out)
                self.assertIn(path + ":1:", out)
                self.assertIn(expected, out)

    def test_allow_list_accepts_listed_includes_and_reports_stale_ones(self):
        files = dict(CLEAN)
        files["controls/Bad.cpp"] = '#include "app/Main.cpp"\n'
        code, out = run(files, "# waiting for the split\ncontrols/Bad.cpp: app/Main.cpp\n")
        self.assertEqual(code, 0, out)
        code, out = run(CLEAN, "controls/Bad.cpp: app/Main.cpp\n")
        self.assertEqual(code, 1, out)
        self.assertIn("matches nothing", out)

    def test_every_layer_uses_only_layers_below(self):
        # The table itself has no cycle: no layer reaches itself.
        for name, uses in check_layers.USES.items():
            self.assertNotIn(name, uses, name)


if __name__ == "__main__":
    unittest.main()
