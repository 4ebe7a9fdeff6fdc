# The tray icon against real hosts on a virtual X desktop (Xvfb, openbox, trayer):
# tray.py sni <tolvanis>              a StatusNotifierWatcher started late
# tray.py xembed <tolvanis> <name>    the XEmbed tray alone (TOLVANIS_TRAY_TINT colours it)
# Run by scripts/virtual-desktop.sh inside scripts/test-session.sh.
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from desktop import geometry, panel, start, stays, until, visible, work  # noqa: E402
from pixels import over, screen_pixels, shows  # noqa: E402
from desktopservices import GLib, SettingsPortal, Watcher, call, pump  # noqa: E402

ITEM, MENU = "org.kde.StatusNotifierItem", "com.canonical.dbusmenu"
tolvanis = sys.argv[2]


def launch():
    return start(tolvanis, env=dict(os.environ, HOME=work, XDG_CONFIG_HOME=work, QT_QPA_PLATFORM="xcb"))


def in_xembed_tray():
    return geometry(os.environ["TOLVANIS_TRAY_WINDOW"])[2] >= 16


def check(condition, message):
    if not condition:
        sys.exit(f"FAIL: {message}")


def sni():
    portal = SettingsPortal(1)  # dark
    watcher = Watcher()
    app = launch()
    check(pump(in_xembed_tray), "without a watcher the icon did not go into the XEmbed tray")
    pump(lambda: False, 2)
    watcher.start()
    check(pump(lambda: watcher.items), "the item did not register with a watcher started after the program")
    sender, service = watcher.items[0]
    check(service.startswith(ITEM + "-") and pump(lambda: not in_xembed_tray()),
          f"registered {service!r}, or the XEmbed icon stayed beside it")

    def item(method, signature=None, *args):
        return call(sender, "/StatusNotifierItem", ITEM if method != "GetAll" else "org.freedesktop.DBus.Properties",
                    method, signature, args)

    def menu(method, signature, *args):
        return call(sender, "/MenuBar", MENU, method, signature, args)

    props = item("GetAll", "(s)", ITEM)[0]
    expected = {"Id": "tolvanis", "Title": "tolvanis", "Status": "Active", "Category": "ApplicationStatus",
                "IconName": "tolvanis-symbolic", "ItemIsMenu": False, "Menu": "/MenuBar"}
    got = {name: props.get(name) for name in expected} | {"ToolTip title": props["ToolTip"][2]}
    check(got == expected | {"ToolTip title": "tolvanis"}, f"the item says {got}")

    def pixmap_shows(background):
        width, height, argb = max(item("GetAll", "(s)", ITEM)[0]["IconPixmap"])
        pixels = [over((argb[i + 1], argb[i + 2], argb[i + 3], argb[i]), background) for i in range(0, len(argb), 4)]
        return len(argb) == width * height * 4 and shows(pixels, background)[0]

    check(pixmap_shows((0, 0, 0)), "the dark-scheme pixmap does not show on black")
    portal.change(2)  # light, while running
    check(pump(lambda: pixmap_shows((255, 255, 255))), "the pixmap did not follow the change to a light scheme")

    _, (_, _, children) = menu("GetLayout", "(iias)", 0, -1, [])
    labels = [props.get("label", props.get("type")) for _, props, _ in children]
    check(labels == ["打开翻译面板", "截图翻译", "separator", "设置…", "退出 tolvanis"], f"the menu lists {labels}")
    ids = {props.get("label"): id for id, props, _ in children}

    def event(id):
        return menu("Event", "(isvu)", id, "clicked", GLib.Variant("s", ""), 0)

    event(ids["打开翻译面板"])
    check(pump(panel), "打开翻译面板 did not open the panel")
    item("Activate", "(ii)", 640, 40)
    check(pump(lambda: not panel()), "Activate did not close the open panel")
    # Under a point on a top bar, above one on a bottom bar, kept on screen.
    for x, y, below in [(640, 40, True), (1275, 790, False)]:
        pump(lambda: False, 0.5)  # a window shown again at once after hiding may never map under openbox
        item("Activate", "(ii)", x, y)
        check(pump(panel), f"Activate({x}, {y}) did not open the panel")
        left, top, width, height = panel()
        want = (min(x - width // 2, 1280 - width), y + 5 if below else y - 4 - height)
        check((left, top) == want, f"Activate({x}, {y}): the panel is at {(left, top)}, not {want}")
        item("Activate", "(ii)", x, y)
        check(pump(lambda: not panel()), f"a second Activate({x}, {y}) did not close the panel")
    event(ids["设置…"])
    check(pump(lambda: visible("^设置$")), "设置… did not open the settings window")

    # Unknown ids and malformed calls get an error or nothing, never a crash.
    answers = [menu("Event", "(s)", "clicked"), event(999), menu("GetLayout", "(iias)", 999, -1, []),
               item("Activate", "(ss)", "x", "y"),
               menu("EventGroup", "(a(isvu))", [(999, "clicked", GLib.Variant("i", 0), 0)])]
    for answer in answers:
        check(answer in (None, (), ([999],)) or isinstance(answer, GLib.Error), f"a bad call was answered {answer!r}")
    group = menu("GetGroupProperties", "(aias)", [ids["设置…"], 999], ["label"])
    check(group == ([(ids["设置…"], {"label": "设置…"})],), f"GetGroupProperties gave {group!r}")
    check(app.poll() is None, "the program did not survive bad calls")

    # A host restart: the icon falls back to the XEmbed tray, then registers again.
    watcher.stop()
    check(pump(in_xembed_tray), "with the watcher gone the icon did not return to the XEmbed tray")
    watcher.start()
    check(pump(lambda: len(watcher.items) == 2) and pump(lambda: not in_xembed_tray()),
          "the item did not move to the new watcher")
    event(ids["退出 tolvanis"])
    check(pump(lambda: app.poll() is not None) and app.returncode == 0, "退出 tolvanis did not end the program")


def xembed(tint):
    app = launch()
    x, y, width, height = until("the icon was not embedded", lambda: in_xembed_tray() and geometry(
        os.environ["TOLVANIS_TRAY_WINDOW"]))
    stays("the program ended", lambda: app.poll() is not None, 2)  # the icon takes the bar's colour meanwhile

    def measured():
        pixels = screen_pixels(x, y, width, height)
        background = max(set(pixels), key=pixels.count)  # the tray is most of the area
        return shows(pixels, background)[0]

    until(f"the icon does not show on the {tint} tray", measured, 6)


if __name__ == "__main__":
    sni() if sys.argv[1] == "sni" else xembed(sys.argv[3])
