// Compares two workbooks cell by cell as SheetJS reads them: the values of non-empty
// cells and the text of formulas. Prints one summary line and one line per difference.
// Usage: NODE_PATH=<node_modules> node compare.js <reference> <candidate>
'use strict';
const XLSX = require('@e965/xlsx');

const read = (file) => XLSX.readFile(file, { cellFormula: true });
const [ref, cand] = [read(process.argv[2]), read(process.argv[3])];
const same = (a, b) => {
    if (a.t === 'n' && b.t === 'n') return a.v === b.v || Math.abs(a.v - b.v) <= 1e-12 * Math.abs(a.v);
    if (a.t === 'e' || b.t === 'e') return a.t === b.t && (a.w || a.v) === (b.w || b.v);
    return a.t === b.t && String(a.v) === String(b.v);
};
let cells = 0, values = 0, formulas = 0, texts = 0;
const diffs = [];
for (const name of ref.SheetNames) {
    const a = ref.Sheets[name], b = cand.Sheets[name];
    if (!b) { diffs.push(`sheet ${name} missing`); continue; }
    for (const addr of Object.keys(a)) {
        if (addr[0] === '!') continue;
        const x = a[addr], y = b[addr] || { t: 'z' };
        if (x.t !== 'z' && x.v !== undefined && x.v !== '') {
            ++cells;
            if (same(x, y)) ++values; else diffs.push(`value\t${name}!${addr}\t${x.t}:${x.v}\t${y.t}:${y.v}`);
        }
        if (x.f) {
            ++formulas;
            if (String(x.f) === String(y.f || "")) ++texts; else diffs.push(`formula\t${name}!${addr}\t${x.f}\t${y.f || ''}`);
        }
    }
}
console.log(`summary\tcells ${cells}\tvalues ${values}\tformulas ${formulas}\ttexts ${texts}`);
for (const d of diffs) console.log(d);
