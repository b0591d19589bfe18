// plix.wasm made easy to call, for the page (plix.js) and for Node.js (the
// golden check): settings in and out as bytes and numbers, frames, pixels.

// The module's only imports are the C library's file calls, which nothing on a
// page can need: each answers "not supported" (WASI's ENOSYS).
const noFiles = { fd_close: () => 52, fd_seek: () => 52, fd_write: () => 52 };

// Settings file states, as the module takes them.
export const NO_FILE = 0, READABLE = 1, UNREADABLE = 2;

export async function loadPlix(wasmBytesOrResponse) {
    const imports = { wasi_snapshot_preview1: noFiles };
    const { instance } = wasmBytesOrResponse instanceof ArrayBuffer || ArrayBuffer.isView(wasmBytesOrResponse)
        ? await WebAssembly.instantiate(wasmBytesOrResponse, imports)
        : await WebAssembly.instantiateStreaming(wasmBytesOrResponse, imports);
    const x = instance.exports;
    x._initialize();
    const bytes = (ptr, n) => new Uint8Array(x.memory.buffer, ptr, n);
    const cString = (ptr) => {
        const all = new Uint8Array(x.memory.buffer);
        let end = ptr;
        while (all[end]) end++;
        return new TextDecoder('latin1').decode(all.subarray(ptr, end));
    };
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
        values: () => keys.map((_, i) => x.plix_setting(i)),
        setValues: (values) => values.forEach((v, i) => x.plix_set_setting(i, v | 0)),
        // The dialog's OK; the file's bytes afterwards, or null (message() says why).
        save() {
            if (!x.plix_save()) return null;
            return bytes(x.plix_settings_text(), x.plix_settings_size()).slice();
        },
        message: () => cString(x.plix_message()),
        // The chosen picture for chow: RGBA bytes of width x height, into the module's format.
        setPicture(rgba, width, height) {
            const ptr = x.plix_picture(width, height);
            if (!ptr) return false;
            const out = new Uint32Array(x.memory.buffer, ptr, width * height);
            for (let i = 0, j = 0; i < out.length; i++, j += 4)
                out[i] = (rgba[j] << 16) | (rgba[j + 1] << 8) | rgba[j + 2];
            return true;
        },
        start: (seed, width, height) => x.plix_start(seed | 0, width, height) === 0,
        frames: (count) => x.plix_frames(count),
        width: () => x.plix_width(),
        height: () => x.plix_height(),
        pixelsPerFrame: () => x.plix_pixels_per_frame(),
        // The screen in the frame buffer's own bytes (B G R 0 per pixel).
        screen: () => bytes(x.plix_screen(), x.plix_width() * x.plix_height() * 4),
        // The changed part as RGBA: { rgba (the whole screen's), x, y, w, h }.
        draw() {
            const r = new Int32Array(x.memory.buffer, x.plix_draw(), 4);
            const n = x.plix_width() * x.plix_height() * 4;
            return { rgba: new Uint8ClampedArray(x.memory.buffer, x.plix_rgba(), n),
                x: r[0], y: r[1], w: r[2], h: r[3] };
        },
    };
}
