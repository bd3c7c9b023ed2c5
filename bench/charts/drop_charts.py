#!/usr/bin/python3
"""Charts the office drops, rebuilt by the objects step and read back by independent readers.

Converts the workbooks with `soffice --convert-to xlsx`, removes every chart frame from the
results' drawings (as the office does with a chart it cannot import), runs the objects step
(BUILD_DIR/bin/carry_objects_step) on them, and compares each rebuilt chart with the one the
office wrote: its kind and its series references. Each rebuilt package is then loaded with
openpyxl and converted to .ods by LibreOffice, whose chart objects are counted with their kind
and series.

Usage: drop_charts.py BUILD_DIR OUT_DIR FILE.xls...
Exit status 1 when a chart is not rebuilt, differs in kind or references, or a reader refuses
a rebuilt package.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile
import xml.etree.ElementTree as ET

C = "{http://schemas.openxmlformats.org/drawingml/2006/chart}"
KINDS = ["barChart", "lineChart", "pieChart", "doughnutChart", "areaChart", "scatterChart",
         "bar3DChart", "line3DChart", "pie3DChart", "area3DChart", "radarChart", "bubbleChart"]


def chart_summary(xml):
    """(kinds, references): each chart group's kind, with its bar direction, and the
    formulas of its series."""
    root = ET.fromstring(xml)
    kinds, refs = [], []
    for kind in KINDS:
        for group in root.iter(C + kind):
            direction = group.find(C + "barDir")
            name = kind.replace("3D", "").replace("Chart", "")
            kinds.append(name + ("/" + direction.get("val") if direction is not None else ""))
            for ser in group.findall(C + "ser"):
                # A name typed in is a quoted literal in the office's formulas.
                refs.append(tuple(f.text for f in ser.iter(C + "f")
                                  if not f.text.startswith('"')))
    # Plot order is compared apart: the office does not always follow the source's.
    return kinds, sorted(refs)


def charts_of(package):
    with zipfile.ZipFile(package) as z:
        return {n: z.read(n) for n in z.namelist() if re.match(r"xl/charts/chart\d+\.xml$", n)}


def drop_chart_frames(package, target):
    """A copy of the package whose drawings hold no chart frame."""
    with zipfile.ZipFile(package) as source, zipfile.ZipFile(target, "w",
                                                             zipfile.ZIP_DEFLATED) as out:
        for item in source.infolist():
            data = source.read(item.filename)
            if re.match(r"xl/drawings/drawing\d+\.xml$", item.filename):
                text = data.decode("utf-8")
                text = re.sub(r"<xdr:(twoCellAnchor|oneCellAnchor|absoluteAnchor)\b"
                              r"(?:(?!</xdr:\1>).)*?drawingml/2006/chart\".*?</xdr:\1>",
                              "", text, flags=re.S)
                data = text.encode("utf-8")
            out.writestr(item, data)


def ods_charts(ods):
    """Each chart object of an .ods: its class and number of series."""
    found = []
    with zipfile.ZipFile(ods) as z:
        for name in z.namelist():
            if name.endswith("/content.xml") and name != "content.xml":
                text = z.read(name).decode("utf-8")
                kind = re.search(r'chart:class="chart:(\w+)"', text)
                if kind:
                    found.append((kind.group(1), text.count("<chart:series ")))
    return found


def soffice(args, profile):
    subprocess.run(["soffice", "--headless", "--norestore",
                    "-env:UserInstallation=file://" + profile] + args,
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    build, out, files = sys.argv[1], sys.argv[2], sys.argv[3:]
    step = os.path.join(build, "bin", "carry_objects_step")
    failures = 0
    for folder in ("office", "dropped", "rebuilt", "ods"):
        os.makedirs(os.path.join(out, folder), exist_ok=True)
    profile = tempfile.mkdtemp(prefix="drop-charts-profile-")
    try:
        soffice(["--convert-to", "xlsx", "--outdir", os.path.join(out, "office")] + files,
                profile)
        rebuilt_files = []
        for source in files:
            stem = os.path.splitext(os.path.basename(source))[0]
            office = os.path.join(out, "office", stem + ".xlsx")
            dropped = os.path.join(out, "dropped", stem + ".xlsx")
            rebuilt = os.path.join(out, "rebuilt", stem + ".xlsx")
            before = charts_of(office)
            drop_chart_frames(office, dropped)
            run = subprocess.run([step, source, dropped, rebuilt], capture_output=True,
                                 text=True)
            print(f"{stem}: {run.stdout.strip()}")
            after = {n: x for n, x in charts_of(rebuilt).items() if n not in before}
            office_charts = sorted(chart_summary(x) for x in before.values())
            new_charts = sorted(chart_summary(x) for x in after.values())
            for kinds, refs in new_charts:
                print(f"  rebuilt {'+'.join(kinds)}: {len(refs)} series, first {refs[:1]}")
            if office_charts != new_charts:
                failures += 1
                print(f"  DIFFERS from the office's: {office_charts}")
            import openpyxl  # the reader users reach for
            try:
                book = openpyxl.load_workbook(rebuilt)
                print(f"  openpyxl: {sum(len(ws._charts) for ws in book.worksheets)} charts")
            except Exception as error:  # a refusal of any kind is a failure here
                failures += 1
                print(f"  openpyxl REFUSES it: {error}")
            rebuilt_files.append(rebuilt)
        soffice(["--convert-to", "ods", "--outdir", os.path.join(out, "ods")] + rebuilt_files,
                profile)
        for rebuilt in rebuilt_files:
            stem = os.path.splitext(os.path.basename(rebuilt))[0]
            ods = os.path.join(out, "ods", stem + ".ods")
            shown = ods_charts(ods) if os.path.exists(ods) else None
            print(f"{stem}: LibreOffice shows {shown}")
            if not shown:
                failures += 1
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
