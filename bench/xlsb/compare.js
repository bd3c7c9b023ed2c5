// Compares two workbooks cell by cell as SheetJS reads them: the values of non-empty
// cells and the text of formulas. Prints one summary line and one line per difference.
// Usage: NODE_PATH=<node_modules> node compare.js <reference> <candidate>
'use strict';
const XLSX = require('@e965/xlsx');

const fs = require('fs');
const read = (file) => XLSX.readFile(file, { cellFormula: true });
const [ref, cand] = [read(process.argv[2]), read(process.argv[3])];

// "[n]" in formula text numbers external workbooks by their order in the package; a
// reader may drop unused links and number again. Name each link by its target instead.
const linkTargets = (file) => {
    if (!file.endsWith('.xlsx')) return null;
    const zip = XLSX.CFB.read(fs.readFileSync(file), { type: 'buffer' });
    const text = (path) => {
        const entry = XLSX.CFB.find(zip, 'Root Entry/' + path) || XLSX.CFB.find(zip, '/' + path);
        return entry ? Buffer.from(entry.content).toString('utf8') : '';
    };
    const rels = {};
    for (const m of text('xl/_rels/workbook.xml.rels').matchAll(/<Relationship [^>]*>/g)) {
        const id = /Id="([^"]*)"/.exec(m[0]), target = /Target="([^"]*)"/.exec(m[0]);
        if (id && target) rels[id[1]] = target[1];
    }
    const out = [];
    for (const m of text('xl/workbook.xml').matchAll(/<externalReference [^>]*r:id="([^"]*)"/g)) {
        const part = 'xl/' + (rels[m[1]] || '');
        const linkRels = part.replace(/([^/]*)$/, '_rels/$1.rels');
        const target = /Target="([^"]*)"/.exec(text(linkRels));
        out.push(target ? target[1] : '?');
    }
    return out;
};
const [refLinks, candLinks] = [linkTargets(process.argv[2]), linkTargets(process.argv[3])];
const named = (f, links) => (links ? String(f).replace(/\[(\d+)\]/g, (all, n) => `[${links[n - 1] || n}]`) : String(f));
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
            if (named(x.f, refLinks) === named(y.f || '', candLinks)) ++texts; else diffs.push(`formula\t${name}!${addr}\t${x.f}\t${y.f || ''}`);
        }
    }
}
console.log(`summary\tcells ${cells}\tvalues ${values}\tformulas ${formulas}\ttexts ${texts}`);
for (const d of diffs) console.log(d);
