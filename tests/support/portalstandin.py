# A GlobalShortcuts desktop portal on the session bus for the shortcut tests.
# Prints "ready" once it owns the portal's name, then one line per call
# ("Register <app id>", "CreateSession <session>", "BindShortcuts <session>
# <id> <preferred trigger> <description>", "Close <session>"); reads commands
# from stdin, each for the latest session: "activate <token>" emits Activated,
# "retrigger <text>" ShortcutsChanged as the user's new choice, "close" ends the
# session as the desktop does. Quits at the end of stdin. Switches: --refuse answers BindShortcuts as a user's
# "cancel" does; --no-registry leaves out the host Registry, as portals before
# it do. Run with Debian's /usr/bin/python3 (python3-gi).
import os
import sys

from gi.repository import Gio, GLib

PATH = "/org/freedesktop/portal/desktop"
SHORTCUTS = "org.freedesktop.portal.GlobalShortcuts"
NODES = Gio.DBusNodeInfo.new_for_xml("""<node>
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
</node>""")

bus = Gio.bus_get_sync(Gio.BusType.SESSION)
loop = GLib.MainLoop()
sessions = {}  # session path -> the registration id of its Session object
latest = []  # (client, session) of the latest CreateSession


def log(line):
    print(line, flush=True)


def handle(sender, kind, token):
    return f"{PATH}/{kind}/{sender[1:].replace('.', '_')}/{token}"


def respond(sender, request, code, results):
    """The Request's Response, after the method's reply, as the portal sends it."""
    def emit():
        bus.emit_signal(sender, request, "org.freedesktop.portal.Request", "Response",
                        GLib.Variant("(ua{sv})", (code, results)))
    GLib.idle_add(emit)


def call(_bus, sender, path, _iface, method, args, invocation):
    args = args.unpack()
    if method == "Register":
        log(f"Register {args[0]}")
        invocation.return_value(None)
    elif method == "Close":
        log(f"Close {path}")
        bus.unregister_object(sessions.pop(path))
        invocation.return_value(None)
    elif method == "CreateSession":
        session = handle(sender, "session", args[0]["session_handle_token"])
        sessions[session] = bus.register_object(session, NODES.interfaces[2], call, None, None)
        latest[:] = [(sender, session)]
        log(f"CreateSession {session}")
        request = handle(sender, "request", args[0]["handle_token"])
        invocation.return_value(GLib.Variant("(o)", (request,)))
        respond(sender, request, 0, {"session_handle": GLib.Variant("s", session)})
    elif method == "BindShortcuts":
        session, shortcuts, _parent, options = args
        for shortcut_id, properties in shortcuts:
            log(f"BindShortcuts {session} {shortcut_id} {properties.get('preferred_trigger', '-')} "
                f"{properties['description']}")
        request = handle(sender, "request", options["handle_token"])
        invocation.return_value(GLib.Variant("(o)", (request,)))
        granted = [(i, {"description": GLib.Variant("s", p["description"]),
                        "trigger_description": GLib.Variant("s", "Press " + p.get("preferred_trigger", "?"))})
                   for i, p in shortcuts]
        if "--refuse" in sys.argv:
            respond(sender, request, 1, {})
        else:
            respond(sender, request, 0, {"shortcuts": GLib.Variant("a(sa{sv})", granted)})


def command(fd, _condition):
    data = os.read(fd, 4096).decode()
    if not data:
        loop.quit()
        return False
    for command, _, argument in (line.partition(" ") for line in data.splitlines()):
        client, session = latest[0]
        if command == "activate":
            bus.emit_signal(client, PATH, SHORTCUTS, "Activated", GLib.Variant("(osta{sv})", (
                session, "translate-selection", 1, {"activation_token": GLib.Variant("s", argument)})))
        elif command == "retrigger":
            bus.emit_signal(client, PATH, SHORTCUTS, "ShortcutsChanged", GLib.Variant("(oa(sa{sv}))", (
                session, [("translate-selection", {"trigger_description": GLib.Variant("s", argument)})])))
        elif command == "close":
            bus.unregister_object(sessions.pop(session))
            bus.emit_signal(client, session, "org.freedesktop.portal.Session", "Closed", GLib.Variant("(a{sv})", ({},)))
    return True


bus.register_object(PATH, NODES.interfaces[0], call, lambda *_: GLib.Variant("u", 1), None)
if "--no-registry" not in sys.argv:
    bus.register_object(PATH, NODES.interfaces[1], call, None, None)
Gio.bus_own_name_on_connection(bus, "org.freedesktop.portal.Desktop", Gio.BusNameOwnerFlags.NONE,
                               lambda *_: log("ready"), lambda *_: loop.quit())
GLib.io_add_watch(sys.stdin.fileno(), GLib.PRIORITY_DEFAULT, GLib.IO_IN | GLib.IO_HUP, command)
loop.run()
