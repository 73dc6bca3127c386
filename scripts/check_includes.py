#!/usr/bin/env python3
"""Checks the program's include graph; prints each breach and exits 1.

- No circle: counting a .cpp and its .h as one unit, no unit reaches itself.
- One direction of dependency.  The library (lib/, whose files include each
  other as "codec/...", "job/...") has its layers api -> job, header -> codec
  -> system; the programs (app -> format -> platform) reach the library
  through include/q73.h alone; the library includes nothing of the programs.
- The codec's two directions apart: codec/enc/ never includes codec/dec/ nor
  the other way round, and what both use (codec/ itself) includes neither.

Usage: check_includes.py [SOURCE_ROOT]   (default: the folder above this script)
"""
import os
import re
import sys

TOPS = ("platform", "lib", "include", "format", "app", "tests")
# Layers of the library (by the folder below lib/) and of the programs.
LIBRARY = {"system": 0, "codec": 1, "header": 2, "job": 2, "api": 3}
PROGRAMS = {"platform": 0, "format": 1, "app": 2}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def sources(root):
    """Every source file, named as it is included: the library's without their
    lib/ and the public header without include/."""
    found = []
    for top in TOPS:
        for folder, _, names in os.walk(os.path.join(root, top)):
            for name in names:
                if name.endswith((".h", ".cpp", ".c")):
                    path = os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")
                    if path.startswith(("lib/", "include/")):
                        path = path.split("/", 1)[1]
                    found.append(path)
    return sorted(found)


def on_disk(path):
    """The path below the root of a file named as it is included."""
    top = path.split("/")[0]
    if top in LIBRARY:
        return "lib/" + path
    if "/" not in path:
        return "include/" + path
    return path


def breach(path, target):
    """Why `path` may not include `target`, or None."""
    top, target_top = path.split("/")[0], target.split("/")[0]
    if top == "tests" or target == "q73.h":
        return None
    if top in LIBRARY:
        if target_top not in LIBRARY:
            return "the library includes %s of the programs" % target
        if LIBRARY[target_top] > LIBRARY[top]:
            return "a layer above its own"
        return None
    if target_top in LIBRARY:
        return "a program's file reaches into the library (only q73.h is its door)"
    if top in PROGRAMS and target_top in PROGRAMS and PROGRAMS[target_top] > PROGRAMS[top]:
        return "a layer above its own"
    return None


def unit(path):
    return os.path.splitext(path)[0]


def includes(root, path, known):
    """The project files that `path` names in its #include "..." lines."""
    with open(os.path.join(root, on_disk(path)), errors="replace") as f:
        text = f.read()
    out = []
    for name in INCLUDE.findall(text):
        beside = os.path.normpath(os.path.join(os.path.dirname(path), name)).replace(os.sep, "/")
        below_lib = name[4:] if name.startswith("lib/") else name
        for candidate in (name, beside, below_lib):
            if candidate in known:
                out.append(candidate)
                break
    return out


def codec_side(path):
    """'enc', 'dec' or 'common' for a codec file, else None."""
    parts = path.split("/")
    if parts[0] != "codec":
        return None
    return parts[1] if len(parts) > 2 and parts[1] in ("enc", "dec") else "common"


def circles(graph):
    found, state = [], {}

    def visit(u, path):
        state[u] = 1
        path.append(u)
        for v in sorted(graph.get(u, ())):
            if state.get(v) == 1:
                found.append(" -> ".join(path[path.index(v):] + [v]))
            elif not state.get(v):
                visit(v, path)
        path.pop()
        state[u] = 2

    for u in sorted(graph):
        if not state.get(u):
            visit(u, [])
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    files = sources(root)
    known = set(files)
    breaches = []
    graph = {}
    edges = 0
    for path in files:
        for target in includes(root, path, known):
            edges += 1
            if unit(target) != unit(path):
                graph.setdefault(unit(path), set()).add(unit(target))
            why = breach(path, target)
            if why:
                breaches.append("%s includes %s: %s" % (path, target, why))
            side, target_side = codec_side(path), codec_side(target)
            if side and target_side and side != target_side and target_side != "common":
                breaches.append("%s (%s) includes %s (%s)" % (path, side, target, target_side))
    breaches += ["include circle: " + c for c in circles(graph)]
    for line in breaches:
        print(line)
    if breaches:
        return 1
    print("include graph: %d files, %d includes, no circle, layers and codec directions apart" % (len(files), edges))
    return 0


if __name__ == "__main__":
    sys.exit(main())
