#!/usr/bin/env python3
"""Checks the direction of dependence between the rooms of a source tree.

Each checked tree keeps a layers.txt at its root naming its rooms (folders
below it), the lowest first; the tree's root folder itself is named ".". A
file may include headers of its own room and of rooms named before it, never
of a room named after it. Besides, files taken as modules (a .cpp with its
.h) may not include each other in a circle, not even within a room.

Usage: check_layers.py SOURCE_ROOT TREE...   (e.g. . viewer imglib jpeg2000)
Prints each fault and exits 1 when there is any.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def read_layers(root, tree):
    ranks = {}
    with open(os.path.join(root, tree, "layers.txt"), encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                ranks[line] = len(ranks)
    return ranks


def room_of(path, tree, ranks):
    """The room of a file under tree (its folder relative to tree), or None."""
    rel = os.path.relpath(os.path.dirname(path), tree)
    room = rel.split(os.sep)[0]
    return room if room in ranks else None


def module_of(path):
    return os.path.splitext(path)[0]


def find_cycles(edges):
    """Strongly connected components of more than one module (Tarjan)."""
    index, low, stack, on_stack, cycles = {}, {}, [], set(), []
    counter = [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on_stack.add(v)
        for w in sorted(edges.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            component = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                component.append(w)
                if w == v:
                    break
            if len(component) > 1:
                cycles.append(sorted(component))

    sys.setrecursionlimit(10000)
    for v in sorted(edges):
        if v not in index:
            visit(v)
    return cycles


def check_tree(root, tree):
    faults = []
    ranks = read_layers(root, tree)
    edges = {}
    for folder, _, names in os.walk(os.path.join(root, tree)):
        for name in sorted(names):
            if not name.endswith((".h", ".cpp")):
                continue
            full = os.path.join(folder, name)
            path = os.path.relpath(full, root)
            room = room_of(path, tree, ranks)
            if room is None:
                faults.append(f"{path}: folder not named in {tree}/layers.txt")
                continue
            with open(full, encoding="utf-8", errors="replace") as f:
                text = f.read()
            for header in INCLUDE.findall(text):
                if not header.startswith(tree + "/"):
                    continue
                target = room_of(header, tree, ranks)
                if target is None:
                    faults.append(f"{path}: includes {header}, outside every room")
                    continue
                if ranks[target] > ranks[room]:
                    faults.append(f"{path}: includes {header} of room "
                                  f"{target}, above its own room {room}")
                source, dest = module_of(path), module_of(header)
                if source != dest:
                    edges.setdefault(source, set()).add(dest)
    for cycle in find_cycles(edges):
        faults.append("circle of includes between " + ", ".join(cycle))
    return faults


def main(argv):
    if len(argv) < 3:
        print(__doc__)
        return 2
    root = argv[1]
    faults = []
    for tree in argv[2:]:
        faults += check_tree(root, tree)
    for fault in faults:
        print(fault)
    print(f"layers: {len(faults)} faults in {', '.join(argv[2:])}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
