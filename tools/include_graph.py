#!/usr/bin/env python3
"""Who depends on whom inside a folder, and any circle among them.

  tools/include_graph.py [FOLDER]           the include graph (default: engine)
  tools/include_graph.py --links LIBRARY.a  which object file calls into which

The include graph has one line per file: the file and the project headers it includes. A
header and the source file of the same name in the same folder count as one (a header's own
source may include what the header does not), so a circle shows wherever two of them need each
other. The link graph has one line per object file of the library: the object files whose
symbols it uses. Either ends with the circles found, "no circle" when there is none; the exit
status is 1 when there is one.
"""
import os
import re
import subprocess
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def include_graph(root, folder):
    graph = {}
    for top, _, files in os.walk(os.path.join(root, folder)):
        for name in sorted(files):
            if name.endswith((".h", ".cpp")):
                path = os.path.relpath(os.path.join(top, name), root)
                with open(os.path.join(root, path)) as source:
                    included = INCLUDE.findall(source.read())
                graph[path] = sorted(h for h in included if h.startswith(folder + "/"))
    return graph


def unit_of(path):
    stem, ext = os.path.splitext(path)
    return stem + ".h" if ext == ".cpp" and os.path.exists(stem + ".h") else path


def link_graph(library):
    listing = subprocess.run(["nm", "-A", library], capture_output=True, text=True, check=True)
    defined, used = {}, {}
    for line in listing.stdout.splitlines():
        # library.a:object.o:value type symbol, the value blank for an undefined symbol
        _, obj, rest = line.rsplit(":", 2) if line.count(":") >= 2 else ("", "", "")
        fields = rest.split()
        used.setdefault(obj, set())
        # Strong definitions only: inline functions and vtables are defined weakly everywhere.
        if len(fields) == 3 and fields[1] in "TDBR":
            defined[fields[2]] = obj
        elif len(fields) == 2 and fields[0] == "U":
            used[obj].add(fields[1])
    return {obj: sorted({defined[s] for s in syms if s in defined} - {obj})
            for obj, syms in sorted(used.items())}


# Tarjan's strongly connected components; a component of more than one node is a circle.
def circles(graph):
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for after in graph.get(node, ()):
            if after not in index:
                visit(after)
                low[node] = min(low[node], low[after])
            elif after in on_stack:
                low[node] = min(low[node], index[after])
        if low[node] == index[node]:
            component = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                component.append(member)
                if member == node:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    for node in sorted(graph):
        if node not in index:
            visit(node)
    return found


def main(args):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    if args[:1] == ["--links"] and len(args) == 2:
        graph = link_graph(args[1])
        units = graph
    elif len(args) <= 1:
        graph = include_graph(root, args[0].rstrip("/") if args else "engine")
        os.chdir(root)
        units = {}
        for path, headers in graph.items():
            units.setdefault(unit_of(path), set()).update(unit_of(h) for h in headers)
        units = {unit: sorted(after - {unit}) for unit, after in units.items()}
    else:
        sys.exit(__doc__)
    for node, after in sorted(graph.items()):
        print(node + ": " + " ".join(after))
    found = circles(units)
    for circle in found:
        print("circle: " + " ".join(circle))
    if not found:
        print("no circle")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
