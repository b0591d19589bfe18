// The web page's frame rate and CPU share in headless Chromium, worst of three
// runs per setting, with the frame step natively (plix-sim) and in WebAssembly
// under Node.js as the same run's reference. Prints a Markdown table.
// usage: node bench/web_bench.mjs BUILD-WASM/web BUILD/plix-sim [SECONDS (default 10)]
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { cpus, loadavg, tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { launch, serve } from '../tests/web/chromium.mjs';

const [site, plixSim] = process.argv.slice(2, 4).map((p) => resolve(p));
const seconds = Number(process.argv[4] || 10);
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

// One run: frames per second the page made and the share of one core it took.
async function pageRun(query, n) {
    const profile = join(work, `profile-${n}`);
    const context = await launch(profile, { width, height });
    const page = await context.newPage();
    await page.goto(server.base + query);
    await page.waitForFunction(() => document.body.dataset.state === 'running');
    await page.waitForTimeout(2000);  // trails spread out
    const sample = () => page.evaluate(() => [Number(document.body.dataset.frames), performance.now()]);
    const [f0, t0] = await sample(), c0 = cpuOf(profile);
    await page.waitForTimeout(seconds * 1000);
    const [f1, t1] = await sample(), c1 = cpuOf(profile);
    await context.close();
    return { fps: (f1 - f0) / ((t1 - t0) / 1000), cpu: (c1 - c0) / ((t1 - t0) / 1000) };
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
console.log(`\nload average after ${loadavg().map((l) => l.toFixed(2)).join(' ')}`);
server.close();
rmSync(work, { recursive: true, force: true });
