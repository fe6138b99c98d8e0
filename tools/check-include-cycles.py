#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Reports include cycles between the file pairs (x.h with x.cpp) of each folder.

A pair includes another when either of its files names the other's header.
Prints each cycle found and exits 1, or exits 0 when there is none.
Usage: check-include-cycles.py [folder...]   (default: src/lookup)
"""
import pathlib
import re
import sys

include = re.compile(r'^\s*#\s*include\s+"(?:[^"]*/)?([^"/]+)\.h"', re.M)
edges = {}
for folder in map(pathlib.Path, sys.argv[1:] or ["src/lookup"]):
    for f in sorted(folder.iterdir()):
        if f.suffix in (".h", ".cpp"):
            edges.setdefault(f.stem, set()).update(include.findall(f.read_text(errors="replace")))
for stem in edges:
    edges[stem] = {t for t in edges[stem] if t in edges and t != stem}

cycles, state = [], {}


def visit(node, path):
    state[node] = "open"
    for nxt in sorted(edges[node]):
        if state.get(nxt) == "open":
            cycles.append(path[path.index(nxt):] + [nxt])
        elif nxt not in state:
            visit(nxt, path + [nxt])
    state[node] = "done"


for stem in sorted(edges):
    if stem not in state:
        visit(stem, [stem])
for cycle in cycles:
    print("include cycle: " + " -> ".join(cycle))
sys.exit(1 if cycles else 0)
