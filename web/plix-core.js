// plix.wasm made easy to call, for the page (plix.js) and for Node.js (the
// golden check): settings in and out as bytes and numbers, frames, pixels.

// The module's imports: the C library's file calls, which nothing on a page can
// need (each answers "not supported", WASI's ENOSYS), and the clock plix_run
// keeps to.
const noFiles = { fd_close: () => 52, fd_seek: () => 52, fd_write: () => 52 };
const clock = { now: () => performance.now() };

// Settings file states, as the module takes them.
export const NO_FILE = 0, READABLE = 1, UNREADABLE = 2;

// What one putImageData costs Chromium beyond its pixels, in pixels' worth. At
// steady state at 1024 x 768, one put of the whole screen cost less than the 310
// pieces (31.6 % of it) a refresh puts: so a call costs more than 1 740 pixels.
// At full HD the 393 pieces (13 %) cost less than the whole: less than 4 580
// (docs/benchmarks-history.md, "The page's drawing at 1024 × 768, split").
export const putCallPixels = 2800;

// Whether one put of the whole width x height screen costs less than the pieces
// [{ x, y, w, h }, ...] do.
export function putWhole(pieces, width, height) {
    const area = pieces.reduce((sum, p) => sum + p.w * p.h, 0);
    return pieces.length * putCallPixels + area > width * height;
}

export async function loadPlix(wasmBytesOrResponse) {
    const imports = { wasi_snapshot_preview1: noFiles, plix: clock };
    const { instance } = wasmBytesOrResponse instanceof ArrayBuffer || ArrayBuffer.isView(wasmBytesOrResponse)
        ? await WebAssembly.instantiate(wasmBytesOrResponse, imports)
        : await WebAssembly.instantiateStreaming(wasmBytesOrResponse, imports);
    const x = instance.exports;
    x._initialize();
    // Addresses come back as signed 32-bit numbers: past 2 GiB they would be negative.
    const bytes = (ptr, n) => new Uint8Array(x.memory.buffer, ptr >>> 0, n);
    const cString = (ptr) => {
        const all = new Uint8Array(x.memory.buffer);
        let end = ptr >>> 0;
        while (all[end]) end++;
        return new TextDecoder('latin1').decode(all.subarray(ptr >>> 0, end));
    };
    let shown = null;  // image()'s ImageData, and the memory it views
    const keys = Array.from({ length: x.plix_setting_count() }, (_, i) => cString(x.plix_setting_key(i)));

    return {
        keys,
        isFlag: (i) => x.plix_setting_is_flag(i) !== 0,
        // Reads a settings file (bytes, or null for none, or UNREADABLE) as the
        // saver does; returns the keys it does not hold as plain numbers.
        readSettings(file, state = READABLE) {
            if (file === null && state === READABLE) state = NO_FILE;
            if (state === READABLE) bytes(x.plix_settings_buffer(file.length), file.length).set(file);
            const unclear = x.plix_read_settings(state);
            return keys.filter((_, i) => unclear & (1 << i));
        },
        // The form's values, which readSettings fills and save writes; a running
        // field keeps the ones it started with (start reads the file).
        values: () => keys.map((_, i) => x.plix_setting(i)),
        setValues: (values) => values.forEach((v, i) => x.plix_set_setting(i, v | 0)),
        // The dialog's OK; the file's bytes afterwards, or null (message() says why).
        save() {
            if (!x.plix_save()) return null;
            return bytes(x.plix_settings_text(), x.plix_settings_size()).slice();
        },
        message: () => cString(x.plix_message()),
        // The module's memory in bytes: it grows and never shrinks.
        memoryBytes: () => x.memory.buffer.byteLength,
        // The chosen picture for chow: RGBA bytes of width x height, into the module's format.
        setPicture(rgba, width, height) {
            const ptr = x.plix_picture(width, height);
            if (!ptr) return false;
            const out = new Uint32Array(x.memory.buffer, ptr >>> 0, width * height);
            for (let i = 0, j = 0; i < out.length; i++, j += 4)
                out[i] = (rgba[j] << 16) | (rgba[j + 1] << 8) | rgba[j + 2];
            return true;
        },
        start: (seed, width, height) => x.plix_start(seed | 0, width, height) === 0,
        frames: (count) => x.plix_frames(count),
        // Right after start: the field as `count` frames would leave it, at once.
        framesAhead: (count) => x.plix_frames_ahead(count),
        // Up to `count` frames while performance.now() is short of `until`; a
        // frame cut short goes on at the next call. Returns the frames finished.
        run: (count, until) => x.plix_run(count, until),
        width: () => x.plix_width(),
        height: () => x.plix_height(),
        pixelsPerFrame: () => x.plix_pixels_per_frame(),
        // The screen in the frame buffer's own bytes (B G R 0 per pixel), as
        // plix-sim writes it; the module holds it as the canvas takes it.
        screen() {
            const out = bytes(x.plix_screen(), x.plix_width() * x.plix_height() * 4).slice();
            for (let k = 0; k < out.length; k += 4) {
                const red = out[k];
                out[k] = out[k + 2];
                out[k + 2] = red;
                out[k + 3] = 0;
            }
            return out;
        },
        // The parts of the screen that changed since the last call: [{ x, y, w, h }, ...],
        // runs of changed 16 x 16 tiles up to `gap` tiles apart taken as one (-1: the
        // one rectangle bounding them all).
        changes(gap = -1) {
            const at = x.plix_changes(gap) >>> 0;
            const n = new Int32Array(x.memory.buffer, at, 1)[0];
            const v = new Int32Array(x.memory.buffer, at + 4, 4 * n);
            return Array.from({ length: n }, (_, k) => ({ x: v[4 * k], y: v[4 * k + 1], w: v[4 * k + 2], h: v[4 * k + 3] }));
        },
        // The most pixels the page puts at once.
        bandPixels: () => x.plix_band_pixels(),
        // The screen itself, R G B A bytes: for putImageData's dirty rectangle, so
        // that a piece costs the canvas one call. Made once a field, and again
        // when the module's memory grows (the old view is then empty).
        image() {
            const at = x.plix_screen() >>> 0, w = x.plix_width(), h = x.plix_height();
            if (!shown || shown.data.buffer !== x.memory.buffer || shown.at !== at ||
                shown.image.width !== w || shown.image.height !== h) {
                const data = new Uint8ClampedArray(x.memory.buffer, at, w * h * 4);
                shown = { data, at, image: new ImageData(data, w, h) };
            }
            return shown.image;
        },
    };
}
