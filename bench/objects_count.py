#!/usr/bin/python3
"""Counts what sits on and around the grid of legacy .xls workbooks and of their converted
.xlsx/.xlsm/.xlsb packages, per kind, with readers that share no code with the converter:
the sources' BIFF records walked here (olefile for the compound file), the results' parts
read with zipfile and ElementTree (and the .xlsb sheets' records walked here).

Usage:
  objects_count.py SOURCE_DIR RESULT_DIR [--ext xlsx]   pairs files by name
  objects_count.py SRC.xls RESULT.xlsx [SRC.xls RESULT.xlsx ...]
Options:
  --details           print each workbook whose counts differ
  --require-kept K,.. exit with status 1 when a result holds fewer objects of one of these
                      kinds than its source ("all" for every kind)
  --no-empty-anchors  exit with status 1 when a result's drawing holds an anchor without
                      an object

Kinds: charts, pictures, embedded (OLE objects), activex, formcontrols, controllinks (form
controls bound to a cell), comments, hyperlinks, merged, condformats (rules), validations,
autofilters, frozenpanes, shapes (other drawn shapes: lines, text boxes, ...).
A workbook without a result is listed and left out; one the reader cannot walk is named.
"""

import argparse
import collections
import io
import os
import re
import struct
import sys
import warnings
import xml.etree.ElementTree as ET
import zipfile

import olefile

warnings.simplefilter("ignore")

KINDS = ["charts", "pictures", "embedded", "activex", "formcontrols", "controllinks",
         "comments", "hyperlinks", "merged", "condformats", "validations", "autofilters",
         "frozenpanes", "shapes"]

# ---------------------------------------------------------------- legacy workbooks (BIFF8)

BOF, EOF, OBJ, NOTE, HLINK, MERGED, CF, CF12, DV, AUTOFILTERINFO, WINDOW2 = (
    0x0809, 0x000A, 0x005D, 0x001C, 0x01B8, 0x00E5, 0x01B1, 0x087A, 0x01BE, 0x009D, 0x023E)
SUBSTREAM_CHART, SUBSTREAM_WORKSHEET = 0x0020, 0x0010
OT_CHART, OT_PICTURE, OT_COMMENT = 0x05, 0x08, 0x19
FORM_CONTROL_TYPES = {0x07, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14}
SHAPE_TYPES = {0x01, 0x02, 0x03, 0x04, 0x06, 0x09, 0x1E}
FT_END, FT_PIO_GRBIT, FT_PICT_FMLA, FT_SBS_FMLA, FT_CBLS_FMLA, FT_LBS_DATA = (
    0x00, 0x08, 0x09, 0x0E, 0x14, 0x13)
PIO_CTL = 0x0010


def biff_records(stream):
    position = 0
    while position + 4 <= len(stream):
        kind, size = struct.unpack_from("<HH", stream, position)
        yield kind, stream[position + 4:position + 4 + size]
        position += 4 + size


def obj_kind(data, counts):
    """Counts one OBJ record: its type and, for pictures, whether it is an OLE object or an
    ActiveX control; for form controls, whether a cell is linked."""
    if len(data) < 6 or struct.unpack_from("<H", data, 0)[0] != 0x15:
        return
    object_type = struct.unpack_from("<H", data, 4)[0]
    # The drop-down arrows of autofilters and validations are objects the application made
    # for its own use, not controls.
    made_by_application = struct.unpack_from("<H", data, 8)[0] & 0x0100 if len(data) >= 10 else 0
    subrecords = {}
    position = 4 + struct.unpack_from("<H", data, 2)[0]
    while position + 4 <= len(data):
        ft, cb = struct.unpack_from("<HH", data, position)
        if ft == FT_END:
            break
        # A list's data (and what follows it) has a size that does not count; stop there.
        subrecords[ft] = data[position + 4:position + 4 + cb]
        if ft == FT_LBS_DATA:
            break
        position += 4 + cb
    if object_type == OT_PICTURE:
        flags = subrecords.get(FT_PIO_GRBIT, b"\0\0")
        flags = struct.unpack_from("<H", flags, 0)[0] if len(flags) >= 2 else 0
        if flags & PIO_CTL:
            counts["activex"] += 1
        elif FT_PICT_FMLA in subrecords:
            counts["embedded"] += 1
        else:
            counts["pictures"] += 1
    elif object_type in FORM_CONTROL_TYPES and not made_by_application:
        counts["formcontrols"] += 1
        for ft in (FT_CBLS_FMLA, FT_SBS_FMLA):
            link = subrecords.get(ft)
            if link is not None and has_linked_cell(link):
                counts["controllinks"] += 1
                break
    elif object_type in SHAPE_TYPES:
        counts["shapes"] += 1


def has_linked_cell(data):
    """Whether the control's link formula (which begins with its size) is there."""
    return len(data) >= 2 and struct.unpack_from("<H", data, 0)[0] > 0


def count_legacy(path):
    counts = collections.Counter()
    ole = olefile.OleFileIO(path)
    name = "Workbook" if ole.exists("Workbook") else "Book"
    stream = ole.openstream(name).read()
    substream = []
    for kind, data in biff_records(stream):
        if kind == BOF:
            dt = struct.unpack_from("<H", data, 2)[0] if len(data) >= 4 else 0
            substream.append(dt)
            if dt == SUBSTREAM_CHART:
                counts["charts"] += 1
            continue
        if kind == EOF:
            if substream:
                substream.pop()
            continue
        if not substream or substream[-1] not in (SUBSTREAM_WORKSHEET,):
            continue
        if kind == OBJ:
            obj_kind(data, counts)
        elif kind == NOTE:
            counts["comments"] += 1
        elif kind == HLINK:
            counts["hyperlinks"] += 1
        elif kind == MERGED and len(data) >= 2:
            counts["merged"] += struct.unpack_from("<H", data, 0)[0]
        elif kind in (CF, CF12):
            counts["condformats"] += 1
        elif kind == DV:
            counts["validations"] += 1
        elif kind == AUTOFILTERINFO:
            counts["autofilters"] += 1
        elif kind == WINDOW2 and len(data) >= 2:
            if struct.unpack_from("<H", data, 0)[0] & 0x0008:
                counts["frozenpanes"] += 1
    return counts


# ---------------------------------------------------------------- packages (.xlsx, .xlsm, .xlsb)

def local(tag):
    return tag.rsplit("}", 1)[-1]


def parse(zip_file, name):
    try:
        return ET.fromstring(zip_file.read(name))
    except (ET.ParseError, KeyError):
        return None


def drawing_counts(root, counts, faults):
    for anchor in root:
        if local(anchor.tag) == "AlternateContent":
            choice = next((c for c in anchor if local(c.tag) == "Choice"), None)
            anchors = list(choice) if choice is not None else []
        else:
            anchors = [anchor]
        for a in anchors:
            if local(a.tag) not in ("twoCellAnchor", "oneCellAnchor", "absoluteAnchor"):
                continue
            objects = [c for c in a if local(c.tag) in
                       ("sp", "grpSp", "graphicFrame", "cxnSp", "pic", "contentPart")]
            if not objects:
                faults["emptyanchors"] += 1
            for element in objects:
                object_counts(element, counts)


def object_counts(element, counts):
    """One object of an anchor; a group's members count one by one, as the source's records
    list them."""
    kind = local(element.tag)
    if kind == "graphicFrame":
        uris = [e.get("uri", "") for e in element.iter() if local(e.tag) == "graphicData"]
        if any(u.endswith("/chart") for u in uris):
            counts["charts"] += 1
    elif kind == "pic":
        counts["pictures"] += 1
    elif kind == "grpSp":
        for member in element:
            object_counts(member, counts)
    elif kind in ("sp", "cxnSp") and not is_control_shape(element):
        # Form controls are drawn as shapes too; they are counted from their VML.
        counts["shapes"] += 1


def is_control_shape(element):
    for e in element.iter():
        if local(e.tag) == "cNvPr":
            return bool(re.match(r"(Check Box|Option Button|Button|List Box|Drop Down|"
                                 r"Spinner|Scroll Bar|Group Box|Label|Edit Box) \d+",
                                 e.get("name", "")))
    return False


VML_CONTROLS = {"Button", "Checkbox", "Radio", "Drop", "List", "Spin", "Scroll", "Label",
                "GBox", "Edit", "Dialog"}


def vml_counts(text, counts):
    for match in re.finditer(r'<x:ClientData\s+ObjectType="(\w+)"(.*?)</x:ClientData>', text, re.S):
        if match.group(1) in VML_CONTROLS:
            counts["formcontrols"] += 1
            if "<x:FmlaLink>" in match.group(2):
                counts["controllinks"] += 1


def sheet_xml_counts(root, relations, counts):
    for element in root.iter():
        kind = local(element.tag)
        if kind == "hyperlink":
            counts["hyperlinks"] += 1
        elif kind == "mergeCell":
            counts["merged"] += 1
        elif kind == "cfRule":
            counts["condformats"] += 1
        elif kind == "dataValidation":
            counts["validations"] += 1
        elif kind == "autoFilter":
            counts["autofilters"] += 1
        elif kind == "pane" and element.get("state") in ("frozen", "frozenSplit"):
            counts["frozenpanes"] += 1
        elif kind == "oleObject":
            counts["embedded"] += 1
        elif kind == "control":
            rid = next((v for k, v in element.attrib.items() if local(k) == "id"), "")
            if relations.get(rid, "").endswith("/control"):
                counts["activex"] += 1


def relations_of(zip_file, part):
    folder, name = part.rsplit("/", 1)
    root = parse(zip_file, f"{folder}/_rels/{name}.rels")
    if root is None:
        return {}
    return {r.get("Id"): r.get("Type", "") for r in root}


def varint(data, position):
    value, shift = 0, 0
    for _ in range(4):
        if position >= len(data):
            raise ValueError("truncated record header")
        byte = data[position]
        position += 1
        value |= (byte & 0x7F) << shift
        shift += 7
        if not byte & 0x80:
            break
    return value, position


def xlsb_records(data):
    position = 0
    while position < len(data):
        kind, position = varint(data, position)
        size, position = varint(data, position)
        yield kind, data[position:position + size]
        position += size


BRT_HLINK, BRT_MERGE, BRT_CF_RULE, BRT_DVAL, BRT_AFILTER, BRT_PANE, BRT_OLE, BRT_ACTIVEX = (
    0x01EE, 0x00B0, 0x01CF, 0x0040, 0x00A1, 0x0097, 0x027F, 0x0284)
BRT_BEGIN_COMMENT = 0x027B


def sheet_bin_counts(data, counts):
    for kind, body in xlsb_records(data):
        if kind == BRT_HLINK:
            counts["hyperlinks"] += 1
        elif kind == BRT_MERGE:
            counts["merged"] += 1
        elif kind == BRT_CF_RULE:
            counts["condformats"] += 1
        elif kind == BRT_DVAL:
            counts["validations"] += 1
        elif kind == BRT_AFILTER:
            counts["autofilters"] += 1
        elif kind == BRT_PANE and len(body) >= 29 and body[28] & 0x01:
            counts["frozenpanes"] += 1
        elif kind == BRT_OLE:
            counts["embedded"] += 1
        elif kind == BRT_ACTIVEX:
            counts["activex"] += 1


def count_package(path):
    counts, faults = collections.Counter(), collections.Counter()
    with zipfile.ZipFile(path) as package:
        for name in package.namelist():
            if re.fullmatch(r"xl/drawings/drawing\d+\.xml", name):
                root = parse(package, name)
                if root is not None:
                    drawing_counts(root, counts, faults)
            elif re.fullmatch(r"xl/drawings/vmlDrawing\d+\.vml", name):
                vml_counts(package.read(name).decode("utf-8", "replace"), counts)
            elif re.fullmatch(r"xl/comments\d*\.xml|xl/comments/comment\d+\.xml", name):
                root = parse(package, name)
                if root is not None:
                    counts["comments"] += sum(1 for e in root.iter() if local(e.tag) == "comment")
            elif re.fullmatch(r"xl/comments\d*\.bin", name):
                counts["comments"] += sum(1 for kind, _ in xlsb_records(package.read(name))
                                          if kind == BRT_BEGIN_COMMENT)
            elif re.fullmatch(r"xl/worksheets/sheet\d+\.xml", name):
                root = parse(package, name)
                if root is not None:
                    sheet_xml_counts(root, relations_of(package, name), counts)
            elif re.fullmatch(r"xl/worksheets/sheet\d+\.bin", name):
                sheet_bin_counts(package.read(name), counts)
    return counts, faults


# ---------------------------------------------------------------- comparison

def pairs_of(paths, ext):
    if len(paths) == 2 and os.path.isdir(paths[0]):
        source_dir, result_dir = paths
        for name in sorted(os.listdir(source_dir)):
            if name.lower().endswith(".xls"):
                stem = os.path.splitext(name)[0]
                yield os.path.join(source_dir, name), os.path.join(result_dir, f"{stem}.{ext}")
        return
    if len(paths) % 2:
        sys.exit("give SOURCE RESULT pairs, or two folders")
    for i in range(0, len(paths), 2):
        yield paths[i], paths[i + 1]


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("paths", nargs="+")
    parser.add_argument("--ext", default="xlsx", help="result extension when given folders")
    parser.add_argument("--details", action="store_true")
    parser.add_argument("--require-kept", default="")
    parser.add_argument("--no-empty-anchors", action="store_true")
    options = parser.parse_args()
    required = KINDS if options.require_kept == "all" else [
        k for k in options.require_kept.split(",") if k]
    unknown = set(required) - set(KINDS)
    if unknown:
        sys.exit(f"unknown kinds: {', '.join(sorted(unknown))}")

    sources, results = collections.Counter(), collections.Counter()
    empty_anchors, compared, failed = 0, 0, False
    missing, unreadable = [], []
    for source, result in pairs_of(options.paths, options.ext):
        if not os.path.exists(result):
            missing.append(os.path.basename(source))
            continue
        try:
            before = count_legacy(source)
        except Exception as error:  # a source no reader walks is named, not counted
            unreadable.append(f"{os.path.basename(source)} ({error})")
            continue
        try:
            after, faults = count_package(result)
        except (zipfile.BadZipFile, ValueError) as error:
            unreadable.append(f"{os.path.basename(result)} ({error})")
            failed = True
            continue
        compared += 1
        sources.update(before)
        results.update(after)
        empty_anchors += faults["emptyanchors"]
        lost = [k for k in KINDS if after[k] < before[k]]
        if faults["emptyanchors"] and options.no_empty_anchors:
            failed = True
        if any(k in required for k in lost):
            failed = True
        if options.details and (lost or faults["emptyanchors"]):
            text = ", ".join(f"{k} {before[k]}->{after[k]}" for k in lost)
            if faults["emptyanchors"]:
                text += f"{', ' if text else ''}{faults['emptyanchors']} empty anchors"
            print(f"{os.path.basename(source)}: {text}")

    if missing:
        print(f"no result for {len(missing)}: {' '.join(missing)}")
    for name in unreadable:
        print(f"not read: {name}")
    print(f"{'kind':<14}{'sources':>9}{'results':>9}")
    for kind in KINDS:
        print(f"{kind:<14}{sources[kind]:>9}{results[kind]:>9}")
    print(f"{'emptyanchors':<14}{'':>9}{empty_anchors:>9}")
    print(f"workbooks {compared} compared")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
