# A StatusNotifierItem host for the tray tests: a StatusNotifierWatcher and a
# Settings portal on the session bus (Gio). Debian's /usr/bin/python3 (python3-gi).
import time

from gi.repository import Gio, GLib

WATCHER = "org.kde.StatusNotifierWatcher"
PORTAL = "org.freedesktop.portal.Desktop"
PORTAL_PATH = "/org/freedesktop/portal/desktop"
NODES = Gio.DBusNodeInfo.new_for_xml("""<node>
 <interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
 </interface>
 <interface name="org.freedesktop.portal.Settings">
  <method name="Read"><arg type="s" direction="in"/><arg type="s" direction="in"/>
   <arg type="v" direction="out"/></method>
  <signal name="SettingChanged"><arg type="s"/><arg type="s"/><arg type="v"/></signal>
 </interface>
</node>""")

bus = Gio.bus_get_sync(Gio.BusType.SESSION)


def pump(condition, seconds=10):
    """Runs the main context until condition() holds; False on timeout."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        while GLib.MainContext.default().iteration(False):
            pass
        if condition():
            return True
        time.sleep(0.02)
    return False


class Watcher:
    """org.kde.StatusNotifierWatcher; `items` lists every registration, in order."""

    def __init__(self):
        self.items, self.owner_id = [], 0
        self.registration = bus.register_object("/StatusNotifierWatcher", NODES.interfaces[0], self._call,
                                                self._property, None)

    def _call(self, _bus, sender, _path, _iface, method, args, invocation):
        if method == "RegisterStatusNotifierItem":
            self.items.append((sender, args.unpack()[0]))
        invocation.return_value(None)

    def _property(self, _bus, _sender, _path, _iface, name):
        return {"RegisteredStatusNotifierItems": GLib.Variant("as", [s for s, _ in self.items]),
                "IsStatusNotifierHostRegistered": GLib.Variant("b", True),
                "ProtocolVersion": GLib.Variant("i", 0)}[name]

    def start(self):
        self.owner_id = Gio.bus_own_name_on_connection(bus, WATCHER, Gio.BusNameOwnerFlags.NONE, None, None)

    def stop(self):
        Gio.bus_unown_name(self.owner_id)


class Portal:
    """The Settings portal's color-scheme: 0 no preference, 1 dark, 2 light."""

    def __init__(self, scheme):
        self.scheme = scheme
        bus.register_object(PORTAL_PATH, NODES.interfaces[1], self._call, None, None)
        Gio.bus_own_name_on_connection(bus, PORTAL, Gio.BusNameOwnerFlags.NONE, None, None)

    def _call(self, _bus, _sender, _path, _iface, _method, _args, invocation):
        invocation.return_value(GLib.Variant("(v)", (GLib.Variant("v", GLib.Variant("u", self.scheme)),)))

    def change(self, scheme):
        self.scheme = scheme
        bus.emit_signal(None, PORTAL_PATH, "org.freedesktop.portal.Settings", "SettingChanged",
                        GLib.Variant("(ssv)", ("org.freedesktop.appearance", "color-scheme",
                                               GLib.Variant("u", scheme))))


def call(service, path, iface, method, signature=None, args=(), timeout=5000):
    """A method call; returns the unpacked reply, or the GLib.Error."""
    params = GLib.Variant(signature, args) if signature else None
    try:
        return bus.call_sync(service, path, iface, method, params, None, Gio.DBusCallFlags.NONE, timeout,
                             None).unpack()
    except GLib.Error as error:
        return error
