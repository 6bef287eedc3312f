#!/usr/bin/env python3
"""Folder include graph of a Pelmora tree.

Every quoted #include "a/b/C.h" in a source file is an edge from the file's
folder to the header's folder.  A folder's ui/ subfolder counts as a node of
its own (engine and engine/ui are two nodes); other subfolders too
(diffractogram/chart, plugins/include).  tests/ and bench/ are left out
unless --all is given.  Prints the edges with their counts, the strongly
connected components with more than one node (the cycles) and, with --dot,
a Graphviz graph.

usage: include_graph.py [TREE] [--all] [--dot] [--why A B]
Exits 1 when the folders include each other in a cycle (a ctest checks it).
"""
import os, re, sys
from collections import defaultdict

args = [a for a in sys.argv[1:] if not a.startswith('--')]
root = os.path.abspath(args[0] if args else '.')
show_all = '--all' in sys.argv
why = None
if '--why' in sys.argv:
    i = sys.argv.index('--why')
    why = (sys.argv[i + 1], sys.argv[i + 2])
    args = [a for a in args if a not in why]
    root = os.path.abspath(args[0] if args else '.')

SKIP_TOP = {'build', '.git', 'Data', 'examples', 'resources', 'tools', 'scripts', 'desktop'}
if not show_all:
    SKIP_TOP |= {'tests', 'bench'}
INC = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def node_of(relpath):
    d = os.path.dirname(relpath)
    parts = d.split('/')
    # plug-in examples and deeper test folders collapse to two levels
    return '/'.join(parts[:2]) if d else '.'


edges = defaultdict(list)
nodes = set()
for dirpath, dirnames, filenames in os.walk(root):
    rel = os.path.relpath(dirpath, root)
    top = rel.split('/')[0]
    if rel != '.' and (top in SKIP_TOP or top.startswith(('build', '.'))):
        dirnames[:] = []
        continue
    for fn in filenames:
        if not fn.endswith(('.h', '.cpp', '.c', '.hpp')):
            continue
        relf = os.path.normpath(os.path.join(rel, fn))
        src = node_of(relf)
        nodes.add(src)
        with open(os.path.join(dirpath, fn), encoding='utf-8', errors='replace') as f:
            for line in f:
                m = INC.match(line)
                if not m:
                    continue
                inc = m.group(1)
                if '/' not in inc or inc.startswith('..'):
                    continue  # a neighbour in the same folder
                if not os.path.exists(os.path.join(root, inc)):
                    continue  # a system or third-party header
                dst = node_of(inc)
                if dst != src:
                    edges[(src, dst)].append(relf + ' -> ' + inc)
                    nodes.add(dst)

graph = defaultdict(set)
for (a, b) in edges:
    graph[a].add(b)

# Tarjan's strongly connected components
index, low, on, stack, sccs, counter = {}, {}, set(), [], [], [0]
sys.setrecursionlimit(10000)


def visit(v):
    index[v] = low[v] = counter[0]; counter[0] += 1
    stack.append(v); on.add(v)
    for w in sorted(graph[v]):
        if w not in index:
            visit(w); low[v] = min(low[v], low[w])
        elif w in on:
            low[v] = min(low[v], index[w])
    if low[v] == index[v]:
        comp = []
        while True:
            w = stack.pop(); on.discard(w); comp.append(w)
            if w == v:
                break
        sccs.append(sorted(comp))


for v in sorted(nodes):
    if v not in index:
        visit(v)

if why:
    for line in edges.get(why, []):
        print(line)
    sys.exit(0)

if '--dot' in sys.argv:
    print('digraph includes {')
    for (a, b), lst in sorted(edges.items()):
        print(f'  "{a}" -> "{b}" [label={len(lst)}];')
    print('}')
    sys.exit(0)

for v in sorted(nodes):
    outs = sorted(graph[v])
    print(f'{v:22} -> ' + ', '.join(f'{w}({len(edges[(v, w)])})' for w in outs))
cycles = [c for c in sccs if len(c) > 1]
print()
if cycles:
    print(f'{len(cycles)} cycle(s):')
    for c in cycles:
        print('  { ' + ', '.join(c) + ' }')
        for a in c:
            for b in sorted(graph[a]):
                if b in c:
                    print(f'      {a} -> {b}: {edges[(a, b)][0]}' + (f' (+{len(edges[(a, b)]) - 1})' if len(edges[(a, b)]) > 1 else ''))
else:
    print('no cycle')
sys.exit(1 if cycles else 0)
