// The seat's idle time as the compositor tells it: ext_idle_notifier_v1, else
// KDE's org_kde_kwin_idle (what sway 1.7 offers). Both respect the compositor's
// idle inhibitors, and both say when the user is back, whatever the input went to.
#include <wayland-client.h>

#include <cstring>

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"
#include "platform/wayland/wayland_platform.h"

wayland_idle_state wl_idle;

namespace {

void on_idled(void *, ext_idle_notification_v1 *) { wl_idle.idle = true; }
void on_resumed(void *, ext_idle_notification_v1 *) { wl_idle.idle = false; }
const ext_idle_notification_v1_listener notification_listener = {on_idled, on_resumed};

void on_kde_idle(void *, org_kde_kwin_idle_timeout *) { wl_idle.idle = true; }
void on_kde_resumed(void *, org_kde_kwin_idle_timeout *) { wl_idle.idle = false; }
const org_kde_kwin_idle_timeout_listener kde_listener = {on_kde_idle, on_kde_resumed};

}  // namespace

bool wayland_idle_global(wl_registry *registry, uint32_t name, const char *interface) {
    if (!strcmp(interface, ext_idle_notifier_v1_interface.name) && !wl_idle.notifier) {
        wl_idle.notifier = static_cast<ext_idle_notifier_v1 *>(
            wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
        return true;
    }
    if (!strcmp(interface, org_kde_kwin_idle_interface.name) && !wl_idle.kde) {
        wl_idle.kde = static_cast<org_kde_kwin_idle *>(
            wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
        return true;
    }
    return false;
}

const char *wayland_idle_watch(uint32_t ms) {
    if (!wl_idle.notifier && !wl_idle.kde)
        return "no idle protocol (ext_idle_notifier_v1 or org_kde_kwin_idle)";
    if (!wl.seat) return "no seat";
    if (wl_idle.notifier) {
        wl_idle.notification =
            ext_idle_notifier_v1_get_idle_notification(wl_idle.notifier, ms, wl.seat);
        ext_idle_notification_v1_add_listener(wl_idle.notification, &notification_listener,
                                              nullptr);
        wl_idle.protocol = "ext_idle_notifier_v1";
    } else {
        wl_idle.timeout = org_kde_kwin_idle_get_idle_timeout(wl_idle.kde, wl.seat, ms);
        org_kde_kwin_idle_timeout_add_listener(wl_idle.timeout, &kde_listener, nullptr);
        wl_idle.protocol = "org_kde_kwin_idle";
    }
    return nullptr;
}

void wayland_idle_close() {
    if (wl_idle.notification) ext_idle_notification_v1_destroy(wl_idle.notification);
    if (wl_idle.notifier) ext_idle_notifier_v1_destroy(wl_idle.notifier);
    if (wl_idle.timeout) org_kde_kwin_idle_timeout_release(wl_idle.timeout);
    if (wl_idle.kde) org_kde_kwin_idle_destroy(wl_idle.kde);
    wl_idle = wayland_idle_state{};
}
