#!/usr/bin/env python3
"""Checks that src/ keeps its layers.

Every folder of src/ is one library; layers.txt says which other folders each may include.
Fails on an include that goes against it, on a circle in the table, on a core folder that
includes a Qt Widgets header, and on a source file its folder's CMakeLists.txt does not list.

    check_layering.py SRC_DIR LAYERS_FILE [QT_WIDGETS_INCLUDE_DIR ...]
"""
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)


def read_layers(path):
    layers, core = {}, set()
    for line in pathlib.Path(path).read_text().splitlines():
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        head, _, uses = line.partition(":")
        name, *marks = head.split()
        layers[name] = set(uses.split())
        if "core" in marks:
            core.add(name)
    return layers, core


def find_circle(layers):
    state = {}

    def visit(name, path):
        if state.get(name) == "open":
            return path[path.index(name):] + [name]
        if state.get(name) == "done":
            return None
        state[name] = "open"
        for used in sorted(layers.get(name, ())):
            circle = visit(used, path + [name])
            if circle:
                return circle
        state[name] = "done"
        return None

    for name in sorted(layers):
        circle = visit(name, [])
        if circle:
            return circle
    return None


def reachable(layers, name):
    seen, todo = set(), list(layers[name])
    while todo:
        used = todo.pop()
        if used not in seen:
            seen.add(used)
            todo.extend(layers.get(used, ()))
    return seen


def widget_headers(include_dirs):
    names = set()
    for directory in include_dirs:
        directory = pathlib.Path(directory)
        if directory.name == "QtWidgets" and directory.is_dir():
            names.update(entry.name for entry in directory.iterdir())
            names.update("QtWidgets/" + entry.name for entry in directory.iterdir())
    names.add("QtWidgets")
    return names


def check(src, layers, core, widgets):
    faults = []
    folders = sorted(entry.name for entry in src.iterdir() if entry.is_dir())
    for folder in folders:
        if folder not in layers:
            faults.append(f"src/{folder}/ is not in the layer table")
    for name, uses in layers.items():
        for used in uses - set(layers):
            faults.append(f"{name} uses {used}, which the table does not define")
    circle = find_circle(layers)
    if circle:
        faults.append("the layer table has a circle: " + " -> ".join(circle))
        return faults
    for folder in folders:
        if folder not in layers:
            continue
        allowed = reachable(layers, folder) | {folder}
        listed = (src / folder / "CMakeLists.txt").read_text() if (src / folder / "CMakeLists.txt").exists() else ""
        for source in sorted((src / folder).iterdir()):
            if source.suffix not in (".h", ".cpp"):
                continue
            where = f"src/{folder}/{source.name}"
            if not re.search(rf"(^|\s){re.escape(source.name)}(\s|\)|$)", listed):
                faults.append(f"{where} is not listed in src/{folder}/CMakeLists.txt")
            text = source.read_text(encoding="utf-8")
            for line, (bracket, header) in enumerate_includes(text):
                top = header.split("/", 1)[0] if "/" in header else None
                if bracket == '"' and top in layers and top not in allowed:
                    faults.append(f"{where}:{line}: {folder} may not include {header}")
                if folder in core and header in widgets:
                    faults.append(f"{where}:{line}: the core folder {folder} may not include {header}")
    return faults


def enumerate_includes(text):
    for match in INCLUDE.finditer(text):
        yield text.count("\n", 0, match.start()) + 1, (match.group(1), match.group(2))


def main(argv):
    if len(argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    src = pathlib.Path(argv[1])
    layers, core = read_layers(argv[2])
    include_dirs = [part for arg in argv[3:] for part in arg.split(";")]
    faults = check(src, layers, core, widget_headers(include_dirs))
    for fault in faults:
        print(fault)
    if not faults:
        print(f"{len(layers)} folders keep their layers")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
