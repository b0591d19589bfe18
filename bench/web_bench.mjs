// The web page's frame rate and CPU share in headless Chromium, worst of three
// runs per setting, with the frame step natively (plix-sim) and in WebAssembly
// under Node.js as the same run's reference. Prints a Markdown table. Then, per
// size and setting, the page at the start and at steady state (frames_ahead),
// with the share of the field it put per refresh, beside a floor
// page (one pixel a frame) and one that puts the whole field every refresh, in
// the same run; then at 1920x1080 the page's drawing alone by the pieces' gap.
// usage: node bench/web_bench.mjs BUILD-WASM/web BUILD/plix-sim [SECONDS (default 10)] [FRAMES_AHEAD (14000)]
// environment: SIZES ("1024x768 1920x1080 3840x2160"), GAPS=0 (no gap runs),
// BASE_SITE (an earlier build's web/: its page at the start and steady, alternated with ours)
import { execFileSync } from 'node:child_process';
import { copyFileSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { cpus, loadavg, tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { launch, serve } from '../tests/web/chromium.mjs';

const [site, plixSim] = process.argv.slice(2, 4).map((p) => resolve(p));
const seconds = Number(process.argv[4] || 10);
const steadyFrames = Number(process.argv[5] || 14000);
const [width, height] = [1280, 720];
const hz = 100;  // Linux clock ticks per second in /proc/PID/stat
const work = mkdtempSync(join(tmpdir(), 'plix-web-bench.'));
const server = await serve(site);
const { loadPlix } = await import(pathToFileURL(join(site, 'plix-core.js')));

// CPU seconds so far of every process started with our profile folder.
function cpuOf(profile) {
    let ticks = 0;
    for (const pid of readdirSync('/proc').filter((d) => /^\d+$/.test(d))) {
        try {
            if (!readFileSync(`/proc/${pid}/cmdline`, 'latin1').includes(profile)) continue;
            const stat = readFileSync(`/proc/${pid}/stat`, 'latin1');
            const f = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
            ticks += Number(f[11]) + Number(f[12]);  // utime, stime
        } catch { /* gone meanwhile */ }
    }
    return ticks / hz;
}

// The reference pages, the canvas's size given as size=WxH: one pixel a frame
// (the floor), or the whole field put every refresh.
const refSite = join(work, 'ref');
mkdirSync(refSite);
const refPage = (whole) => `<!doctype html><body><canvas id=c></canvas><script>
const [w, h] = new URLSearchParams(location.search).get('size').split('x').map(Number);
const c = document.getElementById('c'), ctx = c.getContext('2d');
c.width = w; c.height = h;
const field = new ImageData(w, h), dot = new ImageData(1, 1);
let frames = 0, k = 0;
setInterval(() => { frames++; document.body.dataset.frames = frames; }, 10);
function draw() {
    k = (k + 7919) % (w * h);
    const d = ${whole} ? field : dot;
    d.data.set([k & 255, 128, 255 - (k & 255), 255], ${whole} ? 4 * k : 0);
    ${whole} ? ctx.putImageData(field, 0, 0) : ctx.putImageData(dot, k % w, Math.floor(k / w));
    requestAnimationFrame(draw);
}
document.body.dataset.state = 'running';
requestAnimationFrame(draw);
</script>`;
writeFileSync(join(refSite, 'floor.html'), refPage(false));
writeFileSync(join(refSite, 'whole.html'), refPage(true));
// The page's drawing alone, its pieces' gap given as gap=G (-1: the box bounding
// the changes, as the page drew before), to choose the gap by: the module's
// frames at the saver's 10 ms, what changed put at each screen refresh.
for (const f of ['plix-core.js', 'plix.wasm', 'Plix.default.ini']) copyFileSync(join(site, f), join(refSite, f));
writeFileSync(join(refSite, 'pieces.html'), `<!doctype html><body><canvas id=c></canvas><script type=module>
import { loadPlix } from './plix-core.js';
const q = new URLSearchParams(location.search);
const [w, h] = q.get('size').split('x').map(Number), gap = Number(q.get('gap'));
const plix = await loadPlix(fetch('plix.wasm'));
plix.readSettings(new Uint8Array(await (await fetch('Plix.default.ini')).arrayBuffer()));
plix.start(1, w, h);
plix.framesAhead(Number(q.get('frames_ahead')));
const c = document.getElementById('c'), ctx = c.getContext('2d');
c.width = w; c.height = h;
const drawn = globalThis.plixDrawn = { refreshes: 0, pixels: 0 };
let frames = 0;
setInterval(() => { plix.frames(1); document.body.dataset.frames = ++frames; }, 10);
function draw() {
    drawn.refreshes++;
    const pieces = plix.changes(gap), image = plix.image();
    for (const b of pieces) {
        for (let y = b.y, rows; y < b.y + b.h; y += rows) {
            rows = Math.min(b.y + b.h - y, Math.max(1, Math.floor(plix.bandPixels() / b.w)));
            ctx.putImageData(image, 0, 0, b.x, y, b.w, rows);
            drawn.pixels += b.w * rows;
        }
    }
    requestAnimationFrame(draw);
}
document.body.dataset.state = 'running';
requestAnimationFrame(draw);
</script>`);
const refServer = await serve(refSite);
const baseServer = process.env.BASE_SITE ? await serve(resolve(process.env.BASE_SITE)) : null;

// One run: frames per second the page made and the share of one core it took;
// for our page also the pixels it put per refresh (of the canvas's
// screen refreshes, requestAnimationFrame's).
async function pageRun(query, n, at = server.base, viewport = { width, height }) {
    const profile = join(work, `profile-${n}`);
    const context = await launch(profile, viewport);
    const page = await context.newPage();
    await page.goto(at + query);
    await page.waitForFunction(() => document.body.dataset.state === 'running', null, { timeout: 120000 });
    await page.waitForTimeout(2000);  // trails spread out
    const sample = () => page.evaluate(() => {
        const d = globalThis.plixDrawn || { refreshes: 0, pixels: 0, stepMs: 0 };
        return [Number(document.body.dataset.frames), performance.now(), d.refreshes, d.pixels, d.stepMs || 0];
    });
    const [f0, t0, r0, p0, s0] = await sample(), c0 = cpuOf(profile);
    await page.waitForTimeout(seconds * 1000);
    const [f1, t1, r1, p1, s1] = await sample(), c1 = cpuOf(profile);
    await context.close();
    return { fps: (f1 - f0) / ((t1 - t0) / 1000), cpu: (c1 - c0) / ((t1 - t0) / 1000),
        perRefresh: r1 > r0 ? (p1 - p0) / (r1 - r0) : 0, step: (s1 - s0) / (t1 - t0) };
}

// The frame step alone, ms a frame: natively, and in the module under Node.js.
async function reference(settings) {
    const frames = 1000;
    const ini = '[Plix]\n' + Object.entries(settings).map(([k, v]) => `${k}=${v}\n`).join('');
    writeFileSync(join(work, 'ref.ini'), ini);
    const sim = (k) => {
        const t = process.hrtime.bigint();
        execFileSync(plixSim, ['--settings', join(work, 'ref.ini'), '--size', `${width}x${height}`,
            '--seed', '1', '--frames', String(k)]);
        return Number(process.hrtime.bigint() - t) / 1e6;
    };
    const native = (sim(frames) - sim(0)) / frames;
    const plix = await loadPlix(readFileSync(join(site, 'plix.wasm')));
    plix.readSettings(new TextEncoder().encode(ini));
    plix.start(1, width, height);
    const t = performance.now();
    plix.frames(frames);
    return { native, wasm: (performance.now() - t) / frames };
}

const defaults = Object.fromEntries(readFileSync(join(site, 'Plix.default.ini'), 'latin1')
    .split('\n').filter((l) => l.includes('=')).map((l) => l.trim().split('=')));
const rows = [
    { dots: 100, trail: 64, query: '?seed=1', settings: defaults },
    { dots: 1000, trail: 256, query: '?dot_count=1000&dot_history=256&seed=1',
        settings: { ...defaults, dot_count: 1000, dot_history: 256 } },
];
const version = execFileSync('/usr/bin/chromium', ['--version'], { stdio: ['ignore', 'pipe', 'ignore'] })
    .toString().trim();
console.log(`${version}, headless, ${width}x${height} page, ${cpus().length} cores; ` +
    `load average before ${loadavg().map((l) => l.toFixed(2)).join(' ')}`);
console.log('\n| dot_count | dot_history | frames/s (worst of 3) | Chromium CPU (worst of 3) | frame step: wasm in Node | native plix-sim |');
console.log('|---:|---:|---:|---:|---:|---:|');
let n = 0;
for (const row of rows) {
    const runs = [];
    for (let i = 0; i < 3; i++) runs.push(await pageRun(row.query, n++));
    const ref = await reference(row.settings);
    const fps = Math.min(...runs.map((r) => r.fps)), cpu = Math.max(...runs.map((r) => r.cpu));
    console.log(`| ${row.dots} | ${row.trail} | ${fps.toFixed(1)} | ${(cpu * 100).toFixed(1)} % | ` +
        `${ref.wasm.toFixed(2)} ms | ${ref.native.toFixed(2)} ms |`);
}

// Start and steady state per size (SIZES, default 1024x768 1920x1080 3840x2160)
// and setting, each case's three runs alternated with the others' of its size,
// beside the floor and the whole field put every refresh; the frame step's share
// as the page ran it (its clock's ticks) and, in brackets, back to back (the
// module's frames after those run ahead, under Node, at 100 a second); and
// whether steady state costs no more than the step as it ran plus the whole field.
// Steady state is FRAMES_AHEAD frames on at 1920x1080 with the defaults, the
// field's own steady frame elsewhere (bench/screens.sh's margins).
const sizes = (process.env.SIZES || '1024x768 1920x1080 3840x2160').split(' ').filter(Boolean);
const settingRows = [
    ['defaults, centre starts', { starting_pos: 0 }],
    ['defaults, random starts', { starting_pos: 1 }],
    ['1000 × 256', { dot_count: 1000, dot_history: 256 }],
];
function aheadOf(size, big) {
    if (size === '1024x768') return 2000;
    if (size === '1920x1080') return big ? 8000 : steadyFrames;
    return big ? 24000 : 5500;
}
async function stepShare(settings, w, h, ahead) {
    const plix = await loadPlix(readFileSync(join(site, 'plix.wasm')));
    const ini = '[Plix]\n' + Object.entries({ ...defaults, ...settings }).map(([k, v]) => `${k}=${v}\n`).join('');
    plix.readSettings(new TextEncoder().encode(ini));
    plix.start(1, w, h);
    plix.framesAhead(ahead);
    const t = performance.now();
    plix.frames(1000);
    return (performance.now() - t) / 1000 / 10;  // ms a frame at 10 ms a frame
}
const pct = (x) => `${(100 * x).toFixed(1)} %`;
for (const sizeText of sizes) {
    const [sw, sh] = sizeText.split('x').map(Number);
    const size = `size=${sizeText}`;
    const cases = [
        ['floor: one pixel a frame', refServer.base, `floor.html?${size}`],
        ['the whole field put every refresh', refServer.base, `whole.html?${size}`],
    ];
    for (const [what, values] of settingRows) {
        const q = Object.entries(values).map(([k, v]) => `&${k}=${v}`).join('');
        const ahead = aheadOf(sizeText, 'dot_count' in values);
        cases.push([`${what}: start`, server.base, `?seed=1&${size}${q}`]);
        if (baseServer) cases.push([`${what}: start, before`, baseServer.base, `?seed=1&${size}${q}`]);
        cases.push([`${what}: steady (${ahead})`, server.base, `?seed=1&${size}${q}&frames_ahead=${ahead}`,
            { ...values, ahead }]);
        if (baseServer) cases.push([`${what}: steady (${ahead}), before`, baseServer.base,
            `?seed=1&${size}${q}&frames_ahead=${ahead}`, { ...values, ahead }]);
    }
    const caseRuns = cases.map(() => []);
    for (let i = 0; i < 3; i++)
        for (const [k, [, at, query]] of cases.entries())
            caseRuns[k].push(await pageRun(query, n++, at, { width: sw, height: sh }));
    // The step: as the page ran it, in the run that took most.
    const worst = (k) => ({ fps: Math.min(...caseRuns[k].map((r) => r.fps)),
        cpu: Math.max(...caseRuns[k].map((r) => r.cpu)), put: Math.max(...caseRuns[k].map((r) => r.perRefresh)),
        step: caseRuns[k].reduce((a, b) => (b.cpu > a.cpu ? b : a)).step });
    const whole = worst(1).cpu;
    console.log(`\n${sizeText} field and page, ${seconds} s a run, worst of 3 alternated runs; ` +
        `load average ${loadavg().map((l) => l.toFixed(2)).join(' ')}:\n`);
    console.log('| page | frames/s | Chromium CPU | put per refresh (of the field) | frame step as it ran (back to back) | steady ≤ step + whole field |');
    console.log('|---|---:|---:|---:|---:|---|');
    for (const [k, [what, , , steadyOf]] of cases.entries()) {
        const r = worst(k);
        let step = '', goal = '';
        if (steadyOf) {
            const share = await stepShare(steadyOf, sw, sh, steadyOf.ahead);
            const limit = r.step + whole;
            step = `${pct(r.step)} (${pct(share)})`;
            goal = `${r.cpu <= limit ? 'holds' : 'does not hold'}: ${pct(r.cpu)} ${r.cpu <= limit ? '≤' : '>'} ${pct(limit)}`;
        }
        console.log(`| ${what} | ${r.fps.toFixed(1)} | ${pct(r.cpu)} | ` +
            `${r.put ? pct(r.put / (sw * sh)) : '-'} | ${step} | ${goal} |`);
    }
}

// The gap, by the drawing alone at steady state at full HD (GAPS=0: skipped).
const [sw, sh] = [1920, 1080];
const size = `size=${sw}x${sh}`;
const gaps = process.env.GAPS === '0' ? [] : [-1, 0, 2, 8, 32];
const gapRuns = gaps.map(() => []);
for (let i = 0; i < 3; i++)
    for (const [k, gap] of gaps.entries())
        gapRuns[k].push(await pageRun(`pieces.html?${size}&gap=${gap}&frames_ahead=${steadyFrames}`, n++,
            refServer.base, { width: sw, height: sh }));
if (gaps.length) {
    console.log(`\nThe drawing alone ${steadyFrames} frames on, by the pieces' gap, worst of 3 alternated runs:\n`);
    console.log('| pieces | Chromium CPU | put per refresh (of the field) |');
    console.log('|---|---:|---:|');
}
for (const [k, gap] of gaps.entries()) {
    const runs = gapRuns[k];
    console.log(`| ${gap < 0 ? 'the box bounding the changes' : `runs ${gap} tiles apart joined`} | ` +
        `${(100 * Math.max(...runs.map((r) => r.cpu))).toFixed(1)} % | ` +
        `${(100 * Math.max(...runs.map((r) => r.perRefresh)) / (sw * sh)).toFixed(1)} % |`);
}
console.log(`\nload average after ${loadavg().map((l) => l.toFixed(2)).join(' ')}`);
refServer.close();
if (baseServer) baseServer.close();
server.close();
rmSync(work, { recursive: true, force: true });
