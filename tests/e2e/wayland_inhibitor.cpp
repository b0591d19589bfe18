// plix-test-inhibitor: a visible window holding an idle inhibitor
// (zwp_idle_inhibit_manager_v1), as a video player does, until it is killed.
// Prints "inhibiting" once its first picture is committed.
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstring>

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace {

wl_compositor *compositor;
wl_shm *shm;
xdg_wm_base *wm_base;
zwp_idle_inhibit_manager_v1 *inhibit_manager;
wl_surface *surface;
bool shown;

void on_ping(void *, xdg_wm_base *base, uint32_t serial) { xdg_wm_base_pong(base, serial); }
const xdg_wm_base_listener wm_base_listener = {on_ping};

void on_global(void *, wl_registry *registry, uint32_t name, const char *interface, uint32_t) {
    if (!strcmp(interface, wl_compositor_interface.name))
        compositor = static_cast<wl_compositor *>(
            wl_registry_bind(registry, name, &wl_compositor_interface, 4));
    else if (!strcmp(interface, wl_shm_interface.name))
        shm = static_cast<wl_shm *>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    else if (!strcmp(interface, xdg_wm_base_interface.name))
        wm_base =
            static_cast<xdg_wm_base *>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
    else if (!strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name))
        inhibit_manager = static_cast<zwp_idle_inhibit_manager_v1 *>(
            wl_registry_bind(registry, name, &zwp_idle_inhibit_manager_v1_interface, 1));
}
void on_global_remove(void *, wl_registry *, uint32_t) {}
const wl_registry_listener registry_listener = {on_global, on_global_remove};

// A grey picture of the size asked (or 100x100), committed with the acknowledgement.
void on_configure(void *, xdg_surface *xdg, uint32_t serial) {
    xdg_surface_ack_configure(xdg, serial);
    if (shown) return;
    const int32_t w = 100, h = 100, size = w * h * 4;
    const int fd = memfd_create("plix-test-inhibitor", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, size) != 0) return;
    void *pixels = mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) return;
    memset(pixels, 0x80, size_t(size));
    wl_shm_pool *pool = wl_shm_create_pool(shm, fd, size);
    wl_buffer *buffer = wl_shm_pool_create_buffer(pool, 0, w, h, w * 4, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_surface_attach(surface, buffer, 0, 0);
    wl_surface_damage(surface, 0, 0, w, h);
    wl_surface_commit(surface);
    shown = true;
    printf("inhibiting\n");
    fflush(stdout);
}
const xdg_surface_listener xdg_listener = {on_configure};

}  // namespace

int main() {
    wl_display *d = wl_display_connect(nullptr);
    if (!d) return 2;
    wl_registry_add_listener(wl_display_get_registry(d), &registry_listener, nullptr);
    wl_display_roundtrip(d);
    if (!compositor || !shm || !wm_base || !inhibit_manager) {
        fprintf(stderr, "plix-test-inhibitor: the compositor lacks what it needs\n");
        return 2;
    }
    xdg_wm_base_add_listener(wm_base, &wm_base_listener, nullptr);
    surface = wl_compositor_create_surface(compositor);
    xdg_surface *xdg = xdg_wm_base_get_xdg_surface(wm_base, surface);
    xdg_surface_add_listener(xdg, &xdg_listener, nullptr);
    xdg_toplevel_set_title(xdg_surface_get_toplevel(xdg), "plix-test-inhibitor");
    zwp_idle_inhibit_manager_v1_create_inhibitor(inhibit_manager, surface);
    wl_surface_commit(surface);
    while (wl_display_dispatch(d) >= 0) {
    }
    return 1;
}
