// The page: the settings form, the settings file in and out, the address's fixed
// settings and seed, the chosen picture, and the 10 ms clock that steps the field
// and the drawing of what changed into the canvas. No step of either holds the
// page much longer than its budget, whatever the settings, so it always answers.
import { loadPlix, putWhole, READABLE, UNREADABLE } from './plix-core.js';

const frameMs = 10;          // the saver's timer
const mostCatchUp = 10;      // frames one late tick may make up; beyond, time is dropped
const tickBudgetMs = 20;     // the longest a tick steps the field; a frame not done goes on at the next
const drawBudgetMs = 20;     // the longest a screen refresh draws; the rest waits for the next
const largestFile = 64 << 20; // as our settings reader refuses larger files
// What changed is put piece by piece: runs of changed 16 x 16 tiles this many
// tiles apart or nearer go as one piece. At steady state at full HD, runs that
// touch (0) put 13 % of the field a refresh against 94 % as one box, at no more
// of Chromium's time than wider gaps, which put more (bench/web_bench.mjs;
// docs/benchmarks-history.md, "The web page's pieces").
const pieceGapTiles = 0;
// A field's sides are at most 32767 pixels, as the saver's trail points hold. Its
// area is at most 2^25 pixels, an 8K screen's worth (7680 x 4320 is 33177600): the
// page takes Chromium some 24 bytes a pixel, so about 800 MB. At 16000 x 16000
// (near 2^28, the most Chromium lets a canvas have: a larger one stays blank) it
// took 6 GB and froze the tab for half a minute, making and first showing the canvas.
const largestSide = 32767, largestArea = 2 ** 25;

const canvas = document.getElementById('field');
const ctx = canvas.getContext('2d');
const form = document.getElementById('settings');
const messageLine = document.getElementById('message');
const paceLine = document.getElementById('pace');
const params = new URLSearchParams(location.search);

// band: the changed pieces still to draw, taken after bandOf frames; pace: frames
// and cut ticks since `since`.
// framesAhead: the address's frames_ahead, frames each new field runs unseen
// before it is shown (for measuring a long run; it holds the page meanwhile).
const page = { plix: null, seed: 0, seedFixed: false, size: null, frameLimit: -1, framesAhead: 0, frames: 0,
    running: false, clock: 0, due: 0, band: null, bandOf: 0, picture: null, drawn: { refreshes: 0, pixels: 0, stepMs: 0 },
    pace: { since: 0, frames: 0, cut: false } };

// The benchmark reads what the refreshes drew, and the time the frames took.
globalThis.plixDrawn = page.drawn;

function say(text) { messageLine.textContent = text; }
function sayToo(text) { say([messageLine.textContent, text].filter(Boolean).join('\n')); }

// A number field as the dialog reads it: an unsigned decimal, stored as the signed
// number with the same 32 bits; anything else (empty, letters, too large) is 0.
function fieldValue(text) {
    if (!/^\s*\d+$/.test(text)) return 0;
    const n = Number(text.trim());
    return n <= 4294967295 ? n | 0 : 0;
}

// A value in the address: a signed 32-bit decimal, or as a field reads it.
function addressValue(text) {
    return /^-\d+$/.test(text) && Number(text) >= -2147483648 ? Number(text) : fieldValue(text);
}

function formValues() {
    return page.plix.keys.map((k) => form.elements[k].type === 'checkbox'
        ? (form.elements[k].checked ? 1 : 0) : fieldValue(form.elements[k].value));
}

// As the dialog shows them: as stored, numbers unsigned, a box checked by 1.
function showValues(values) {
    page.plix.keys.forEach((k, i) => {
        const el = form.elements[k];
        if (el.type === 'checkbox') el.checked = values[i] === 1;
        else el.value = String(values[i] >>> 0);
    });
}

// The address's size, else the page's in device pixels.
function fieldSize() {
    if (page.size) return page.size;
    const dpr = window.devicePixelRatio || 1;
    return [Math.max(1, Math.round(innerWidth * dpr)), Math.max(1, Math.round(innerHeight * dpr))];
}

// A plain test card for chow when no picture was chosen.
function drawTestCard(c, w, h) {
    const bars = ['#c0c0c0', '#c0c000', '#00c0c0', '#00c000', '#c000c0', '#c00000', '#0000c0', '#202020'];
    bars.forEach((colour, i) => { c.fillStyle = colour; c.fillRect(i * w / 8, 0, w / 8 + 1, h); });
    c.strokeStyle = '#fff';
    for (let x = 0; x < w; x += 40) c.strokeRect(x + 0.5, -1, 40, h + 2);
    for (let y = 0; y < h; y += 40) c.strokeRect(-1, y + 0.5, w + 2, 40);
    c.fillStyle = '#000';
    c.font = `bold ${Math.max(12, h / 8)}px sans-serif`;
    c.textAlign = 'center';
    c.fillText('Plix', w / 2, h / 2);
}

// The picture chow eats into, scaled to cover the field.
function pictureFor(w, h) {
    const c = new OffscreenCanvas(w, h).getContext('2d');
    const p = page.picture;
    if (p) {
        const scale = Math.max(w / p.width, h / p.height);
        c.drawImage(p, (w - p.width * scale) / 2, (h - p.height * scale) / 2, p.width * scale, p.height * scale);
    } else {
        drawTestCard(c, w, h);
    }
    return c.getImageData(0, 0, w, h).data;
}

// The form's values stored as the dialog's OK stores them, and a new field from
// them; `note` replaces what the page said before.
function restart(note = '') {
    const plix = page.plix;
    page.running = false;
    setClock();
    say(note);
    plix.setValues(formValues());
    if (!plix.save()) sayToo(plix.message());
    if (!page.seedFixed) page.seed = Date.now() | 0;
    const [w, h] = fieldSize();
    const values = plix.values();
    if (values[plix.keys.indexOf('chow')] && !plix.setPicture(pictureFor(w, h), w, h))
        sayToo('No memory for the picture: Chow eats into black.');
    document.body.dataset.state = 'starting';
    paceLine.textContent = '';
    if (!plix.start(page.seed, w, h)) {
        sayToo(plix.message());
        if (page.size) sayToo(`Or ask for a smaller size= in the address than ${w}x${h}.`);
        document.body.dataset.state = 'error';
        return;
    }
    if (page.framesAhead) plix.framesAhead(page.framesAhead);
    canvas.width = plix.width();
    canvas.height = plix.height();
    page.band = null;
    page.frames = 0;
    page.running = true;
    setClock();
    document.body.dataset.state = 'running';
    document.body.dataset.frames = 0;
    updateLink();
}

// The clock runs while the field does and the page can be seen: a hidden page
// (another tab in front, a minimised window) makes no frames, and shown again the
// field goes on from where it stopped, no frames made up for the time away.
function setClock() {
    const wanted = page.running && !document.hidden && page.frames !== page.frameLimit;
    if (wanted && !page.clock) {
        page.due = performance.now();
        page.pace = { since: page.due, frames: 0, cut: false };
        page.clock = setInterval(tick, frameMs);
    } else if (!wanted && page.clock) {
        clearInterval(page.clock);
        page.clock = 0;
    }
}

// One tick of the clock: the frames due since the last, at most mostCatchUp, for
// at most tickBudgetMs. What the budget cuts is dropped, as for a late tick: the
// field runs slower rather than the page stalling.
function tick() {
    const now = performance.now();
    let count = Math.floor((now - page.due) / frameMs);
    if (count <= 0) return;
    page.due += count * frameMs;
    if (count > mostCatchUp) {
        count = mostCatchUp;
        page.due = now;
    }
    if (page.frameLimit >= 0) count = Math.min(count, page.frameLimit - page.frames);
    const done = page.plix.run(count, now + tickBudgetMs);
    page.drawn.stepMs += performance.now() - now;
    if (done < count) page.due = performance.now();
    page.frames += done;
    document.body.dataset.frames = page.frames;
    setClock();
    notePace(now, done, done < count);
}

// Once a second, where the budget cut frames: how many a second the field makes
// (a window with none goes on until one comes).
function notePace(now, done, cut) {
    const pace = page.pace;
    pace.frames += done;
    pace.cut ||= cut;
    const ms = now - pace.since;
    if (ms < 1000) return;
    const rate = !pace.frames ? 'Less than a frame a second'
        : pace.frames * 1000 >= ms ? `${Math.round(pace.frames * 1000 / ms)} frames a second`
        : `A frame every ${(ms / 1000 / pace.frames).toFixed(1)} seconds`;
    paceLine.textContent = pace.cut
        ? `${rate}: at these settings a frame takes this browser longer than the saver's 10 ms.` : '';
    if (pace.frames || !pace.cut) page.pace = { since: now, frames: 0, cut: false };
}

// What changed since the last refresh, piece by piece (not the box bounding it
// all, which once the dots have spread is nearly the whole field), each put from
// the module's screen, a large one in bands, for at most drawBudgetMs; the rest
// goes on at the next refresh, as the screen then stands (what changed meanwhile
// comes again with the next pieces). Where the pieces' calls would cost more than
// putting the whole screen, the whole goes instead. page.drawn counts the
// refreshes and the pixels drawn.
function draw() {
    const plix = page.plix;
    if (page.running) {
        const until = performance.now() + drawBudgetMs;
        if (!page.band) {
            page.band = plix.changes(pieceGapTiles);
            page.bandOf = page.frames;
            if (putWhole(page.band, plix.width(), plix.height()))
                page.band = [{ x: 0, y: 0, w: plix.width(), h: plix.height() }];
            page.drawn.refreshes++;
        }
        const image = plix.image();
        while (page.band.length && performance.now() < until) {
            const b = page.band[page.band.length - 1];
            const rows = Math.min(b.h, Math.max(1, Math.floor(plix.bandPixels() / b.w)));
            ctx.putImageData(image, 0, 0, b.x, b.y, b.w, rows);
            page.drawn.pixels += b.w * rows;
            b.y += rows;
            b.h -= rows;
            if (!b.h) page.band.pop();
        }
        if (!page.band.length) page.band = null;
        // Done once the pieces taken after the last frame are drawn.
        if (page.bandOf === page.frameLimit && !page.band) document.body.dataset.state = 'done';
    }
    requestAnimationFrame(draw);
}

function updateLink() {
    const q = new URLSearchParams();
    formValues().forEach((v, i) => q.set(page.plix.keys[i], v));
    q.set('seed', page.seed);
    q.set('size', `${canvas.width}x${canvas.height}`);
    document.getElementById('link').href = '?' + q;
}

// A settings file read as the saver reads it, shown in the form, and a new field.
async function openSettings(file) {
    let bytes = null, state = READABLE;
    try {
        if (file.size > largestFile) throw new Error('too large');
        bytes = new Uint8Array(await file.arrayBuffer());
    } catch {
        state = UNREADABLE;
    }
    const unclear = page.plix.readSettings(bytes, state);
    showValues(page.plix.values());
    if (state === UNREADABLE)
        restart(`${file.name} could not be read: every setting is 0, as the saver would read it.`);
    else if (unclear.length)
        restart(`${file.name} read as the saver reads it. Not there as plain numbers, so taken as ` +
            `shown (0 where unreadable): ${unclear.join(', ')}.`);
    else
        restart(`${file.name} read.`);
}

// The form's values as they are (a trail past 1024 too). The running field keeps
// those it started with, clamped by its set-up, until a restart.
function download() {
    page.plix.setValues(formValues());
    const bytes = page.plix.save();
    if (!bytes) return say(page.plix.message());
    const a = document.createElement('a');
    a.href = URL.createObjectURL(new Blob([bytes], { type: 'text/plain' }));
    a.download = 'Plix.ini';
    a.click();
    setTimeout(() => URL.revokeObjectURL(a.href), 1000);
}

// Handlers report problems on the page rather than throw.
function guarded(f) {
    return async (...args) => {
        try { await f(...args); } catch (e) { say(`Something went wrong: ${e.message}`); }
    };
}

async function main() {
    page.plix = await loadPlix(fetch('plix.wasm'));
    const defaults = await fetch('Plix.default.ini').then((r) => r.ok ? r.arrayBuffer() : null, () => null);
    page.plix.readSettings(defaults && new Uint8Array(defaults));
    const notes = defaults ? [] : ['The default settings could not be loaded: every setting is 0.'];
    const values = page.plix.values();
    page.plix.keys.forEach((k, i) => { if (params.has(k)) values[i] = addressValue(params.get(k)); });
    showValues(values);
    if (params.has('seed')) {
        page.seed = addressValue(params.get('seed'));
        page.seedFixed = true;
    }
    if (/^\d+$/.test(params.get('frames') || '')) page.frameLimit = Number(params.get('frames'));
    if (/^\d{1,10}$/.test(params.get('frames_ahead') || ''))
        page.framesAhead = Math.min(Number(params.get('frames_ahead')), 2 ** 31 - 1);
    const size = /^(\d+)x(\d+)$/.exec(params.get('size') || '');
    const [w, h] = size ? [Number(size[1]), Number(size[2])] : [0, 0];
    if (size && w >= 1 && w <= largestSide && h >= 1 && h <= largestSide && w * h <= largestArea)
        page.size = [w, h];
    else if (size && w >= 1 && w <= largestSide && h >= 1 && h <= largestSide)
        notes.push(`size=${params.get('size')} is larger than the page draws (at most ${largestArea} ` +
            'pixels, an 8K screen\'s worth): the page\'s size is used.');
    else if (params.has('size'))
        notes.push(`size=${params.get('size')} is not WxH with each side 1..${largestSide}: ` +
            'the page\'s size is used.');

    form.addEventListener('change', guarded((e) => { if (e.target.name) restart(); }));
    form.addEventListener('submit', (e) => e.preventDefault());
    document.getElementById('download').addEventListener('click', guarded(download));
    document.getElementById('open-settings').addEventListener('change', guarded(async (e) => {
        if (e.target.files[0]) await openSettings(e.target.files[0]);
        e.target.value = '';
    }));
    document.getElementById('picture').addEventListener('change', guarded(async (e) => {
        if (!e.target.files[0]) return;
        try {
            page.picture = await createImageBitmap(e.target.files[0]);
        } catch {
            return say(`${e.target.files[0].name} is not a picture this browser can show.`);
        }
        form.elements.chow.checked = true;
        restart();
    }));
    document.getElementById('fullscreen').addEventListener('click', guarded(() =>
        document.documentElement.requestFullscreen()));
    messageLine.addEventListener('click', () => say(''));
    document.addEventListener('visibilitychange', setClock);
    const toggle = document.getElementById('show-settings');
    toggle.addEventListener('click', () => {
        form.hidden = !form.hidden;
        toggle.setAttribute('aria-expanded', String(!form.hidden));
    });
    document.addEventListener('dragover', (e) => e.preventDefault());
    document.addEventListener('drop', guarded(async (e) => {
        e.preventDefault();
        const file = e.dataTransfer.files[0];
        if (file) await openSettings(file);
    }));
    let resizing = 0;
    addEventListener('resize', () => {
        if (page.size) return;
        clearTimeout(resizing);
        resizing = setTimeout(guarded(restart), 200);
    });
    restart(notes.join('\n'));
    requestAnimationFrame(draw);
}

guarded(main)();
