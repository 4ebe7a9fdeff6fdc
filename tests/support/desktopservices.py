# The desktop's D-Bus services, stood in on the session bus (Gio; Debian's
# /usr/bin/python3 with python3-gi): a StatusNotifierWatcher and the desktop
# portal's Settings and GlobalShortcuts. Imported by the tray test; run as a
# program it is the GlobalShortcuts portal alone, for the shortcut unit test:
# it prints "ready" once it owns the portal's name, then one line per call
# ("Register <app id>", "CreateSession <session>", "BindShortcuts <session>
# <id> <preferred trigger> <description>", "Close <session>"); it reads commands
# from stdin, each for the latest session: "activate <token>" emits Activated,
# "retrigger <text>" ShortcutsChanged as the user's new choice, "close" ends the
# session as the desktop does; it quits at the end of stdin. Switches: --refuse
# answers BindShortcuts as a user's "cancel" does; --no-registry leaves out the
# host Registry, as portals before it do.
import os
import sys
import time

from gi.repository import Gio, GLib

PORTAL, PORTAL_PATH = "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop"
SHORTCUTS = "org.freedesktop.portal.GlobalShortcuts"
NODES = {i.name: i for i in Gio.DBusNodeInfo.new_for_xml("""<node>
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
 <interface name="org.freedesktop.portal.GlobalShortcuts">
  <method name="CreateSession"><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/></method>
  <method name="BindShortcuts"><arg type="o" direction="in"/><arg type="a(sa{sv})" direction="in"/>
   <arg type="s" direction="in"/><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/></method>
  <property name="version" type="u" access="read"/>
 </interface>
 <interface name="org.freedesktop.host.portal.Registry">
  <method name="Register"><arg type="s" direction="in"/><arg type="a{sv}" direction="in"/></method>
 </interface>
 <interface name="org.freedesktop.portal.Session"><method name="Close"/></interface>
</node>""").interfaces}

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


def call(service, path, iface, method, signature=None, args=(), timeout=5000):
    """A method call; returns the unpacked reply, or the GLib.Error."""
    params = GLib.Variant(signature, args) if signature else None
    try:
        return bus.call_sync(service, path, iface, method, params, None, Gio.DBusCallFlags.NONE, timeout,
                             None).unpack()
    except GLib.Error as error:
        return error


def own(name, release=False):
    """Owns (or releases) `name` before returning: a program started next finds the stand-in
    there. A name some other service holds fails the run instead of queueing behind it."""
    def ask(method, *flags):
        return call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method,
                    "(s" + "u" * len(flags) + ")", (name, *flags))
    if release:
        ask("ReleaseName")
    elif ask("RequestName", 4) != (1,):  # DO_NOT_QUEUE; 1: now the primary owner
        sys.exit(f"FAIL: {name} is held by another service on the test's bus")


class Watcher:
    """org.kde.StatusNotifierWatcher; `items` lists every registration, in order."""

    def __init__(self):
        self.items = []
        bus.register_object("/StatusNotifierWatcher", NODES["org.kde.StatusNotifierWatcher"], self._call,
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
        own("org.kde.StatusNotifierWatcher")

    def stop(self):
        own("org.kde.StatusNotifierWatcher", release=True)


class SettingsPortal:
    """The Settings portal's color-scheme: 0 no preference, 1 dark, 2 light."""

    def __init__(self, scheme):
        self.scheme = scheme
        bus.register_object(PORTAL_PATH, NODES["org.freedesktop.portal.Settings"], self._call, None, None)
        own(PORTAL)

    def _call(self, _bus, _sender, _path, _iface, _method, _args, invocation):
        invocation.return_value(GLib.Variant("(v)", (GLib.Variant("v", GLib.Variant("u", self.scheme)),)))

    def change(self, scheme):
        self.scheme = scheme
        bus.emit_signal(None, PORTAL_PATH, "org.freedesktop.portal.Settings", "SettingChanged",
                        GLib.Variant("(ssv)", ("org.freedesktop.appearance", "color-scheme",
                                               GLib.Variant("u", scheme))))


class ShortcutsPortal:
    """The GlobalShortcuts portal that says what it was asked (see the top of the file)."""

    def __init__(self, refuse, registry):
        self.refuse, self.sessions, self.latest = refuse, {}, None  # session path -> registration id
        bus.register_object(PORTAL_PATH, NODES[SHORTCUTS], self._call, lambda *_: GLib.Variant("u", 1), None)
        if registry:
            bus.register_object(PORTAL_PATH, NODES["org.freedesktop.host.portal.Registry"], self._call, None, None)

    @staticmethod
    def _respond(sender, request, code, results):
        """The Request's Response, after the method's reply, as the portal sends it."""
        def emit():
            bus.emit_signal(sender, request, "org.freedesktop.portal.Request", "Response",
                            GLib.Variant("(ua{sv})", (code, results)))
        GLib.idle_add(emit)  # once: it returns None

    def _call(self, _bus, sender, path, _iface, method, args, invocation):
        args = args.unpack()
        handle = f"{PORTAL_PATH}/%s/{sender[1:].replace('.', '_')}/%s"
        if method == "Register":
            print(f"Register {args[0]}", flush=True)
        elif method == "Close":
            print(f"Close {path}", flush=True)
            bus.unregister_object(self.sessions.pop(path))
        elif method == "CreateSession":
            session = handle % ("session", args[0]["session_handle_token"])
            self.sessions[session] = bus.register_object(session, NODES["org.freedesktop.portal.Session"],
                                                         self._call, None, None)
            self.latest = (sender, session)
            print(f"CreateSession {session}", flush=True)
            request = handle % ("request", args[0]["handle_token"])
            invocation.return_value(GLib.Variant("(o)", (request,)))
            return self._respond(sender, request, 0, {"session_handle": GLib.Variant("s", session)})
        elif method == "BindShortcuts":
            session, shortcuts, _parent, options = args
            for shortcut_id, properties in shortcuts:
                print(f"BindShortcuts {session} {shortcut_id} {properties.get('preferred_trigger', '-')} "
                      f"{properties['description']}", flush=True)
            request = handle % ("request", options["handle_token"])
            invocation.return_value(GLib.Variant("(o)", (request,)))
            granted = [(i, {"description": GLib.Variant("s", p["description"]),
                            "trigger_description": GLib.Variant("s", "Press " + p.get("preferred_trigger", "?"))})
                       for i, p in shortcuts]
            return self._respond(sender, request, 1, {}) if self.refuse else self._respond(
                sender, request, 0, {"shortcuts": GLib.Variant("a(sa{sv})", granted)})
        invocation.return_value(None)

    def command(self, line):
        (client, session), (command, _, argument) = self.latest, line.partition(" ")
        if command == "activate":
            bus.emit_signal(client, PORTAL_PATH, SHORTCUTS, "Activated", GLib.Variant("(osta{sv})", (
                session, "translate-selection", 1, {"activation_token": GLib.Variant("s", argument)})))
        elif command == "retrigger":
            bus.emit_signal(client, PORTAL_PATH, SHORTCUTS, "ShortcutsChanged", GLib.Variant("(oa(sa{sv}))", (
                session, [("translate-selection", {"trigger_description": GLib.Variant("s", argument)})])))
        elif command == "close":
            bus.unregister_object(self.sessions.pop(session))
            bus.emit_signal(client, session, "org.freedesktop.portal.Session", "Closed", GLib.Variant("(a{sv})", ({},)))


if __name__ == "__main__":
    portal, loop = ShortcutsPortal("--refuse" in sys.argv, "--no-registry" not in sys.argv), GLib.MainLoop()

    def commands(fd, _condition):
        data = os.read(fd, 4096).decode()
        for line in data.splitlines():
            portal.command(line)
        return bool(data) or loop.quit()

    own(PORTAL)
    print("ready", flush=True)
    GLib.io_add_watch(sys.stdin.fileno(), GLib.PRIORITY_DEFAULT, GLib.IO_IN | GLib.IO_HUP, commands)
    loop.run()
