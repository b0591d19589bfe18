// The golden cases through plix.wasm under Node.js: the screen after K frames must
// hash to the same SHA-256 as plix-sim's --raw output, pinned in cases.txt.
// usage: node tests/web/golden.mjs BUILD-WASM/web/plix.wasm tests/golden/cases.txt
import { createHash } from 'node:crypto';
import { readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';
import { dirname, join, resolve } from 'node:path';

const [wasmPath, casesPath] = process.argv.slice(2);
const { loadPlix, putWhole } = await import(pathToFileURL(join(dirname(resolve(wasmPath)), 'plix-core.js')));
const plix = await loadPlix(readFileSync(wasmPath));
let failed = 0;
for (const line of readFileSync(casesPath, 'utf8').split('\n')) {
    if (!line.trim() || line.startsWith('#')) continue;
    const [name, size, seed, frames, pixels, sha, settings] = line.trim().split(/\s+/);
    // The same file golden_lib.sh writes for plix-sim.
    const ini = '[Plix]\r\n' + settings.split(',').map((kv) => kv + '\r\n').join('');
    plix.readSettings(new TextEncoder().encode(ini));
    const [w, h] = size.split('x').map(Number);
    // Every frame shown, then half of them run ahead unseen: the same screen.
    for (const ahead of [0, Math.floor(frames / 2)]) {
        const started = plix.start(Number(seed), w, h);
        if (started) {
            plix.framesAhead(ahead);
            plix.frames(Number(frames) - ahead);
        }
        const got = started ? createHash('sha256').update(plix.screen()).digest('hex') : 'not started';
        const ok = got === sha && plix.pixelsPerFrame() === Number(pixels);
        console.log(`${ok ? 'PASS' : 'FAIL'} ${name}${ahead ? ` (${ahead} frames ahead)` : ''}` +
            `${ok ? '' : `: sha256 ${got}, pixels ${plix.pixelsPerFrame()}`}`);
        if (!ok) failed = 1;
    }
}
// The page's choice between the pieces and one put of the whole screen, on a real
// refresh (two frames, as at 60 Hz) once the dots have spread: [case, size,
// settings file, frames on, whole?]. Full HD at the defaults, where the pieces
// were measured cheaper, by pieces.
const defaultIni = readFileSync(join(dirname(resolve(wasmPath)), 'Plix.default.ini'), 'latin1');
const manyIni = defaultIni.replace(/^dot_count=.*$/m, 'dot_count=1000')
    .replace(/^dot_history=.*$/m, 'dot_history=256');
for (const [name, size, ini, ahead, whole] of [['defaults', '1024x768', defaultIni, 2000, true],
    ['defaults', '1920x1080', defaultIni, 6000, false], ['1000 x 256', '1920x1080', manyIni, 2000, true]]) {
    plix.readSettings(new TextEncoder().encode(ini));
    const [w, h] = size.split('x').map(Number);
    plix.start(7, w, h);
    plix.framesAhead(ahead);
    plix.changes(0);  // the screen as it was shown first
    plix.frames(2);
    const pieces = plix.changes(0), got = putWhole(pieces, w, h);
    // Spread dots change hundreds of tiles; none would make the choice empty.
    const ok = got === whole && pieces.length > 100;
    console.log(`${ok ? 'PASS' : 'FAIL'} ${size}, ${name}, ${ahead} frames on: ` +
        `${pieces.length} pieces put ${got ? 'as the whole screen' : 'one by one'}`);
    if (!ok) failed = 1;
}
// Hundreds of restarts, each with a download (save) and a file opened, as a long
// visit makes: once the first have run, the module's memory grows no more. A
// module of its own, whose memory the cases above have not grown already.
const soak = await loadPlix(readFileSync(wasmPath));
soak.readSettings(new TextEncoder().encode('[Plix]\r\n'));
const cycle = (i) => {
    const values = soak.values();
    values[0] = 50 + (i % 7) * 25;
    soak.setValues(values);
    soak.save();
    soak.start(9, 320, 200);
    soak.frames(3);
    soak.readSettings(new TextEncoder().encode(`[Plix]\r\ndot_count=${60 + (i % 5) * 20}\r\ndot_history=64\r\n`));
    soak.save();
    soak.start(9, 320, 200);
    soak.frames(3);
};
for (let i = 0; i < 10; i++) cycle(i);
const before = soak.memoryBytes();
for (let i = 0; i < 300; i++) cycle(i);
const grown = soak.memoryBytes() - before;
console.log(`${grown <= 128 << 10 ? 'PASS' : 'FAIL'} 300 restarts, saves and files opened: the module's memory ` +
    `${before} bytes, then ${soak.memoryBytes()}`);
if (grown > 128 << 10) failed = 1;
process.exit(failed);
