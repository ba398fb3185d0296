#!/usr/bin/env python3
"""Checks that every committed generated file matches what its script makes now.

Each generator runs on a copy of the tree in a temporary folder (so the working
tree is never touched) and its outputs are compared byte for byte with the
committed files. Exits 1 and names every file that differs or is missing.

Usage: check-generated.py [--root DIR]
"""
import argparse
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile

# (what to copy, command run in the copy's root, files it makes, the file its
# standard output goes to: None when the script writes its files itself).
GENERATORS = [
    (["platform/gen_codepage_tables.py"], ["platform/gen_codepage_tables.py"],
     ["platform/CodePageTables.inc"], "platform/CodePageTables.inc"),
    (["resources"], ["resources/bitmaps/MakeStrips.py"],
     ["resources/bitmaps/BitmapData.cpp", "resources/bitmaps/ERROR.png", "resources/bitmaps/EXCLAM.png",
      "resources/bitmaps/INFORM.png", "resources/bitmaps/INTERR.png"], None),
    (["resources"], ["resources/sounds/MakeSounds.py"],
     ["resources/sounds/SoundData.cpp"] +
     ["resources/sounds/%s.wav" % n for n in ("BEEP", "CLEK", "CLICK", "INICIO", "LIXO", "NOTICIA")], None),
    (["resources"], ["resources/strings/MakeStringTables.py"], ["resources/strings/LanguageStrings.cpp"], None),
]


def run(root):
    problems = []
    for copies, command, outputs, stdout_file in GENERATORS:
        with tempfile.TemporaryDirectory() as work:
            for c in copies:
                src, dst = os.path.join(root, c), os.path.join(work, c)
                os.makedirs(os.path.dirname(dst), exist_ok=True)
                if os.path.isdir(src):
                    shutil.copytree(src, dst)
                else:
                    shutil.copy2(src, dst)
            for o in outputs:  # what the script must make afresh
                if os.path.exists(os.path.join(work, o)):
                    os.remove(os.path.join(work, o))
            r = subprocess.run([sys.executable, "-B"] + command, cwd=work, capture_output=True)
            if r.returncode != 0:
                problems.append("%s failed: %s" % (command[0], r.stderr.decode(errors="replace").strip()))
                continue
            if stdout_file:
                with open(os.path.join(work, stdout_file), "wb") as f:
                    f.write(r.stdout)
            for o in outputs:
                made, committed = os.path.join(work, o), os.path.join(root, o)
                if not os.path.exists(made):
                    problems.append("%s did not make %s" % (command[0], o))
                elif not os.path.exists(committed):
                    problems.append("%s is made by %s but not committed" % (o, command[0]))
                elif not filecmp.cmp(made, committed, shallow=False):
                    problems.append("%s differs from what %s makes: run the script and commit" % (o, command[0]))
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    args = parser.parse_args()
    problems = run(args.root)
    for p in problems:
        print(p)
    print("generated files: %s" % ("%d problem(s)" % len(problems) if problems else "up to date"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
