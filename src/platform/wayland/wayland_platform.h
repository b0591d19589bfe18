// The frame-buffer services of platform.h on a Wayland compositor: the picture
// is in our memory and spans the compositor's layout; each output has a surface
// of its own (a layer-shell overlay, or else a fullscreen xdg toplevel) showing
// its part through two wl_shm buffers, damaged tile by tile where frames changed.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/display/display.h"
#include "platform/platform.h"

struct wl_buffer;
struct wl_callback;
struct wl_compositor;
struct wl_display;
struct wl_keyboard;
struct wl_output;
struct wl_pointer;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct wl_surface;
struct xdg_surface;
struct xdg_toplevel;
struct xdg_wm_base;
struct zwlr_layer_shell_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct zwlr_layer_surface_v1;
struct ext_idle_notifier_v1;
struct ext_idle_notification_v1;
struct org_kde_kwin_idle;
struct org_kde_kwin_idle_timeout;

// One of a surface's two buffers. `stale` marks, per tile, where the picture
// changed since this buffer was last brought up to date.
struct wayland_buffer {
    wl_buffer *buffer;
    uint32_t *pixels;
    bool busy;  // the compositor holds it: not to be written until released
    std::vector<uint8_t> stale;
};

struct wayland_output {
    uint32_t name;  // the registry's
    wl_output *output;
    zxdg_output_v1 *xdg_output;  // its place in the layout, where the compositor tells it
    // As the compositor describes the output (applied at its done event).
    int32_t x, y;            // its corner in the layout
    int32_t mode_w, mode_h;  // its current mode, turned as the output is
    int32_t scale;           // device pixels per layout unit
    int32_t next_x, next_y, next_w, next_h, next_scale;
    bool next_turned;
    int32_t logical_x, logical_y;  // xdg-output's place, which wins over wl_output's
    bool has_logical;
    bool described;
    bool refused;  // the compositor closed our surface there: no other is made

    // Our surface on it and its size in device pixels (0 until configured).
    wl_surface *surface;
    zwlr_layer_surface_v1 *layer;
    xdg_surface *xdg;
    xdg_toplevel *toplevel;
    int32_t asked_w, asked_h;      // a toplevel's configure, applied at the xdg_surface's
    int32_t surface_w, surface_h;  // its last configure's size in layout units (0: ours to choose)
    int32_t width, height;
    uint32_t ack_serial;  // a configure to acknowledge with the next commit
    bool ack_due;
    int32_t place_x, place_y;  // where its part starts in the picture

    void *memory;  // both buffers' pixels, shared with the compositor
    size_t memory_size;
    wayland_buffer buffers[2];
    int32_t tiles_x, tiles_y;
    std::vector<uint8_t> damage;   // per tile: changed since the last commit
    std::vector<pixel_rect> runs;  // the damage as a commit sends it
    bool changed;                  // damage has a mark
    wl_callback *frame;            // the last commit is not yet on the screen
    long long committed_at;        // when it was made (the front end's clock, ms)
    // While runs is made: those of its rectangles that reach down to the next tile row.
    std::vector<size_t> runs_above, runs_here;
};

struct wayland_state {
    wl_display *display;
    wl_registry *registry;
    wl_compositor *compositor;
    wl_shm *shm;
    zwlr_layer_shell_v1 *layer_shell;
    xdg_wm_base *wm_base;
    zxdg_output_manager_v1 *output_manager;
    wl_seat *seat;
    wl_keyboard *keyboard;
    wl_pointer *pointer;
    std::vector<wayland_output *> outputs;
    bool layout_changed;  // an output came, went or changed: the field is to be fitted anew
    bool user_back;       // a key, a button, or the pointer beyond the slack
    bool closed;          // the compositor closed our toplevel
    bool out_of_memory;   // a surface's buffers could not be had
    // The pointer's first place in the layout, once known (measured again when
    // the layout changes), and its last place on the output it is on.
    bool pointer_known;
    double pointer_x0, pointer_y0;
    wayland_output *pointer_on;
    double pointer_sx, pointer_sy;
};
extern wayland_state wl;

// The frame-buffer services over the surfaces (framebuf_wayland.cpp).
extern const framebuf_services wayland_framebuf_services;

// Pixels the pointer may drift before the user counts as back.
constexpr double wayland_pointer_slack = 5;

// Connects to the compositor ($WAYLAND_DISPLAY), binds what we use, learns the
// outputs and makes the frame-buffer services this platform's. False with `why`
// filled in when it cannot.
bool wayland_open(char *why, size_t why_size);

// A surface for each described output that has none yet (after events came).
void wayland_add_surfaces();

// The picture's size: the box bounding every output's surface, which fixes each
// one's place in it. False while an output's surface awaits its size, or there
// is none.
bool wayland_layout(int32_t *width, int32_t *height);

// The drawing target for plat_copy_*: every surface, each taking its part.
plat_dc wayland_target();

// Commits, on each surface whose last frame is on the screen and which has a
// free buffer, what the picture changed there since; `now` in ms.
void wayland_show(const frame_buffer *fb, long long now);

// The tiles of `o` changed since its last commit, as the damage a commit sends:
// runs of tiles along each tile row, in buffer pixels, clearing the marks. A
// rectangle costs the client a request and the compositor a region step and a
// composite call of its own, about as much as copying a few tiles' width more:
// a copy damages whole cells of wayland_damage_cell tiles square (the buffers
// still take only the tiles it covers), runs up to wayland_damage_gap unmarked
// tiles apart go as one, and a run with the same columns as a rectangle ending
// just above it lengthens that one. What
// a commit holds must stay small beside the socket's buffer, and scattered dots
// on a large output mark thousands of runs: past wayland_max_damage rectangles
// each row's further runs go as one span.
constexpr int32_t wayland_damage_cell = 4;
constexpr int32_t wayland_damage_gap = 8;
constexpr size_t wayland_max_damage = 256;
const std::vector<pixel_rect> &wayland_damage(wayland_output *o);

// Whether every surface has waited over `patience` ms for its last commit to
// reach the screen, the compositor showing none of them (their outputs are
// off), or there is no surface to show on.
bool wayland_unseen(long long now, long long patience);

// Whether every surface shows the picture as it is (nothing left to commit, no
// commit not yet on the screen), save those whose last commit has waited over
// `patience` ms, their outputs being off.
bool wayland_all_shown(long long now, long long patience);

// The compositor's fatal error as one line (a protocol error names the
// interface), in why; false while the connection is sound.
bool wayland_failed(char *why, size_t why_size);

// Destroys every surface, buffer and object, and disconnects.
void wayland_close();

// Takes the field off every output: its surfaces and their buffers go, the
// outputs and the seat stay; the next wayland_add_surfaces shows it anew.
void wayland_remove_surfaces();

// The idle protocols (idle_wayland.cpp): ext_idle_notifier_v1 where the
// compositor offers it, else org_kde_kwin_idle.
struct wayland_idle_state {
    ext_idle_notifier_v1 *notifier;
    ext_idle_notification_v1 *notification;
    org_kde_kwin_idle *kde;
    org_kde_kwin_idle_timeout *timeout;
    const char *protocol;  // the one watched
    bool idle;             // the seat has had no input for the time asked, until resumed
};
extern wayland_idle_state wl_idle;

// Binds a global of the idle protocols, from the registry's listener: true
// when `interface` was one.
bool wayland_idle_global(wl_registry *registry, uint32_t name, const char *interface);

// Watches the seat for `ms` without input: null, or why it cannot (neither
// protocol, no seat).
const char *wayland_idle_watch(uint32_t ms);

// Destroys the idle protocols' objects (wayland_close does).
void wayland_idle_close();
