#!/usr/bin/python3
"""Checks converted packages (.xlsx, .xlsm, .xlsb) as a strict consumer would, with readers
that share no code with the converter: every XML part parses (Python's XML reader), every
internal relationship names a part that is there, a content type covers every part, and every
anchor of a drawing holds an object.

Usage: packages_check.py FILE_OR_FOLDER...   (exit status 1 when any package has a fault)
"""

import posixpath
import sys
import zipfile
import xml.etree.ElementTree as ElementTree
from pathlib import Path

CONTENT_TYPES = "[Content_Types].xml"
PACKAGE_NS = "{http://schemas.openxmlformats.org/package/2006/content-types}"
RELS_NS = "{http://schemas.openxmlformats.org/package/2006/relationships}"
DRAWING_NS = "{http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing}"
DRAWING_TYPE = "application/vnd.openxmlformats-officedocument.drawing+xml"
ANCHORS = ("twoCellAnchor", "oneCellAnchor", "absoluteAnchor")
OBJECTS = {DRAWING_NS + kind for kind in ("sp", "grpSp", "graphicFrame", "cxnSp", "pic", "contentPart")}


def owner_of(rels):
    folder, name = posixpath.split(rels)
    if not name.endswith(".rels") or posixpath.basename(folder) != "_rels":
        return None
    return posixpath.join(posixpath.dirname(folder), name[: -len(".rels")])


def resolve(owner, target):
    if target.startswith("/"):
        return posixpath.normpath(target[1:])
    return posixpath.normpath(posixpath.join(posixpath.dirname(owner), target))


def faults_of(path):
    faults = []
    try:
        archive = zipfile.ZipFile(path)
    except zipfile.BadZipFile as error:
        return [f"not a zip archive: {error}"]
    names = set(archive.namelist())
    if CONTENT_TYPES not in names:
        return ["no content types"]
    types = ElementTree.fromstring(archive.read(CONTENT_TYPES))
    defaults = {d.get("Extension", "").lower() for d in types.iter(PACKAGE_NS + "Default")}
    overrides = {o.get("PartName", "").lstrip("/").lower(): o.get("ContentType")
                 for o in types.iter(PACKAGE_NS + "Override")}
    for name in sorted(names):
        if name == CONTENT_TYPES or name.endswith("/"):
            continue
        extension = name.rsplit(".", 1)[-1].lower() if "." in posixpath.basename(name) else ""
        if name.lower() not in overrides and extension not in defaults:
            faults.append(f"{name}: no content type")
        if extension not in ("xml", "rels"):
            continue
        try:
            root = ElementTree.fromstring(archive.read(name))
        except ElementTree.ParseError as error:
            faults.append(f"{name}: {error}")
            continue
        if overrides.get(name.lower()) == DRAWING_TYPE:
            empty = sum(1 for kind in ANCHORS for anchor in root.iter(DRAWING_NS + kind)
                        if not any(child.tag in OBJECTS for child in anchor))
            if empty:
                faults.append(f"{name}: {empty} anchors hold no object")
        owner = owner_of(name)
        if owner is None:
            continue
        for relationship in root.iter(RELS_NS + "Relationship"):
            kind = relationship.get("Type", "")
            if relationship.get("TargetMode") == "External" or kind.endswith("/hyperlink"):
                continue
            target = resolve(owner, relationship.get("Target", ""))
            if target not in names:
                faults.append(f"{name}: {relationship.get('Id')} names missing {target}")
    return faults


def main(arguments):
    files = []
    for argument in arguments:
        path = Path(argument)
        files += sorted(p for p in path.rglob("*") if p.suffix in (".xlsx", ".xlsm", ".xlsb")) \
            if path.is_dir() else [path]
    bad = 0
    for file in files:
        faults = faults_of(file)
        if faults:
            bad += 1
            print(f"{file}: {len(faults)} faults; first: {faults[0]}")
    print(f"packages {len(files)}, with faults {bad}")
    return 1 if bad or not files else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
