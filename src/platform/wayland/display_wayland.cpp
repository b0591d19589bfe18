// The connection to the Wayland compositor: its globals, the outputs as they
// come, change and go, a surface on each, and the input that ends the saver.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/wayland/wayland_platform.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

wayland_state wl;

namespace {

// The versions we speak; a compositor may offer newer ones, whose extra events
// our listeners would not know. Outputs and the seat are bound at the newest of
// these offered, older ones as they are: from wl_output 3 and wl_seat 5 (its
// keyboards and pointers from 3) an object can be released, so that the
// compositor frees its side too; a destroy before that tells it nothing, and
// over hours of outputs coming and going its objects would pile up.
constexpr uint32_t compositor_version = 4;    // damage in buffer pixels
constexpr uint32_t least_output_version = 2;  // done and scale
constexpr uint32_t output_version = 4;        // release (3), name and description (4)
constexpr uint32_t seat_version = 5;          // name (2), input released (3), seat released (5)
constexpr uint32_t xdg_output_version = 3;    // its details end with wl_output's done

void release_buffers(wayland_output *o) {
    for (wayland_buffer &b : o->buffers) {
        if (b.buffer) wl_buffer_destroy(b.buffer);
        b = wayland_buffer{};
    }
    if (o->memory) munmap(o->memory, o->memory_size);
    o->memory = nullptr;
    o->memory_size = 0;
}

// An output came, went or changed: the field is to be fitted anew. The
// compositor may have moved the pointer with the layout (off an output that
// went, or with the one it is on), which is not the user's doing: its start is
// measured again, from its place on its output now, or else where it next shows.
void layout_changes() {
    wl.layout_changed = true;
    const wayland_output *o = wl.pointer_on;
    wl.pointer_known = o != nullptr;
    if (!o) return;
    wl.pointer_x0 = o->x + wl.pointer_sx;
    wl.pointer_y0 = o->y + wl.pointer_sy;
}

void destroy_surface(wayland_output *o) {
    if (wl.pointer_on == o) wl.pointer_on = nullptr;
    if (o->frame) wl_callback_destroy(o->frame);
    o->frame = nullptr;
    release_buffers(o);
    if (o->layer) zwlr_layer_surface_v1_destroy(o->layer);
    if (o->toplevel) xdg_toplevel_destroy(o->toplevel);
    if (o->xdg) xdg_surface_destroy(o->xdg);
    if (o->surface) wl_surface_destroy(o->surface);
    o->layer = nullptr;
    o->toplevel = nullptr;
    o->xdg = nullptr;
    o->surface = nullptr;
    o->width = o->height = 0;
    o->surface_w = o->surface_h = 0;
    o->ack_due = false;
    o->changed = false;
}

void forget_output(wayland_output *o) {
    destroy_surface(o);
    if (o->xdg_output) zxdg_output_v1_destroy(o->xdg_output);
    if (wl_output_get_version(o->output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
        wl_output_release(o->output);
    else
        wl_output_destroy(o->output);
    delete o;
}

void on_buffer_release(void *data, wl_buffer *) {
    static_cast<wayland_buffer *>(data)->busy = false;
}
const wl_buffer_listener buffer_listener = {on_buffer_release};

// Two buffers of the surface's size in one shared-memory file, which has no
// name: nothing is left behind, however we end.
bool make_buffers(wayland_output *o) {
    release_buffers(o);
    const size_t stride = size_t(o->width) * 4, one = stride * size_t(o->height);
    const int fd = memfd_create("plix", MFD_CLOEXEC);
    if (fd < 0) return false;
    void *memory = MAP_FAILED;
    if (one <= size_t(INT32_MAX) / 2 && ftruncate(fd, off_t(2 * one)) == 0)
        memory = mmap(nullptr, 2 * one, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        close(fd);
        return false;
    }
    o->memory = memory;
    o->memory_size = 2 * one;
    wl_shm_pool *pool = wl_shm_create_pool(wl.shm, fd, int32_t(2 * one));
    close(fd);
    o->tiles_x = (o->width + tile_size - 1) >> tile_shift;
    o->tiles_y = (o->height + tile_size - 1) >> tile_shift;
    const size_t tiles = size_t(o->tiles_x) * size_t(o->tiles_y);
    for (int i = 0; i < 2; i++) {
        wayland_buffer &b = o->buffers[i];
        // Our pixel format is XRGB8888's: blue in the low byte, the top byte unused.
        b.buffer = wl_shm_pool_create_buffer(pool, int32_t(i * one), o->width, o->height,
                                             int32_t(stride), WL_SHM_FORMAT_XRGB8888);
        b.pixels = reinterpret_cast<uint32_t *>(static_cast<char *>(memory) + i * one);
        b.busy = false;
        b.stale.assign(tiles, 1);  // a new buffer has all of its part to take
        wl_buffer_add_listener(b.buffer, &buffer_listener, &b);
    }
    wl_shm_pool_destroy(pool);
    o->damage.assign(tiles, 1);
    o->changed = true;
    return true;
}

// The surface's size in layout units times its output's scale, so that one
// dot is one device pixel: at a configure, and again when the scale changes,
// which sway tells after the configure of the size that goes with it. A
// toplevel left to choose takes its output's size.
void size_surface(wayland_output *o) {
    const int32_t scale = std::max(1, o->scale);
    const bool chosen = o->surface_w <= 0 || o->surface_h <= 0;
    const int32_t w = chosen ? o->mode_w / scale : o->surface_w;
    const int32_t h = chosen ? o->mode_h / scale : o->surface_h;
    wl_surface_set_buffer_scale(o->surface, scale);
    o->changed = true;  // the buffer scale and an acknowledgement go with a commit
    if (w * scale == o->width && h * scale == o->height) return;
    o->width = w * scale;
    o->height = h * scale;
    if (!make_buffers(o)) {
        wl.out_of_memory = true;
        o->width = o->height = 0;
    }
    layout_changes();
}

void configured(wayland_output *o, uint32_t serial, int32_t w, int32_t h) {
    o->ack_serial = serial;
    o->ack_due = true;
    o->surface_w = w;
    o->surface_h = h;
    size_surface(o);
}

void on_layer_configure(void *data, zwlr_layer_surface_v1 *, uint32_t serial, uint32_t w,
                        uint32_t h) {
    configured(static_cast<wayland_output *>(data), serial, int32_t(std::min(w, 32767u)),
               int32_t(std::min(h, 32767u)));
}

// The compositor took the surface away (its output is going): the layout is
// fitted without it.
void on_layer_closed(void *data, zwlr_layer_surface_v1 *) {
    auto *o = static_cast<wayland_output *>(data);
    destroy_surface(o);
    o->refused = true;
    layout_changes();
}
const zwlr_layer_surface_v1_listener layer_listener = {on_layer_configure, on_layer_closed};

void on_xdg_configure(void *data, xdg_surface *, uint32_t serial) {
    auto *o = static_cast<wayland_output *>(data);
    configured(o, serial, o->asked_w, o->asked_h);
}
const xdg_surface_listener xdg_listener = {on_xdg_configure};

void on_toplevel_configure(void *data, xdg_toplevel *, int32_t w, int32_t h, wl_array *) {
    auto *o = static_cast<wayland_output *>(data);
    o->asked_w = std::min(w, 32767);
    o->asked_h = std::min(h, 32767);
}
void on_toplevel_close(void *, xdg_toplevel *) { wl.closed = true; }
// Bound at version 1: the later events (bounds, capabilities) never come.
const xdg_toplevel_listener toplevel_listener = {on_toplevel_configure, on_toplevel_close, nullptr,
                                                 nullptr};

void on_ping(void *, xdg_wm_base *base, uint32_t serial) { xdg_wm_base_pong(base, serial); }
const xdg_wm_base_listener wm_base_listener = {on_ping};

void on_geometry(void *data, wl_output *, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                 const char *, const char *, int32_t transform) {
    auto *o = static_cast<wayland_output *>(data);
    o->next_x = x;
    o->next_y = y;
    o->next_turned = transform & 1;  // a quarter turn (1, 3, 5, 7) swaps the mode's sides
}

void on_mode(void *data, wl_output *, uint32_t flags, int32_t w, int32_t h, int32_t) {
    auto *o = static_cast<wayland_output *>(data);
    if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
    o->next_w = w;
    o->next_h = h;
}

// Outputs have scales of 1 to 3 or so; a surface of 32767 layout units at the
// largest kept here still counts its pixels in 32 bits.
void on_scale(void *data, wl_output *, int32_t scale) {
    static_cast<wayland_output *>(data)->next_scale = std::clamp(scale, 1, 16);
}

// The description is complete: wl_output's done, or xdg-output's before its
// version 3. (wlroots gives every output the place (0, 0) in wl_output's
// geometry; xdg-output gives the layout's.)
void apply_description(wayland_output *o) {
    if (o->xdg_output && !o->has_logical) return;  // its place in the layout is to come
    const int32_t x = o->has_logical ? o->logical_x : o->next_x;
    const int32_t y = o->has_logical ? o->logical_y : o->next_y;
    const int32_t w = o->next_turned ? o->next_h : o->next_w;
    const int32_t h = o->next_turned ? o->next_w : o->next_h;
    const bool same = o->described && o->x == x && o->y == y && o->mode_w == w && o->mode_h == h &&
                      o->scale == o->next_scale;
    o->x = x;
    o->y = y;
    o->mode_w = w;
    o->mode_h = h;
    const bool rescaled = o->scale != o->next_scale;
    o->scale = o->next_scale;
    o->described = true;
    if (!same) layout_changes();
    if (rescaled && o->width > 0) size_surface(o);  // configured before
}

void on_done(void *data, wl_output *) { apply_description(static_cast<wayland_output *>(data)); }
void on_output_text(void *, wl_output *, const char *) {}  // name, description
const wl_output_listener output_listener = {on_geometry, on_mode,        on_done,
                                            on_scale,    on_output_text, on_output_text};

void on_logical_position(void *data, zxdg_output_v1 *, int32_t x, int32_t y) {
    auto *o = static_cast<wayland_output *>(data);
    o->logical_x = x;
    o->logical_y = y;
    o->has_logical = true;
}
void on_logical_size(void *, zxdg_output_v1 *, int32_t, int32_t) {}
void on_xdg_output_done(void *data, zxdg_output_v1 *) {
    apply_description(static_cast<wayland_output *>(data));
}
void on_xdg_output_name(void *, zxdg_output_v1 *, const char *) {}
const zxdg_output_v1_listener xdg_output_listener = {on_logical_position, on_logical_size,
                                                     on_xdg_output_done, on_xdg_output_name,
                                                     on_xdg_output_name};

void describe_place(wayland_output *o) {
    if (!wl.output_manager || o->xdg_output) return;
    o->xdg_output = zxdg_output_manager_v1_get_xdg_output(wl.output_manager, o->output);
    zxdg_output_v1_add_listener(o->xdg_output, &xdg_output_listener, o);
}

// The pointer's place in the layout, in layout units.
void pointer_at(wayland_output *o, wl_fixed_t sx, wl_fixed_t sy) {
    if (!o) return;
    wl.pointer_sx = wl_fixed_to_double(sx);
    wl.pointer_sy = wl_fixed_to_double(sy);
    const double x = o->x + wl.pointer_sx, y = o->y + wl.pointer_sy;
    if (!wl.pointer_known) {
        wl.pointer_known = true;
        wl.pointer_x0 = x;
        wl.pointer_y0 = y;
    } else if (std::abs(x - wl.pointer_x0) > wayland_pointer_slack ||
               std::abs(y - wl.pointer_y0) > wayland_pointer_slack) {
        wl.user_back = true;
    }
}

wayland_output *output_of(const wl_surface *surface) {
    const auto found =
        std::find_if(wl.outputs.begin(), wl.outputs.end(),
                     [&](const wayland_output *o) { return surface && o->surface == surface; });
    return found == wl.outputs.end() ? nullptr : *found;
}

void on_pointer_enter(void *, wl_pointer *pointer, uint32_t serial, wl_surface *surface,
                      wl_fixed_t sx, wl_fixed_t sy) {
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);  // no cursor over the field
    wl.pointer_on = output_of(surface);
    pointer_at(wl.pointer_on, sx, sy);
}
void on_pointer_leave(void *, wl_pointer *, uint32_t, wl_surface *) { wl.pointer_on = nullptr; }
void on_pointer_motion(void *, wl_pointer *, uint32_t, wl_fixed_t sx, wl_fixed_t sy) {
    pointer_at(wl.pointer_on, sx, sy);
}
void on_pointer_button(void *, wl_pointer *, uint32_t, uint32_t, uint32_t, uint32_t state) {
    if (state == WL_POINTER_BUTTON_STATE_PRESSED) wl.user_back = true;
}
// Scrolling, and the frames grouping a pointer's events (version 5): nothing to do.
void on_pointer_axis(void *, wl_pointer *, uint32_t, uint32_t, wl_fixed_t) {}
void on_pointer_frame(void *, wl_pointer *) {}
void on_axis_source(void *, wl_pointer *, uint32_t) {}
void on_axis_stop(void *, wl_pointer *, uint32_t, uint32_t) {}
void on_axis_discrete(void *, wl_pointer *, uint32_t, int32_t) {}
// Seat version 5 at most: the events of later versions never come.
const wl_pointer_listener pointer_listener = {
    on_pointer_enter, on_pointer_leave, on_pointer_motion, on_pointer_button, on_pointer_axis,
    on_pointer_frame, on_axis_source,   on_axis_stop,      on_axis_discrete,  nullptr};

void on_keymap(void *, wl_keyboard *, uint32_t, int32_t fd, uint32_t) { close(fd); }
void on_keyboard_enter(void *, wl_keyboard *, uint32_t, wl_surface *, wl_array *) {}
void on_keyboard_leave(void *, wl_keyboard *, uint32_t, wl_surface *) {}
// A press ends it; the release of a key held as we started does not.
void on_key(void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t state) {
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED) wl.user_back = true;
}
void on_modifiers(void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void on_repeat_info(void *, wl_keyboard *, int32_t, int32_t) {}  // version 4
const wl_keyboard_listener keyboard_listener = {on_keymap, on_keyboard_enter, on_keyboard_leave,
                                                on_key,    on_modifiers,      on_repeat_info};

// Released where the seat's version has it, else destroyed, as before version 3.
void drop_keyboard() {
    if (wl_keyboard_get_version(wl.keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION)
        wl_keyboard_release(wl.keyboard);
    else
        wl_keyboard_destroy(wl.keyboard);
    wl.keyboard = nullptr;
}
void drop_pointer() {
    if (wl_pointer_get_version(wl.pointer) >= WL_POINTER_RELEASE_SINCE_VERSION)
        wl_pointer_release(wl.pointer);
    else
        wl_pointer_destroy(wl.pointer);
    wl.pointer = nullptr;
    wl.pointer_on = nullptr;
}

void on_capabilities(void *, wl_seat *seat, uint32_t caps) {
    const bool keyboard = caps & WL_SEAT_CAPABILITY_KEYBOARD,
               pointer = caps & WL_SEAT_CAPABILITY_POINTER;
    if (keyboard && !wl.keyboard) {
        wl.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(wl.keyboard, &keyboard_listener, nullptr);
    } else if (!keyboard && wl.keyboard) {
        drop_keyboard();
    }
    if (pointer && !wl.pointer) {
        wl.pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(wl.pointer, &pointer_listener, nullptr);
    } else if (!pointer && wl.pointer) {
        drop_pointer();
    }
}
void on_seat_name(void *, wl_seat *, const char *) {}  // version 2
const wl_seat_listener seat_listener = {on_capabilities, on_seat_name};

void on_global(void *, wl_registry *registry, uint32_t name, const char *interface,
               uint32_t version) {
    auto bind = [&](const wl_interface *what, uint32_t want) {
        return wl_registry_bind(registry, name, what, std::min(version, want));
    };
    if (wayland_idle_global(registry, name, interface)) return;
    if (!strcmp(interface, wl_compositor_interface.name) && version >= compositor_version) {
        wl.compositor =
            static_cast<wl_compositor *>(bind(&wl_compositor_interface, compositor_version));
    } else if (!strcmp(interface, wl_shm_interface.name)) {
        wl.shm = static_cast<wl_shm *>(bind(&wl_shm_interface, 1));
    } else if (!strcmp(interface, zwlr_layer_shell_v1_interface.name)) {
        wl.layer_shell =
            static_cast<zwlr_layer_shell_v1 *>(bind(&zwlr_layer_shell_v1_interface, 1));
    } else if (!strcmp(interface, xdg_wm_base_interface.name)) {
        wl.wm_base = static_cast<xdg_wm_base *>(bind(&xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(wl.wm_base, &wm_base_listener, nullptr);
    } else if (!strcmp(interface, zxdg_output_manager_v1_interface.name)) {
        wl.output_manager = static_cast<zxdg_output_manager_v1 *>(
            bind(&zxdg_output_manager_v1_interface, xdg_output_version));
        for (wayland_output *o : wl.outputs) describe_place(o);
    } else if (!strcmp(interface, wl_seat_interface.name) && !wl.seat) {
        wl.seat = static_cast<wl_seat *>(bind(&wl_seat_interface, seat_version));
        wl_seat_add_listener(wl.seat, &seat_listener, nullptr);
    } else if (!strcmp(interface, wl_output_interface.name) && version >= least_output_version) {
        auto *o = new wayland_output{};
        o->name = name;
        o->scale = o->next_scale = 1;
        o->output = static_cast<wl_output *>(bind(&wl_output_interface, output_version));
        wl_output_add_listener(o->output, &output_listener, o);
        wl.outputs.push_back(o);
        describe_place(o);
    }
}

void on_global_remove(void *, wl_registry *, uint32_t name) {
    for (size_t i = 0; i < wl.outputs.size(); i++) {
        wayland_output *o = wl.outputs[i];
        if (o->name != name) continue;
        forget_output(o);
        wl.outputs.erase(wl.outputs.begin() + long(i));
        layout_changes();
        return;
    }
}
const wl_registry_listener registry_listener = {on_global, on_global_remove};

}  // namespace

bool wayland_open(char *why, size_t why_size) {
    // A socket handed over comes first, and the library forgets it once taken.
    const char *socket = getenv("WAYLAND_SOCKET");
    char handed[32] = "";
    if (socket && *socket) snprintf(handed, sizeof handed, "%s", socket);
    wl.display = wl_display_connect(nullptr);
    if (!wl.display) {
        const char *name = getenv("WAYLAND_DISPLAY");
        if (*handed)
            snprintf(why, why_size,
                     "cannot connect to the Wayland compositor on WAYLAND_SOCKET \"%s\"", handed);
        else
            snprintf(why, why_size, "cannot connect to the Wayland display \"%s\"",
                     name ? name : "");
        return false;
    }
    wl.registry = wl_display_get_registry(wl.display);
    wl_registry_add_listener(wl.registry, &registry_listener, nullptr);
    // The globals, then what the outputs and the seat say of themselves.
    if (wl_display_roundtrip(wl.display) < 0 || wl_display_roundtrip(wl.display) < 0)
        return !wayland_failed(why, why_size);
    const char *missing = !wl.compositor                   ? "wl_compositor version 4"
                          : !wl.shm                        ? "wl_shm"
                          : !wl.layer_shell && !wl.wm_base ? "zwlr_layer_shell_v1 or xdg_wm_base"
                                                           : nullptr;
    if (missing) {
        snprintf(why, why_size, "the Wayland compositor offers no %s", missing);
        return false;
    }
    use_framebuf_services(wayland_framebuf_services);
    return true;
}

void wayland_add_surfaces() {
    for (wayland_output *o : wl.outputs) {
        if (!o->described || o->surface || o->refused) continue;
        o->surface = wl_compositor_create_surface(wl.compositor);
        if (wl.layer_shell) {
            // Over everything on its output, bars included, with the keyboard ours.
            o->layer = zwlr_layer_shell_v1_get_layer_surface(
                wl.layer_shell, o->surface, o->output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "plix");
            zwlr_layer_surface_v1_add_listener(o->layer, &layer_listener, o);
            zwlr_layer_surface_v1_set_anchor(o->layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP |
                                                           ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                           ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                           ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
            zwlr_layer_surface_v1_set_size(o->layer, 0, 0);
            zwlr_layer_surface_v1_set_exclusive_zone(o->layer, -1);
            zwlr_layer_surface_v1_set_keyboard_interactivity(o->layer, 1);
        } else {
            o->xdg = xdg_wm_base_get_xdg_surface(wl.wm_base, o->surface);
            xdg_surface_add_listener(o->xdg, &xdg_listener, o);
            o->toplevel = xdg_surface_get_toplevel(o->xdg);
            xdg_toplevel_add_listener(o->toplevel, &toplevel_listener, o);
            xdg_toplevel_set_title(o->toplevel, "Plix");
            xdg_toplevel_set_app_id(o->toplevel, "plix");
            xdg_toplevel_set_fullscreen(o->toplevel, o->output);
        }
        // The first commit has no buffer: the compositor answers with the size.
        wl_surface_commit(o->surface);
    }
}

bool wayland_layout(int32_t *width, int32_t *height) {
    // Places in device pixels of the densest output: outputs of one scale lie
    // edge to edge as in the layout; a less dense one keeps one dot to a device
    // pixel, its part a little apart from its neighbours' rather than over them.
    // (In 64 bits: the compositor's coordinates are any 32-bit values.)
    int64_t scale = 0;
    for (const wayland_output *o : wl.outputs) {
        if (!o->described || !o->surface) continue;
        if (o->width == 0) return false;  // its size is still to come
        scale = std::max(scale, int64_t(o->scale));
    }
    if (!scale) return false;
    int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    for (const wayland_output *o : wl.outputs) {
        if (!o->described || !o->surface) continue;
        left = std::min(left, o->x * scale);
        top = std::min(top, o->y * scale);
        right = std::max(right, o->x * scale + o->width);
        bottom = std::max(bottom, o->y * scale + o->height);
    }
    // A part beyond the largest field lies off the picture, and shows black:
    // its place need only stay far enough off for sums with it to fit 32 bits.
    constexpr int64_t far = int64_t(1) << 24;
    for (wayland_output *o : wl.outputs) {
        o->place_x = int32_t(std::min(o->x * scale - left, far));
        o->place_y = int32_t(std::min(o->y * scale - top, far));
    }
    *width = int32_t(std::min<int64_t>(right - left, 32767));
    *height = int32_t(std::min<int64_t>(bottom - top, 32767));
    return true;
}

bool wayland_failed(char *why, size_t why_size) {
    const int error = wl.display ? wl_display_get_error(wl.display) : 0;
    if (!error) return false;
    const wl_interface *interface = nullptr;
    uint32_t id = 0;
    const uint32_t code =
        error == EPROTO ? wl_display_get_protocol_error(wl.display, &interface, &id) : 0;
    if (error == EPROTO)
        snprintf(why, why_size, "Wayland protocol error %u on %s@%u", code,
                 interface ? interface->name : "an unknown object", id);
    else
        snprintf(why, why_size, "lost the connection to the Wayland compositor (%s)",
                 strerror(error));
    return true;
}

void wayland_remove_surfaces() {
    for (wayland_output *o : wl.outputs) {
        destroy_surface(o);
        o->refused = false;
    }
    wl.user_back = wl.closed = wl.out_of_memory = false;
    wl.pointer_known = false;
    wl.layout_changed = false;
}

void wayland_close() {
    if (!wl.display) return;
    wayland_idle_close();
    for (wayland_output *o : wl.outputs) forget_output(o);
    wl.outputs.clear();
    if (wl.output_manager) zxdg_output_manager_v1_destroy(wl.output_manager);
    if (wl.keyboard) drop_keyboard();
    if (wl.pointer) drop_pointer();
    if (wl.seat && wl_seat_get_version(wl.seat) >= WL_SEAT_RELEASE_SINCE_VERSION)
        wl_seat_release(wl.seat);
    else if (wl.seat)
        wl_seat_destroy(wl.seat);
    if (wl.layer_shell) zwlr_layer_shell_v1_destroy(wl.layer_shell);
    if (wl.wm_base) xdg_wm_base_destroy(wl.wm_base);
    if (wl.shm) wl_shm_destroy(wl.shm);
    if (wl.compositor) wl_compositor_destroy(wl.compositor);
    wl_registry_destroy(wl.registry);
    wl_display_flush(wl.display);
    wl_display_disconnect(wl.display);
    wl = wayland_state{};
}
