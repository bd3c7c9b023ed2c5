#!/usr/bin/python3
"""Compares the conditional formats, data validations and autofilters of two sets of .xlsx
packages sheet by sheet: typically the office's own .xlsx results against the .xlsx that
LibreOffice writes after reading our .xlsb of the same sources back.

Usage: rules_compare.py XLSX_DIR BACK_DIR [--details]
Each rule becomes one line that does not depend on how the writer numbers its formats or
orders its ranges (the look of its format is compared, not its index, and colours without
their alpha byte). Prints, per kind,
the rules in XLSX_DIR, how many BACK_DIR holds the same, and the workbooks that differ.
Exit status 1 when a rule of XLSX_DIR is missing or different in BACK_DIR.
"""

import argparse
import collections
import os
import sys
import xml.etree.ElementTree as ET
import zipfile

MAIN = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
REL = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}"


def sheet_parts(package):
    book = ET.fromstring(package.read("xl/workbook.xml"))
    rels = ET.fromstring(package.read("xl/_rels/workbook.xml.rels"))
    targets = {r.get("Id"): r.get("Target") for r in rels}
    for sheet in book.iter(MAIN + "sheet"):
        target = targets.get(sheet.get(REL + "id"), "")
        yield sheet.get("name"), target.lstrip("/") if target.startswith("/") else "xl/" + target


def dxf_looks(package):
    if "xl/styles.xml" not in package.namelist():
        return []
    styles = ET.fromstring(package.read("xl/styles.xml"))
    looks = []
    for dxf in styles.iter(MAIN + "dxf"):
        parts = []
        for element in dxf.iter():
            tag = element.tag.replace(MAIN, "")
            if tag in ("color", "bgColor", "fgColor", "b", "i", "u", "strike"):
                rgb = element.get("rgb")
                if rgb and rgb.upper() == "00FFFFFF":
                    continue  # LibreOffice's automatic colour: no colour set
                # Readers ignore the alpha byte.
                value = (rgb[-6:] if rgb else None) or element.get("theme") or \
                    element.get("val") or "1"
                parts.append(f"{tag}={value}")
        looks.append(",".join(sorted(parts)))
    return looks


def boolean(value, default):
    return default if value is None else value in ("1", "true")


def rules_of(path):
    """(kind, sheet, line) for every rule of the package."""
    out = []
    with zipfile.ZipFile(path) as package:
        looks = dxf_looks(package)
        for name, part in sheet_parts(package):
            if part not in package.namelist():
                continue
            root = ET.fromstring(package.read(part))
            for block in root.iter(MAIN + "conditionalFormatting"):
                ranges = " ".join(sorted((block.get("sqref") or "").split()))
                for rule in block.iter(MAIN + "cfRule"):
                    formulas = [f.text or "" for f in rule.iter(MAIN + "formula")]
                    dxf = int(rule.get("dxfId", "-1"))
                    look = looks[dxf] if 0 <= dxf < len(looks) else "none"
                    out.append(("condformats", name, f"{ranges} {rule.get('type')} "
                                f"{rule.get('operator', '')} {formulas} {look}"))
            for v in root.iter(MAIN + "dataValidation"):
                ranges = " ".join(sorted((v.get("sqref") or "").split()))
                formula = v.find(MAIN + "formula1")
                texts = [v.get(k, "") for k in ("errorTitle", "error", "promptTitle", "prompt")]
                flags = [boolean(v.get(k), False) for k in
                         ("allowBlank", "showErrorMessage", "showInputMessage")]
                out.append(("validations", name, f"{ranges} {v.get('type', 'none')} "
                            f"{v.get('operator', 'between')} "
                            f"{formula.text if formula is not None else ''} {texts} {flags}"))
            for autofilter in root.findall(MAIN + "autoFilter"):
                columns = [(c.get("colId"), sorted(f.get("val") for f in c.iter(MAIN + "filter")))
                           for c in autofilter.findall(MAIN + "filterColumn")]
                out.append(("autofilters", name, f"{autofilter.get('ref')} {columns}"))
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("xlsx_dir")
    parser.add_argument("back_dir")
    parser.add_argument("--details", action="store_true")
    args = parser.parse_args()
    totals = collections.Counter()
    same = collections.Counter()
    differing = []
    for file in sorted(os.listdir(args.xlsx_dir)):
        if not file.endswith(".xlsx"):
            continue
        back = os.path.join(args.back_dir, file)
        try:
            want = collections.Counter(rules_of(os.path.join(args.xlsx_dir, file)))
            have = collections.Counter(rules_of(back)) if os.path.exists(back) else None
        except (zipfile.BadZipFile, ET.ParseError, KeyError) as error:
            print(f"unreadable: {file}: {error}")
            continue
        if have is None:
            if want:
                print(f"no read-back result: {file}")
            continue
        for (kind, sheet, line), count in want.items():
            totals[kind] += count
            same[kind] += min(count, have[(kind, sheet, line)])
        missing = want - have
        if missing:
            differing.append(file)
            if args.details:
                for (kind, sheet, line), count in sorted(missing.items()):
                    print(f"{file}: {sheet}: missing {kind}: {line}")
                for (kind, sheet, line), count in sorted((have - want).items()):
                    print(f"{file}: {sheet}: instead {kind}: {line}")
    for kind in ("condformats", "validations", "autofilters"):
        print(f"{kind}: {totals[kind]} in the .xlsx, {same[kind]} read back the same")
    if differing:
        print("differing: " + " ".join(differing))
    return 1 if differing else 0


if __name__ == "__main__":
    sys.exit(main())
