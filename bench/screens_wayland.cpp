// plix-screens-wayland MODE: the reference programs beside plix on a Wayland
// compositor (bench/wayland_bench.sh), paced as plix is: a 10 ms tick, and on
// each output a commit once its last frame is on the screen, into whichever of
// two wl_shm buffers the compositor has released. "pixel" changes and damages
// one pixel per commit, the floor; "whole" copies a whole-output picture into
// the buffer and damages all of it, the naive saver. Prints one "N frames per
// second" line a second on stderr (commits per output) until killed.
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "reference_clock.h"

namespace {

struct buffer {
    wl_buffer *buffer = nullptr;
    uint32_t *pixels = nullptr;
    bool busy = false;
};

struct output {
    wl_output *output = nullptr;
    wl_surface *surface = nullptr;
    zwlr_layer_surface_v1 *layer = nullptr;
    int32_t width = 0, height = 0;
    buffer buffers[2];
    std::vector<uint32_t> picture;  // what "whole" copies
    wl_callback *frame = nullptr;
    bool changed = false;
};

wl_compositor *compositor;
wl_shm *shm;
zwlr_layer_shell_v1 *layer_shell;
std::vector<output *> outputs;
bool whole;

void on_release(void *data, wl_buffer *) { static_cast<buffer *>(data)->busy = false; }
const wl_buffer_listener release_listener = {on_release};

void on_frame(void *data, wl_callback *callback, uint32_t) {
    wl_callback_destroy(callback);
    static_cast<output *>(data)->frame = nullptr;
}
const wl_callback_listener frame_listener = {on_frame};

void on_configure(void *data, zwlr_layer_surface_v1 *layer, uint32_t serial, uint32_t w,
                  uint32_t h) {
    auto *o = static_cast<output *>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    if (o->width || !w || !h) return;  // the bench's outputs keep their size
    o->width = int32_t(w);
    o->height = int32_t(h);
    const size_t one = size_t(w) * h * 4;
    const int fd = memfd_create("plix-screens", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, off_t(2 * one)) != 0) return;
    void *memory = mmap(nullptr, 2 * one, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    wl_shm_pool *pool = wl_shm_create_pool(shm, fd, int32_t(2 * one));
    close(fd);
    if (memory == MAP_FAILED) return;
    for (int i = 0; i < 2; i++) {
        buffer &b = o->buffers[i];
        b.buffer = wl_shm_pool_create_buffer(pool, int32_t(i * one), o->width, o->height,
                                             o->width * 4, WL_SHM_FORMAT_XRGB8888);
        b.pixels = reinterpret_cast<uint32_t *>(static_cast<char *>(memory) + i * one);
        wl_buffer_add_listener(b.buffer, &release_listener, &b);
    }
    wl_shm_pool_destroy(pool);
    if (whole) o->picture.assign(size_t(w) * h, 0);
    o->changed = true;
}
void on_closed(void *, zwlr_layer_surface_v1 *) { stop_requested = 1; }
const zwlr_layer_surface_v1_listener layer_listener = {on_configure, on_closed};

void on_global(void *, wl_registry *registry, uint32_t name, const char *interface, uint32_t) {
    if (!strcmp(interface, wl_compositor_interface.name)) {
        compositor = static_cast<wl_compositor *>(
            wl_registry_bind(registry, name, &wl_compositor_interface, 4));
    } else if (!strcmp(interface, wl_shm_interface.name)) {
        shm = static_cast<wl_shm *>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (!strcmp(interface, zwlr_layer_shell_v1_interface.name)) {
        layer_shell = static_cast<zwlr_layer_shell_v1 *>(
            wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, 1));
    } else if (!strcmp(interface, wl_output_interface.name)) {
        auto *o = new output;
        o->output =
            static_cast<wl_output *>(wl_registry_bind(registry, name, &wl_output_interface, 1));
        outputs.push_back(o);
    }
}
void on_global_remove(void *, wl_registry *, uint32_t) {}
const wl_registry_listener registry_listener = {on_global, on_global_remove};

// The next picture into a free buffer, damaged as the mode says, and committed.
void show(output *o, uint32_t k) {
    buffer *b = !o->buffers[0].busy   ? &o->buffers[0]
                : !o->buffers[1].busy ? &o->buffers[1]
                                      : nullptr;
    if (!b) return;
    if (whole) {
        o->picture[0] = k;  // a picture that changes, in case anyone compares
        memcpy(b->pixels, o->picture.data(), o->picture.size() * 4);
        wl_surface_damage_buffer(o->surface, 0, 0, o->width, o->height);
    } else {
        b->pixels[0] = k;
        wl_surface_damage_buffer(o->surface, 0, 0, 1, 1);
    }
    wl_surface_attach(o->surface, b->buffer, 0, 0);
    o->frame = wl_surface_frame(o->surface);
    wl_callback_add_listener(o->frame, &frame_listener, o);
    wl_surface_commit(o->surface);
    b->busy = true;
    o->changed = false;
}

}  // namespace

int main(int argc, char **argv) {
    const char *mode = argc == 2 ? argv[1] : "";
    if (strcmp(mode, "pixel") && strcmp(mode, "whole")) {
        fprintf(stderr, "usage: plix-screens-wayland pixel|whole\n");
        return 2;
    }
    whole = !strcmp(mode, "whole");
    wl_display *d = wl_display_connect(nullptr);
    if (!d) return 2;
    wl_registry *registry = wl_display_get_registry(d);
    wl_registry_add_listener(registry, &registry_listener, nullptr);
    wl_display_roundtrip(d);
    if (!compositor || !shm || !layer_shell) {
        fprintf(stderr, "plix-screens-wayland: no wl_compositor, wl_shm or layer shell\n");
        return 2;
    }
    for (output *o : outputs) {
        o->surface = wl_compositor_create_surface(compositor);
        o->layer = zwlr_layer_shell_v1_get_layer_surface(
            layer_shell, o->surface, o->output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "plix-screens");
        zwlr_layer_surface_v1_add_listener(o->layer, &layer_listener, o);
        zwlr_layer_surface_v1_set_anchor(o->layer, 15);  // all four edges
        zwlr_layer_surface_v1_set_exclusive_zone(o->layer, -1);
        wl_surface_commit(o->surface);
    }
    struct sigaction sa = {};
    sa.sa_handler = on_signal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    long long next = now_ms() + 10, since = now_ms(), commits = 0;
    for (uint32_t k = 0; !stop_requested && wl_display_get_error(d) == 0;) {
        const long long now = now_ms();
        if (now >= next) {  // a tick: every picture changes
            k++;
            for (output *o : outputs) o->changed = o->width > 0;
            next = next + 10 > now ? next + 10 : now + 10;
        }
        for (output *o : outputs) {
            if (!o->changed || o->frame) continue;
            show(o, k);
            commits += !o->changed;
        }
        if (now - since >= 1000) {
            fprintf(stderr, "plix-screens-wayland: %.1f frames per second\n",
                    double(commits) * 1000.0 / double(now - since) / double(outputs.size()));
            commits = 0;
            since = now;
        }
        while (wl_display_prepare_read(d) != 0) wl_display_dispatch_pending(d);
        wl_display_flush(d);
        pollfd fd = {wl_display_get_fd(d), POLLIN, 0};
        const long long wait = next - now_ms();
        if (poll(&fd, 1, int(wait > 0 ? wait : 0)) > 0)
            wl_display_read_events(d);
        else
            wl_display_cancel_read(d);
        wl_display_dispatch_pending(d);
    }
    wl_display_disconnect(d);
    return 0;
}
