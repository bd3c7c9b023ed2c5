#!/usr/bin/python3
"""Compares the formatting of legacy .xls workbooks with that of their converted
.xlsx/.xlsm packages, through two readers that share no code with the converter: xlrd
(formatting_info=True) for the sources and openpyxl for the results.

Usage:
  styles_compare.py SOURCE_DIR RESULT_DIR [--ext xlsx]   pairs files by name
  styles_compare.py SRC.xls RESULT.xlsx [SRC.xls RESULT.xlsx ...]
Options:
  --details            print every cell and item that differs (first few per workbook)
  --min-cells P        exit with status 1 when fewer than P% of the cells are equal
  --min-items P        exit with status 1 when fewer than P% of the sheet and workbook
                       items are equal

Per non-empty cell (as cells_compare.py counts them): number format, font (name, size,
bold, italic, underline, strike, colour), fill (pattern and its colours), the four
borders (style and colour), horizontal and vertical alignment, wrap, indent, rotation,
locked and hidden. Colours are compared as RGB after the source's palette.
Items: per sheet its state, merged ranges and default sizes, and each column with a
width of its own and each row with a height of its own (size, hidden, outline level);
per workbook each defined name (present with the same scope and hidden flag).
"""

import argparse
import collections
import os
import re
import sys
import warnings
import xml.etree.ElementTree as ElementTree
import zipfile

import openpyxl
import xlrd
from openpyxl.styles.colors import COLOR_INDEX
from openpyxl.worksheet.merge import MergedCellRange

from cells_compare import pairs_from_arguments

warnings.simplefilter("ignore")
# openpyxl draws a merged range's outer border onto its first cell when it loads a sheet;
# the comparison wants each cell's format as stored.
MergedCellRange.format = lambda self: None
MergedCellRange._get_borders = lambda self: setattr(
    self, "start_cell", self.ws.cell(row=self.min_row, column=self.min_col))
QUIET = open(os.devnull, "w")  # xlrd reports file oddities on stdout otherwise

# Built-in number formats every reader knows by id alone; what they show depends on the
# reader's locale, so a result must keep the id, not the text.
UNIVERSAL_BUILTINS = set(range(0, 23)) | set(range(37, 41)) | set(range(45, 50))
PATTERNS = ["none", "solid", "mediumGray", "darkGray", "lightGray", "darkHorizontal",
            "darkVertical", "darkDown", "darkUp", "darkGrid", "darkTrellis", "lightHorizontal",
            "lightVertical", "lightDown", "lightUp", "lightGrid", "lightTrellis", "gray125",
            "gray0625"]
BORDERS = ["none", "thin", "medium", "dashed", "dotted", "thick", "double", "hair",
           "mediumDashed", "dashDot", "mediumDashDot", "dashDotDot", "mediumDashDotDot",
           "slantDashDot"]
HORIZONTAL = ["general", "left", "center", "right", "fill", "justify", "centerContinuous",
              "distributed"]
VERTICAL = ["top", "center", "bottom", "justify", "distributed"]
UNDERLINE = {0: "none", 1: "single", 2: "double", 0x21: "singleAccounting",
             0x22: "doubleAccounting"}
STATES = ["visible", "hidden", "veryHidden"]
BUILTIN_NAMES = {"\x00": "Consolidate_Area", "\x01": "Auto_Open", "\x02": "Auto_Close",
                 "\x03": "Extract", "\x04": "Database", "\x05": "Criteria",
                 "\x06": "Print_Area", "\x07": "Print_Titles", "\x08": "Recorder",
                 "\x09": "Data_Form", "\x0a": "Auto_Activate", "\x0b": "Auto_Deactivate",
                 "\x0c": "Sheet_Title", "\x0d": "_FilterDatabase"}
MAIN_NS = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
DRAWING_NS = "{http://schemas.openxmlformats.org/drawingml/2006/main}"
SIZE_TOLERANCE = 0.01  # characters and points: both formats hold 1/256 character, 1/20 pt


# ---------------------------------------------------------------- source (xlrd) side

def source_colour(book, index, automatic):
    """RGB hex of a palette index after the workbook's palette; `automatic` for system
    colours (window text, automatic)."""
    if index in (0x7FFF, 64, 65, 0x51) or index is None:
        return automatic
    rgb = book.colour_map.get(index)
    if rgb is None:
        return automatic
    return "%02X%02X%02X" % rgb


def source_format(book, xf):
    key = xf.format_key
    if key in UNIVERSAL_BUILTINS:
        return f"builtin {key}"
    entry = book.format_map.get(key)
    return entry.format_str if entry is not None and entry.format_str else f"builtin {key}"


def source_cell_style(book, xf):
    font = book.font_list[xf.font_index] if xf.font_index < len(book.font_list) else None
    style = {"numFmt": source_format(book, xf)}
    if font is not None:
        style.update({
            "font.name": font.name, "font.size": font.height / 20.0,
            "font.bold": font.weight >= 700, "font.italic": bool(font.italic),
            "font.underline": UNDERLINE.get(font.underline_type, "single"),
            "font.strike": bool(font.struck_out),
            "font.color": source_colour(book, font.colour_index, "auto"),
        })
    background = xf.background
    pattern = PATTERNS[background.fill_pattern] if background.fill_pattern < len(PATTERNS) else "?"
    style["fill.pattern"] = pattern
    if pattern != "none":
        style["fill.fg"] = source_colour(book, background.pattern_colour_index, "auto")
        if pattern != "solid":
            style["fill.bg"] = source_colour(book, background.background_colour_index, "auto")
    border = xf.border
    for side in ("left", "right", "top", "bottom"):
        line = getattr(border, side + "_line_style")
        style[f"border.{side}"] = BORDERS[line] if line < len(BORDERS) else "?"
        if line:
            style[f"border.{side}.color"] = source_colour(
                book, getattr(border, side + "_colour_index"), "auto")
    alignment = xf.alignment
    style.update({
        "align.horizontal": HORIZONTAL[alignment.hor_align] if alignment.hor_align < 8 else "?",
        "align.vertical": VERTICAL[alignment.vert_align] if alignment.vert_align < 5 else "?",
        "align.wrap": bool(alignment.text_wrapped), "align.indent": alignment.indent_level,
        "align.rotation": alignment.rotation,
        "protection.locked": bool(xf.protection.cell_locked),
        "protection.hidden": bool(xf.protection.formula_hidden),
    })
    return style


# ---------------------------------------------------------------- result (openpyxl) side

class ResultColours:
    """Resolves openpyxl colours (rgb, indexed, theme with tint) to RGB hex."""

    def __init__(self, path):
        self.indexed = list(COLOR_INDEX)
        self.theme = []
        with zipfile.ZipFile(path) as package:
            names = set(package.namelist())
            if "xl/styles.xml" in names:
                root = ElementTree.fromstring(package.read("xl/styles.xml"))
                custom = root.find(f"{MAIN_NS}colors/{MAIN_NS}indexedColors")
                if custom is not None:
                    self.indexed = [c.get("rgb", "FF000000") for c in custom] + self.indexed[
                        len(custom):]
            if "xl/theme/theme1.xml" in names:
                root = ElementTree.fromstring(package.read("xl/theme/theme1.xml"))
                scheme = root.find(f".//{DRAWING_NS}clrScheme")
                if scheme is not None:
                    for entry in scheme:
                        value = entry[0].get("lastClr") or entry[0].get("val") or "000000"
                        self.theme.append(value)
                    # dk1 lt1 dk2 lt2 are used as lt1 dk1 lt2 dk2 by theme indices
                    if len(self.theme) >= 4:
                        self.theme[0], self.theme[1] = self.theme[1], self.theme[0]
                        self.theme[2], self.theme[3] = self.theme[3], self.theme[2]

    def resolve(self, colour, automatic):
        if colour is None:
            return automatic
        kind = colour.type  # openpyxl answers .auto with text unless the type is "auto"
        if kind == "auto":
            return automatic
        if kind == "rgb" and isinstance(colour.rgb, str):
            return colour.rgb[-6:].upper()
        if kind == "indexed":
            index = colour.indexed
            if index in (64, 65, 0x51) or index >= len(self.indexed):
                return automatic
            return self.indexed[index][-6:].upper()
        if kind == "theme" and colour.theme < len(self.theme):
            return apply_tint(self.theme[colour.theme], colour.tint or 0.0)
        return automatic


def apply_tint(rgb, tint):
    channels = [int(rgb[i:i + 2], 16) for i in (0, 2, 4)]
    if tint < 0:
        channels = [round(c * (1 + tint)) for c in channels]
    elif tint > 0:
        channels = [round(c + (255 - c) * tint) for c in channels]
    return "".join("%02X" % c for c in channels)


def result_format(cell, source):
    """openpyxl gives a custom format whose code matches a built-in the built-in's id, so a
    source that has the code is compared by code."""
    number_id = cell._style.numFmtId if cell.has_style else 0
    if source.startswith("builtin "):
        return f"builtin {number_id}"
    return cell.number_format


def result_cell_style(cell, colours, expected):
    font, fill, border = cell.font, cell.fill, cell.border
    alignment, protection = cell.alignment, cell.protection
    style = {"numFmt": result_format(cell, expected["numFmt"]),
             "font.name": font.name, "font.size": float(font.sz) if font.sz else None,
             "font.bold": bool(font.b), "font.italic": bool(font.i),
             "font.underline": font.u or "none", "font.strike": bool(font.strike),
             "font.color": colours.resolve(font.color, "auto")}
    pattern = fill.patternType if getattr(fill, "patternType", None) else "none"
    style["fill.pattern"] = pattern
    if pattern != "none":
        style["fill.fg"] = colours.resolve(fill.fgColor, "auto")
        if pattern != "solid":
            style["fill.bg"] = colours.resolve(fill.bgColor, "auto")
    for side in ("left", "right", "top", "bottom"):
        edge = getattr(border, side)
        line = edge.style if edge is not None and edge.style else "none"
        style[f"border.{side}"] = line
        if line != "none":
            style[f"border.{side}.color"] = colours.resolve(edge.color, "auto")
    style.update({
        "align.horizontal": alignment.horizontal or "general",
        "align.vertical": alignment.vertical or "bottom",
        "align.wrap": bool(alignment.wrap_text), "align.indent": int(alignment.indent or 0),
        "align.rotation": int(alignment.text_rotation or 0),
        "protection.locked": protection.locked is not False,
        "protection.hidden": bool(protection.hidden),
    })
    return style


def differing(source, result):
    keys = []
    for key, value in source.items():
        other = result.get(key)
        if isinstance(value, float) and isinstance(other, float):
            if abs(value - other) > SIZE_TOLERANCE:
                keys.append(key)
        elif value != other:
            keys.append(key)
    return keys


# ---------------------------------------------------------------- sheet and workbook items

def sheet_items(book, sheet, target):
    """Yields (item, source value, result value) for one sheet."""
    state = STATES[sheet.visibility] if sheet.visibility < 3 else "?"
    yield "state", state, target.sheet_state if target is not None else None
    merged = sorted((r0, r1, c0, c1) for r0, r1, c0, c1 in sheet.merged_cells)
    result_merged = sorted((m.min_row - 1, m.max_row, m.min_col - 1, m.max_col)
                           for m in target.merged_cells.ranges) if target is not None else None
    yield "merged", merged, result_merged
    if target is None:
        return
    fmt = target.sheet_format
    default_height = sheet.default_row_height / 20.0 if sheet.default_row_height else None
    if default_height is not None:
        yield "defaultRowHeight", default_height, float(fmt.defaultRowHeight or 0)
    columns = {}
    for key, dimension in target.column_dimensions.items():
        for index in range(dimension.min or 0, (dimension.max or 0) + 1):
            columns[index] = dimension
    for column, info in sorted(sheet.colinfo_map.items()):
        if column > 16383:
            continue
        dimension = columns.get(column + 1)
        source = (round(info.width / 256.0, 2), bool(info.hidden), info.outline_level)
        result = None
        if dimension is not None:
            result = (round(float(dimension.width or 0), 2), bool(dimension.hidden),
                      int(dimension.outlineLevel or 0))
        if source[1] and result is not None and result[1]:
            source, result = source[1:], result[1:]  # a hidden column's width is not seen
        yield f"column {column + 1}", source, result
    for row, info in sorted(sheet.rowinfo_map.items()):
        if row > 1048575:
            continue
        custom = info.height_mismatch or info.hidden or info.outline_level
        if not custom:
            continue
        dimension = target.row_dimensions.get(row + 1) if row + 1 in target.row_dimensions else None
        source = (round(info.height / 20.0, 2), bool(info.hidden), info.outline_level)
        result = None
        if dimension is not None:
            height = dimension.ht if dimension.ht is not None else fmt.defaultRowHeight
            result = (round(float(height or 0), 2), bool(dimension.hidden),
                      int(dimension.outlineLevel or 0))
        if source[1] and result is not None and result[1]:
            source, result = source[1:], result[1:]
        yield f"row {row + 1}", source, result


def source_names(book):
    names = set()
    for name in book.name_obj_list:
        text = name.name
        if name.builtin and text in BUILTIN_NAMES:
            text = "_xlnm." + BUILTIN_NAMES[text]
        elif name.builtin:
            text = "_xlnm." + text
        scope = name.scope if name.scope >= 0 else -1
        names.add((text.lower(), scope, bool(name.hidden)))
    return names


def result_names(path):
    """Read from the workbook part itself: openpyxl moves print areas and titles onto its
    sheet objects."""
    names = set()
    with zipfile.ZipFile(path) as package:
        root = ElementTree.fromstring(package.read("xl/workbook.xml"))
    for entry in root.iter(f"{MAIN_NS}definedName"):
        scope = int(entry.get("localSheetId", "-1"))
        hidden = entry.get("hidden", "false") in ("1", "true")
        names.add((entry.get("name", "").lower(), scope, hidden))
    return names


# ---------------------------------------------------------------- one workbook

Totals = collections.namedtuple("Totals", "cells cells_equal items items_equal")


def compare_workbook(source_path, result_path, details, differences):
    book = xlrd.open_workbook(source_path, formatting_info=True, logfile=QUIET)
    result = openpyxl.load_workbook(result_path)
    colours = ResultColours(result_path)
    cells = cells_equal = items = items_equal = 0
    shown = 0
    name = os.path.basename(source_path)

    def show(text):
        nonlocal shown
        if details and shown < 20:
            print(f"  {name}!{text}")
        shown += 1

    for index in range(book.nsheets):
        sheet = book.sheet_by_index(index)
        target = result[sheet.name] if sheet.name in result.sheetnames else None
        for item, source, outcome in sheet_items(book, sheet, target):
            items += 1
            if source == outcome:
                items_equal += 1
            else:
                differences[f"item {item.split()[0]}"] += 1
                show(f"{sheet.name}: {item}: source {source}, result {outcome}")
        styles_of = getattr(target, "cell", None)
        cache = {}
        for r in range(sheet.nrows):
            for c, cell in enumerate(sheet.row(r)):
                if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                if cell.ctype == xlrd.XL_CELL_TEXT and cell.value == "":
                    continue
                cells += 1
                if styles_of is None:
                    differences["sheet missing"] += 1
                    continue
                xf = book.xf_list[cell.xf_index]
                if cell.xf_index not in cache:
                    cache[cell.xf_index] = source_cell_style(book, xf)
                expected = cache[cell.xf_index]
                got = result_cell_style(styles_of(row=r + 1, column=c + 1), colours, expected)
                keys = differing(expected, got)
                if not keys:
                    cells_equal += 1
                    continue
                for key in keys:
                    differences[key] += 1
                show(f"{sheet.name}!R{r + 1}C{c + 1}: " + ", ".join(
                    f"{k} {expected.get(k)!r}->{got.get(k)!r}" for k in keys))
    expected_names, got_names = source_names(book), result_names(result_path)
    for entry in sorted(expected_names):
        items += 1
        if entry in got_names:
            items_equal += 1
        else:
            differences["item name"] += 1
            show(f"name {entry} missing")
    book.release_resources()
    result.close()
    return Totals(cells, cells_equal, items, items_equal)


def percent(part, whole):
    return 100.0 * part / whole if whole else 100.0


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("paths", nargs="+")
    parser.add_argument("--ext", default="xlsx", help="result extension when given folders")
    parser.add_argument("--details", action="store_true")
    parser.add_argument("--min-cells", type=float, default=None)
    parser.add_argument("--min-items", type=float, default=None)
    args = parser.parse_args()

    totals = [0, 0, 0, 0]
    workbooks = 0
    differences = collections.Counter()
    unreadable = 0
    for source, result in pairs_from_arguments(args.paths, args.ext):
        name = os.path.basename(source)
        try:
            xlrd.open_workbook(source, formatting_info=True, logfile=QUIET).release_resources()
        except Exception as error:  # xlrd cannot read it either: nothing to compare with
            print(f"{name}: source unreadable by xlrd ({error.__class__.__name__}), skipped")
            continue
        if not os.path.isfile(result):
            print(f"{name}: no result, skipped")
            continue
        try:
            outcome = compare_workbook(source, result, args.details, differences)
        except Exception as error:  # a result its reader refuses is a fault, not a skip
            print(f"{name}: result unreadable ({error.__class__.__name__}: {error})")
            unreadable += 1
            continue
        workbooks += 1
        totals = [a + b for a, b in zip(totals, outcome)]
        if outcome.cells != outcome.cells_equal or outcome.items != outcome.items_equal:
            print(f"{name}: cells {outcome.cells_equal}/{outcome.cells}, "
                  f"items {outcome.items_equal}/{outcome.items} equal")
    cells, cells_equal, items, items_equal = totals
    print("differences: " + ", ".join(f"{k} {v}" for k, v in differences.most_common()))
    cell_share, item_share = percent(cells_equal, cells), percent(items_equal, items)
    print(f"workbooks {workbooks}, cells {cells}, formatting equal {cells_equal} "
          f"({cell_share:.2f}%), items {items}, equal {items_equal} ({item_share:.2f}%)")
    if unreadable:
        print(f"results unreadable: {unreadable}")
    if (args.min_cells is not None or args.min_items is not None) and unreadable:
        return 1
    if args.min_cells is not None and cell_share < args.min_cells:
        return 1
    if args.min_items is not None and item_share < args.min_items:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
