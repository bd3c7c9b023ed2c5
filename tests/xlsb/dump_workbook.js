// Prints every cell of a workbook as read by SheetJS, one per line:
//   cell <TAB> sheet <TAB> A1 <TAB> type <TAB> value <TAB> formula
// plus "merge", "col" and "sheet" lines. Tabs, newlines and backslashes are escaped.
// Usage: NODE_PATH=<node_modules> node dump_workbook.js <file>
'use strict';
const XLSX = require('@e965/xlsx');

const esc = (s) => String(s).replace(/\\/g, '\\\\').replace(/\t/g, '\\t').replace(/\n/g, '\\n').replace(/\r/g, '\\r');
const wb = XLSX.readFile(process.argv[2], { cellFormula: true, cellStyles: true, cellNF: true });
const out = [];
for (const name of wb.SheetNames) {
    const ws = wb.Sheets[name];
    out.push(['sheet', esc(name)].join('\t'));
    for (const ref of Object.keys(ws)) {
        if (ref[0] === '!') continue;
        const c = ws[ref];
        let value = c.v;
        if (c.t === 'n') value = Number(c.v).toPrecision(15);
        if (c.t === 'b') value = c.v ? 'TRUE' : 'FALSE';
        if (c.t === 'e') value = c.w !== undefined ? c.w : String(c.v);
        if (value === undefined) value = '';
        out.push(['cell', esc(name), ref, c.t, esc(value), esc(c.f || '')].join('\t'));
        for (const note of c.c || []) out.push(['comment', esc(name), ref, esc(note.t)].join('\t'));
    }
    for (const m of ws['!merges'] || []) {
        out.push(['merge', esc(name), XLSX.utils.encode_range(m)].join('\t'));
    }
    (ws['!cols'] || []).forEach((col, i) => {
        if (col && col.wch !== undefined) out.push(['col', esc(name), i, col.wch.toFixed(2)].join('\t'));
    });
}
process.stdout.write(out.join('\n') + '\n');
