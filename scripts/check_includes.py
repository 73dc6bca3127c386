#!/usr/bin/env python3
"""Checks the program's include graph; prints each breach and exits 1.

- No circle: counting a .cpp and its .h as one unit, no unit reaches itself.
- One direction of dependency: app -> format -> job -> codec -> platform; nothing
  includes a header of a layer above its own.
- The codec's two directions apart: codec/enc/ never includes codec/dec/ nor
  the other way round, and what both use (codec/ itself) includes neither.

Usage: check_includes.py [SOURCE_ROOT]   (default: the folder above this script)
"""
import os
import re
import sys

TOPS = ("platform", "codec", "job", "format", "app", "tests")
LAYERS = {"platform": 0, "codec": 1, "job": 2, "format": 3, "app": 4}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def sources(root):
    found = []
    for top in TOPS:
        for folder, _, names in os.walk(os.path.join(root, top)):
            for name in names:
                if name.endswith((".h", ".cpp")):
                    found.append(os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/"))
    return sorted(found)


def unit(path):
    return os.path.splitext(path)[0]


def includes(root, path, known):
    """The project files that `path` names in its #include "..." lines."""
    with open(os.path.join(root, path), errors="replace") as f:
        text = f.read()
    out = []
    for name in INCLUDE.findall(text):
        beside = os.path.normpath(os.path.join(os.path.dirname(path), name)).replace(os.sep, "/")
        for candidate in (name, beside):
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
            top, target_top = path.split("/")[0], target.split("/")[0]
            if top in LAYERS and target_top in LAYERS and LAYERS[target_top] > LAYERS[top]:
                breaches.append("%s includes %s, a layer above its own" % (path, target))
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
