#!/usr/bin/env python3
"""Checks converted packages against the legacy workbooks they came from, with readers that
share nothing with the code under test: olefile for compound files, zipfile and ElementTree
for the package.

  check_vba_package.py --list DIR           workbooks in DIR that hold _VBA_PROJECT_CUR
  check_vba_package.py SOURCE.xls PACKAGE   key=value lines describing the package
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


def has_project(path):
    if not olefile.isOleFile(path):
        return False
    try:
        with olefile.OleFileIO(path) as ole:
            return ole.exists(PROJECT) and ole.get_type(PROJECT) == olefile.STGTY_STORAGE
    except (OSError, ValueError):
        return False  # damaged beyond what this reader takes


def entries(ole, prefix):
    """Streams and storages below prefix: relative path -> bytes, or the class id."""
    found = {}
    for path in ole.listdir(streams=True, storages=True):
        if path[:len(prefix)] != prefix or len(path) == len(prefix):
            continue
        rest = path[len(prefix):]
        if len(rest) == 1 and rest[0] in SIGNATURES:
            continue
        key = '/'.join(rest)
        if ole.get_type(path) == olefile.STGTY_STORAGE:
            found[key] = ('storage', ole.getclsid(path))
        else:
            found[key] = ('stream', ole.openstream(path).read())
    return found


def document_modules(ole):
    text = ole.openstream([PROJECT, 'PROJECT']).read().decode('latin-1')
    return sorted(line.split('=', 1)[1].split('/')[0]
                  for line in text.splitlines() if line.startswith('Document='))


def rels_of(package, part):
    folder, name = posixpath.split(part)
    rels = posixpath.join(folder, '_rels', name + '.rels')
    if rels not in package.namelist():
        return []
    return [(r.get('Id'), r.get('Type'), posixpath.normpath(posixpath.join(folder, r.get('Target')))
             if not r.get('Target').startswith('/') else r.get('Target')[1:])
            for r in ET.fromstring(package.read(rels)).iter(RELS)]


def check(source, target):
    out = {}
    with olefile.OleFileIO(source) as ole:
        expected = entries(ole, [PROJECT])
        modules = document_modules(ole)
    with zipfile.ZipFile(target) as package:
        names = package.namelist()
        main = [t for _, typ, t in rels_of(package, '') if typ.endswith('/officeDocument')][0]
        workbook_rels = rels_of(package, main)
        vba_parts = [t for _, typ, t in workbook_rels if typ == VBA_REL]
        overrides = {o.get('PartName'): o.get('ContentType')
                     for o in ET.fromstring(package.read('[Content_Types].xml')).iter(TYPES)}
        out['main_type'] = overrides.get('/' + main, '')
        out['vba_relationships'] = len(vba_parts)
        out['vba_override'] = overrides.get('/xl/vbaProject.bin', '')
        copied = {}
        if 'xl/vbaProject.bin' in names:
            with olefile.OleFileIO(package.read('xl/vbaProject.bin')) as vba:
                copied = entries(vba, [])
                out['root_clsid'] = vba.root.clsid or 'null'
        workbook = ET.fromstring(package.read(main))
        code_names = []
        properties = workbook.find(MAIN + 'workbookPr')
        if properties is not None and properties.get('codeName'):
            code_names.append(properties.get('codeName'))
        targets = {rid: t for rid, _, t in workbook_rels}
        for sheet in workbook.iter(MAIN + 'sheet'):
            part = ET.fromstring(package.read(targets[sheet.get(REL_ID)]))
            sheet_pr = part.find(MAIN + 'sheetPr')
            if sheet_pr is not None and sheet_pr.get('codeName'):
                code_names.append(sheet_pr.get('codeName'))
    streams = [k for k, v in expected.items() if v[0] == 'stream']
    out['source_streams'] = len(streams)
    out['identical_streams'] = sum(1 for k in streams if copied.get(k) == expected[k])
    out['storages_match'] = int(all(copied.get(k) == v for k, v in expected.items()
                                    if v[0] == 'storage'))
    out['extra_entries'] = ','.join(sorted(set(copied) - set(expected)))
    out['document_modules'] = ','.join(modules)
    out['code_names'] = ','.join(sorted(code_names))
    out['unbound_modules'] = ','.join(m for m in modules if m not in code_names)
    out['invented_code_names'] = ','.join(c for c in code_names if c not in modules)
    for key, value in out.items():
        print(f'{key}={value}')


if __name__ == '__main__':
    if sys.argv[1] == '--list':
        folder = sys.argv[2]
        for name in sorted(os.listdir(folder)):
            if name.lower().endswith('.xls') and has_project(os.path.join(folder, name)):
                print(name)
    else:
        check(sys.argv[1], sys.argv[2])
