// The page served from a build directory on a free local port, and Debian's
// Chromium started headless on a fresh profile: shared by the browser test and
// the page's benchmark. No browser is ever downloaded.
import { spawn } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, join } from 'node:path';
import { chromium } from 'playwright-core';

const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
    '.wasm': 'application/wasm', '.ini': 'text/plain' };

// Serves the files of `site`; resolves to { base, close }.
export async function serve(site) {
    const server = createServer((req, res) => {
        const path = join(site, new URL(req.url, 'http://x').pathname.replace(/\/$/, '/index.html'));
        try {
            const body = readFileSync(path);
            res.writeHead(200, { 'Content-Type': types[extname(path)] || 'application/octet-stream' });
            res.end(body);
        } catch {
            res.writeHead(404).end();
        }
    }).listen(0, '127.0.0.1');
    await new Promise((ok) => server.on('listening', ok));
    return { base: `http://127.0.0.1:${server.address().port}/`, close: () => server.close() };
}

// A browser context on the profile folder `profile` (its --user-data-dir).
export function launch(profile, viewport) {
    return chromium.launchPersistentContext(profile, {
        executablePath: '/usr/bin/chromium', headless: true, acceptDownloads: true,
        viewport, deviceScaleFactor: 1,
        args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
            '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
}

// Chromium headless without playwright, driven over the DevTools protocol through
// a pipe (commands to its descriptor 3, answers from 4). Playwright keeps every
// page it drives visible (it emulates focus), so only here does a tab put behind
// another become hidden, as a user's does. Returns { send(method, params,
// sessionId), close() }; both give promises.
export function launchBare(profile) {
    const chrome = spawn('/usr/bin/chromium', ['--headless', '--no-sandbox', '--disable-gpu',
        '--no-first-run', '--disable-background-networking', '--disable-component-update',
        '--disable-sync', '--remote-debugging-pipe', `--user-data-dir=${profile}`, 'about:blank'],
    { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });
    const [commands, answers] = [chrome.stdio[3], chrome.stdio[4]];
    const waiting = new Map();
    let last = 0, pending = '';
    answers.setEncoding('utf8');
    answers.on('data', (text) => {
        pending += text;
        for (let end; (end = pending.indexOf('\0')) >= 0; pending = pending.slice(end + 1)) {
            const m = JSON.parse(pending.slice(0, end));
            const w = waiting.get(m.id);  // events have no id: not needed
            waiting.delete(m.id);
            if (w) m.error ? w.fail(new Error(`${w.method}: ${m.error.message}`)) : w.ok(m.result);
        }
    });
    chrome.on('exit', () => waiting.forEach((w) => w.fail(new Error(`${w.method}: Chromium ended`))));
    const send = (method, params = {}, sessionId = undefined) => new Promise((ok, fail) => {
        waiting.set(++last, { method, ok, fail });
        commands.write(JSON.stringify({ id: last, method, params, sessionId }) + '\0');
    });
    const close = () => new Promise((ok) => {
        if (chrome.exitCode !== null || chrome.signalCode !== null) return ok();
        chrome.once('exit', ok);
        chrome.kill();
    });
    return { send, close };
}
