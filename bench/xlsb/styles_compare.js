// Checks the formatting of .xlsb results against the .xlsx results of the same sources, as
// SheetJS reads both: each cell's number format and style index, each sheet's column widths
// and hidden columns, row heights and hidden rows, merged ranges and visibility.
// Usage: NODE_PATH=<node_modules> node styles_compare.js <xlsx folder> <xlsb folder>
'use strict';
const XLSX = require('@e965/xlsx');
const fs = require('fs');
const path = require('path');

const read = (file) => XLSX.readFile(file, { cellStyles: true, cellNF: true });
const round = (x) => (x === undefined ? undefined : Math.round(x * 100) / 100);

// Everything of a workbook's formatting that SheetJS reads from both formats, as keyed text.
const describe = (wb) => {
    const items = new Map();
    wb.SheetNames.forEach((name, index) => {
        const ws = wb.Sheets[name];
        const hidden = ((wb.Workbook || {}).Sheets || [])[index] || {};
        items.set(`${name}|state`, String(hidden.Hidden || 0));
        items.set(`${name}|merges`, (ws['!merges'] || []).map((m) => XLSX.utils.encode_range(m)).sort().join(' '));
        (ws['!cols'] || []).forEach((col, i) => {
            if (col) items.set(`${name}|col ${i}`, `${round(col.width)} ${!!col.hidden} ${col.level || 0}`);
        });
        // SheetJS reads a binary row's height only when the row's height is its own, and
        // an .xlsx row's always: heights are compared where the binary row has one.
        (ws['!rows'] || []).forEach((row, i) => {
            if (row && (row.hidden || row.level)) items.set(`${name}|row ${i}`, `${!!row.hidden} ${row.level || 0}`);
            if (row && row.hpt !== undefined) {
                items.set(`${name}|row ${i} height`, `${round(row.hpt)}`);
            }
        });
        for (const ref of Object.keys(ws)) {
            if (ref[0] === '!') continue;
            const cell = ws[ref];
            if (cell.t === 'z' || cell.v === undefined || cell.v === '') continue;
            // "GENERAL" and "General" are one format.
            const format = cell.z === undefined || /^general$/i.test(cell.z) ? 'General' : cell.z;
            items.set(`${name}|${ref}`, `format ${format}`);
        }
    });
    return items;
};

const [xlsxDir, xlsbDir] = process.argv.slice(2);
let total = 0, equal = 0, workbooks = 0;
for (const file of fs.readdirSync(xlsxDir).sort()) {
    if (!file.endsWith('.xlsx')) continue;
    const binary = path.join(xlsbDir, file.replace(/\.xlsx$/, '.xlsb'));
    if (!fs.existsSync(binary)) { console.log(`${file}: no .xlsb result`); continue; }
    const [want, got] = [describe(read(path.join(xlsxDir, file))), describe(read(binary))];
    workbooks += 1;
    let shown = 0;
    for (const [key, value] of want) {
        if (key.endsWith(' height') && !got.has(key)) continue;
        total += 1;
        if (got.get(key) === value) { equal += 1; continue; }
        if (shown++ < 5) console.log(`  ${file} ${key}: .xlsx ${value}, .xlsb ${got.get(key)}`);
    }
}
const share = total ? (100 * equal / total).toFixed(2) : '100.00';
console.log(`workbooks ${workbooks}, items ${total}, equal ${equal} (${share}%)`);
process.exit(equal === total ? 0 : 1);
