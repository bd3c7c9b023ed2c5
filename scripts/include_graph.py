#!/usr/bin/env python3
"""The include graph between the folders of src/, and the layering rules it must keep.

  include_graph.py [SRC]           prints the graph in DOT (one edge per folder pair, with
                                   the number of includes on it)
  include_graph.py --check [SRC]   exits 1 and names every include that breaks a rule

The rules: nothing includes the window's folder (app/) except through app/form1.h, and
app/ itself only from its own files; the conversion server (calcserver/) reaches the
platform layer only through the headers that hold no GUI.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
# Platform headers the server and the readers may use: no Qt behind any of them.
SERVER_PLATFORM = {"platform/automation.h", "platform/file_formats.h", "platform/atomic_file.h"}


def folder_of(path):
    """src-relative path -> its folder: "calcserver/xlsb" for the server, else the top one."""
    parts = path.split("/")
    if parts[0] == "calcserver" and len(parts) > 2:
        return "/".join(parts[:2])
    return parts[0] if len(parts) > 1 else "."


def includes(src):
    for root, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(root, name)
            rel = os.path.relpath(path, src)
            with open(path, encoding="utf-8", errors="replace") as text:
                for number, line in enumerate(text, 1):
                    match = INCLUDE.match(line)
                    if match and os.path.exists(os.path.join(src, match.group(1))):
                        yield rel, number, match.group(1)


def broken_rules(src):
    for rel, number, target in includes(src):
        source_folder, target_folder = folder_of(rel), folder_of(target)
        if target_folder == "app" and source_folder != "app" and target != "app/form1.h":
            yield f"{rel}:{number}: reaches into the window's folder: {target}"
        if source_folder.startswith("calcserver") and target_folder == "platform" \
                and target not in SERVER_PLATFORM:
            yield f"{rel}:{number}: the server includes a GUI-side platform header: {target}"


def dot(src):
    edges = {}
    for rel, _, target in includes(src):
        pair = (folder_of(rel), folder_of(target))
        if pair[0] != pair[1]:
            edges[pair] = edges.get(pair, 0) + 1
    lines = ["digraph folders {", "  rankdir=LR;", "  node [shape=box];"]
    for (a, b), count in sorted(edges.items()):
        colour = ', color=red' if b == "app" else ""
        lines.append(f'  "{a}" -> "{b}" [label="{count}"{colour}];')
    lines.append("}")
    return "\n".join(lines)


def main(argv):
    check = "--check" in argv
    args = [a for a in argv if a != "--check"]
    src = args[0] if args else os.path.join(os.path.dirname(__file__), "..", "src")
    if not os.path.isdir(src):
        print(f"include_graph.py: no folder {src}", file=sys.stderr)
        return 2
    if check:
        broken = list(broken_rules(src))
        for line in broken:
            print(line)
        return 1 if broken else 0
    print(dot(src))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
