#!/usr/bin/env python3
"""Checks that every #include of the tree points at its own layer or one below.

The layers and what each may use are those of the build (one CMake target per
layer, linked only downward). A layer may use what the layers it uses may use.
Tests, benchmarks, fuzz targets and the mvarc driver may use the layer they
exercise and everything below it. Only platform/ui/ and platform/desktop/ (and
the tests of the layers that stand on them) include Qt headers.

Usage: check-layers.py [--root DIR] [--allow FILE]
Prints one line per offending include and exits 1 when there is any. Lines of
the allow-list file ("path: included/path", "#" starts a comment) are accepted
for now; an entry that no longer matches anything is reported, so the list
only shrinks.
"""
import argparse
import os
import re
import sys

# (layer, folder prefixes, layers it uses directly). The first matching prefix
# decides, so deeper folders come before their parents.
LAYERS = [
    # The error numbers' names: constants only, for every layer, the codecs too.
    ("numbers", ["resources/ArcErrorNumbers.h"], []),
    ("codecs", ["archive/codecs/"], ["numbers"]),
    ("resources", ["resources/"], ["numbers"]),
    ("ui", ["platform/ui/"], ["platform"]),
    ("desktop", ["platform/desktop/"], ["platform"]),
    ("platform", ["platform/"], ["resources"]),
    ("framework", ["archive/framework/"], ["platform", "resources"]),
    ("formats", ["archive/formats/"], ["framework"]),
    ("libraries", ["archive/libraries/"], ["codecs", "formats", "framework", "platform"]),
    ("archive", ["archive/"], ["framework", "codecs", "formats", "libraries"]),
    ("zipwriter", ["zipwriter/"], ["framework", "codecs", "platform"]),
    ("controls", ["controls/"], ["ui", "desktop"]),
    ("stubs", ["app/packager/stub/"], ["codecs", "framework", "platform"]),
    ("app", ["app/"], ["ui", "desktop", "controls", "archive", "zipwriter", "shellext"]),
    ("shellext", ["shellext/"], ["platform"]),
]
QT_LAYERS = {"ui", "desktop"}
# Programs beside the layers: what they may use.
ENGINES = ["archive", "zipwriter"]
TOOLS = [
    ("support", ["tests/support/"], []),
    ("mvarc", ["tests/tools/"], ENGINES + ["support"]),
    ("bench", ["bench/"], ENGINES + ["app"]),
    ("fuzz", ["fuzz/"], ENGINES),
]
SOURCE = re.compile(r"\.(h|hpp|c|cc|cpp|inc)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
QT_HEADER = re.compile(r"^(Q[A-Z]\w*|Qt\w*/.*|q\w+\.h)$")
SKIP_DIRS = {".git", "fixtures"}


def closure(direct):
    """Every layer reachable from each layer through the 'uses' edges."""
    out = {}
    for name in direct:
        seen, todo = set(), list(direct[name])
        while todo:
            n = todo.pop()
            if n not in seen:
                seen.add(n)
                todo.extend(direct.get(n, []))
        out[name] = seen
    return out


DIRECT = {name: uses for name, _, uses in LAYERS + TOOLS}
USES = closure(DIRECT)


def layer_of(path):
    """The layer of a path relative to the root, or None outside every layer."""
    for name, prefixes, _ in TOOLS:
        if any(path.startswith(p) for p in prefixes):
            return name
    if path.startswith("tests/"):
        # A test folder mirrors the folder it tests: tests/archive/readers -> archive.
        inner = layer_of(path[len("tests/"):])
        return ("test", inner) if inner else None
    for name, prefixes, _ in LAYERS:
        if any(path.startswith(p) for p in prefixes):
            return name
    return None


def may_use(layer, target):
    if isinstance(layer, tuple):  # a test of a layer: that layer, below, and the test helpers
        tested = layer[1]
        if isinstance(target, tuple):
            return target[1] == tested or target[1] in USES[tested]
        return target in ("support", tested) or target in USES[tested] or target in USES["support"]
    if isinstance(target, tuple):
        return False
    return target == layer or target in USES[layer]


def may_include_qt(layer):
    if isinstance(layer, tuple):
        tested = layer[1]
        return tested in QT_LAYERS or bool(USES[tested] & QT_LAYERS)
    return layer in QT_LAYERS


def walk(root):
    for folder, dirs, files in os.walk(root):
        rel_folder = os.path.relpath(folder, root)
        dirs[:] = sorted(d for d in dirs if d not in SKIP_DIRS and not d.startswith("build")
                         and not (rel_folder == "." and d.startswith(".")))
        for f in sorted(files):
            if SOURCE.search(f):
                yield os.path.normpath(os.path.join(rel_folder, f)).replace(os.sep, "/")


def resolve(root, path, included):
    """The included file relative to the root: beside the including file, else rooted at the tree."""
    beside = os.path.normpath(os.path.join(os.path.dirname(path), included)).replace(os.sep, "/")
    if os.path.isfile(os.path.join(root, beside)):
        return beside
    if os.path.isfile(os.path.join(root, included)):
        return os.path.normpath(included).replace(os.sep, "/")
    return None


def check(root, allowed):
    problems, used = [], set()
    for path in walk(root):
        layer = layer_of(path)
        if layer is None:
            continue
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                bracket, included = m.groups()
                if bracket == "<" and QT_HEADER.match(included):
                    if may_include_qt(layer):
                        continue
                    problem = "%s:%d: Qt header <%s> outside platform/ui and platform/desktop" % (
                        path, number, included)
                else:
                    target_path = resolve(root, path, included) if bracket == '"' else None
                    target = layer_of(target_path) if target_path else None
                    if target is None or may_use(layer, target):
                        continue
                    problem = "%s:%d: %s includes %s of the layer %s, which it may not use" % (
                        path, number, describe(layer), target_path, describe(target))
                key = "%s: %s" % (path, included)
                if key in allowed:
                    used.add(key)
                    continue
                problems.append(problem)
    for key in sorted(set(allowed) - used):
        problems.append("allow-list entry matches nothing any more (remove it): %s" % key)
    return problems


def describe(layer):
    return "the test of %s" % layer[1] if isinstance(layer, tuple) else layer


def read_allow_list(path):
    if not path or not os.path.exists(path):
        return set()
    out = set()
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                out.add(re.sub(r"\s*:\s*", ": ", line, count=1))
    return out


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Checks the include graph against the layer table.")
    parser.add_argument("--root", default=os.path.dirname(here))
    parser.add_argument("--allow", default=os.path.join(here, "layer-allowlist.txt"))
    args = parser.parse_args()
    problems = check(args.root, read_allow_list(args.allow))
    for p in problems:
        print(p)
    if problems:
        print("layer check: %d problem(s)" % len(problems))
        return 1
    print("layer check: clean")
    return 0


if __name__ == "__main__":
    sys.exit(main())
