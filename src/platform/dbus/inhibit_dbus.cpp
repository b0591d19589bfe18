// inhibit.h over libdbus-1: a private session-bus connection of our own, asked
// synchronously (a local daemon answers at once) and otherwise only read when
// poll says it is readable.
#include "platform/dbus/inhibit.h"

#include <dbus/dbus.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace {

// The power manager's bus name; its inhibitions are an object and interface of their own.
constexpr char service[] = "org.freedesktop.PowerManagement";
constexpr char path[] = "/org/freedesktop/PowerManagement/Inhibit";
constexpr char inhibit_interface[] = "org.freedesktop.PowerManagement.Inhibit";
constexpr int answer_ms = 2000;  // a power manager that hangs must not hold the field back for long

DBusConnection *g_bus;

// Without an address or the bus socket of the runtime folder, libdbus would
// autolaunch a bus of its own; there is then nobody to hold an inhibition.
bool session_bus_named() {
    const char *address = getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return true;
    const char *runtime = getenv("XDG_RUNTIME_DIR");
    struct stat st;
    return runtime && *runtime && stat((std::string(runtime) + "/bus").c_str(), &st) == 0 &&
           S_ISSOCK(st.st_mode);
}

bool connect_bus() {
    if (g_bus) return true;
    if (!session_bus_named()) return false;
    DBusError error;
    dbus_error_init(&error);
    g_bus = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
    dbus_error_free(&error);
    if (!g_bus) return false;
    dbus_connection_set_exit_on_disconnect(g_bus, FALSE);
    // Without an error to fill, the rules are sent without waiting for the bus's answer.
    dbus_bus_add_match(g_bus,
                       "type='signal',interface='org.freedesktop.PowerManagement.Inhibit',"
                       "member='HasInhibitChanged'",
                       nullptr);
    dbus_bus_add_match(
        g_bus,
        "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
        "member='NameOwnerChanged',arg0='org.freedesktop.PowerManagement'",
        nullptr);
    dbus_connection_flush(g_bus);
    return true;
}

}  // namespace

bool inhibition_held() {
    if (!connect_bus()) return false;
    inhibition_news();  // what came before is answered by this question
    if (!g_bus) return false;
    DBusMessage *call =
        dbus_message_new_method_call(service, path, inhibit_interface, "HasInhibit");
    if (!call) return false;
    // A service that is not running holds no inhibition: none is started to ask it.
    dbus_message_set_auto_start(call, FALSE);
    DBusError error;
    dbus_error_init(&error);
    DBusMessage *reply = dbus_connection_send_with_reply_and_block(g_bus, call, answer_ms, &error);
    dbus_message_unref(call);
    dbus_bool_t held = FALSE;
    if (reply && !dbus_message_get_args(reply, &error, DBUS_TYPE_BOOLEAN, &held, DBUS_TYPE_INVALID))
        held = FALSE;
    if (reply) dbus_message_unref(reply);
    dbus_error_free(&error);
    return held;
}

int inhibition_fd() {
    int fd = -1;
    if (!g_bus || !dbus_connection_get_unix_fd(g_bus, &fd)) return -1;
    return fd;
}

bool inhibition_news() {
    if (!g_bus) return false;
    bool news = false;
    dbus_connection_read_write(g_bus, 0);
    while (DBusMessage *m = dbus_connection_pop_message(g_bus)) {
        if (dbus_message_is_signal(m, inhibit_interface, "HasInhibitChanged") ||
            dbus_message_is_signal(m, "org.freedesktop.DBus", "NameOwnerChanged"))
            news = true;
        dbus_message_unref(m);
    }
    if (!dbus_connection_get_is_connected(g_bus)) {
        inhibition_close();  // asked again, it connects anew, or finds no bus
        news = true;
    }
    return news;
}

void inhibition_close() {
    if (!g_bus) return;
    dbus_connection_close(g_bus);
    dbus_connection_unref(g_bus);
    g_bus = nullptr;
}
