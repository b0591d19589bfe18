# A stand-in for the desktop's power manager on a private session bus: the one
# interface plix --idle asks, org.freedesktop.PowerManagement.Inhibit (of the
# bus name org.freedesktop.PowerManagement). Starts
# with an inhibition held when told "held"; SIGUSR1 flips it and signals the
# change. Prints "serving", then "asked" for each HasInhibit.
import signal
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NAME = "org.freedesktop.PowerManagement"  # the bus name; the interface is NAME + ".Inhibit"
INTERFACE = NAME + ".Inhibit"


class Inhibit(dbus.service.Object):
    def __init__(self, bus, held):
        super().__init__(bus, "/org/freedesktop/PowerManagement/Inhibit")
        self.held = held

    @dbus.service.method(INTERFACE, out_signature="b")
    def HasInhibit(self):
        print("asked", flush=True)
        return self.held

    @dbus.service.signal(INTERFACE, signature="b")
    def HasInhibitChanged(self, held):
        pass

    def flip(self):
        self.held = not self.held
        self.HasInhibitChanged(self.held)
        return True  # the handler stays for the next SIGUSR1


dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
name = dbus.service.BusName(NAME, bus)
inhibit = Inhibit(bus, sys.argv[1:] == ["held"])
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, inhibit.flip)
print("serving", flush=True)
GLib.MainLoop().run()
