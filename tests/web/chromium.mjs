// The page served from a build directory on a free local port, and Debian's
// Chromium started headless on a fresh profile: shared by the browser test and
// the page's benchmark. No browser is ever downloaded.
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
