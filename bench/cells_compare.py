#!/usr/bin/python3
"""Compares the stored cell values of legacy .xls workbooks with those of their converted
.xlsx/.xlsm packages, through two readers that share no code with the converter:
xlrd for the sources and openpyxl (data_only, so stored results) for the results.

Usage:
  cells_compare.py SOURCE_DIR RESULT_DIR [--ext xlsx]   pairs files by name
  cells_compare.py SRC.xls RESULT.xlsx [SRC.xls RESULT.xlsx ...]
Options:
  --details         print every cell that differs
  --min-percent P   exit with status 1 when fewer than P% of the cells compared are equal

Non-empty cells are those xlrd reports as number, date, text (but not empty text),
boolean or error. Dates are
compared as serial numbers, numbers to 1e-9 relative. A sheet missing from the result
counts all its cells as different; a workbook without a result is listed and left out.
"""

import argparse
import datetime
import math
import os
import sys
import warnings

import openpyxl
import xlrd
from openpyxl.utils.datetime import to_excel

warnings.simplefilter("ignore")
QUIET = open(os.devnull, "w")  # xlrd reports file oddities on stdout otherwise

RELATIVE_TOLERANCE = 1e-9


def numbers_equal(a, b):
    if a == b:
        return True
    return abs(a - b) <= RELATIVE_TOLERANCE * max(abs(a), abs(b))


def as_serial(value, epoch):
    if isinstance(value, (datetime.datetime, datetime.date, datetime.time, datetime.timedelta)):
        return to_excel(value, epoch)
    return value


def describe(value):
    return f"{type(value).__name__} {value!r}"


def cell_equal(source, result, epoch):
    """source: an xlrd cell; result: an openpyxl value."""
    kind = source.ctype
    if kind in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
        result = as_serial(result, epoch)
        return (isinstance(result, (int, float)) and not isinstance(result, bool)
                and numbers_equal(float(source.value), float(result)))
    if kind == xlrd.XL_CELL_TEXT:
        return isinstance(result, str) and result == source.value
    if kind == xlrd.XL_CELL_BOOLEAN:
        return isinstance(result, bool) and result == bool(source.value)
    if kind == xlrd.XL_CELL_ERROR:
        return isinstance(result, str) and result == xlrd.error_text_from_code.get(source.value)
    return True


def source_text(cell):
    if cell.ctype == xlrd.XL_CELL_ERROR:
        return "error " + xlrd.error_text_from_code.get(cell.value, "?")
    if cell.ctype == xlrd.XL_CELL_BOOLEAN:
        return f"bool {bool(cell.value)}"
    return describe(cell.value)


def compare_workbook(source_path, result_path, details):
    """Returns (compared, equal) for one pair."""
    book = xlrd.open_workbook(source_path, on_demand=True, logfile=QUIET)
    result = openpyxl.load_workbook(result_path, data_only=True, read_only=True)
    epoch = result.epoch
    compared = equal = 0
    try:
        for index in range(book.nsheets):
            sheet = book.sheet_by_index(index)
            target = result[sheet.name] if sheet.name in result.sheetnames else None
            values = {}
            if target is not None and hasattr(target, "iter_rows"):
                for row in target.iter_rows():
                    for cell in row:
                        if getattr(cell, "value", None) is not None:
                            values[(cell.row - 1, cell.column - 1)] = cell.value
            for r in range(sheet.nrows):
                for c, cell in enumerate(sheet.row(r)):
                    if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                        continue
                    if cell.ctype == xlrd.XL_CELL_TEXT and cell.value == "":
                        continue  # an empty text result reads as an empty cell
                    compared += 1
                    value = values.get((r, c))
                    if target is not None and cell_equal(cell, value, epoch):
                        equal += 1
                    elif details:
                        where = f"{os.path.basename(source_path)}!{sheet.name}!R{r + 1}C{c + 1}"
                        print(f"  {where}: source {source_text(cell)}, result {describe(value)}")
            book.unload_sheet(index)
    finally:
        book.release_resources()
        result.close()
    return compared, equal


def pairs_from_arguments(paths, extension):
    if len(paths) == 2 and all(os.path.isdir(p) for p in paths):
        source_dir, result_dir = paths
        pairs = []
        for name in sorted(os.listdir(source_dir)):
            stem, ext = os.path.splitext(name)
            if ext.lower() != ".xls":
                continue
            pairs.append((os.path.join(source_dir, name),
                          os.path.join(result_dir, f"{stem}.{extension}")))
        return pairs
    if len(paths) % 2 != 0 or not paths:
        sys.exit("give two folders or pairs of source and result files")
    return list(zip(paths[0::2], paths[1::2]))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("paths", nargs="+")
    parser.add_argument("--ext", default="xlsx", help="result extension when given folders")
    parser.add_argument("--details", action="store_true")
    parser.add_argument("--min-percent", type=float, default=None)
    args = parser.parse_args()

    total_compared = total_equal = workbooks = unreadable = 0
    for source, result in pairs_from_arguments(args.paths, args.ext):
        name = os.path.basename(source)
        try:
            xlrd.open_workbook(source, logfile=QUIET).release_resources()  # every sheet, not just the list
        except Exception as error:  # xlrd cannot read it either: nothing to compare with
            print(f"{name}: source unreadable by xlrd ({error.__class__.__name__}), skipped")
            continue
        if not os.path.isfile(result):
            print(f"{name}: no result, skipped")
            continue
        try:
            compared, equal = compare_workbook(source, result, args.details)
        except Exception as error:
            # A result its reader refuses has lost every value: a fault, not a skip.
            print(f"{name}: result unreadable ({error.__class__.__name__}: {error})")
            unreadable += 1
            continue
        workbooks += 1
        total_compared += compared
        total_equal += equal
        if compared != equal:
            print(f"{name}: {equal}/{compared} equal")

    percent = 100.0 * total_equal / total_compared if total_compared else 100.0
    print(f"workbooks {workbooks}, cells compared {total_compared}, equal {total_equal}, "
          f"changed {total_compared - total_equal}, equal {percent:.2f}%")
    if unreadable:
        print(f"results unreadable: {unreadable}")
    if args.min_percent is not None and (unreadable or percent < args.min_percent):
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
