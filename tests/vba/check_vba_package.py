#!/usr/bin/env python3
"""Checks the VBA carrier's output with readers that share nothing with it: olefile for
compound files, zipfile and ElementTree for packages. Prints what it found; exits with 1
and says why when a check fails.

  check_vba_package.py --list DIR
      the workbooks in DIR that hold a _VBA_PROJECT_CUR storage
  check_vba_package.py --compare SOURCE STORAGE COPY
      COPY's root holds SOURCE's STORAGE unchanged, signature streams aside
  check_vba_package.py --package SOURCE.xls PACKAGE [--all-bound]
      PACKAGE carries SOURCE's project and its code names; --all-bound: every document
      module of the project has its object
"""
import os
import posixpath
import sys
import zipfile
import xml.etree.ElementTree as ET

import olefile

PROJECT = '_VBA_PROJECT_CUR'
SIGNATURES = {'\x05DigitalSignature', '\x05DigitalSignatureAgile', '\x05DigitalSignatureEx'}
MAIN = '{http://schemas.openxmlformats.org/spreadsheetml/2006/main}'
REL_ID = '{http://schemas.openxmlformats.org/officeDocument/2006/relationships}id'
RELS = '{http://schemas.openxmlformats.org/package/2006/relationships}Relationship'
TYPES = '{http://schemas.openxmlformats.org/package/2006/content-types}Override'
VBA_REL = 'http://schemas.microsoft.com/office/2006/relationships/vbaProject'
VBA_TYPE = 'application/vnd.ms-office.vbaProject'
MACRO_MAIN = 'application/vnd.ms-excel.sheet.macroEnabled.main+xml'

failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)


def has_project(path):
    if not olefile.isOleFile(path):
        return False
    try:
        with olefile.OleFileIO(path) as ole:
            return ole.exists(PROJECT) and ole.get_type(PROJECT) == olefile.STGTY_STORAGE
    except (OSError, ValueError):
        return False  # damaged beyond what this reader takes


def entries(ole, prefix):
    """Streams and storages below prefix: relative path -> bytes, or a storage's class id."""
    found = {}
    for path in ole.listdir(streams=True, storages=True):
        if path[:len(prefix)] != prefix or len(path) == len(prefix):
            continue
        rest = path[len(prefix):]
        if len(rest) == 1 and rest[0] in SIGNATURES:
            continue
        if ole.get_type(path) == olefile.STGTY_STORAGE:
            found['/'.join(rest)] = ('storage', ole.getclsid(path))
        else:
            found['/'.join(rest)] = ('stream', ole.openstream(path).read())
    return found


def compare(source_ole, storage, copy_ole):
    """Compares the copy with the source storage; returns (streams identical, streams)."""
    expected = entries(source_ole, storage)
    copied = entries(copy_ole, [])
    expect(copy_ole.root.clsid == '', 'the copy root has class id ' + copy_ole.root.clsid)
    for key in sorted(set(expected) | set(copied)):
        expect(expected.get(key) == copied.get(key), 'differs or missing: ' + repr(key))
    streams = [k for k, v in expected.items() if v[0] == 'stream']
    return sum(1 for k in streams if copied.get(k) == expected[k]), len(streams)


def rels_of(package, part):
    folder, name = posixpath.split(part)
    rels = posixpath.join(folder, '_rels', name + '.rels')
    if rels not in package.namelist():
        return []
    found = []
    for r in ET.fromstring(package.read(rels)).iter(RELS):
        target = r.get('Target')
        target = target[1:] if target.startswith('/') else posixpath.normpath(
            posixpath.join(folder, target))
        found.append((r.get('Id'), r.get('Type'), target))
    return found


def check_package(source, path, all_bound):
    with olefile.OleFileIO(source) as ole, zipfile.ZipFile(path) as package:
        project = ole.openstream([PROJECT, 'PROJECT']).read().decode('latin-1')
        modules = [line.split('=', 1)[1].split('/')[0]
                   for line in project.splitlines() if line.startswith('Document=')]
        main = [t for _, typ, t in rels_of(package, '') if typ.endswith('/officeDocument')][0]
        workbook_rels = rels_of(package, main)
        vba = [t for _, typ, t in workbook_rels if typ == VBA_REL]
        types = {o.get('PartName'): o.get('ContentType')
                 for o in ET.fromstring(package.read('[Content_Types].xml')).iter(TYPES)}
        expect(types.get('/' + main) == MACRO_MAIN, 'main part type ' + str(types.get('/' + main)))
        expect(len(vba) == 1 and types.get('/' + vba[0]) == VBA_TYPE, 'VBA part not declared')
        identical, streams = 0, len([k for k, v in entries(ole, [PROJECT]).items() if v[0] == 'stream'])
        if vba and vba[0] in package.namelist():
            with olefile.OleFileIO(package.read(vba[0])) as copy:
                identical, streams = compare(ole, [PROJECT], copy)
        workbook = ET.fromstring(package.read(main))
        properties = workbook.find(MAIN + 'workbookPr')
        code_names = [properties.get('codeName')] if properties is not None else []
        targets = {rid: t for rid, _, t in workbook_rels}
        for sheet in workbook.iter(MAIN + 'sheet'):
            sheet_pr = ET.fromstring(package.read(targets[sheet.get(REL_ID)])).find(MAIN + 'sheetPr')
            code_names.append(sheet_pr.get('codeName') if sheet_pr is not None else None)
    code_names = [c for c in code_names if c]
    unbound = [m for m in modules if m not in code_names]
    expect(all(c in modules for c in code_names), 'code names without module: ' + str(code_names))
    expect(not all_bound or not unbound, 'document modules without object: ' + str(unbound))
    print(f'streams identical {identical}/{streams}; code names {",".join(sorted(code_names))}; '
          f'modules without object: {",".join(unbound) or "none"}')


def main(args):
    if args[0] == '--list':
        for name in sorted(os.listdir(args[1])):
            if name.lower().endswith('.xls') and has_project(os.path.join(args[1], name)):
                print(name)
    elif args[0] == '--compare':
        with olefile.OleFileIO(args[1]) as source, olefile.OleFileIO(args[3]) as copy:
            identical, streams = compare(source, [args[2]], copy)
        print(f'streams identical {identical}/{streams}')
    else:
        check_package(args[1], args[2], '--all-bound' in args)
    for failure in failures:
        print('FAILED: ' + failure)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
