"""The tray icon against real hosts on a virtual X desktop (Xvfb, openbox, trayer):
  tray.py sni <tolvanis> <symbolic svg>   a StatusNotifierWatcher started late
  tray.py xembed <tolvanis> <name>        the XEmbed tray alone (TOLVANIS_TRAY_TINT colours it)
Run by scripts/virtual-desktop.sh inside scripts/test-session.sh."""
import gi
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from snihost import GLib, Portal, Watcher, call, mark_contrast, over, pump, screen_pixels  # noqa: E402

ITEM, MENU, PROPS = "org.kde.StatusNotifierItem", "com.canonical.dbusmenu", "org.freedesktop.DBus.Properties"
work = tempfile.mkdtemp(prefix="tolvanis-tray.")


def check(condition, message):
    if not condition:
        print("FAIL:", message, file=sys.stderr)
        sys.exit(1)


def geometry(window):
    out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], capture_output=True, text=True).stdout
    values = dict(line.split("=") for line in out.split())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def visible(name):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], capture_output=True, text=True)
    return out.stdout.split()


def tray_has_icon():
    return geometry(os.environ["TOLVANIS_TRAY_WINDOW"])[2] >= 16


def launch(tolvanis):
    home = os.path.join(work, "home")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/.config", QT_QPA_PLATFORM="xcb")
    return subprocess.Popen([tolvanis], env=env)


def sni(tolvanis, svg):
    portal = Portal(1)  # dark
    watcher = Watcher()
    app = launch(tolvanis)
    check(pump(tray_has_icon), "without a watcher the icon did not go into the XEmbed tray")
    pump(lambda: False, 2)
    watcher.start()
    check(pump(lambda: watcher.items), "the item did not register with a watcher started 2 s after the program")
    sender, service = watcher.items[0]
    check(service.startswith(ITEM + "-"), f"registered {service!r}")
    check(pump(lambda: not tray_has_icon()), "the XEmbed icon stayed beside the StatusNotifierItem")

    def properties():
        return call(sender, "/StatusNotifierItem", PROPS, "GetAll", "(s)", (ITEM,))[0]

    props = properties()
    for name, expected in [("Id", "tolvanis"), ("Title", "tolvanis"), ("Status", "Active"),
                           ("Category", "ApplicationStatus"), ("IconName", "tolvanis-symbolic"),
                           ("ItemIsMenu", False), ("Menu", "/MenuBar")]:
        check(props.get(name) == expected, f"{name} is {props.get(name)!r}, not {expected!r}")
    check(props["ToolTip"][2] == "tolvanis", f"tool tip {props['ToolTip']!r}")

    def pixmap_contrast(background):
        width, height, argb = max(properties()["IconPixmap"])
        check(len(argb) == width * height * 4, "IconPixmap has the wrong size")
        pixels = [over((argb[i + 1], argb[i + 2], argb[i + 3], argb[i]), background) for i in range(0, len(argb), 4)]
        return mark_contrast(pixels, background)

    ratio, count = pixmap_contrast((0, 0, 0))
    print(f"IconPixmap, dark colour scheme, on #000000: {ratio:.2f}:1")
    check(ratio >= 3 and count >= 20, f"the dark-scheme pixmap shows {ratio:.2f}:1 on black")
    portal.change(2)  # light, while running
    check(pump(lambda: pixmap_contrast((255, 255, 255))[0] >= 3),
          "the pixmap did not follow the change to a light colour scheme")
    print(f"IconPixmap, light colour scheme, on #ffffff: {pixmap_contrast((255, 255, 255))[0]:.2f}:1")

    # The symbolic icon as GTK hosts that do not recolour it (waybar) draw it,
    # through librsvg: on waybar's default bar, rgba(43,48,59,0.5), over a black
    # and a dark grey desktop.
    gi.require_version("GdkPixbuf", "2.0")
    from gi.repository import GdkPixbuf
    image = GdkPixbuf.Pixbuf.new_from_file_at_size(svg, 36, 36)
    raw, stride = image.get_pixels(), image.get_rowstride()
    rgba = [tuple(raw[y * stride + 4 * x:y * stride + 4 * x + 4])
            for y in range(image.get_height()) for x in range(image.get_width())]
    for desktop in [(0, 0, 0), (64, 64, 64)]:
        bar = over((43, 48, 59, 128), desktop)
        ratio, count = mark_contrast([over(p, bar) for p in rgba], bar)
        print(f"symbolic icon on waybar's default bar over {desktop}: {ratio:.2f}:1")
        check(ratio >= 3 and count >= 20, f"the symbolic icon shows {ratio:.2f}:1 on waybar's bar")

    revision, (_, _, children) = call(sender, "/MenuBar", MENU, "GetLayout", "(iias)", (0, -1, []))
    items = {props.get("label"): id for id, props, _ in children if props.get("type") != "separator"}
    check(list(items) == ["打开翻译面板", "设置…", "退出 tolvanis"], f"the menu lists {list(items)}")
    check(len(children) == 4, "the menu has no separator after its first item")

    def event(id):
        return call(sender, "/MenuBar", MENU, "Event", "(isvu)", (id, "clicked", GLib.Variant("s", ""), 0))

    def panel():
        shown = visible("^tolvanis$")
        return geometry(shown[0]) if shown else None

    event(items["打开翻译面板"])
    check(pump(panel), "打开翻译面板 did not open the panel")
    call(sender, "/StatusNotifierItem", ITEM, "Activate", "(ii)", (640, 40))
    check(pump(lambda: not panel()), "Activate did not close the open panel")
    settle = 0.5  # a window shown again at once after hiding may never map under openbox
    pump(lambda: False, settle)

    # Under a point on a top bar, above one on a bottom bar, kept on screen.
    # The panel's height follows its content; the gap between point and panel is 4 px.
    for point, below in [((640, 40), True), ((640, 790), False), ((1275, 40), True)]:
        call(sender, "/StatusNotifierItem", ITEM, "Activate", "(ii)", point)
        check(pump(panel), f"Activate{point} did not open the panel")
        x, y, w, h = panel()
        expected = (min(point[0] - w // 2, 1280 - w), point[1] + 5 if below else point[1] - 4 - h)
        check((x, y) == expected, f"Activate{point}: the panel is at {(x, y)}, not {expected}")
        call(sender, "/StatusNotifierItem", ITEM, "Activate", "(ii)", point)
        check(pump(lambda: not panel()), f"a second Activate{point} did not close the panel")
        pump(lambda: False, settle)

    event(items["设置…"])
    check(pump(lambda: visible("^设置$")), "设置… did not open the settings window")

    # Unknown ids and malformed calls get an error or nothing, never a crash.
    check(isinstance(call(sender, "/MenuBar", MENU, "Event", "(s)", ("clicked",)), GLib.Error), "Event(s) was taken")
    check(event(999) is None or event(999) == (), "an unknown id was not ignored")
    check(isinstance(call(sender, "/MenuBar", MENU, "GetLayout", "(iias)", (999, -1, [])), GLib.Error),
          "GetLayout of an unknown id gave no error")
    check(isinstance(call(sender, "/StatusNotifierItem", ITEM, "Activate", "(ss)", ("x", "y")), GLib.Error),
          "Activate(ss) was taken")
    errors = call(sender, "/MenuBar", MENU, "EventGroup", "(a(isvu))", ([(999, "clicked", GLib.Variant("i", 0), 0)],))
    check(errors == ([999],), f"EventGroup reported {errors!r} for an unknown id")
    group = call(sender, "/MenuBar", MENU, "GetGroupProperties", "(aias)", ([items["设置…"], 999], ["label"]))
    check(group == ([(items["设置…"], {"label": "设置…"})],), f"GetGroupProperties gave {group!r}")
    check(app.poll() is None and properties()["Id"] == "tolvanis", "the program did not survive bad calls")

    # A host restart: the icon falls back to the XEmbed tray, then registers again.
    watcher.stop()
    check(pump(tray_has_icon), "with the watcher gone the icon did not return to the XEmbed tray")
    watcher.start()
    check(pump(lambda: len(watcher.items) == 2), "the item did not register with the new watcher")
    check(pump(lambda: not tray_has_icon()), "the XEmbed icon stayed after the new registration")

    event(items["退出 tolvanis"])
    try:
        status = app.wait(timeout=10)
    except subprocess.TimeoutExpired:
        app.kill()
        check(False, "退出 tolvanis did not end the program")
    check(status == 0, f"the program ended with status {status}")


def xembed(tolvanis, tint):
    app = launch(tolvanis)
    try:
        check(pump(tray_has_icon), "the icon was not embedded")
        x, y, width, height = geometry(os.environ["TOLVANIS_TRAY_WINDOW"])
        shot = os.path.join(work, "tray.png")
        result = []

        def measured():
            pixels = screen_pixels(x, y, width, height, shot)
            background = max(set(pixels), key=pixels.count)  # the tray is most of the area
            result[:] = mark_contrast(pixels, background) + (background,)
            return result[0] >= 3 and result[1] >= 20

        pump(lambda: False, 2)  # the icon takes the bar's colour within a second of embedding
        ok = pump(measured, 6)
        print(f"XEmbed tray {tint} (drawn as {result[2]}): mark contrast {result[0]:.2f}:1 "
              f"({result[1]} pixels at 3:1 or more)")
        check(ok, f"the icon shows only {result[0]:.2f}:1 on the {tint} tray")
    finally:
        app.terminate()
        app.wait()


if __name__ == "__main__":
    {"sni": sni, "xembed": xembed}[sys.argv[1]](*sys.argv[2:])
